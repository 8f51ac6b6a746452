#include "physics/physics_world.h"
#include "physics/player_controller.h"

glm::vec3 moveAxes{0.0f};
bool jumpHeld = false;

void PhysicsWorld::movePlayer(glm::vec3, float, float) {}
