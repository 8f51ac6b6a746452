#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>

#include "tools/trace/course_run.h"
#include "tools/trace/scenario.h"

namespace {

int usage() {
  std::printf("usage: kellvane-trace SCENARIO.json | kellvane-trace --course RATE\n");
  return 2;
}

}  // namespace

// kellvane-trace SCENARIO.json: the player's capsule through a reference scenario, one line per frame
// in the reference files' format. kellvane-trace --course RATE: the whole course played by the
// autopilot at RATE frames per second, frame lines on standard output and events on standard error.
// Like the game, it reports a failure as one line on standard output.
int main(int argc, char** argv) {
  if (argc == 3 && std::string(argv[1]) == "--course") {
    char* end = nullptr;
    const long rate = std::strtol(argv[2], &end, 10);
    if (end == argv[2] || *end != '\0' || rate < 1 || rate > 1000) {
      std::printf("--course: the frame rate must be a whole number of frames per second from 1 to 1000, not \"%s\"\n",
                  argv[2]);
      return 2;
    }
    CourseRun run(int(rate), &std::cout, &std::cerr);
    run.play();
    std::cout.flush();
    return std::cout.good() ? 0 : 1;
  }
  if (argc != 2) return usage();
  Scenario scenario;
  std::string error;
  if (!readScenario(argv[1], &scenario, &error)) {
    std::printf("%s\n", error.c_str());
    return 1;
  }
  for (const TraceRow& row : runScenario(scenario)) std::fputs(formatTraceRow(row).c_str(), stdout);
  return std::fflush(stdout) == 0 ? 0 : 1;
}
