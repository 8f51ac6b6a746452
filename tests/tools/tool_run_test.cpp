// The benchmark's and the picture tool's own settings on their way into the real start-up.
#include "tools/tool_run.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "app/process_objects.h"

// Start-up fails at once without a display. A link planted at any name the tool could write in the
// temporary folder is not followed; and a process that dies during start-up (here of its first
// message going to a closed pipe, as one that exits or crashes there) leaves nothing behind.
TEST(ToolRun, TheSettingsFollowNoPlantedLinkAndOutliveNoFailedStartUp) {
  namespace fs = std::filesystem;
  const fs::path dir = fs::path(::testing::TempDir()) / ("tool-run-" + std::to_string(getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir);
  const fs::path victim = dir / "victim.txt";
  std::ofstream(victim) << "mine\n";
  for (const bool dies : {false, true}) {
    SCOPED_TRACE(dies ? "dies during start-up" : "start-up fails");
    int out[2];
    ASSERT_EQ(pipe(out), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      setenv("TMPDIR", dir.c_str(), 1);
      unsetenv("DISPLAY");
      unsetenv("WAYLAND_DISPLAY");
      // The name a tool of this process would have used before, pointing at someone's file.
      if (!dies) fs::create_symlink(victim, dir / ("kellvane-test-" + std::to_string(getpid()) + ".ini"));
      dup2(out[1], STDOUT_FILENO);
      close(out[0]);
      close(out[1]);
      Game game{physicsWorld, level};
      _exit(startUpForTool(game, "kellvane-test"));
    }
    close(out[1]);
    if (dies) close(out[0]);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    if (!dies) close(out[0]);
    EXPECT_TRUE(dies ? WIFSIGNALED(status) && WTERMSIG(status) == SIGPIPE
                     : WIFEXITED(status) && WEXITSTATUS(status) == 1)
        << "status " << status;
    std::stringstream mine;
    mine << std::ifstream(victim).rdbuf();
    EXPECT_EQ(mine.str(), "mine\n") << "the file behind the link was written";
    // Only the planted link (named for the child) stays beside the victim.
    std::set<std::string> left, expected{"victim.txt"};
    if (!dies) expected.insert("kellvane-test-" + std::to_string(child) + ".ini");
    for (const fs::directory_entry& entry : fs::directory_iterator(dir)) left.insert(entry.path().filename());
    EXPECT_EQ(left, expected);
    if (!dies) fs::remove(dir / ("kellvane-test-" + std::to_string(child) + ".ini"));
  }
  fs::remove_all(dir);
}
