// kellvane-pictures [--light] OUTDIR [EARLIER_DIR]: the real start-up (with --light, under the
// light preset's settings), then three places of the course
// drawn by real frames and read back: start.png, torches.png and water.png in OUTDIR. Given an
// EARLIER_DIR with the same three pictures of the same size (the same tool, built from another
// commit), it also writes <name>-beside.png, earlier on the left, and prints how far each pair
// is apart. Then the same game with the HUD drawn over it: hud-start.png (the start after the
// intro), hud-paused.png and hud-finish.png (the finish screen, its best runs in OUTDIR). It
// reports figures; it exits non-zero only when it cannot start or write.
#include <GL/glew.h>
#include <GLFW/glfw3.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <iomanip>
#include <iostream>
#include <string>
#include <vector>

#include "app/camera.h"
#include "app/game.h"
#include "app/input.h"
#include "app/process_objects.h"
#include "game/level.h"
#include "physics/physics_world.h"
#include "physics/player_controller.h"
#include "render/text_renderer.h"
#include "tools/pictures/picture_pair.h"
#include "tools/tool_run.h"

namespace {

constexpr double kFrameSeconds = 1.0 / 60.0;  // the fixed step of every frame, as the benchmark's
constexpr int kIntroFramesAtMost = 600;       // the gate sinks in about 240

// One place of the course. The player stands still (no keys), the camera follows.
struct Place {
  const char* name;
  const char* shows;
  bool afterIntro;    // the start as the run finds it once the gate is down
  glm::dvec3 player;  // otherwise the capsule's centre, dropped onto the ground below
  int frames;         // drawn after the gate is down or the player placed, the last one kept
};

// The follow camera sits 30 units down the course (+z) and 5 up, looking back at the player, so
// each spot lies a little past what its picture is for.
const Place kPlaces[] = {
    // The first frame with the gate down: from the next on, the boulder rolls at the player.
    {"start", "the start after the intro, gate down", true, {}, 1},
    // Enough for the player to land, the flames to grow and the water to move.
    {"torches", "the torches at z 155 and 175, the box stacks and their shadows", false, {-6.0, 63.0, 183.0}, 90},
    {"water", "the water, the drums, the wooden block and the torch at z 330", false, {0.0, 44.5, 340.0}, 90},
};

// The HUD's three screens, drawn over the picture after the places above.
struct HudShot {
  const char* name;
  const char* shows;
};
const HudShot kHudShots[] = {
    {"hud-start", "the HUD at the start after the intro"},
    {"hud-paused", "the HUD paused at the start"},
    {"hud-finish", "the finish screen"},
};
const glm::dvec3 kFinishSpot{0.0, 38.0, 447.0};  // on the finish platform, whose top is at 36

// The run as a player who ran there would have it: the gate down, every section boundary before
// the spot passed (the light window with it) and the fall limits moved on; the rules move them one
// per frame only, so the start's fall limit would take the spot for a fall at once.
void placeRunAt(Game& game, const glm::dvec3& position) {
  restartRun(game);
  Level& level = game.level;
  if (level.gate.body) level.gate.body->setGlobalPose(level.gate.loweredPose);
  level.sectionIndex = 1;  // the gate's own increment passes the first boundary
  while (level.sectionIndex < level.sections.count && level.sections.z[level.sectionIndex] < position.z) {
    level.selectLightWindow(level.sections.windows[level.sectionIndex]);
    ++level.sectionIndex;
  }
  while (level.fallIndex + 1 < level.fallLimits.count && position.z >= level.fallLimits.endZ[level.fallIndex])
    ++level.fallIndex;
  game.controller->setPosition(position);
  // The follow camera's height trails the player's by seconds; a runner would have brought it along.
  game.camera->smoothedHeight = static_cast<float>(position.y);
}

void printDifference(const std::string& name, const PictureDifference& d) {
  std::cout << "  " << name << ": " << d.differingPixels << " of " << d.pixels << " pixels differ; mean absolute "
            << "difference per channel (0 to 255) red " << std::fixed << std::setprecision(3) << d.meanAbsolute[0]
            << ", green " << d.meanAbsolute[1] << ", blue " << d.meanAbsolute[2] << std::endl;
}

}  // namespace

int main(int argc, char** argv) {
  const bool light = argc > 1 && std::string(argv[1]) == "--light";
  if (light) {
    --argc;
    ++argv;
  }
  if (argc < 2 || argc > 3) {
    std::cout << "usage: kellvane-pictures [--light] OUTDIR [EARLIER_DIR]  (run inside the build folder: it reads "
                 "assets/)"
              << std::endl;
    return 1;
  }
  const std::filesystem::path outDir = argv[1];
  std::error_code error;
  std::filesystem::create_directories(outDir, error);
  if (!std::filesystem::is_directory(outDir)) {
    std::cout << "kellvane-pictures: cannot make the folder " << outDir.string() << std::endl;
    return 1;
  }

  double simulatedTime = 0.0;  // seconds; every frame steps by exactly kFrameSeconds
  Game game(physicsWorld, level);
  game.clock = [&simulatedTime] { return simulatedTime; };
  const int failed = startUpForTool(game, "kellvane-pictures", light ? kLightPresetSettings : "");
  if (failed) return failed;
  const int width = game.settings.width, height = game.settings.height;

  bool readNow = false;
  Picture shown;
  game.beforeSwap = [&] {
    if (!readNow) return;
    readNow = false;
    std::vector<unsigned char> rows(static_cast<size_t>(width) * static_cast<size_t>(height) * 3);
    glFinish();
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadBuffer(GL_BACK);
    glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, rows.data());
    shown = pictureFromBottomRows(width, height, rows);
  };
  auto frame = [&] {
    simulatedTime += kFrameSeconds;
    game.frame();
  };

  int written = 0;
  std::vector<std::string> names;
  auto keep = [&](const std::string& name, const char* shows) {
    const std::string path = (outDir / (name + ".png")).string();
    if (!writePicture(path, shown)) return false;
    ++written;
    names.push_back(name);
    const glm::dvec3 at = game.controller->getPosition();
    std::cout << "kellvane-pictures: " << path << " (" << shows << "; player at " << std::fixed << std::setprecision(1)
              << at.x << ", " << at.y << ", " << at.z << ")" << std::endl;
    return true;
  };
  for (const Place& place : kPlaces) {
    if (place.afterIntro) {
      restartRun(game);
      for (int i = 0; i < kIntroFramesAtMost && game.level.sectionIndex == 0; ++i) frame();
    } else {
      placeRunAt(game, place.player);
    }
    for (int i = 1; i < place.frames; ++i) frame();
    readNow = true;
    frame();
    if (!keep(place.name, place.shows)) break;
  }

  // The HUD, with a best-runs table of this folder's own that starts empty.
  game.text = std::make_unique<TextRenderer>();
  game.settings.bestRuns = true;
  std::filesystem::remove(outDir / "best-runs.txt", error);
  game.bestRuns = BestRuns((outDir / "best-runs.txt").string());
  restartRun(game);
  for (int i = 0; i < kIntroFramesAtMost && game.level.sectionIndex == 0; ++i) frame();
  readNow = true;
  frame();
  if (keep(kHudShots[0].name, kHudShots[0].shows)) {
    paused = true;
    readNow = true;
    frame();
    paused = false;
    if (keep(kHudShots[1].name, kHudShots[1].shows)) {
      placeRunAt(game, kFinishSpot);
      for (int i = 0; i < 30; ++i) frame();
      readNow = true;
      frame();
      keep(kHudShots[2].name, kHudShots[2].shows);
    }
  }
  game.beforeSwap = nullptr;
  game.shutDown();
  if (written != static_cast<int>(std::size(kPlaces) + std::size(kHudShots))) return 1;

  if (argc < 3) return 0;
  const std::filesystem::path earlierDir = argv[2];
  std::cout << "kellvane-pictures: " << earlierDir.string() << " (left) against " << outDir.string() << " (right)"
            << std::endl;
  for (const std::string& name : names) {
    const Picture earlier = readPicture((earlierDir / (name + ".png")).string());
    const Picture later = readPicture((outDir / (name + ".png")).string());
    const PictureDifference difference = comparePictures(earlier, later);
    if (!difference.comparable) {
      std::cout << "  " << name << ": no earlier picture of the same size in " << earlierDir.string()
                << ", nothing set beside it" << std::endl;
      continue;
    }
    if (!writePicture((outDir / (name + "-beside.png")).string(), besideEachOther(earlier, later))) return 1;
    printDifference(name, difference);
  }
  return 0;
}
