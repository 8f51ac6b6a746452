#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <sstream>
#include <string>
#include <vector>

#include "tools/trace/scenario.h"

namespace fs = std::filesystem;

namespace {

// Every scenario of the reference folder, listed when the tests start.
std::vector<std::string> scenarioFiles() {
  std::vector<std::string> files;
  std::error_code ec;
  for (const fs::directory_entry& entry : fs::directory_iterator(KELLVANE_TRACE_DIR, ec)) {
    if (entry.path().extension() == ".json") files.push_back(entry.path().string());
  }
  std::sort(files.begin(), files.end());
  return files;
}

std::string scenarioTestName(const testing::TestParamInfo<std::string>& info) {
  std::string name = fs::path(info.param).stem().string();
  for (char& c : name) {
    if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
  }
  return name;
}

// README: "Positions agree to about 1e-6 where nothing is touched"; a little room for the landing.
constexpr double kUntouchedTolerance = 1e-5;  // world units
constexpr double kSidesFlagsAgree = 0.95;     // share of frames
constexpr double kDownFlagsAgree = 0.6;       // share of frames

}  // namespace

TEST(ControllerTraces, FolderHoldsScenarios) {
  EXPECT_FALSE(scenarioFiles().empty()) << "no *.json in " << KELLVANE_TRACE_DIR;
}

class ControllerTrace : public testing::TestWithParam<std::string> {};

TEST_P(ControllerTrace, StaysWithTheOriginalController) {
  Scenario scenario;
  std::string error;
  ASSERT_TRUE(readScenario(GetParam(), &scenario, &error)) << error;
  std::vector<TraceRow> reference;
  const std::string expectedPath = GetParam().substr(0, GetParam().size() - 5) + ".expected.txt";
  ASSERT_TRUE(readTrace(expectedPath, &reference, &error)) << error;
  ASSERT_EQ(reference.size(), static_cast<size_t>(scenario.frames)) << expectedPath;

  const std::vector<TraceRow> trace = runScenario(scenario);
  ASSERT_EQ(trace.size(), static_cast<size_t>(scenario.frames));

  // Until the reference first touches anything the capsule only falls, and every step of the set-up
  // (start, frame length, starting vertical velocity, gravity) shows in the positions.
  for (size_t i = 0; i < reference.size() && reference[i].flags == 0; ++i) {
    ASSERT_LE(glm::distance(reference[i].position, trace[i].position), kUntouchedTolerance) << "frame " << i;
  }

  const TraceComparison c = compareTraces(reference, trace);
  std::ostringstream gaps;
  gaps << std::fixed << std::setprecision(4) << scenario.name << ": largest gap " << c.largestGap << " at frame "
       << c.largestGapFrame << ", final gap " << c.finalGap << " (allowed " << kTraceLargestTolerance << " and "
       << kTraceFinalTolerance << "); down flags agree " << std::setprecision(0) << c.downFlagsAgree * 100
       << "%, sides flags agree " << c.sidesFlagsAgree * 100 << "%";
  EXPECT_TRUE(c.withinTolerance()) << gaps.str();
  // The flags the game acts on: sides agree on every frame but a few, and whether a walking frame
  // reports the ground is float rounding in the original too, so down agrees on most frames only.
  EXPECT_GE(c.sidesFlagsAgree, kSidesFlagsAgree) << gaps.str();
  EXPECT_GE(c.downFlagsAgree, kDownFlagsAgree) << gaps.str();
}

INSTANTIATE_TEST_SUITE_P(Reference, ControllerTrace, testing::ValuesIn(scenarioFiles()), scenarioTestName);
// An empty folder is reported by ControllerTraces.FolderHoldsScenarios.
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(ControllerTrace);

TEST(ControllerTraces, ComparisonAllowsSmallFinalAndBoundedLargestGaps) {
  std::vector<TraceRow> reference(10);
  for (int i = 0; i < 10; ++i) reference[i] = TraceRow{i, {0.0, 2.55, 1.5 * i}, 4u, -9.0f};
  auto shifted = [&](int frame, double dz) {
    std::vector<TraceRow> t = reference;
    t[frame].position.z += dz;
    return t;
  };

  EXPECT_TRUE(compareTraces(reference, reference).withinTolerance());
  EXPECT_TRUE(compareTraces(reference, shifted(9, 0.29)).withinTolerance());
  EXPECT_FALSE(compareTraces(reference, shifted(9, 0.31)).withinTolerance());
  // Far off in between is allowed up to 1.5 as long as the end agrees.
  EXPECT_TRUE(compareTraces(reference, shifted(4, 1.49)).withinTolerance());
  const TraceComparison strayed = compareTraces(reference, shifted(4, -1.51));
  EXPECT_FALSE(strayed.withinTolerance());
  EXPECT_EQ(strayed.largestGapFrame, 4);
  EXPECT_NEAR(strayed.largestGap, 1.51, 1e-9);
  EXPECT_NEAR(strayed.finalGap, 0.0, 1e-12);
  // A position that is not a number is as far off as can be, not skipped.
  EXPECT_FALSE(compareTraces(reference, shifted(4, std::nan(""))).withinTolerance());
  // A trace that stops early never passes, however close its frames are.
  EXPECT_FALSE(
      compareTraces(reference, std::vector<TraceRow>(reference.begin(), reference.end() - 1)).withinTolerance());
  EXPECT_FALSE(compareTraces(reference, {}).withinTolerance());

  std::vector<TraceRow> flags = reference;
  flags[0].flags = 1u;  // sides only: down disagrees, sides disagrees
  flags[1].flags = 5u;  // down and sides: sides disagrees
  const TraceComparison f = compareTraces(reference, flags);
  EXPECT_TRUE(f.withinTolerance());
  EXPECT_DOUBLE_EQ(f.downFlagsAgree, 0.9);
  EXPECT_DOUBLE_EQ(f.sidesFlagsAgree, 0.8);
}

// Small damaged scenarios and traces: each is refused with a message naming the file (and the field).
TEST(ControllerTraces, ReaderRefusesDamagedScenariosAndTraces) {
  const std::string valid = R"({"name": "probe", "dt": 0.016666668, "frames": 3, "start": [0, 2.55, 0],
    "ground": true, "moveSpeed": 15,
    "bodies": [{"kind": "kinematic", "shape": "box", "position": [0, 0.5, 0], "size": [40, 1, 40]},
               {"kind": "dynamic", "shape": "hull", "position": [0, 3, 5],
                "points": [[0, 0, 0], [1, 0, 0], [0, 1, 0], [0, 0, 1]]}],
    "inputs": [{"from": 0, "axes": [0, 0], "jump": false}],
    "drive": [{"body": 1, "from": 0, "velocity": [0, 0, 0], "angular": [0, 0, 0]}]})";
  auto replaced = [&](const std::string& what, const std::string& with) {
    std::string text = valid;
    const size_t at = text.find(what);
    EXPECT_NE(at, std::string::npos) << what;
    return at == std::string::npos ? text : text.replace(at, what.size(), with);
  };
  struct Case {
    const char* label;
    std::string text;
    const char* field;  // must appear in the message
  };
  const std::vector<Case> cases = {
      {"missing field", replaced(R"("dt": 0.016666668, )", ""), "dt"},
      {"unknown shape", replaced(R"("shape": "box")", R"("shape": "cone")"), "bodies[0].shape"},
      {"unknown kind", replaced(R"("kind": "dynamic")", R"("kind": "static")"), "bodies[1].kind"},
      {"body index out of range", replaced(R"("body": 1)", R"("body": 2)"), "drive[0].body"},
      {"negative body index", replaced(R"("body": 1)", R"("body": -1)"), "drive[0].body"},
      {"beyond float range", replaced(R"([40, 1, 40])", R"([40, 1e39, 40])"), "bodies[0].size[1]"},
      {"beyond double range", replaced(R"("moveSpeed": 15)", R"("moveSpeed": 1e999)"), "JSON"},
      {"negative frames", replaced(R"("frames": 3)", R"("frames": -1)"), "frames"},
      {"fractional frames", replaced(R"("frames": 3)", R"("frames": 3.5)"), "frames"},
      {"empty hull", replaced(R"([[0, 0, 0], [1, 0, 0], [0, 1, 0], [0, 0, 1]])", "[]"), "bodies[1].points"},
      {"flat hull", replaced(R"([0, 0, 1]])", "[1, 1, 0]]"), "bodies[1].points"},
      {"misspelt field", replaced(R"("size")", R"("sizes")"), "bodies[0].sizes"},
      {"text for a number", replaced(R"("axes": [0, 0])", R"("axes": [0, "1"])"), "inputs[0].axes[1]"},
      {"field given twice", replaced(R"("frames": 3)", R"("frames": 3, "frames": 4)"), "frames"},
      {"no ground", replaced(R"("ground": true)", R"("ground": false)"), "without ground"},
      {"not JSON at all", "0 0.0 2.55 0.0 0 15.0\n", "JSON"},
      {"empty file", "", "JSON"},
  };

  const fs::path dir = fs::temp_directory_path() / ("kellvane-trace-reader-" + std::to_string(::getpid()));
  fs::create_directories(dir);
  auto write = [&](const std::string& name, const std::string& text) {
    const std::string path = (dir / name).string();
    std::ofstream(path) << text;
    return path;
  };

  Scenario scenario;
  std::string error;
  ASSERT_TRUE(readScenario(write("valid.json", valid), &scenario, &error)) << error;
  EXPECT_EQ(runScenario(scenario).size(), 3u);

  for (const Case& c : cases) {
    const std::string path = write("damaged.json", c.text);
    error.clear();
    EXPECT_FALSE(readScenario(path, &scenario, &error)) << c.label;
    EXPECT_NE(error.find(path), std::string::npos) << c.label << ": " << error;
    EXPECT_NE(error.find(c.field), std::string::npos) << c.label << ": " << error;
  }
  error.clear();
  EXPECT_FALSE(readScenario((dir / "absent.json").string(), &scenario, &error));
  EXPECT_NE(error.find("absent.json"), std::string::npos) << error;

  // Traces: a folder, a file whose reading fails, an empty file and one out of order are no trace.
  std::vector<TraceRow> rows;
  ASSERT_TRUE(readTrace(write("good.txt", "0 0 2.55 0 4 -9\n1 0 2.55 0.25 0 -9\n"), &rows, &error)) << error;
  EXPECT_EQ(rows.size(), 2u);
  for (const std::string& path : {dir.string(), std::string("/proc/self/mem"), write("empty.txt", "\n"),
                                  write("skips.txt", "0 0 2.55 0 4 -9\n2 0 2.55 0.5 0 -9\n")}) {
    error.clear();
    rows.assign(1, TraceRow{});
    EXPECT_FALSE(readTrace(path, &rows, &error)) << path;
    EXPECT_NE(error.find(path), std::string::npos) << error;
    EXPECT_EQ(rows.size(), 1u) << path << ": left as it was";
  }
  fs::remove_all(dir);
}
