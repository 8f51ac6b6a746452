// The whole course played by the autopilot at three frame rates, without drawing, against the run
// the original physics library made of it (tests/e2e/course-reference, see its README).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "tools/trace/course_run.h"

namespace {

const std::string kReference = KELLVANE_COURSE_REFERENCE_DIR;

struct Reference {
  std::vector<TraceRow> rows;
  CourseSummary events;
};

const Reference& reference() {
  static const Reference loaded = [] {
    Reference r;
    std::string error;
    EXPECT_TRUE(readTrace(kReference + "/course_60.expected.txt", &r.rows, &error)) << error;
    std::ifstream events(kReference + "/course_60.events.txt");
    r.events = summariseCourseEvents(events);
    return r;
  }();
  return loaded;
}

bool contains(const std::vector<int>& all, const std::vector<int>& some) {
  return std::all_of(some.begin(), some.end(), [&](int i) { return std::count(all.begin(), all.end(), i) > 0; });
}

}  // namespace

// The frame rate of the run, frames per second.
class CourseAgainstTheOriginal : public ::testing::TestWithParam<int> {};

TEST_P(CourseAgainstTheOriginal, TheAutopilotFinishesAsTheOriginalDid) {
  const Reference& original = reference();
  ASSERT_EQ(original.rows.size(), 2129u);
  ASSERT_EQ(original.events.introEnd, 241);

  std::ostringstream events;
  CourseRun run(GetParam(), nullptr, &events);
  run.play();
  std::istringstream lines(events.str());
  const CourseSummary ours = summariseCourseEvents(lines);
  const double dt = run.dt;
  SCOPED_TRACE(events.str());

  // No capture, no fall, every hop of the line taken, and the console's end screen to the byte.
  EXPECT_EQ(ours.failures, 0);
  EXPECT_EQ(run.resets, 0);
  EXPECT_EQ(run.pilot.hop, 18u) << "hops landed";
  ASSERT_TRUE(run.course.level.finished);
  const int points = 5 * int(ours.skulls.size()) + int(ours.diamonds.size());
  std::ostringstream screen;
  screen << "FINISH!\nCollected Points: " << points << "\nTime Bonus: " << run.clockAtEndScreen
         << " Seconds = " << timeBonus(run.clockAtEndScreen)
         << " Extra Points\nEND SCORE: " << points + timeBonus(run.clockAtEndScreen) << "\n";
  EXPECT_EQ(run.endScreen, screen.str());

  // The gate takes four seconds at any rate: the intro ends within a frame of the original's.
  EXPECT_NEAR(ours.introEnd * dt, original.events.introEnd / 60.0, dt + 1.0 / 60.0);
  // The finish platform is the same place whatever the rate, give or take one frame's run; at
  // least the original's items.
  const glm::dvec3 end = run.rows.back().position, originalEnd = original.rows.back().position;
  EXPECT_LT(glm::distance(end, originalEnd), 0.3 + (GetParam() == 60 ? 0.0 : 15.0 * dt));
  EXPECT_TRUE(contains(ours.skulls, original.events.skulls));
  EXPECT_TRUE(contains(ours.diamonds, original.events.diamonds));

  std::printf("%d fps: intro ends at frame %d, clock %.4f s, %zu skulls, %zu diamonds, final gap %.3f\n", GetParam(),
              ours.introEnd, ours.clock, ours.skulls.size(), ours.diamonds.size(), glm::distance(end, originalEnd));
  if (GetParam() != 60) return;
  // At the original's own rate: the same frame, clock and items. On the way a hop taken a frame
  // earlier or later parts the paths for a while; the largest gap is for the log.
  const TraceComparison path = compareTraces(original.rows, run.rows);
  std::printf("largest gap %.3f at frame %d\n", path.largestGap, path.largestGapFrame);
  EXPECT_NEAR(ours.introEnd, original.events.introEnd, 1);
  EXPECT_NEAR(ours.clock, original.events.clock, 0.2);
  EXPECT_EQ(ours.skulls, original.events.skulls);
  EXPECT_EQ(ours.diamonds, original.events.diamonds);
}

INSTANTIATE_TEST_SUITE_P(FrameRates, CourseAgainstTheOriginal, ::testing::Values(30, 60, 144),
                         [](const ::testing::TestParamInfo<int>& info) { return std::to_string(info.param) + "fps"; });
