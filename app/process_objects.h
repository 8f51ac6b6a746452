#pragma once
// The two objects that live for the whole process: made while the program loads, before the
// entry routine, and destroyed at exit, the level first and then the physics world.
#include "game/level.h"
#include "physics/physics_world.h"

extern PhysicsWorld physicsWorld;
extern Level level;
