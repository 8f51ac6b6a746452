// The real game binary, left to run for half a minute as a player would start it, must not draw
// one complaint from the GL debug output.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "app/diagnostics.h"

namespace {

// A debug-output line that reports a fault: any error type, or any rated severity. The driver's
// own notifications carry neither.
bool reportsAFault(const std::string& line) {
  if (line.find("OpenGL Error") == std::string::npos) return false;
  for (const char* word : {"Type = Error", "Severity = High", "Severity = Medium", "Severity = Low"})
    if (line.find(word) != std::string::npos) return true;
  return false;
}

}  // namespace

// The lines the game's own debug-output formatter writes: what the driver rates or calls an error
// is a fault, its unrated notifications and the silenced chatter are not.
TEST(CleanRun, FaultLinesAreToldFromDriverNotificationsAsTheGamePrintsThem) {
  EXPECT_TRUE(reportsAFault(formatDebugOutput(GL_DEBUG_SOURCE_API, GL_DEBUG_TYPE_ERROR, 1, GL_DEBUG_SEVERITY_HIGH,
                                              "GL_INVALID_ENUM in glEnable(0xffff)")));
  EXPECT_TRUE(reportsAFault(formatDebugOutput(GL_DEBUG_SOURCE_SHADER_COMPILER, GL_DEBUG_TYPE_PERFORMANCE, 7,
                                              GL_DEBUG_SEVERITY_LOW, "recompiled")));
  EXPECT_TRUE(reportsAFault(
      formatDebugOutput(GL_DEBUG_SOURCE_API, GL_DEBUG_TYPE_UNDEFINED_BEHAVIOR, 9, GL_DEBUG_SEVERITY_MEDIUM, "")));
  EXPECT_FALSE(reportsAFault(formatDebugOutput(GL_DEBUG_SOURCE_API, GL_DEBUG_TYPE_OTHER, 131185,
                                               GL_DEBUG_SEVERITY_NOTIFICATION, "buffer placed in VRAM")));
  EXPECT_FALSE(reportsAFault(formatDebugOutput(GL_DEBUG_SOURCE_APPLICATION, GL_DEBUG_TYPE_MARKER, 3,
                                               GL_DEBUG_SEVERITY_NOTIFICATION, "frame start")));
  EXPECT_FALSE(reportsAFault("Severity = High but not a debug message"));
}

TEST(CleanRun, ThirtySecondsOfTheGamePrintNoGlErrorAndNoFailure) {
  ASSERT_NE(std::getenv("DISPLAY"), nullptr) << "needs a display: run under xvfb-run";
  ASSERT_TRUE(std::filesystem::exists("kellvane")) << "runs in the build folder, beside the game";
  // timeout ends the game with 124 after 30 s; an earlier end is a crash or a fatal failure.
  FILE* pipe = popen("timeout 30 ./kellvane </dev/null 2>&1; echo \"exit code $?\"", "r");
  ASSERT_NE(pipe, nullptr);
  std::vector<std::string> lines;
  char buffer[4096];
  while (std::fgets(buffer, sizeof buffer, pipe)) {
    std::string line(buffer);
    if (!line.empty() && line.back() == '\n') line.pop_back();
    lines.push_back(line);
  }
  pclose(pipe);

  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.back(), "exit code 124") << "the game did not run for the whole 30 seconds";
  for (const std::string& line : lines) {
    EXPECT_FALSE(reportsAFault(line)) << line;
    EXPECT_NE(line.rfind("ERROR", 0), 0u) << line;
    EXPECT_EQ(line.find("Failed to"), std::string::npos) << line;
    EXPECT_EQ(line.find("failed to load"), std::string::npos) << line;
  }
}
