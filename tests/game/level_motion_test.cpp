// What the rules do to the moving pieces each frame: the meshes of the boulder, the gate and the
// loose boxes follow their bodies, and the boulder is driven only until its end stop.
#include <gtest/gtest.h>

#include <glm/gtc/matrix_transform.hpp>
#include <glm/gtc/quaternion.hpp>
#include <string>

#include "tools/trace/headless_course.h"
#include "render/geometry.h"
#include "support/gl_context.h"

using namespace course;

namespace {

constexpr float kFrame = 1.0f / 60.0f;  // seconds

void expectMatrixNear(const glm::mat4& a, const glm::mat4& b, const std::string& what) {
  for (int c = 0; c < 4; ++c)
    for (int r = 0; r < 4; ++r) EXPECT_NEAR(a[c][r], b[c][r], 1e-4f) << what << " [" << c << "][" << r << "]";
}

// The pose as a model matrix, made here from the pose alone.
glm::mat4 poseMatrix(const Pose& pose) {
  return glm::translate(glm::mat4(1.0f), pose.position) * glm::mat4_cast(pose.rotation);
}

}  // namespace

class LevelMotion : public GlContextTest {};

TEST_F(LevelMotion, TheBoulderGateAndLooseBoxMeshesTakeTheirBodiesPosesEachUpdate) {
  PhysicsWorld world;
  Level level;
  level.world = &world;
  level.createBoulder({0, 30, 0}, {0, 30, 100}, 16, 8, 3, nullptr, 0);
  level.createGate({20, 30, 0}, {4, 6, 1}, nullptr, 0, 0);
  level.addLooseBox({-20, 30, 0}, {2, 2, 2}, nullptr, 0, 0, 0, {1, 1});
  const glm::mat4 boxAtStart = level.looseBoxes.geometries[0]->modelMatrix;

  // The boulder is turned and moved by hand, the gate sinks, the box falls spinning.
  level.boulder.body->setGlobalPose(Pose{{1, 28, 5}, glm::angleAxis(0.7f, glm::normalize(glm::vec3(1, 2, 0)))});
  level.looseBoxes.bodies[0]->setAngularVelocity({0, 3, 1});
  for (int frame = 0; frame < 20; ++frame) {
    world.stepPhysics(kFrame);
    level.update({0.0, 200.0, -50.0}, kFrame);
  }

  const Pose boulder = level.boulder.body->globalPose(), gate = level.gate.body->globalPose(),
             box = level.looseBoxes.bodies[0]->globalPose();
  EXPECT_LT(gate.position.y, 29.0f) << "the gate sank";
  EXPECT_LT(box.position.y, 29.0f) << "the box fell";
  EXPECT_LT(std::abs(box.rotation.w), 0.999f) << "and turned";
  expectMatrixNear(level.boulder.geometry->modelMatrix, poseMatrix(boulder), "boulder");
  expectMatrixNear(level.gate.geometry->modelMatrix, poseMatrix(gate), "gate");
  expectMatrixNear(level.looseBoxes.geometries[0]->modelMatrix, poseMatrix(box), "loose box");
  expectMatrixNear(level.looseBoxes.geometries[0]->modelMatrix, level.looseBoxes.bodies[0]->shapeWorldMatrix(),
                   "loose box's shape");
  EXPECT_NE(level.looseBoxes.geometries[0]->modelMatrix, boxAtStart);

  // A corner of the box's mesh lands where the body's corner is.
  const glm::vec3 corner = glm::vec3(level.looseBoxes.geometries[0]->modelMatrix * glm::vec4(1, 1, 1, 1));
  const glm::vec3 bodyCorner = box.position + box.rotation * glm::vec3(1, 1, 1);
  EXPECT_LT(glm::distance(corner, bodyCorner), 1e-4f);
  EXPECT_EQ(drainGlErrors(), static_cast<GLenum>(GL_NO_ERROR));
}

// The boulder is driven down the course while its front is short of the end stop (z 390, its
// radius 10), then stopped for good: it stays stopped until the run restarts.
TEST(BoulderEndStop, TheBoulderStopsAtItsEndStopAndStaysStoppedUntilTheRestart) {
  HeadlessCourse c;
  c.level.sectionIndex = 1;
  const glm::dvec3 player{0.0, 200.0, 430.0};  // far ahead and high above every fall limit
  const glm::vec3 rolling(0, -10, 12);

  c.level.boulder.body->setGlobalPose(Pose{{0, 60, 379.5f}});
  c.level.update(player, kFrame);
  EXPECT_EQ(c.level.boulder.body->linearVelocity(), rolling) << "front at 389.5: still driven";
  EXPECT_TRUE(c.level.boulderRolling);

  c.level.boulder.body->setGlobalPose(Pose{{0, 60, 380.5f}});
  c.level.update(player, kFrame);
  EXPECT_EQ(c.level.boulder.body->linearVelocity(), glm::vec3(0.0f)) << "front at 390.5: stopped";
  EXPECT_EQ(c.level.boulder.body->angularVelocity(), glm::vec3(0.0f));
  EXPECT_FALSE(c.level.boulderRolling);

  // Back well short of the stop, it is not driven again in this run.
  c.level.boulder.body->setGlobalPose(Pose{{0, 60, 300}});
  for (int frame = 0; frame < 3; ++frame) c.level.update(player, kFrame);
  EXPECT_EQ(c.level.boulder.body->linearVelocity(), glm::vec3(0.0f));

  c.level.reset();
  c.level.sectionIndex = 1;
  c.level.update(player, kFrame);
  EXPECT_EQ(c.level.boulder.body->linearVelocity(), rolling) << "a new run drives it again";
}
