#pragma once
// How the player's capsule moves: one move is riding, then an up, a side and a down pass, each a
// collide-and-slide through the world's queries. Physics-only.
#include <cstdint>
#include <glm/glm.hpp>
#include <vector>

#include "physics/capsule_queries.h"

// The rules of one move, copied from the controller's description.
struct CapsuleMoveRules {
  glm::vec3 up{0.0f, 1.0f, 0.0f};
  float contactOffset = 0.05f;     // world units kept between the capsule and what it touches
  float slopeLimit = 0.70710677f;  // cosine of the steepest walkable static ground
};

class CapsuleMover {
 public:
  CapsuleMover(CapsuleQueries& queries, const CapsuleMoveRules& rules) : queries(queries), rules(rules) {}

  // Moves the centre by `displacement` (world units) plus what the support under it did since the
  // last move, and returns the CollisionFlag bits. Passes end once minDistance or less is left;
  // stepOffset is the lift of a walking step. *afterRiding: the centre once riding lifted it,
  // before the passes.
  std::uint8_t move(glm::dvec3& position, const glm::vec3& displacement, float minDistance, float stepOffset,
                    glm::dvec3* afterRiding);

  // What the last down pass stood on and where, to follow its motion.
  const btCollisionObject* support = nullptr;
  btVector3 supportLocal{0, 0, 0};  // the contact point in the support's frame
  glm::dvec3 supportWorld{0.0};     // the same point in the world when it was touched
  bool standingOnMoving = false;

 private:
  enum class Pass { up, side, down };
  // The first try of a move, or again after it walked up static ground too steep to stand on
  // (then without the step lift, sliding only sideways).
  enum class Mode { normal, walkExperiment };

  // How one pass slides.
  struct PassRules {
    Pass pass = Pass::side;
    int maxSweeps = 10;
    float minDistance = 0.0f;     // world units
    bool flattenNormals = false;  // walk experiment: slide only sideways along what is hit
    bool renormalise = false;     // keep the full remaining length when turning along a surface
  };
  // What one pass did.
  struct PassResult {
    bool collided = false;  // hit something or recovered from an overlap
    bool recovered = false;
    CapsuleHit lastHit;  // the last surface the pass stopped at, if any
  };
  struct Request {
    glm::vec3 displacement{0.0f};
    float minDistance = 0.0f;
    float stepOffset = 0.0f;
    glm::dvec3 start{0.0};    // the centre before the passes
    double footHeight = 0.0;  // along up, before the passes
  };

  glm::vec3 ride(glm::dvec3& position);
  bool findSupportInside(glm::dvec3& position);
  void remember(const btCollisionObject* object, const glm::dvec3& point);
  std::uint8_t passes(glm::dvec3& position, const Request& request, Mode mode, bool* tooSteep);
  PassResult slide(glm::dvec3& position, const glm::vec3& motion, const PassRules& pass);
  bool startsInside(const glm::dvec3& position, const glm::vec3& direction, Pass pass);
  void recover(glm::dvec3& position);
  bool nonWalkable(const PassResult& down, double footHeight, float stepOffset) const;

  CapsuleQueries& queries;
  const CapsuleMoveRules rules;
  std::vector<const btCollisionObject*> passThrough;  // bodies the current sweep ignores
};
