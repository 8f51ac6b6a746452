#pragma once
// The objects that live for the whole process: made while the program loads, before the entry
// routine, and destroyed at exit, the level first and then the physics world (which deletes the
// player's controller).
#include <glm/glm.hpp>

#include "game/level.h"
#include "physics/physics_world.h"
#include "physics/player_controller.h"

extern PhysicsWorld physicsWorld;
extern const glm::dvec3 startPosition;  // the player's centre at start and after every restart
extern PlayerControllerDesc playerControllerDesc;
extern PlayerController* playerController;  // owned by physicsWorld
extern Level level;
