// kellvane-bench [frames] [hud] [default|light]: the real start-up and a fixed number of real
// frames along the autopilot's line, once with every object drawn into every pass and once with
// the skipping on. Prints the figures of both runs, then one JSON line. Without a preset named it
// does this for the default settings and then, in a fresh process of its own (the level and the
// physics world are the process's), for the light preset. With hud the HUD is drawn over every
// frame, as with `hud = true`. It reports figures; it never fails on one.
#include <GL/glew.h>
#include <GLFW/glfw3.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <iostream>
#include <string>
#include <vector>

#include "app/camera.h"
#include "app/game.h"
#include "app/input.h"
#include "app/process_objects.h"
#include "game/autopilot.h"
#include "game/level.h"
#include "physics/physics_world.h"
#include "physics/player_controller.h"
#include "render/optimised_frames.h"
#include "render/text_renderer.h"
#include "render/view_culling.h"
#include "scene/frame_probe.h"
#include "tools/bench/draw_counter.h"
#include "tools/bench/frame_stats.h"
#include "tools/bench/picture_check.h"
#include "tools/tool_run.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr double kFrameSeconds = 1.0 / 60.0;  // the fixed step both runs take
constexpr int kDefaultFrames = 300;
constexpr int kComparisons = 3;  // read-back frames compared per run

double millisecondsBetween(Clock::time_point a, Clock::time_point b) {
  return std::chrono::duration<double, std::milli>(b - a).count();
}

// The GL passes in frame order: the sun, the four torches, the scene, the sky, the flames.
constexpr int kPasses = 8;
const char* const kPassNames[kPasses] = {"sun shadow",    "cube shadow 1", "cube shadow 2", "cube shadow 3",
                                         "cube shadow 4", "scene",         "sky",           "particles"};

int passIndex(FrameStage stage) {
  const int i = static_cast<int>(stage) - static_cast<int>(FrameStage::SunShadow);
  return i >= 0 && i < kPasses ? i : -1;
}

struct FrameRecord {
  double frameMs = 0.0;
  double swapMs = 0.0;
  double physicsMs = 0.0, playerMs = 0.0, rulesMs = 0.0;
  std::array<double, kPasses> gpuMs{};  // from GL timer queries
  std::array<double, kPasses> cpuMs{};  // time the main thread spent issuing the pass
  long long drawCalls = 0;
  long long skippedObjects = 0;
  double sceneFsInvocations = 0.0;  // fragment shader runs of the scene pass, from a statistics query
  // Samples of the scene pass that passed the depth test. llvmpipe counts the invocations above as
  // it rasterises, before its early depth test; these are the ones it then shades.
  double scenePassedSamples = 0.0;
};

// Hangs on the frame loop's stage marks: CPU time between marks, a GL timer query per pass, a
// fragment shader count of the scene pass where the driver has the statistics queries, and an
// optional action run when the rules are about to start (the picture is complete then).
class StageTimer {
 public:
  void install() {
    glGenQueries(kPasses, queries.data());
    // Core since 4.6; Mesa's llvmpipe offers it as the ARB extension on a 4.5 context.
    countsInvocations = GLEW_ARB_pipeline_statistics_query || GLEW_VERSION_4_6;
    if (countsInvocations) glGenQueries(1, &invocationQuery);
    glGenQueries(1, &passedQuery);
    frameProbe.onStage = [this](FrameStage stage) { onStage(stage); };
  }
  void uninstall() {
    frameProbe.onStage = nullptr;
    glDeleteQueries(kPasses, queries.data());
    if (invocationQuery) glDeleteQueries(1, &invocationQuery);
    invocationQuery = 0;
    glDeleteQueries(1, &passedQuery);
    passedQuery = 0;
  }

  // False where the driver cannot count shader invocations: the figure is then missing, not 0.
  bool countsInvocations = false;

  void beginFrame() {
    record = FrameRecord{};
    used.fill(false);
    invocationsUsed = false;
    passedUsed = false;
    haveLast = false;
  }

  // Blocks until the frame's queries are done; call after the frame.
  FrameRecord finishFrame() {
    for (int i = 0; i < kPasses; ++i) {
      if (!used[i]) continue;
      GLuint64 nanoseconds = 0;
      glGetQueryObjectui64v(queries[i], GL_QUERY_RESULT, &nanoseconds);
      record.gpuMs[i] = static_cast<double>(nanoseconds) * 1e-6;
    }
    if (invocationsUsed) {
      GLuint64 invocations = 0;
      glGetQueryObjectui64v(invocationQuery, GL_QUERY_RESULT, &invocations);
      record.sceneFsInvocations = static_cast<double>(invocations);
    }
    if (passedUsed) {
      GLuint64 samples = 0;
      glGetQueryObjectui64v(passedQuery, GL_QUERY_RESULT, &samples);
      record.scenePassedSamples = static_cast<double>(samples);
    }
    return record;
  }

  std::function<void()> atRules;  // runs once, then is cleared

 private:
  void onStage(FrameStage stage) {
    if (muted) return;
    // A software renderer defers a pass's rasterising until something needs its result, often the
    // next pass; finishing each pass here charges its work to it, not to whoever comes next.
    if (running >= 0) glFinish();
    const Clock::time_point now = Clock::now();
    if (haveLast) charge(lastStage, millisecondsBetween(last, now));
    if (running >= 0) glEndQuery(GL_TIME_ELAPSED);
    running = -1;
    // A statistics query is a target of its own, so it runs beside the scene's timer query.
    if (countingInvocations) glEndQuery(GL_FRAGMENT_SHADER_INVOCATIONS_ARB);
    countingInvocations = false;
    if (countingPassed) glEndQuery(GL_SAMPLES_PASSED);
    countingPassed = false;
    if (stage == FrameStage::Rules && atRules) {
      muted = true;  // the action may draw the passes again; those marks are not this frame's
      atRules();
      atRules = nullptr;
      muted = false;
    }
    const int pass = passIndex(stage);
    if (pass >= 0) {
      glBeginQuery(GL_TIME_ELAPSED, queries[pass]);
      used[pass] = true;
      running = pass;
    }
    if (stage == FrameStage::Scene && countsInvocations) {
      glBeginQuery(GL_FRAGMENT_SHADER_INVOCATIONS_ARB, invocationQuery);
      countingInvocations = true;
      invocationsUsed = true;
    }
    if (stage == FrameStage::Scene) {
      glBeginQuery(GL_SAMPLES_PASSED, passedQuery);
      countingPassed = passedUsed = true;
    }
    last = Clock::now();
    lastStage = stage;
    haveLast = stage != FrameStage::FrameEnd;
  }

  void charge(FrameStage stage, double ms) {
    if (stage == FrameStage::Physics) record.physicsMs += ms;
    if (stage == FrameStage::PlayerMove) record.playerMs += ms;
    if (stage == FrameStage::Rules) record.rulesMs += ms;
    const int pass = passIndex(stage);
    if (pass >= 0) record.cpuMs[pass] += ms;
  }

  std::array<GLuint, kPasses> queries{};
  std::array<bool, kPasses> used{};
  int running = -1;
  GLuint invocationQuery = 0;
  bool countingInvocations = false;
  bool invocationsUsed = false;
  GLuint passedQuery = 0;
  bool countingPassed = false;
  bool passedUsed = false;
  bool muted = false;
  bool haveLast = false;
  FrameStage lastStage = FrameStage::FrameEnd;
  Clock::time_point last;
  FrameRecord record;
};

struct Comparison {
  int frames = 0;
  int identical = 0;
  long long differingBytes = 0;
};

struct RunResult {
  std::vector<FrameRecord> frames;  // timed frames (those with a read-back comparison are left out)
  std::vector<glm::dvec3> path;     // the player's position after each frame
};

// The autopilot's keys become the arrow keys the frame loop reads.
void holdKeys(const Autopilot::Keys& keys) {
  keyState.reset();
  if (keys.xAxis < 0.0f) keyState.set(kKeyLeft);
  if (keys.xAxis > 0.0f) keyState.set(kKeyRight);
  if (keys.zAxis > 0.0f) keyState.set(kKeyDown);  // down the screen is forward along +z
  if (keys.jump) keyState.set(kKeyLeftControl);
}

RunResult runFrames(Game& game, StageTimer& timer, double& simulatedTime, int frameCount, bool optimised,
                    Comparison& comparison) {
  RunResult result;
  optimisedFrames = optimised;
  restartRun(game);
  Autopilot pilot;
  for (int i = 0; i < frameCount; ++i) {
    const bool grounded = (game.world.lastCollisionFlags & kCollisionDown) != 0;
    holdKeys(pilot.decide(game.controller->getPosition(), grounded, game.level.clock));

    // Compare the finished picture with the other mode's drawing of the same state, a few times
    // spread over the run.
    const bool compare = (i + 1) % std::max(1, frameCount / kComparisons) == 0;
    if (compare) {
      timer.atRules = [&] {
        const PictureComparison compared = compareWithTheOtherMode(game);
        ++comparison.frames;
        if (compared.identical) ++comparison.identical;
        comparison.differingBytes += compared.differingBytes;
      };
    }

    simulatedTime += kFrameSeconds;  // the clock the frame's timing step reads
    timer.beginFrame();
    const long long drawsBefore = drawCallCount;
    const long long skippedBefore = viewCulling.skippedObjects;
    const Clock::time_point start = Clock::now();
    Clock::time_point swapStart = start;
    game.beforeSwap = [&swapStart] { swapStart = Clock::now(); };
    game.frame();
    glFinish();
    const Clock::time_point end = Clock::now();
    game.beforeSwap = nullptr;
    FrameRecord record = timer.finishFrame();
    record.frameMs = millisecondsBetween(start, end);
    record.swapMs = millisecondsBetween(swapStart, end);
    record.drawCalls = drawCallCount - drawsBefore;
    record.skippedObjects = viewCulling.skippedObjects - skippedBefore;
    if (!compare) result.frames.push_back(record);
    result.path.push_back(game.controller->getPosition());
  }
  return result;
}

template <typename Field>
std::vector<double> column(const std::vector<FrameRecord>& frames, Field field) {
  std::vector<double> values;
  values.reserve(frames.size());
  for (const FrameRecord& f : frames) values.push_back(field(f));
  return values;
}

}  // namespace

int main(int argc, char** argv) {
  int frames = kDefaultFrames;
  // The words after the frame count, in any order.
  bool withHud = false;
  std::string preset = "both";
  for (int i = 2; i < argc; ++i) {
    const std::string word = argv[i];
    if (word == "hud") {
      withHud = true;
    } else if (word == "default" || word == "light") {
      preset = word;
    } else {
      std::cout << "kellvane-bench: \"" << word << "\" is neither hud, default nor light; left out" << std::endl;
    }
  }
  const bool light = preset == "light";
  if (argc > 1) {
    const int wanted = std::atoi(argv[1]);
    if (wanted >= 1 && wanted <= 1000000)
      frames = wanted;
    else
      std::cout << "kellvane-bench: frame count \"" << argv[1] << "\" is not 1 to 1000000, using " << frames
                << std::endl;
  }

  const Clock::time_point launch = Clock::now();
  double simulatedTime = 0.0;  // seconds; both runs step by exactly kFrameSeconds
  Game game(physicsWorld, level);
  game.clock = [&simulatedTime] { return simulatedTime; };
  const int failed = startUpForTool(game, "kellvane-bench", light ? kLightPresetSettings : "");
  if (failed) return failed;
  if (withHud) {
    game.text = std::make_unique<TextRenderer>();
    std::cout << "kellvane-bench: the HUD is drawn over every frame" << std::endl;
  }
  wrapLoaderDrawCalls();

  // Start-up ends with the first frame on screen.
  simulatedTime += kFrameSeconds;
  game.frame();
  glFinish();
  const double startupSeconds = millisecondsBetween(launch, Clock::now()) / 1000.0;

  StageTimer timer;
  timer.install();
  Comparison comparison;
  const RunResult everything = runFrames(game, timer, simulatedTime, frames, false, comparison);
  const RunResult optimised = runFrames(game, timer, simulatedTime, frames, true, comparison);
  timer.uninstall();
  optimisedFrames = true;

  double largestGap = 0.0;
  for (size_t i = 0; i < everything.path.size() && i < optimised.path.size(); ++i)
    largestGap = std::max(largestGap, glm::distance(everything.path[i], optimised.path[i]));
  const GLenum glError = glGetError();
  const double peakMb = peakResidentMegabytes();

  BenchReport report;
  report.frames = frames;
  report.preset = light ? "light" : "default";
  report.width = game.settings.width;
  report.height = game.settings.height;
  report.drawnWidth = game.sceneTarget.width();
  report.drawnHeight = game.sceneTarget.height();
  report.samples = std::max(1, game.settings.samples);
  for (int pass = 0; pass < kPasses; ++pass) report.passNames.push_back(kPassNames[pass]);
  const RunResult* runs[2] = {&everything, &optimised};
  for (int r = 0; r < 2; ++r) {
    const std::vector<FrameRecord>& f = runs[r]->frames;
    RunFigures& figures = report.runs[r];
    figures.frameMs = column(f, [](const FrameRecord& x) { return x.frameMs; });
    figures.swapMs = column(f, [](const FrameRecord& x) { return x.swapMs; });
    figures.physicsMs = column(f, [](const FrameRecord& x) { return x.physicsMs; });
    figures.playerMs = column(f, [](const FrameRecord& x) { return x.playerMs; });
    figures.rulesMs = column(f, [](const FrameRecord& x) { return x.rulesMs; });
    figures.drawCalls = column(f, [](const FrameRecord& x) { return static_cast<double>(x.drawCalls); });
    figures.skippedObjects = column(f, [](const FrameRecord& x) { return static_cast<double>(x.skippedObjects); });
    figures.scenePassedSamples = column(f, [](const FrameRecord& x) { return x.scenePassedSamples; });
    if (timer.countsInvocations)
      figures.sceneFsInvocations = column(f, [](const FrameRecord& x) { return x.sceneFsInvocations; });
    for (int pass = 0; pass < kPasses; ++pass) {
      figures.gpuMs.push_back(column(f, [pass](const FrameRecord& x) { return x.gpuMs[pass]; }));
      figures.cpuMs.push_back(column(f, [pass](const FrameRecord& x) { return x.cpuMs[pass]; }));
    }
  }
  report.startupSeconds = startupSeconds;
  report.peakRssMb = peakMb;
  report.comparedFrames = comparison.frames;
  report.identicalFrames = comparison.identical;
  report.differingBytes = comparison.differingBytes;
  report.largestPathGap = largestGap;
  report.countsInvocations = timer.countsInvocations;
  report.glError = static_cast<unsigned>(glError);

  game.shutDown();
  printReport(std::cout, report);
  if (preset != "both") return 0;
  // The light preset needs a window of its own (no samples), and this process's level is built.
  std::cout << std::endl;
  const std::string again =
      "exec /proc/" + std::to_string(getpid()) + "/exe " + std::to_string(frames) + (withHud ? " hud" : "") + " light";
  const int status = std::system(again.c_str());
  return status == 0 ? 0 : 1;
}
