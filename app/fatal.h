#pragma once
#include <string>

// The game's stand-in for the console's "PAUSE": after a fatal message a person at a terminal
// gets to read it before the window disappears; a scripted run (stdin not a terminal) never waits.
void waitForKeyIfInteractive();

// Prints the message on its own line, waits as above and ends the process with exit status 1.
// Used by the failures that have no caller to return to (a broken shader program).
[[noreturn]] void exitWithMessage(const std::string& message);
