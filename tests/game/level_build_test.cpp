#include <gtest/gtest.h>

#include <glm/gtc/type_ptr.hpp>

#include "game/headless_course.h"
#include "render/geometry.h"
#include "render/random.h"
#include "support/gl_context.h"

using namespace course;

namespace {

template <typename List>
void expectParallel(const List& list, bool withBodies) {
  EXPECT_EQ(list.geometries.size(), static_cast<size_t>(list.count));
  EXPECT_EQ(list.bodies.size(), withBodies ? static_cast<size_t>(list.count) : 0u);
  EXPECT_EQ(list.diffuseTextures.size(), static_cast<size_t>(list.count));
  EXPECT_EQ(list.specularTextures.size(), static_cast<size_t>(list.count));
  EXPECT_EQ(list.textureRepeats.size(), static_cast<size_t>(list.count));
}

glm::vec3 at(RigidBody* body) { return body->globalPose().position; }

}  // namespace

TEST(LevelBuild, TheCourseHoldsEveryPieceInItsOrder) {
  HeadlessCourse course;
  const Level& level = course.level;
  EXPECT_EQ(level.solids.count, 139);
  EXPECT_EQ(level.looseBoxes.count, 34);
  EXPECT_EQ(level.backdrops.count, 1);
  EXPECT_EQ(level.torches.count, 17);
  EXPECT_EQ(level.torchLights.size(), 17u);
  EXPECT_EQ(level.waterSheets.count, 3);
  EXPECT_EQ(level.flowSheets.count, 7);
  EXPECT_EQ(level.sections.count, 10);
  EXPECT_EQ(level.fallLimits.count, 5);
  EXPECT_EQ(level.skulls.count, 3);
  EXPECT_EQ(level.diamonds.count, 32);
  expectParallel(level.solids, true);
  expectParallel(level.looseBoxes, true);
  expectParallel(level.backdrops, false);

  // Solid 1 is the start platform, noise 6 on it; the torch stands wear that same texture.
  EXPECT_EQ(at(level.solids.bodies[0]), glm::vec3(0, 120, -20));
  EXPECT_EQ(level.solids.diffuseTextures[0], kNoise6);
  EXPECT_EQ(level.solids.specularTextures[0], kTexSpec1);
  // The wood beam takes its material's own texture, here none.
  EXPECT_EQ(level.solids.diffuseTextures[83], 0u);
  EXPECT_EQ(level.solids.specularTextures[83], kWoodSpecular);
  // Solid 88, the last placed one, is the ramp behind the finish; the stands follow it.
  EXPECT_EQ(at(level.solids.bodies[87]), glm::vec3(0, 30, 460));
  for (int torch = 0; torch < 17; ++torch) {
    const glm::vec3 p = level.torchLights[torch].position;
    for (int part = 0; part < 3; ++part) {
      const int i = 88 + 3 * torch + part;
      EXPECT_EQ(level.solids.diffuseTextures[i], kNoise6) << i;
      EXPECT_EQ(level.solids.specularTextures[i], kNoise6) << i;
    }
    EXPECT_EQ(at(level.solids.bodies[88 + 3 * torch + 2]), p - glm::vec3(0, 6.5f, 0));
  }
  EXPECT_EQ(level.torchLights[1].position, glm::vec3(15, 115, 10));

  for (int i = 0; i < level.solids.count; ++i) EXPECT_TRUE(level.solids.bodies[i]->isKinematic()) << i;
  for (int i = 0; i < level.looseBoxes.count; ++i) EXPECT_FALSE(level.looseBoxes.bodies[i]->isKinematic()) << i;
  EXPECT_FALSE(level.gate.body->isGravityEnabled());
  EXPECT_TRUE(level.boulder.body->isGravityEnabled());
  EXPECT_FLOAT_EQ(level.gate.loweredPose.position.y, 105.0f);

  for (int i = 1; i < level.sections.count; ++i) EXPECT_LT(level.sections.z[i - 1], level.sections.z[i]);
  EXPECT_EQ(level.sections.windows.back(), 13);  // the largest window 17 torches allow
  for (int i = 1; i < level.fallLimits.count; ++i) {
    EXPECT_LT(level.fallLimits.endZ[i - 1], level.fallLimits.endZ[i]);
    EXPECT_GT(level.fallLimits.floorHeights[i - 1], level.fallLimits.floorHeights[i]);
  }
  // The builder leaves the first window in place: torch 0 and torches 0 to 3.
  EXPECT_EQ(level.activeLights[4].position, level.torchLights[3].position);
}

TEST(LevelBuild, DiamondColoursComeFromTheSharedGeneratorInPairs) {
  resetRandomForTests();
  int expected[64];
  for (int& draw : expected) draw = nextRandom() % 3;
  resetRandomForTests();
  HeadlessCourse course;
  const unsigned colours[3] = {kNoise7, kNoise8, kNoise9};
  for (int i = 0; i < 32; ++i) {
    EXPECT_EQ(course.level.diamonds.diffuseTextures[i], colours[expected[2 * i]]) << i;
    EXPECT_EQ(course.level.diamonds.specularTextures[i], colours[expected[2 * i + 1]]) << i;
  }
}

TEST(LevelFactories, AnUnknownShapeAddsNothing) {
  PhysicsWorld world;
  Level level;
  level.world = &world;
  level.makeMeshes = false;
  level.addSolid({0, 10, 0}, {2, 2, 2}, nullptr, 5, 1, 2, {1, 1});
  level.addSolid({0, 10, 0}, {2, 2, 2}, nullptr, -1, 1, 2, {1, 1});
  level.addLooseBox({0, 10, 0}, {2, 2, 2}, nullptr, 1, 1, 2, {1, 1});
  EXPECT_EQ(level.solids.count, 0);
  EXPECT_EQ(level.looseBoxes.count, 0);
  expectParallel(level.solids, true);
  expectParallel(level.looseBoxes, true);
  level.addSolid({0, 10, 0}, {2, 2, 2}, nullptr, 4, 1, 2, {1, 1});
  EXPECT_EQ(level.solids.count, 1);
  expectParallel(level.solids, true);
}

TEST(LevelFactories, ASolidStaysWhileALooseBoxFallsOntoIt) {
  PhysicsWorld world;
  Level level;
  level.world = &world;
  level.makeMeshes = false;
  level.addSolid({0, 20, 0}, {20, 2, 20}, nullptr, 0, 1, 1, {1, 1});
  level.addLooseBox({0, 30, 0}, {2, 2, 2}, nullptr, 0, 1, 1, {1, 1});
  // Density 10 over the full 20 x 2 x 20 volume: the half extents are half the size.
  EXPECT_FLOAT_EQ(level.solids.bodies[0]->mass(), 8000.0f);
  EXPECT_FLOAT_EQ(level.looseBoxes.bodies[0]->mass(), 80.0f);
  for (int frame = 0; frame < 180; ++frame) world.stepPhysics(1.0f / 60.0f);
  EXPECT_EQ(at(level.solids.bodies[0]), glm::vec3(0, 20, 0));
  // The box rests on the slab's top at 21, its centre one unit higher.
  EXPECT_NEAR(at(level.looseBoxes.bodies[0]).y, 22.0f, 0.1f);
}

class LevelMeshes : public GlContextTest {};

TEST_F(LevelMeshes, ABoxSolidsMeshHasTheFullSizeAtThePosition) {
  PhysicsWorld world;
  Level level;
  level.world = &world;
  level.addSolid({0, 120, -20}, {20, 2, 20}, nullptr, 0, 1, 1, {1, 1});
  const Geometry& mesh = *level.solids.geometries[0];
  ASSERT_EQ(mesh.indexCount, 36);
  std::vector<glm::vec3> positions(36);
  glBindBuffer(GL_ARRAY_BUFFER, mesh.positionBuffer);
  glGetBufferSubData(GL_ARRAY_BUFFER, 0, 36 * sizeof(glm::vec3), positions.data());
  glBindBuffer(GL_ARRAY_BUFFER, 0);
  glm::vec3 low(1e9f), high(-1e9f);
  for (const glm::vec3& p : positions) {
    low = glm::min(low, p);
    high = glm::max(high, p);
  }
  EXPECT_EQ(low, glm::vec3(-10, -1, -10));
  EXPECT_EQ(high, glm::vec3(10, 1, 10));
  EXPECT_EQ(glm::vec3(mesh.modelMatrix[3]), glm::vec3(0, 120, -20));
  EXPECT_EQ(at(level.solids.bodies[0]), glm::vec3(0, 120, -20));
}

TEST_F(LevelMeshes, ATorchAddsAHeadALightAndThreeStandSolids) {
  PhysicsWorld world;
  Level level;
  level.world = &world;
  level.addSolid({0, 0, 0}, {2, 2, 2}, nullptr, 0, 77, 78, {3, 3});
  level.addTorch({5, 50, 7}, nullptr, nullptr);
  EXPECT_EQ(level.solids.count, 4);
  EXPECT_EQ(level.torches.count, 1);
  ASSERT_EQ(level.torchLights.size(), 1u);
  EXPECT_TRUE(level.torchLights[0].enabled);
  EXPECT_EQ(level.torchLights[0].position, glm::vec3(5, 50, 7));
  EXPECT_EQ(level.torchLights[0].attenuation, level.attHigh);
  EXPECT_EQ(level.torches.geometries[0]->indexCount, 6 * 64 * 31);  // sphere 64 x 32
  EXPECT_EQ(glm::vec3(level.solids.geometries[3]->modelMatrix[3]), glm::vec3(5, 43.5f, 7));
  EXPECT_EQ(level.solids.diffuseTextures[3], 77u);
  EXPECT_EQ(level.solids.specularTextures[3], 77u);
  EXPECT_EQ(level.solids.textureRepeats[3], glm::vec2(1, 1));
}
