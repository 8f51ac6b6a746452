#include "game/autopilot.h"

#include <cmath>
#include <vector>

namespace {

// From fromZ on, the autopilot steers towards x (world units).
struct Steer {
  float fromZ;
  float x;
};

// A jump taken on the ground once z passes triggerZ; in the air the autopilot moves forward only
// until landZ and then drops straight down onto what lies there.
struct Hop {
  float triggerZ;
  float landZ;
};

constexpr float kFree = 1e9f;  // no limit: the jump flies its natural length

// The line through the course: collectibles on the way, box stacks avoided, the skulls' plinths
// walked over (their 0.25 edge is ridden over without a jump).
const std::vector<Steer> kSteering = {
    {-100, 0},      {40, -3.5f},  {53, 2.5f}, {61.5f, -2.8f}, {66.8f, 3.5f}, {80, 0},  {140, -3.5f},
    {165.5f, 3.5f}, {182, -3.5f}, {200, 0},   {355.5f, -5},   {366, 5},      {376, 0},
};
const std::vector<Hop> kHops = {
    {37, 51},                                                        // ramp to the platforms at 96
    {93, 107},       {107.5f, 122}, {122.5f, 135.5f}, {135, kFree},  // the four ramps down to 61
    {208.5f, kFree},                                                 // off the drum onto the long ramp
    {241, 250.5f},   {250, kFree},                                   // the next drum, then the next ramp
    {273, kFree},    {297, kFree},                                   // the two platforms
    {318.5f, kFree}, {330, 340.5f}, {342.5f, kFree},  {356, 365},   {365, 375}, {375, 385},  // stepping stones
    {385.5f, kFree},  // under the lintel onto the last ramp
    {413, kFree},     // onto the beam that leads to the finish platform
};

constexpr double kSteerDeadZone = 0.15;  // world units: closer than this to the line, no sideways key

}  // namespace

Autopilot::Keys Autopilot::decide(const glm::dvec3& p, bool grounded, double clock) {
  groundedFrames = grounded ? 0 : groundedFrames + 1;

  Keys keys;
  keys.zAxis = 1.0f;
  switch (state) {
    case State::Ground:
      if (hop < kHops.size() && p.z >= kHops[hop].triggerZ && groundedFrames < 3) {
        state = State::Jumping;
        jumpY = p.y;
        stateFrames = 0;
        log << "jump " << hop << " at z " << p.z << " y " << p.y << " t " << clock << "\n";
      }
      break;
    case State::Jumping:
      keys.jump = true;
      if (p.y > jumpY + 0.3) state = State::Air, stateFrames = 0;
      if (++stateFrames > 30) state = State::Ground, log << "jump " << hop << " never left the ground\n";
      break;
    case State::Air:
      keys.zAxis = p.z < kHops[hop].landZ ? 1.0f : 0.0f;
      if (grounded && ++stateFrames > 3) {
        log << "landed " << hop << " at z " << p.z << " y " << p.y << "\n";
        state = State::Ground;
        ++hop;
        if (hop < kHops.size() && p.z >= kHops[hop].triggerZ) {
          state = State::Jumping;  // straight on: the next hop starts where this one landed
          jumpY = p.y;
          stateFrames = 0;
          keys.jump = true;
          log << "jump " << hop << " on landing\n";
        }
      }
      break;
  }
  if (state == State::Jumping) keys.zAxis = p.z < kHops[hop].landZ ? 1.0f : 0.0f;

  float targetX = 0.0f;
  for (const Steer& s : kSteering)
    if (p.z >= s.fromZ) targetX = s.x;
  const double dx = targetX - p.x;
  keys.xAxis = std::fabs(dx) > kSteerDeadZone ? (dx > 0 ? 1.0f : -1.0f) : 0.0f;
  return keys;
}
