#pragma once
// What the benchmark and the picture tool share to drive the real game: a settings file of their
// own (800 x 800, nothing from the player's) and a restart as the R key makes one.
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <glm/glm.hpp>
#include <string>

#include "app/camera.h"
#include "app/game.h"
#include "app/input.h"
#include "game/level.h"
#include "physics/player_controller.h"

// The real start-up from a settings file of the tool's own, written into the temporary folder
// under a name of this process and removed once start-up has read it. Returns start-up's status.
inline int startUpForTool(Game& game, const std::string& tool) {
  const std::filesystem::path path =
      std::filesystem::temp_directory_path() / (tool + "-" + std::to_string(getpid()) + ".ini");
  {
    std::ofstream out(path);
    out << "[window]\nwidth = 800\nheight = 800\nrefresh_rate = 60\nfullscreen = false\ntitle = " << tool
        << "\ndebug = false\ndebugCam = 0\n[camera]\nfov = 60.0\nnear = 0.1\nfar = 100.0\n"
           "[light]\nbrightness = 1.0\nparticles = true\n";
  }
  const int status = game.startUp(path.string());
  std::filesystem::remove(path);
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
