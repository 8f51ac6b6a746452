#pragma once
#include <ostream>
#include <string>
#include <vector>

#include "game/autopilot.h"
#include "tools/trace/headless_course.h"
#include "tools/trace/scenario.h"

// The whole course played by the autopilot, frame by frame, without drawing: the player starts
// where a reset puts it, then each frame reads the ground flag, lets the autopilot choose the keys
// and runs the game loop's order (physics, the player's move, the end screen, the rules). Every
// frame and every event is written in the course reference's two formats (tests/e2e/course-reference).
class CourseRun {
 public:
  // rate: frames per second of the fixed frame. Frame lines go to `frames`, event lines to `events`;
  // either may be null. The start line is written at once.
  CourseRun(int rate, std::ostream* frames, std::ostream* events);

  // One frame; false once the run has stopped (the score printed, or kGiveUp seconds of game time
  // without it).
  bool frame();
  // Frames until the run stops.
  void play();

  ::course::HeadlessCourse course;
  Autopilot pilot;
  const int rate;
  const float dt;  // seconds
  int frameIndex = 0;
  bool stopped = false;
  std::vector<TraceRow> rows;   // every frame line written so far
  std::string endScreen;        // what the end screen printed
  double clockAtEndScreen = 0;  // seconds, the clock the end screen printed
  int resets = 0;

  static constexpr double kGiveUp = 90.0;  // seconds of game time

 private:
  void event(const std::string& line);
  std::ostream* frames;
  std::ostream* events;
};

// What a course run's events say, as the reference's comparison reads them.
struct CourseSummary {
  int introEnd = -1;                  // the frame of the intro's own section step; -1: never
  int finished = -1;                  // the frame the finish was reached; -1: never
  double clock = -1.0;                // seconds on the end screen; negative: never printed
  std::vector<int> skulls, diamonds;  // indices picked up, in order
  int failures = 0;
};

// Reads event lines (a reference file or a CourseRun's); lines it does not know are skipped.
CourseSummary summariseCourseEvents(std::istream& events);
