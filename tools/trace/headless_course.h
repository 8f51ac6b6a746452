#pragma once
// The real course in a real physics world with the real player controller, built without meshes
// so that no GL context is needed. Texture values are made-up GL names, distinct per input.
#include "game/level.h"
#include "physics/physics_world.h"
#include "physics/player_controller.h"

namespace course {

constexpr unsigned kNoise3 = 13, kNoise5 = 15, kNoise6 = 16, kTexSpec1 = 21, kTexSpec2 = 22, kTexSpec3 = 23,
                   kTexSpec4 = 24, kTex2Spec = 31, kTex2Spec2 = 32, kTilesSpecular = 41, kWoodSpecular = 42;
constexpr unsigned kNoise7 = 17, kNoise8 = 18, kNoise9 = 19;

// Declaration order matters: the level goes before the world that owns its bodies.
struct HeadlessCourse {
  PhysicsWorld world;
  Level level;
  PlayerController* controller = nullptr;

  explicit HeadlessCourse(bool withCollectibles = true) {
    level.world = &world;
    level.makeMeshes = false;
    controller = createPlayerController(world, PlayerControllerDesc{});
    level.build(controller, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                kNoise3, kNoise5, kNoise6, kTexSpec1, kTexSpec2, kTexSpec3, kTexSpec4, kTex2Spec, kTex2Spec2,
                kTilesSpecular, kWoodSpecular);
    if (withCollectibles)
      level.placeCollectibles(nullptr, 51, 52, nullptr, nullptr, nullptr, nullptr, kNoise7, kNoise8, kNoise9);
  }
};

}  // namespace course
