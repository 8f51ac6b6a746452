#include "physics/capsule_mover.h"

#include <algorithm>
#include <cmath>

#include "physics/physics_world.h"

// The mover reproduces the capsule controller the course was designed with. One move is:
//   1. riding: follow the vertical motion of what the last move stood on;
//   2. the up pass: the step lift (walking) or the rise (jumping);
//   3. the side pass: the walking motion, sliding along whatever it meets;
//   4. the down pass: the fall and the step lift taken back, one straight sweep, no sliding.
// Each pass sweeps the exact capsule and stops the contact offset short of what it hits. Course
// pieces are kinematic, and on them the capsule simply slides along the sweep's contact normal:
// its rounded bottom rides over any edge below the lower half sphere's centre and up any slope.
// Only static ground steeper than the slope limit refuses to be climbed.

namespace {

// Sweeps per pass: the side pass, and an up pass with no side motion, slide for up to ten; the up
// pass of a walking move and every down pass sweep once, so landing or standing never slides.
constexpr int kSlideSweeps = 10;
constexpr int kSingleSweep = 1;
// A side motion with no component larger than this counts as none (world units).
constexpr float kNoSideMotion = 1e-6f;
// Support motion smaller than this in every component is standing still (world units).
constexpr float kStillSupport = 1e-6f;
// At most this many push-outs per overlap recovery.
constexpr int kMaxRecoveryPushes = 4;
// How far past its reach a sweep is cast, world units.
constexpr float kPastReach = 1e-3f;

}  // namespace

std::uint8_t CapsuleMover::move(glm::dvec3& position, const glm::vec3& displacement, float minDistance,
                                float stepOffset, glm::dvec3* afterRiding) {
  Request request;
  request.displacement = displacement + ride(position);
  request.minDistance = minDistance;
  request.stepOffset = stepOffset;
  request.start = *afterRiding = position;
  const float lowest = rules.contactOffset + queries.radius() + queries.height() * 0.5f;
  request.footHeight = glm::dot(position, glm::dvec3(rules.up)) - double(lowest);

  bool walkedUpTooSteep = false;
  std::uint8_t flags = passes(position, request, Mode::normal, &walkedUpTooSteep);
  if (walkedUpTooSteep) {
    position = request.start;
    flags = passes(position, request, Mode::walkExperiment, nullptr);
  }
  return flags;
}

// Riding: the support's motion at the point it was touched since then. Rising supports lift the
// capsule at once, sinking ones are followed by adding their motion to the move; sideways motion
// never carries the player.
glm::vec3 CapsuleMover::ride(glm::dvec3& position) {
  if (support && !queries.inWorld(support)) support = nullptr;
  if (!support && findSupportInside(position)) {
    standingOnMoving = true;
    return glm::vec3(0.0f);
  }
  if (!support || isStaticBody(support)) {
    standingOnMoving = false;
    return glm::vec3(0.0f);
  }
  const glm::vec3 motion = glm::vec3(glm::dvec3(toGlm(support->getWorldTransform() * supportLocal)) - supportWorld);
  // A support whose pose is no longer a number is no support: following it would make the
  // player's position NaN for good.
  if (!finite(motion)) {
    support = nullptr;
    standingOnMoving = false;
    return glm::vec3(0.0f);
  }
  standingOnMoving = glm::any(glm::greaterThan(glm::abs(motion), glm::vec3(kStillSupport)));
  const float rise = glm::dot(motion, rules.up);
  if (rise > 0.0f) {
    position += glm::dvec3(rules.up * rise);
    return glm::vec3(0.0f);
  }
  return rules.up * rise;
}

// With no support remembered, a moving body come up into the capsule's lower half lifts the
// capsule onto it at once.
bool CapsuleMover::findSupportInside(glm::dvec3& position) {
  const btCollisionObject* object = nullptr;
  glm::dvec3 point(0.0);
  if (!queries.movingBodyBelow(position, &object, &point) || !finite(point)) return false;
  position = point + glm::dvec3(rules.up) * double(queries.radius() + queries.height() * 0.5f);
  remember(object, point);
  return true;
}

void CapsuleMover::remember(const btCollisionObject* object, const glm::dvec3& point) {
  support = object;
  supportWorld = point;
  supportLocal = object->getWorldTransform().inverse() * toBtD(point);
}

// The three passes of one move. Returns the flags; *tooSteep tells the caller to try again in
// the walk experiment.
std::uint8_t CapsuleMover::passes(glm::dvec3& position, const Request& request, Mode mode, bool* tooSteep) {
  const glm::vec3 up = rules.up;
  const float rise = glm::dot(request.displacement, up);
  const glm::vec3 vertical = up * rise;
  const glm::vec3 side = request.displacement - vertical;
  float stepOffset = request.stepOffset;

  // Rising goes into the up pass and cancels the step lift (a jump needs none), unless a moving
  // support asks for it; everything else goes into the down pass.
  glm::vec3 upMotion(0.0f), downMotion(0.0f);
  if (rise > 0.0f) {
    upMotion = vertical;
    if (!standingOnMoving) stepOffset = 0.0f;
  } else {
    downMotion = vertical;
  }
  const bool sideIsZero = glm::all(glm::lessThanEqual(glm::abs(side), glm::vec3(kNoSideMotion))) && !standingOnMoving;
  if (!sideIsZero) upMotion += up * stepOffset;

  PassRules pass;
  pass.minDistance = request.minDistance;
  std::uint8_t flags = 0;

  if (mode == Mode::normal && upMotion != glm::vec3(0.0f)) {
    pass.pass = Pass::up;
    pass.maxSweeps = sideIsZero ? kSlideSweeps : kSingleSweep;
    const glm::dvec3 before = position;
    if (slide(position, upMotion, pass).collided) {
      flags |= kCollisionUp;
      // A ceiling cut the lift short: take back no more than was gained, and nothing when a push
      // out of it lowered the capsule (a negative step would turn the down pass upward).
      stepOffset = std::max(0.0f, std::min(stepOffset, float(glm::dot(position - before, glm::dvec3(up)))));
    }
  }

  if (side != glm::vec3(0.0f)) {
    pass.pass = Pass::side;
    pass.maxSweeps = kSlideSweeps;
    pass.flattenNormals = mode == Mode::walkExperiment;
    if (slide(position, side, pass).collided) flags |= kCollisionSides;
  }

  if (!sideIsZero) downMotion -= up * stepOffset;
  support = nullptr;
  if (downMotion != glm::vec3(0.0f)) {
    pass.pass = Pass::down;
    pass.maxSweeps = kSingleSweep;
    pass.flattenNormals = false;
    const PassResult down = slide(position, downMotion, pass);
    if (down.collided && rise <= 0.0f) flags |= kCollisionDown;
    if (!down.recovered && down.lastHit.object) remember(down.lastHit.object, down.lastHit.point);

    if (rise <= 0.0f && nonWalkable(down, request.footHeight, request.stepOffset)) {
      if (mode == Mode::normal) {
        if (tooSteep) *tooSteep = true;
        return flags;
      }
      // Met the steep ground again: let the capsule settle down the slope.
      PassRules settle = pass;
      settle.maxSweeps = kSlideSweeps;
      settle.renormalise = true;
      const float gained = float(glm::dot(position - request.start, glm::dvec3(up)));
      const float settleLength = std::max(gained, 0.0f) + std::fabs(rise);
      if (settleLength > 0.0f) slide(position, -up * settleLength, settle);
    }
  }
  return flags;
}

// One collide-and-slide pass: sweep the rest of the way for its length plus the contact offset,
// advance to the contact offset short of what is hit (never backing away when already closer),
// then aim the rest of the way along the contact plane, without renormalising: a head-on hit keeps
// nothing, a grazing one nearly all. Ends once minDistance or less is left, when the way turns
// against the pass's own direction (no jitter in V-shaped corners), or when the sweeps run out,
// keeping the last advance.
CapsuleMover::PassResult CapsuleMover::slide(glm::dvec3& position, const glm::vec3& motion, const PassRules& pass) {
  PassResult result;
  const float motionLength = glm::length(motion);
  if (motionLength <= 0.0f) return result;
  const glm::vec3 original = motion / motionLength;
  glm::dvec3 target = position + glm::dvec3(motion);
  for (int i = 0; i < pass.maxSweeps; ++i) {
    glm::vec3 direction = glm::vec3(target - position);
    const float length = glm::length(direction);
    if (length <= pass.minDistance) break;
    direction /= length;
    if (glm::dot(direction, original) <= 0.0f) break;
    if (startsInside(position, direction, pass.pass)) {
      recover(position);
      result.collided = result.recovered = true;
      break;
    }
    // The sweep is cast a little past its reach, since the engine drops a contact at the very end
    // of a cast; whatever lies beyond the reach is then no hit.
    const float reach = length + rules.contactOffset;
    CapsuleHit hit = queries.sweep(position, direction, reach + kPastReach, passThrough);
    if (hit.object && hit.distance > reach) hit = CapsuleHit();
    passThrough.clear();
    if (!hit.object) {
      position = target;
      break;
    }
    result.collided = true;
    result.lastHit = hit;
    if (hit.distance > rules.contactOffset) position += glm::dvec3(direction * (hit.distance - rules.contactOffset));

    glm::vec3 normal = hit.normal;
    if (pass.flattenNormals) {
      normal -= rules.up * glm::dot(normal, rules.up);
      const float flatLength = glm::length(normal);
      if (flatLength < 1e-6f) break;
      normal /= flatLength;
    }
    const double left = glm::length(target - position);
    glm::vec3 tangent = direction - normal * glm::dot(direction, normal);
    if (pass.renormalise) {
      const float tangentLength = glm::length(tangent);
      if (tangentLength < 1e-6f) break;
      tangent /= tangentLength;
    }
    target = position + glm::dvec3(tangent) * left;
  }
  return result;
}

// Before each sweep: a static or kinematic body that the exact capsule already overlaps, with a
// surface facing against the motion, means recovery. Surfaces are one-sided, so a body the capsule
// is inside of from behind (moving away from it, or, in a vertical pass, touching only beyond the
// leading half sphere) is passed through for this sweep, as are loose bodies: the simulation
// pushes those off the stand-in body.
bool CapsuleMover::startsInside(const glm::dvec3& position, const glm::vec3& direction, Pass pass) {
  passThrough.clear();
  bool solid = false;
  const glm::dvec3 leading = position + glm::dvec3(direction) * double(queries.height() * 0.5f);
  for (const CapsuleOverlap& o : queries.overlaps(position, false, false)) {
    const bool behind =
        glm::dot(o.outward, direction) > kFacingTolerance ||
        (pass != Pass::side && glm::dot(glm::vec3(glm::dvec3(o.point) - leading), direction) < -queries.radius());
    if (isDynamicBody(o.object) || behind)
      passThrough.push_back(o.object);
    else
      solid = true;
  }
  return solid;
}

// Overlap recovery: a capsule that starts a sweep inside a static or kinematic body is pushed out
// along the shortest way, the capsule grown by the contact offset so it ends that far clear. Each
// push removes the whole of the deepest penetration left; loose (dynamic) bodies are left to the
// simulation, which pushes them off the stand-in body.
void CapsuleMover::recover(glm::dvec3& position) {
  for (int push = 0; push < kMaxRecoveryPushes; ++push) {
    const std::vector<CapsuleOverlap> found = queries.overlaps(position, true, true);
    if (found.empty()) break;
    const auto deepest = std::max_element(
        found.begin(), found.end(), [](const CapsuleOverlap& a, const CapsuleOverlap& b) { return a.depth < b.depth; });
    position += glm::dvec3(deepest->outward) * double(deepest->depth);
  }
}

// Static ground steeper than the slope limit, touched higher than a step above the foot: the
// capsule walked up what it may not climb.
bool CapsuleMover::nonWalkable(const PassResult& down, double footHeight, float stepOffset) const {
  if (down.recovered || !down.lastHit.object || !isStaticBody(down.lastHit.object)) return false;
  const float cosine = glm::dot(queries.faceNormal(down.lastHit), rules.up);
  const bool tooSteep = cosine >= 0.0f && cosine < rules.slopeLimit;
  return tooSteep && glm::dot(down.lastHit.point, glm::dvec3(rules.up)) > footHeight + stepOffset;
}
