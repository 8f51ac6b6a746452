#pragma once
// What the world looks like to the player's capsule: sweeps, overlaps and rays against the
// engine's bodies. Physics-only: it speaks the engine's types.
#include <BulletCollision/CollisionShapes/btCapsuleShape.h>

#include <glm/glm.hpp>
#include <memory>
#include <vector>

#include "physics/bullet_scene.h"

// A surface whose normal is this close to square to the motion still faces it (cosine).
constexpr float kFacingTolerance = 1e-4f;

bool isStaticBody(const btCollisionObject* object);
bool isDynamicBody(const btCollisionObject* object);

// What a sweep hit.
struct CapsuleHit {
  const btCollisionObject* object = nullptr;  // null: nothing within reach
  float distance = 0.0f;                      // world units along the sweep
  glm::vec3 normal{0.0f};                     // contact normal, from the body towards the capsule
  glm::dvec3 point{0.0};                      // contact point on the body
};

// A body the capsule is inside of, with its deepest point and the way out.
struct CapsuleOverlap {
  const btCollisionObject* object = nullptr;
  float depth = 0.0f;       // world units, positive inside
  glm::vec3 outward{0.0f};  // unit, from the body towards the capsule
  glm::vec3 point{0.0f};    // on the body
};

// Owns the capsule's query shapes; the capsule always stands along the world's y axis, the game's up.
class CapsuleQueries {
 public:
  CapsuleQueries(btDiscreteDynamicsWorld& world, float radius, float height, float contactOffset);

  // The cylinder between the half spheres changes to `height` world units.
  void resize(float height);
  // The player's stand-in body: never met by a query.
  void exclude(const btCollisionObject* self) { this->self = self; }

  // The exact capsule swept from `from` along the unit direction for `length`, passing through the
  // bodies in `ignored`. Surfaces are one-sided: one facing along the sweep is no obstacle.
  CapsuleHit sweep(const glm::dvec3& from, const glm::vec3& direction, float length,
                   const std::vector<const btCollisionObject*>& ignored) const;
  // Every body the exact capsule (or, grown, the capsule grown by the contact offset) overlaps at
  // `centre`; with solidsOnly, loose bodies are left out.
  std::vector<CapsuleOverlap> overlaps(const glm::dvec3& centre, bool grown, bool solidsOnly);
  // The normal of the face under a hit: the sweep's normal is that of the capsule's round surface,
  // which on an edge lies between the two faces.
  glm::vec3 faceNormal(const CapsuleHit& hit) const;
  // A moving (kinematic or loose) body on the segment from the centre down to the capsule's lowest
  // point: where it was hit. False when there is none.
  bool movingBodyBelow(const glm::dvec3& centre, const btCollisionObject** object, glm::dvec3* point) const;
  // Whether the body is still in the world (a level may be rebuilt under the player).
  bool inWorld(const btCollisionObject* object) const;

  btTransform transformAt(const glm::dvec3& centre) const;
  float radius() const { return radius_; }
  float height() const { return height_; }

 private:
  btDiscreteDynamicsWorld& world;
  float radius_, height_, contactOffset;
  std::unique_ptr<btCapsuleShape> shape;      // the exact capsule, swept by every pass
  std::unique_ptr<btCapsuleShape> skinShape;  // grown by the contact offset, for recovery
  btCollisionObject probe;                    // carries a capsule for contact tests; never in the world
  const btCollisionObject* self = nullptr;
};
