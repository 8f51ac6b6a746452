#include "game/level.h"

void Level::update(const glm::dvec3& /*position*/, float /*dt*/) {}

void Level::reset() {}
