// The best-runs file as the game keeps it across starts, and what it does with files it cannot use.
#include "game/best_runs.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

namespace fs = std::filesystem;

std::string readAll(const std::string& path) {
  std::ostringstream text;
  text << std::ifstream(path).rdbuf();
  return text.str();
}

// best-runs.txt in a fresh folder of this test's own.
std::string freshPath(const std::string& name) {
  const fs::path dir = fs::path(::testing::TempDir()) / ("best-runs-" + name + "-" + std::to_string(getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir);
  return (dir / "best-runs.txt").string();
}

BestRun run(int score, double seconds, const std::string& date = "2026-12-08") {
  return BestRun{score, seconds, score / 20, score % 33, date};
}

// A game start: the table as the file holds it, and what the game printed.
struct Start {
  explicit Start(const std::string& path) : table(path) {
    ::testing::internal::CaptureStdout();
    table.load();
    printed = ::testing::internal::GetCapturedStdout();
  }
  int add(const BestRun& r) {
    ::testing::internal::CaptureStdout();
    const int place = table.add(r);
    printed += ::testing::internal::GetCapturedStdout();
    return place;
  }
  std::vector<int> scores() const {
    std::vector<int> s;
    for (const BestRun& r : table.runs) s.push_back(r.score);
    return s;
  }
  int lines() const { return int(std::count(printed.begin(), printed.end(), '\n')); }
  BestRuns table;
  std::string printed;
};

}  // namespace

TEST(BestRuns, KeepsTheBestTenInOrderAcrossStartsAndACrashBeforeTheRenameLeavesTheOldTable) {
  const std::string path = freshPath("order");
  {
    Start first(path);
    EXPECT_EQ(first.printed, "") << "no file yet is an empty table, silently";
    EXPECT_EQ(first.add(run(40, 30.0)), 1);
    EXPECT_EQ(first.add(run(50, 35.0)), 1);
    EXPECT_EQ(first.add(run(40, 25.0)), 2) << "equal score: the shorter run is ahead";
    EXPECT_EQ(first.add(run(40, 25.0, "2026-12-09")), 3) << "equal in all: the older run keeps its place";
  }
  Start second(path);
  ASSERT_EQ(second.scores(), (std::vector<int>{50, 40, 40, 40}));
  EXPECT_EQ(second.table.runs[1].date, "2026-12-08");
  EXPECT_EQ(second.table.runs[3].seconds, 30.0);
  for (int score : {10, 20, 30, 60, 5, 15}) second.add(run(score, 50.0));
  EXPECT_EQ(second.add(run(1, 59.0)), 0) << "eleventh: not kept";
  EXPECT_EQ(second.add(run(70, 20.0)), 1);
  EXPECT_EQ(second.printed, "");
  {
    // The next table reaches the temporary file; the game dies before the rename.
    Start dying(path);
    dying.table.runs.insert(dying.table.runs.begin(), run(99, 30.0));
    ASSERT_TRUE(dying.table.writeTemporary());
  }
  Start third(path);
  EXPECT_EQ(third.printed, "");
  ASSERT_EQ(third.scores(), (std::vector<int>{70, 60, 50, 40, 40, 40, 30, 20, 15, 10}));
  EXPECT_EQ(third.table.runs[0].skulls, 3);
  EXPECT_EQ(third.table.runs[0].diamonds, 4);
  EXPECT_EQ(third.add(run(35, 40.0)), 7);
  EXPECT_EQ(Start(path).scores(), (std::vector<int>{70, 60, 50, 40, 40, 40, 35, 30, 20, 15}));
  EXPECT_FALSE(fs::exists(third.table.temporaryPath())) << "the stale temporary file is replaced and renamed";
}

// A file the game did not write as it is now: set aside, never overwritten, and play goes on.
TEST(BestRuns, ADamagedFileIsKeptAsideWithOneMessageAndTheTableStartsEmpty) {
  std::string eleven;
  for (int i = 0; i < 11; ++i) eleven += std::to_string(100 - i) + " 40.000 3 32 2026-12-08\n";
  const std::string cases[] = {
      "47 41.5 3 32 2026-12-08\n\x01\x02garbage\n",          // bytes of something else
      "47 41.5 3 32 2026-12-08\n30 50.0 1\n",                // cut off mid-line
      "47 41.5 3 33 2026-12-08\n",                           // more diamonds than the course has
      "47 nan 3 32 2026-12-08\n",                            // no time
      "47 41.5 3 32 2026-12-08 extra\n",                     // more than a run
      "47 41.5 3 32 08.12.2026\n",                           // a date not written by the game
      "30 50.0 1 15 2026-12-07\n47 41.5 3 32 2026-12-08\n",  // out of order
      eleven,
  };
  for (const std::string& damaged : cases) {
    SCOPED_TRACE(damaged);
    const std::string path = freshPath("damaged");
    std::ofstream(path) << damaged;
    std::ofstream(path + ".damaged") << "an earlier damaged table";
    Start start(path);
    EXPECT_TRUE(start.table.runs.empty());
    EXPECT_EQ(start.lines(), 1) << start.printed;
    EXPECT_NE(start.printed.find(path + ".damaged-2"), std::string::npos) << start.printed;
    EXPECT_EQ(readAll(path + ".damaged-2"), damaged) << "kept as it was";
    EXPECT_EQ(readAll(path + ".damaged"), "an earlier damaged table") << "an earlier one is not overwritten";
    EXPECT_EQ(start.add(run(20, 45.0)), 1);
    EXPECT_EQ(Start(path).table.runs.size(), 1u) << "the new table is written";
  }
  // Undamaged lines, a comment among them, read back as they are.
  const std::string path = freshPath("good");
  std::ofstream(path) << "# comment\n47 41.500 3 32 2026-12-08\n30 50.000 1 15 2026-12-07\n";
  Start start(path);
  EXPECT_EQ(start.printed, "");
  EXPECT_EQ(start.scores(), (std::vector<int>{47, 30}));
}

TEST(BestRuns, APlaceThatCannotBeWrittenGivesOneMessageAndPlayGoesOn) {
  // Tests run as root, for whom a folder's missing write permission changes nothing; /proc takes
  // no new files from anyone.
  const std::string folder = freshPath("folder");
  fs::create_directory(folder);
  for (const auto& [path, message] : {std::pair{folder, std::string("is a folder, not a file")},
                                      {std::string("/proc/best-runs.txt"), "cannot write /proc/best-runs.txt.tmp"}}) {
    SCOPED_TRACE(path);
    Start start(path);
    EXPECT_TRUE(start.table.runs.empty());
    EXPECT_EQ(start.add(run(30, 40.0)), 1) << "the session's table still ranks the run";
    EXPECT_EQ(start.add(run(40, 40.0)), 1);
    EXPECT_EQ(start.lines(), 1) << start.printed;
    EXPECT_NE(start.printed.find(message), std::string::npos) << start.printed;
  }
  EXPECT_TRUE(fs::is_directory(folder) && fs::is_empty(folder)) << "the folder is left alone";
}
