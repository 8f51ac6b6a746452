// What the game prints about the driver and the window library, and how it ends after a fatal one.
#include <gtest/gtest.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "app/diagnostics.h"
#include "app/fatal.h"

TEST(Diagnostics, EachEnumerantHasItsWordInTheLineAndTwoChattyIdsAreSilenced) {
  // Each value read as the source, the type and the severity at once; the core enumerants and
  // those of the older extension, which overlap between sources and types.
  struct Row {
    GLenum value;
    const char *source, *type, *severity;
  };
  // clang-format off
  const Row rows[] = {
      {0x8246, "API", "Unknown", "Unknown"},   {0x8247, "Window System", "Unknown", "Unknown"},
      {0x8248, "Shader Compiler", "Unknown", "Unknown"}, {0x8249, "Third Party", "Unknown", "Unknown"},
      {0x824A, "Application", "Unknown", "Unknown"},     {0x824B, "Other", "Unknown", "Unknown"},
      {0x824C, "Unknown", "Error", "Unknown"}, {0x824D, "Unknown", "Deprecated Behavior", "Unknown"},
      {0x824E, "Unknown", "Undefined Behavior", "Unknown"}, {0x824F, "Unknown", "Portability", "Unknown"},
      {0x8250, "Unknown", "Performance", "Unknown"},     {0x8251, "Unknown", "Other", "Unknown"},
      {0x9146, "Unknown", "Unknown", "High"},  {0x9147, "Unknown", "Unknown", "Medium"},
      {0x9148, "Unknown", "Unknown", "Low"},   {0x9149, "API", "Unknown", "Unknown"},
      {0x914A, "Window System", "Unknown", "Unknown"},   {0x914B, "Unknown", "Deprecated Behavior", "Unknown"},
      {0x914C, "Unknown", "Undefined Behavior", "Unknown"}, {0x914D, "Unknown", "Performance", "Unknown"},
      {0x914E, "Shader Compiler", "Unknown", "Unknown"}, {0x914F, "Application", "Unknown", "Unknown"},
      {0x9150, "Other", "Other", "Unknown"},   {GL_DEBUG_TYPE_MARKER, "Unknown", "Unknown", "Unknown"},
      {GL_DEBUG_SEVERITY_NOTIFICATION, "Unknown", "Unknown", "Unknown"}, {0, "Unknown", "Unknown", "Unknown"},
  };
  // clang-format on
  for (const Row& r : rows)
    EXPECT_EQ(formatDebugOutput(r.value, r.value, 1282, r.value, "bad enum"),
              std::string("OpenGL Error: bad enum [Source = ") + r.source + ", Type = " + r.type +
                  ", Severity = " + r.severity + ", ID = 1282]");
  ::testing::internal::CaptureStdout();
  onGlDebugMessage(GL_DEBUG_SOURCE_API, GL_DEBUG_TYPE_OTHER, 131185, GL_DEBUG_SEVERITY_NOTIFICATION, -1, "b", nullptr);
  onGlDebugMessage(GL_DEBUG_SOURCE_API, GL_DEBUG_TYPE_PERFORMANCE, 131218, GL_DEBUG_SEVERITY_MEDIUM, -1, "r", nullptr);
  onGlDebugMessage(GL_DEBUG_SOURCE_APPLICATION, GL_DEBUG_TYPE_ERROR, 131184, GL_DEBUG_SEVERITY_LOW, 4, "note", nullptr);
  onGlfwError(65544, "X11: The DISPLAY environment variable is missing");
  EXPECT_EQ(::testing::internal::GetCapturedStdout(),
            "OpenGL Error: note [Source = Application, Type = Error, Severity = Low, ID = 131184]\n"
            "GLFW error 65544: X11: The DISPLAY environment variable is missing\n");
}

// A scripted run (stdin a pipe kept open) never waits; on a terminal it waits for Enter.
TEST(Fatal, OnlyATerminalMakesTheGameWaitForEnterAndAFatalMessageExitsWithOne) {
  int pipeEnds[2], master = -1, terminal = -1;
  ASSERT_EQ(pipe(pipeEnds), 0);
  ASSERT_EQ(openpty(&master, &terminal, nullptr, nullptr, nullptr), 0);
  for (const bool onTerminal : {false, true}) {
    const pid_t pid = fork();
    if (pid == 0) {
      dup2(onTerminal ? terminal : pipeEnds[0], STDIN_FILENO);
      waitForKeyIfInteractive();
      _exit(7);
    }
    const auto exitedWithin = [&](int ms, int* status) {
      for (const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
           std::chrono::steady_clock::now() < end; std::this_thread::sleep_for(std::chrono::milliseconds(10)))
        if (waitpid(pid, status, WNOHANG) == pid) return true;
      return false;
    };
    int status = 0;
    if (onTerminal) {
      EXPECT_FALSE(exitedWithin(300, &status)) << "it must wait for a key";
      ASSERT_EQ(write(master, "\n", 1), 1);
    }
    EXPECT_TRUE(exitedWithin(2000, &status)) << onTerminal;
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 7);
    if (!WIFEXITED(status)) kill(pid, SIGKILL), waitpid(pid, &status, 0);
  }
  for (int fd : {pipeEnds[0], pipeEnds[1], master, terminal}) close(fd);
  EXPECT_EXIT(exitWithMessage("Couldn't open shader file: assets/shader/x.vert"), ::testing::ExitedWithCode(1), "");
}
