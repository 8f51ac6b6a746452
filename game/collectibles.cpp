#include <glm/gtc/matrix_transform.hpp>
#include <iostream>
#include <sstream>

#include "game/level.h"
#include "render/model.h"

namespace {

constexpr double kPickupRadius = 2.0;  // world units, in x and in z; height is ignored
constexpr float kDegreesToRadians = 0.017453292f;
constexpr int kSkullPoints = 5;
constexpr int kDiamondPoints = 1;
constexpr double kBonusTime = 60.0;  // seconds: a faster run earns a point per second left

bool withinReach(const glm::dvec3& player, const glm::vec3& item) {
  const double x = item.x, z = item.z;
  return player.x - kPickupRadius < x && x < player.x + kPickupRadius && player.z - kPickupRadius < z &&
         z < player.z + kPickupRadius;
}

}  // namespace

int timeBonus(double seconds) {
  const double left = kBonusTime - seconds;
  return left > 0.0 ? static_cast<int>(left) : 0;
}

void Level::pickUp(const glm::dvec3& position, float dt) {
  for (int i = 0; i < skulls.count; ++i)
    if (!skulls.collected[i] && withinReach(position, skulls.pickupPositions[i])) skulls.collected[i] = true;

  // A lying diamond turns once per second about its own z axis (its upright after the model's
  // quarter turn); one picked up in this frame still turns this once.
  const glm::mat4 turn = glm::rotate(glm::mat4(1.0f), dt * 360.0f * kDegreesToRadians, glm::vec3(0.0f, 0.0f, 1.0f));
  for (int i = 0; i < diamonds.count; ++i) {
    if (diamonds.collected[i]) continue;
    if (withinReach(position, diamonds.pickupPositions[i])) diamonds.collected[i] = true;
    diamonds.modelMatrices[i] = diamonds.modelMatrices[i] * turn;
    if (diamonds.models[i]) diamonds.models[i]->modelMatrix = diamonds.modelMatrices[i];
  }
}

int Level::collectedCount(const ModelList& items) const {
  int n = 0;
  for (int i = 0; i < items.count; ++i)
    if (items.collected[i]) ++n;
  return n;
}

int Level::collectedPoints() const {
  return collectedCount(skulls) * kSkullPoints + collectedCount(diamonds) * kDiamondPoints;
}

void Level::printEndScreen() {
  if (!finished || scorePrinted) return;

  // Each run counts its own items only.
  points = collectedPoints();

  const int bonus = timeBonus(clock);
  std::ostringstream timeLine;
  timeLine << "Time Bonus: " << clock << " Seconds = " << bonus << " Extra Points";
  endScreen = {"FINISH!", "Collected Points: " + std::to_string(points), timeLine.str(),
               "END SCORE: " + std::to_string(points + bonus)};
  for (const std::string& line : endScreen) std::cout << line << std::endl;
  scorePrinted = true;
}
