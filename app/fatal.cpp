#include "app/fatal.h"

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <unistd.h>

void waitForKeyIfInteractive() {
  if (!isatty(STDIN_FILENO)) return;
  std::cout << "Press Enter to continue . . ." << std::endl;
  int c;
  do {
    c = std::getchar();
  } while (c != '\n' && c != EOF);
}

void exitWithMessage(const std::string& message) {
  std::cout << message << std::endl;
  waitForKeyIfInteractive();
  std::exit(1);
}
