#include <cmath>
#include <limits>

#include "game/level.h"
#include "physics/physics_world.h"
#include "physics/player_controller.h"
#include "render/geometry.h"

namespace {

constexpr float kIntroSpeed = 0.0f;                    // world units per second per axis unit
constexpr float kChaseSpeed = 15.0f;                   // world units per second per axis unit
constexpr float kDebugSpeed = 20.0f;                   // world units per second per axis unit
const glm::vec3 kGateSinking{0.0f, -5.0f, 0.0f};       // world units per second
const glm::vec3 kBoulderRolling{0.0f, -10.0f, 12.0f};  // world units per second
const glm::vec3 kBoulderSpin{4.0f, 0.0f, 0.0f};        // radians per second
constexpr double kSquashedHeight = 0.0001;             // controller height when caught
constexpr double kStandingHeight = 1.0;                // the controller's normal height
constexpr double kCaughtDelay = 2.0;                   // seconds from capture to restart

void stop(RigidBody* body) {
  body->setLinearVelocity(glm::vec3(0.0f));
  body->setAngularVelocity(glm::vec3(0.0f));
}

template <typename Vec>
bool finite(const Vec& v) {
  return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

// A missing body counts as sound.
bool bodyFinite(const RigidBody* body) {
  return !body ||
         (finite(body->globalPose().position) && finite(body->linearVelocity()) && finite(body->angularVelocity()));
}

}  // namespace

void Level::update(const glm::dvec3& position, float dt) {
  // 0. A position, frame length or velocity that is not finite would stick in the clock and the
  // lights, and fails every comparison below (no capture, no fall): restart at once, as after a
  // fall, and let the frame count for nothing.
  const bool playerFinite = !world || std::isfinite(world->verticalVelocity);
  if (!finite(position) || !std::isfinite(dt) || !playerFinite || !bodyFinite(boulder.body) || !bodyFinite(gate.body)) {
    if (!playerFinite) world->verticalVelocity = 0.0f;
    reset();
    syncTransforms();
    return;
  }

  const double x = position.x, y = position.y, z = position.z;

  // 1. The chase rules; debug mode replaces them by a faster flight.
  if (!debugMode) {
    if (sectionIndex == 0) {
      world->moveSpeed = kIntroSpeed;
      if (gate.body) {
        gate.body->setLinearVelocity(kGateSinking);
        if (static_cast<double>(gate.loweredPose.position.y) > gate.body->globalPose().position.y) ++sectionIndex;
      }
    } else if (sectionIndex < sections.count) {
      world->moveSpeed = kChaseSpeed;
      if (boulder.body) {
        const double boulderZ = boulder.body->globalPose().position.z;
        if (boulderRolling && static_cast<double>(boulder.endPose.position.z) > boulderZ + boulder.radius) {
          boulder.body->setLinearVelocity(kBoulderRolling);
          boulder.body->setAngularVelocity(kBoulderSpin);
        } else {
          boulderRolling = false;
          stop(boulder.body);
        }
        if (static_cast<double>(boulder.body->globalPose().position.z) >= z) {
          world->moveSpeed = 0.0f;
          if (playerController) playerController->resize(static_cast<float>(kSquashedHeight));
          noteLoss(RunLoss::Caught);
          failed = true;
        }
      }
    }

    if (fallLimits.count > 0) {
      if (z >= fallLimits.endZ[fallIndex] && fallIndex + 1 < fallLimits.count) ++fallIndex;
      if (static_cast<double>(fallLimits.floorHeights[fallIndex]) >= y) {
        noteLoss(RunLoss::Fell);
        failed = true;
        deadlineArmed = true;  // with the deadline left at 0, the restart comes in this update
      }
    }

    if (sectionIndex == sections.count && boulder.body) stop(boulder.body);

    if (z >= static_cast<double>(finishZ) && y >= static_cast<double>(finishHeight)) finished = true;
  } else {
    world->moveSpeed = kDebugSpeed;
  }

  // 2. One section boundary at most per frame, strictly passed. The player stands at z 0 through
  // the intro, so its own increment passes the first section (z 0) in a normal run.
  if (sectionIndex < sections.count && static_cast<double>(sections.z[sectionIndex]) < z) {
    selectLightWindow(sections.windows[sectionIndex]);
    ++sectionIndex;
  }

  // 3. The player's light and the torch lights' reach.
  activeLights[0].position = glm::vec3(static_cast<float>(x), static_cast<float>(y), static_cast<float>(z + 1.0));
  for (PointLight& slot : activeLights) slot.attenuation = attCurrent;
  advanceFlicker(dt);

  // 4-5.
  syncTransforms();
  pickUp(position, dt);

  // 6. A capture restarts two seconds later; a fall at once, its deadline being 0.
  if (failed) {
    if (!deadlineArmed) {
      resetDeadline = clock + kCaughtDelay;
      deadlineArmed = true;
    }
    if (clock >= resetDeadline) reset();
  }

  // 7-8.
  if (finished) world->moveSpeed = 0.0f;
  if (clock < std::numeric_limits<double>::max()) clock += static_cast<double>(dt);
}

void Level::advanceFlicker(float dt) {
  flickerTimer += dt;
  if (flickerTimer > flickerHalfPeriod) {
    flickerFalling = !flickerFalling;
    flickerTimer = 0.0f;
  }
  const int half = flickerSteps / 2;
  if (!flickerFalling && flickerPhase < flickerSteps) {
    flickerPhase = static_cast<int>(static_cast<float>(half) * flickerTimer);
  } else if (flickerPhase > 0) {
    flickerPhase = static_cast<int>(static_cast<float>(flickerSteps) - static_cast<float>(half) * flickerTimer);
  }

  // Ignition: a fixed step per frame from the short start reach towards the low one; then the
  // reach breathes between low and high with the phase.
  const float steps = static_cast<float>(flickerSteps);
  if (attCurrent.y > attLow.y) attCurrent.y += (attLow.y - attStart.y) / steps;
  if (attCurrent.z > attLow.z) {
    attCurrent.z += (attLow.z - attStart.z) / steps;
  } else {
    const float phase = static_cast<float>(flickerPhase) / steps;
    attCurrent.y = attLow.y + (attHigh.y - attLow.y) * phase;
    attCurrent.z = attLow.z + (attHigh.z - attLow.z) * phase;
  }
}

void Level::syncTransforms() {
  // Every level body has one shape, so its world matrix is the whole model matrix.
  if (boulder.body && boulder.geometry) boulder.geometry->modelMatrix = boulder.body->shapeWorldMatrix();
  if (gate.body && gate.geometry) gate.geometry->modelMatrix = gate.body->shapeWorldMatrix();
  for (int i = 0; i < looseBoxes.count; ++i)
    if (looseBoxes.geometries[i]) looseBoxes.geometries[i]->modelMatrix = looseBoxes.bodies[i]->shapeWorldMatrix();
}

void Level::reset() {
  scorePrinted = false;
  clock = 0.0;
  resetDeadline = 0.0;
  deadlineArmed = false;
  failed = false;
  finished = false;
  points = 0;

  if (boulder.body) {
    stop(boulder.body);
    boulder.body->setGlobalPose(boulder.startPose);
  }
  boulderRolling = true;
  if (gate.body) {
    gate.body->setLinearVelocity(glm::vec3(0.0f));
    gate.body->setGlobalPose(gate.startPose);
  }

  if (sections.count > 0) sectionIndex = 0;
  selectLightWindow(0);

  skulls.collected.assign(skulls.collected.size(), false);
  diamonds.collected.assign(diamonds.collected.size(), false);

  fallIndex = 0;
  if (world) world->moveSpeed = 0.0f;

  if (playerController) {
    playerController->resize(static_cast<float>(kStandingHeight));
    playerController->setPosition(startPosition);
  }
}

void Level::selectLightWindow(int first) {
  const int count = static_cast<int>(torchLights.size());
  if (count < 5 || first < 0 || first > count - 4) return;
  activeLights[0] = torchLights[0];
  for (int slot = 1; slot <= 4; ++slot) activeLights[slot] = torchLights[first + slot - 1];
}

void Level::noteLoss(RunLoss cause) {
  if (failed) return;  // one loss per run, however many frames it lasts
  ++losses;
  lastLoss = cause;
}
