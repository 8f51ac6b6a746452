#include <cstdio>
#include <string>

#include "tools/trace/scenario.h"

// kellvane-trace SCENARIO.json: the player's capsule through a reference scenario, one line per frame
// in the reference files' format. Like the game, it reports a failure as one line on standard output.
int main(int argc, char** argv) {
  if (argc != 2) {
    std::printf("usage: kellvane-trace SCENARIO.json\n");
    return 2;
  }
  Scenario scenario;
  std::string error;
  if (!readScenario(argv[1], &scenario, &error)) {
    std::printf("%s\n", error.c_str());
    return 1;
  }
  for (const TraceRow& row : runScenario(scenario)) std::fputs(formatTraceRow(row).c_str(), stdout);
  return std::fflush(stdout) == 0 ? 0 : 1;
}
