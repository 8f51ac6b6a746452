#pragma once
// What the benchmark and the picture tool share to drive the real game: settings of their own
// (800 x 800, nothing from the player's) and a restart as the R key makes one.
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <glm/glm.hpp>
#include <iostream>
#include <string>

#include "app/camera.h"
#include "app/game.h"
#include "app/input.h"
#include "game/level.h"
#include "physics/player_controller.h"

// The light preset for machines that draw in software, as README's settings part gives it: no
// multisampling, the scene at half the window's size, no shadow maps.
inline const char* const kLightPresetSettings =
    "[window]\nsamples = 0\nrender_scale = 0.5\n[light]\nshadows = none\n";

// The real start-up from settings of the tool's own, plus `extraSettings` (keys the base text does
// not name, such as the light preset's). They are handed over in a file that lives
// only in memory, named by its descriptor under /proc: no name in a shared folder that another user
// could guess and put a link at, and nothing left behind however start-up ends (a fatal message
// exits, a crash kills). Returns start-up's status.
inline int startUpForTool(Game& game, const std::string& tool, const std::string& extraSettings = "") {
  const std::string text =
      "[window]\nwidth = 800\nheight = 800\nrefresh_rate = 60\nfullscreen = false\ntitle = " + tool +
      "\ndebug = false\ndebugCam = 0\n[camera]\nfov = 60.0\nnear = 0.1\nfar = 100.0\n"
      "[light]\nbrightness = 1.0\nparticles = true\n" + extraSettings;
  const int file = memfd_create((tool + "-settings.ini").c_str(), MFD_CLOEXEC);
  size_t written = 0;
  while (file >= 0 && written < text.size()) {
    const ssize_t got = write(file, text.data() + written, text.size() - written);
    if (got <= 0) break;
    written += static_cast<size_t>(got);
  }
  if (file < 0 || written < text.size()) {
    std::cout << "ERROR: " << tool << " could not write its settings in memory (" << std::strerror(errno)
              << "); it stops." << std::endl;
    if (file >= 0) close(file);
    return 1;
  }
  const int status = game.startUp("/proc/self/fd/" + std::to_string(file));
  close(file);
  return status;
}

// A run starts as the R key starts one, with a fresh camera (its debug mode kept) and no keys held.
inline void restartRun(Game& game) {
  keyState.reset();
  moveAxes = glm::vec3(0.0f);
  jumpHeld = false;
  paused = false;
  game.controller->setPosition(game.level.startPosition);
  game.level.reset();
  const bool debug = game.camera->debug;
  *game.camera = Camera(game.settings.fov, game.settings.aspect());
  game.camera->debug = debug;
}
