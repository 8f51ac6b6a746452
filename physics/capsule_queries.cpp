#include "physics/capsule_queries.h"

#include <algorithm>
#include <cmath>

namespace {

// Penetrations shallower than this are touching, not overlapping (world units).
constexpr float kOverlapTolerance = 1e-4f;
// Length of the ray that reads the face under a hit, either side of the hit, world units.
constexpr float kFaceProbe = 0.05f;
// A sweep this close to straight up or down (cosine to up) leads with one half sphere.
constexpr float kVerticalCosine = 0.999f;
// Largest correction of a vertical sweep's distance from its contact, world units.
constexpr float kLargestRefinement = 1e-3f;

// The closest surface a sweep reaches, one-sided, leaving out the stand-in and the ignored bodies.
class SweepCallback : public btCollisionWorld::ClosestConvexResultCallback {
 public:
  SweepCallback(const btCollisionObject* self, const std::vector<const btCollisionObject*>& ignored,
                const btVector3& direction)
      : ClosestConvexResultCallback(btVector3(0, 0, 0), btVector3(0, 0, 0)),
        self(self),
        ignored(ignored),
        direction(direction) {}

  bool needsCollision(btBroadphaseProxy* proxy) const override {
    const auto* object = static_cast<const btCollisionObject*>(proxy->m_clientObject);
    if (object == self || !object->hasContactResponse()) return false;
    if (std::find(ignored.begin(), ignored.end(), object) != ignored.end()) return false;
    return ClosestConvexResultCallback::needsCollision(proxy);
  }

  btScalar addSingleResult(btCollisionWorld::LocalConvexResult& result, bool normalInWorldSpace) override {
    const btVector3 normal =
        normalInWorldSpace ? result.m_hitNormalLocal
                           : result.m_hitCollisionObject->getWorldTransform().getBasis() * result.m_hitNormalLocal;
    if (normal.dot(direction) >= 0) return m_closestHitFraction;
    return ClosestConvexResultCallback::addSingleResult(result, normalInWorldSpace);
  }

 private:
  const btCollisionObject* self;
  const std::vector<const btCollisionObject*>& ignored;
  btVector3 direction;
};

// Every body a capsule overlaps, each with its deepest point.
class OverlapCallback : public btCollisionWorld::ContactResultCallback {
 public:
  OverlapCallback(const btCollisionObject* probe, const btCollisionObject* self, bool solidsOnly)
      : probe(probe), self(self), solidsOnly(solidsOnly) {}

  bool needsCollision(btBroadphaseProxy* proxy) const override {
    const auto* object = static_cast<const btCollisionObject*>(proxy->m_clientObject);
    if (object == self || !object->hasContactResponse()) return false;
    if (solidsOnly && isDynamicBody(object)) return false;
    return ContactResultCallback::needsCollision(proxy);
  }

  btScalar addSingleResult(btManifoldPoint& point, const btCollisionObjectWrapper* a, int, int,
                           const btCollisionObjectWrapper* b, int, int) override {
    const float depth = -point.getDistance();
    if (depth <= kOverlapTolerance) return 0;
    // The normal points from the second object towards the first.
    const bool probeIsA = a->getCollisionObject() == probe;
    const btCollisionObject* other = probeIsA ? b->getCollisionObject() : a->getCollisionObject();
    const glm::vec3 outward = toGlm(probeIsA ? point.m_normalWorldOnB : -point.m_normalWorldOnB);
    const glm::vec3 onOther = toGlm(probeIsA ? point.getPositionWorldOnB() : point.getPositionWorldOnA());
    for (CapsuleOverlap& o : overlaps) {
      if (o.object != other) continue;
      if (depth > o.depth) o = CapsuleOverlap{other, depth, outward, onOther};
      return 0;
    }
    overlaps.push_back(CapsuleOverlap{other, depth, outward, onOther});
    return 0;
  }

  std::vector<CapsuleOverlap> overlaps;

 private:
  const btCollisionObject* probe;
  const btCollisionObject* self;
  bool solidsOnly;
};

}  // namespace

bool isStaticBody(const btCollisionObject* object) { return object->isStaticObject() && !object->isKinematicObject(); }
bool isDynamicBody(const btCollisionObject* object) { return !object->isStaticOrKinematicObject(); }

CapsuleQueries::CapsuleQueries(btDiscreteDynamicsWorld& world, float radius, float height, float contactOffset)
    : world(world), radius_(radius), height_(height), contactOffset(contactOffset) {
  resize(height);
}

void CapsuleQueries::resize(float height) {
  height_ = height;
  shape = std::make_unique<btCapsuleShape>(radius_, height_);
  skinShape = std::make_unique<btCapsuleShape>(radius_ + contactOffset, height_);
  probe.setCollisionShape(shape.get());
}

btTransform CapsuleQueries::transformAt(const glm::dvec3& centre) const {
  // The engine's capsule stands along y, the game's up direction.
  return btTransform(btQuaternion::getIdentity(), toBtD(centre));
}

CapsuleHit CapsuleQueries::sweep(const glm::dvec3& from, const glm::vec3& direction, float length,
                                 const std::vector<const btCollisionObject*>& ignored) const {
  CapsuleHit hit;
  const btVector3 dir = toBt(direction);
  SweepCallback callback(self, ignored, dir);
  const btTransform start = transformAt(from);
  btTransform end = start;
  end.setOrigin(start.getOrigin() + dir * length);
  world.convexSweepTest(shape.get(), start, end, callback);
  if (!callback.hasHit()) return hit;
  hit.object = callback.m_hitCollisionObject;
  hit.distance = callback.m_closestHitFraction * length;
  hit.normal = glm::normalize(toGlm(callback.m_hitNormalWorld));
  hit.point = glm::dvec3(toGlm(callback.m_hitPointWorld));
  // Up and down the capsule meets things with its leading half sphere. The engine's cast stops
  // within about 1e-7 of the contact, which decides whether a surface lying exactly at the end of
  // the reach is met; the distance of that half sphere to the plane of the contact is exact,
  // computed from the contact itself in the query's own float arithmetic. The correction is only
  // ever of the last digits: anything larger keeps the cast's distance.
  if (std::fabs(direction.y) > kVerticalCosine) {
    const btVector3 leading = start.getOrigin() + dir * btScalar(height_ * 0.5f);
    const btVector3 normal = callback.m_hitNormalWorld.normalized();
    const btScalar facing = dir.dot(normal);
    if (facing < -kFacingTolerance) {
      const float exact = float(((callback.m_hitPointWorld - leading).dot(normal) + btScalar(radius_)) / facing);
      if (std::fabs(exact - hit.distance) < kLargestRefinement) hit.distance = exact;
    }
  }
  return hit;
}

std::vector<CapsuleOverlap> CapsuleQueries::overlaps(const glm::dvec3& centre, bool grown, bool solidsOnly) {
  probe.setCollisionShape(grown ? skinShape.get() : shape.get());
  probe.setWorldTransform(transformAt(centre));
  OverlapCallback callback(&probe, self, solidsOnly);
  world.contactTest(&probe, callback);
  return callback.overlaps;
}

glm::vec3 CapsuleQueries::faceNormal(const CapsuleHit& hit) const {
  const btVector3 from = toBtD(hit.point + glm::dvec3(hit.normal * kFaceProbe));
  const btVector3 to = toBtD(hit.point - glm::dvec3(hit.normal * kFaceProbe));
  btCollisionWorld::ClosestRayResultCallback ray(from, to);
  world.rayTest(from, to, ray);
  if (ray.hasHit() && ray.m_collisionObject == hit.object) return glm::normalize(toGlm(ray.m_hitNormalWorld));
  return hit.normal;
}

bool CapsuleQueries::movingBodyBelow(const glm::dvec3& centre, const btCollisionObject** object,
                                     glm::dvec3* point) const {
  const double halfHeight = radius_ + height_ * 0.5;
  const btVector3 from = toBtD(centre), to = toBtD(centre - glm::dvec3(0.0, halfHeight, 0.0));
  struct MovingOnly : btCollisionWorld::ClosestRayResultCallback {
    MovingOnly(const btVector3& a, const btVector3& b, const btCollisionObject* self)
        : ClosestRayResultCallback(a, b), self(self) {}
    bool needsCollision(btBroadphaseProxy* proxy) const override {
      const auto* object = static_cast<const btCollisionObject*>(proxy->m_clientObject);
      if (object == self || isStaticBody(object) || !object->hasContactResponse()) return false;
      return ClosestRayResultCallback::needsCollision(proxy);
    }
    const btCollisionObject* self;
  } ray(from, to, self);
  world.rayTest(from, to, ray);
  if (!ray.hasHit()) return false;
  *object = ray.m_collisionObject;
  *point = glm::dvec3(toGlm(ray.m_hitPointWorld));
  return true;
}

bool CapsuleQueries::inWorld(const btCollisionObject* object) const {
  const btCollisionObjectArray& objects = world.getCollisionObjectArray();
  return objects.findLinearSearch(const_cast<btCollisionObject*>(object)) != objects.size();
}
