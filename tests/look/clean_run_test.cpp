// The real game binary, left to run for half a minute as a player would start it, must not draw
// one complaint from the GL debug output. The debug-output line format is the game's own
// (tests/app/diagnostics_test.cpp pins it): what the driver rates or calls an error is a fault, its
// unrated notifications ("Severity = Unknown") are not.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

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
    if (line.find("OpenGL Error") != std::string::npos) {
      for (const char* word : {"Type = Error", "Severity = High", "Severity = Medium", "Severity = Low"})
        EXPECT_EQ(line.find(word), std::string::npos) << line;
    }
    EXPECT_NE(line.rfind("ERROR", 0), 0u) << line;
    EXPECT_EQ(line.find("Failed to"), std::string::npos) << line;
    EXPECT_EQ(line.find("failed to load"), std::string::npos) << line;
  }
}
