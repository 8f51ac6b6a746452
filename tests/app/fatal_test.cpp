#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <pty.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "app/fatal.h"

namespace {

// Runs waitForKeyIfInteractive in a child whose stdin is the given descriptor; returns the child.
pid_t waitInChild(int stdinFd) {
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(stdinFd, STDIN_FILENO);
    waitForKeyIfInteractive();
    _exit(7);
  }
  return pid;
}

bool exitedWithin(pid_t pid, std::chrono::milliseconds limit, int* status) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (std::chrono::steady_clock::now() < end) {
    if (waitpid(pid, status, WNOHANG) == pid) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}

}  // namespace

TEST(Fatal, ScriptedRunWithPipedStdinNeverWaits) {
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);  // the write end stays open: a wait would block forever
  const pid_t pid = waitInChild(fds[0]);
  int status = 0;
  EXPECT_TRUE(exitedWithin(pid, std::chrono::milliseconds(2000), &status));
  if (!WIFEXITED(status)) kill(pid, SIGKILL), waitpid(pid, &status, 0);
  close(fds[0]);
  close(fds[1]);
}

TEST(Fatal, TerminalStdinWaitsForEnter) {
  int master = -1, slave = -1;
  ASSERT_EQ(openpty(&master, &slave, nullptr, nullptr, nullptr), 0);
  const pid_t pid = waitInChild(slave);
  int status = 0;
  EXPECT_FALSE(exitedWithin(pid, std::chrono::milliseconds(300), &status)) << "it must wait for a key";
  ASSERT_EQ(write(master, "\n", 1), 1);
  EXPECT_TRUE(exitedWithin(pid, std::chrono::milliseconds(2000), &status));
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 7);
  if (!WIFEXITED(status)) kill(pid, SIGKILL), waitpid(pid, &status, 0);
  close(master);
  close(slave);
}

TEST(Fatal, ExitWithMessageEndsWithStatusOne) {
  EXPECT_EXIT(exitWithMessage("Couldn't open shader file: assets/shader/x.vert"), ::testing::ExitedWithCode(1), "");
}
