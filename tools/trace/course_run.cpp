#include "tools/trace/course_run.h"

#include <cstdio>
#include <iostream>
#include <sstream>

namespace {

std::string formatted(const char* format, double a, double b = 0.0, double c = 0.0) {
  char line[160];
  std::snprintf(line, sizeof line, format, a, b, c);
  return line;
}

}  // namespace

CourseRun::CourseRun(int rate, std::ostream* frames, std::ostream* events)
    : rate(rate), dt(1.0f / float(rate)), frames(frames), events(events) {
  course.level.reset();  // stands the player at the start
  const int bodies = course.level.solids.count + course.level.looseBoxes.count + (course.level.boulder.body ? 1 : 0) +
                     (course.level.gate.body ? 1 : 0);
  if (events)
    *events << "start " << rate << " fps dt " << formatted("%.10f", double(dt)) << " bodies " << bodies << "\n";
}

void CourseRun::event(const std::string& line) {
  if (events) *events << line << "\n";
}

bool CourseRun::frame() {
  if (stopped) return false;
  Level& level = course.level;
  PhysicsWorld& world = course.world;
  const std::string at = " " + std::to_string(frameIndex);

  // The autopilot decides on what the last move reported; its own log lines become events.
  const bool grounded = (world.lastCollisionFlags & kCollisionDown) != 0;
  const std::size_t logged = pilot.log.str().size();
  const Autopilot::Keys keys = pilot.decide(course.controller->getPosition(), grounded, level.clock);
  std::istringstream news(pilot.log.str().substr(logged));
  for (std::string word, rest; news >> word && std::getline(news, rest);) event(word + at + rest);

  world.stepPhysics(dt);
  moveAxes = glm::vec3(keys.xAxis, 0.0f, keys.zAxis);
  jumpHeld = keys.jump;
  world.movePlayer(moveAxes, 0.0f, dt);
  const glm::dvec3 position = course.controller->getPosition();
  rows.push_back(TraceRow{frameIndex, position, world.lastCollisionFlags, world.verticalVelocity});
  if (frames) *frames << formatTraceRow(rows.back());

  // The end screen prints during the scene pass, before the rules.
  std::ostringstream screen;
  std::streambuf* console = std::cout.rdbuf(screen.rdbuf());
  level.draw();
  std::cout.rdbuf(console);
  if (!screen.str().empty()) {
    endScreen += screen.str();
    clockAtEndScreen = level.clock;
    std::istringstream lines(screen.str());
    for (std::string line; std::getline(lines, line);) event("end" + at + " " + line);
  }

  const int section = level.sectionIndex;
  const bool wasFailed = level.failed, wasFinished = level.finished;
  const double clockBefore = level.clock;
  const std::vector<bool> skulls = level.skulls.collected, diamonds = level.diamonds.collected;
  level.update(position, dt);

  if (level.sectionIndex > section && level.sectionIndex <= level.sections.count)
    event("section" + at + " " + std::to_string(level.sections.z[section]) + formatted(" z %.4f", position.z));
  const bool reset = level.clock < clockBefore;
  if (!reset) {
    for (std::size_t i = 0; i < skulls.size(); ++i)
      if (!skulls[i] && level.skulls.collected[i]) event("pickup" + at + " skull " + std::to_string(i));
    for (std::size_t i = 0; i < diamonds.size(); ++i)
      if (!diamonds[i] && level.diamonds.collected[i]) event("pickup" + at + " diamond " + std::to_string(i));
  }
  // A capture stays failed for two seconds; a fall restarts within the same update.
  if (level.failed && !wasFailed) event("failed" + at + " caught");
  if (reset && !wasFailed) event("failed" + at + " fell");
  if (reset) {
    event("reset" + at);
    ++resets;
    pilot = Autopilot();
  }
  if (level.finished && !wasFinished)
    event("finished" + at + formatted(" clock %.6f z %.4f y %.4f", level.clock, position.z, position.y));

  ++frameIndex;
  if (level.scorePrinted) {
    event("stop" + at + formatted(" score clock %.6f", level.clock));
    stopped = true;
  } else if (frameIndex * double(dt) >= kGiveUp) {
    event("stop" + at + formatted(" gave up clock %.6f", level.clock));
    stopped = true;
  }
  return !stopped;
}

void CourseRun::play() {
  while (frame()) {
  }
}

CourseSummary summariseCourseEvents(std::istream& events) {
  CourseSummary summary;
  for (std::string line; std::getline(events, line);) {
    std::istringstream fields(line);
    std::string name, what;
    int frame = 0;
    if (!(fields >> name >> frame)) continue;
    if (name == "section" && summary.introEnd < 0 && fields >> what && what == "0") {
      summary.introEnd = frame;
    } else if (name == "pickup" && fields >> what) {
      int index = -1;
      if (fields >> index) (what == "skull" ? summary.skulls : summary.diamonds).push_back(index);
    } else if (name == "finished" && summary.finished < 0) {
      summary.finished = frame;
    } else if (name == "failed") {
      ++summary.failures;
    } else if (name == "end" && line.find("Time Bonus:") != std::string::npos) {
      std::istringstream bonus(line.substr(line.find("Time Bonus:") + 11));
      bonus >> summary.clock;
    }
  }
  return summary;
}
