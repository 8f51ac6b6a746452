#include <gtest/gtest.h>

#include <cmath>
#include <glm/gtc/type_ptr.hpp>
#include <string>
#include <vector>

#include "tools/trace/headless_course.h"
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

// ---------------------------------------------------------------------------------------------
// The whole course against the test's own copy of it: every row of every table, checked on the
// built level (bodies, their shapes as the physics world sees them, the lists).

namespace {

enum Kind { kBox, kPrism, kWedge };

struct SolidRow {
  Kind kind;
  glm::vec3 position;
  glm::vec3 size;  // box: full extents; prism: segments, height, radius; wedge: full extents
  unsigned diffuse, specular;
  glm::vec2 repeat;
};

// The textures are the headless course's made-up names; the beam's own texture is 0 there.
const SolidRow kSolids[] = {
    {kBox, {0, 120, -20}, {20, 2, 20}, kNoise6, kTexSpec1, {3, 3}},
    {kWedge, {0, 110, 0}, {60, 20, 10}, kNoise6, kTexSpec1, {9, 6}},
    {kBox, {0, 110, 10}, {20, 2, 20}, kNoise6, kTexSpec1, {3, 3}},
    {kWedge, {0, 100, 30}, {20, 20, 20}, kNoise6, kTexSpec1, {3, 6}},
    {kBox, {0, 111, 10}, {3, 0.5, 3}, kNoise3, kTexSpec1, {1, 1}},
    {kBox, {-4, 96, 65}, {3, 0.5, 3}, kNoise3, kTexSpec1, {1, 1}},
    {kBox, {4, 61, 185}, {3, 0.5, 3}, kNoise3, kTexSpec1, {1, 1}},
    {kBox, {0, 140, -35}, {60, 40, 1}, kNoise3, kTex2Spec, {5, 5}},
    {kBox, {30, 90, 170}, {1, 120, 400}, kNoise3, kTex2Spec, {20, 10}},
    {kBox, {-30, 90, 170}, {1, 120, 400}, kNoise3, kTex2Spec, {20, 10}},
    {kBox, {0, 80, 3}, {60, 40, 1}, kNoise3, kTexSpec1, {1, 1}},
    {kPrism, {20, 130, -5}, {32, 50, 10}, kNoise5, kTexSpec1, {1, 5}},
    {kPrism, {-20, 130, -5}, {32, 50, 10}, kNoise5, kTexSpec1, {1, 5}},
    {kPrism, {14, 120, 20}, {32, 50, 4}, kNoise5, kTexSpec1, {1, 5}},
    {kPrism, {-14, 120, 20}, {32, 50, 4}, kNoise5, kTexSpec1, {1, 5}},
    {kPrism, {14, 70, 20}, {32, 50, 5}, kNoise5, kTexSpec1, {1, 5}},
    {kPrism, {-14, 70, 20}, {32, 50, 5}, kNoise5, kTexSpec1, {1, 5}},
    {kBox, {0, 95, 55}, {20, 2, 20}, kNoise6, kTexSpec1, {3, 3}},
    {kBox, {0, 95, 75}, {20, 2, 20}, kNoise6, kTexSpec1, {3, 3}},
    {kWedge, {0, 90, 90}, {20, 10, 10}, kNoise6, kTexSpec1, {3, 6}},
    {kPrism, {25, 100, 65}, {32, 50, 4}, kNoise5, kTexSpec1, {2, 5}},
    {kPrism, {-25, 100, 65}, {32, 50, 4}, kNoise5, kTexSpec1, {2, 5}},
    {kPrism, {25, 100, 85}, {32, 50, 4}, kNoise5, kTexSpec1, {2, 6}},
    {kPrism, {-25, 100, 85}, {32, 50, 4}, kNoise5, kTexSpec1, {2, 6}},
    {kPrism, {25, 50, 65}, {32, 50, 5}, kNoise5, kTexSpec1, {1, 5}},
    {kPrism, {-25, 50, 65}, {32, 50, 5}, kNoise5, kTexSpec1, {1, 5}},
    {kPrism, {25, 50, 85}, {32, 50, 5}, kNoise5, kTexSpec1, {1, 5}},
    {kPrism, {-25, 50, 85}, {32, 50, 5}, kNoise5, kTexSpec1, {1, 5}},
    {kWedge, {0, 80, 105}, {20, 10, 10}, kNoise6, kTexSpec1, {3, 3}},
    {kWedge, {0, 70, 120}, {20, 10, 10}, kNoise6, kTexSpec1, {3, 3}},
    {kWedge, {0, 60, 135}, {20, 10, 5}, kNoise6, kTexSpec1, {3, 3}},
    {kBox, {0, 60, 155}, {20, 2, 20}, kNoise6, kTexSpec1, {3, 3}},
    {kBox, {0, 60, 175}, {20, 2, 20}, kNoise6, kTexSpec1, {3, 3}},
    {kBox, {0, 60, 195}, {20, 2, 20}, kNoise6, kTexSpec1, {3, 3}},
    {kBox, {0, 80, 95}, {20, 20, 1}, kNoise3, kTexSpec1, {1, 1}},
    {kBox, {0, 70, 110}, {20, 20, 1}, kNoise3, kTexSpec1, {1, 1}},
    {kBox, {0, 60, 125}, {20, 20, 1}, kNoise3, kTexSpec1, {1, 1}},
    {kBox, {0, 50, 135}, {20, 20, 1}, kNoise3, kTexSpec1, {1, 1}},
    {kBox, {0, 45, 200}, {20, 30, 2}, kNoise3, kTexSpec1, {1, 1}},
    {kBox, {13.5, 45, 146}, {6, 50, 6}, kNoise3, kTexSpec1, {1, 10}},
    {kBox, {13.5, 73, 146}, {6.5, 6, 6.5}, kNoise5, kTexSpec4, {1, 1}},
    {kBox, {13.5, 95, 146}, {6, 50, 6}, kNoise3, kTexSpec1, {1, 10}},
    {kBox, {-13.5, 45, 146}, {6, 50, 6}, kNoise3, kTexSpec1, {1, 10}},
    {kBox, {-13.5, 73, 146}, {6.5, 6, 6.5}, kNoise5, kTexSpec4, {1, 1}},
    {kBox, {-13.5, 95, 146}, {6, 50, 6}, kNoise3, kTexSpec1, {1, 10}},
    {kBox, {-20, 45, 164}, {6, 50, 6}, kNoise3, kTexSpec1, {1, 10}},
    {kBox, {-20, 73, 164}, {6.5, 6, 6.5}, kNoise5, kTexSpec4, {1, 1}},
    {kBox, {-20, 95, 164}, {6, 50, 6}, kNoise3, kTexSpec1, {1, 10}},
    {kBox, {20, 45, 186}, {6, 50, 6}, kNoise3, kTexSpec1, {1, 10}},
    {kBox, {20, 73, 186}, {6.5, 6, 6.5}, kNoise5, kTexSpec4, {1, 1}},
    {kBox, {20, 95, 186}, {6, 50, 6}, kNoise3, kTexSpec1, {1, 10}},
    {kBox, {13.5, 45, 204}, {6, 50, 6}, kNoise3, kTexSpec1, {1, 10}},
    {kBox, {13.5, 73, 204}, {6.5, 6, 6.5}, kNoise5, kTexSpec4, {1, 1}},
    {kBox, {13.5, 95, 204}, {6, 50, 6}, kNoise3, kTexSpec1, {1, 10}},
    {kBox, {-13.5, 45, 204}, {6, 50, 6}, kNoise3, kTexSpec1, {1, 10}},
    {kBox, {-13.5, 73, 204}, {6.5, 6, 6.5}, kNoise5, kTexSpec4, {1, 1}},
    {kBox, {-13.5, 95, 204}, {6, 50, 6}, kNoise3, kTexSpec1, {1, 10}},
    {kPrism, {0, 55, 210}, {32, 5, 3}, kNoise5, kTexSpec1, {1, 1}},
    {kWedge, {0, 50, 230}, {20, 10, 25}, kNoise6, kTexSpec1, {3, 6}},
    {kPrism, {0, 45, 250}, {32, 5, 3}, kNoise5, kTexSpec1, {1, 1}},
    {kBox, {0, 40, 240}, {20, 20, 1}, kNoise3, kTexSpec1, {1, 1}},
    {kWedge, {0, 40, 265}, {20, 10, 20}, kNoise6, kTexSpec1, {3, 6}},
    {kBox, {0, 40, 290}, {20, 2, 20}, kNoise6, kTexSpec1, {3, 3}},
    {kBox, {0, 40, 310}, {20, 6, 20}, kNoise6, kTexSpec1, {3, 3}},
    {kPrism, {0, 40, 330}, {32, 5, 3}, kNoise5, kTexSpec1, {1, 1}},
    {kPrism, {0, 40, 340}, {32, 5, 3}, kNoise5, kTexSpec1, {1, 1}},
    {kBox, {0, 40, 355}, {10, 5, 7}, kNoise6, kTexSpec1, {1, 1}},
    {kPrism, {-5, 40, 365}, {32, 4, 3}, kNoise5, kTexSpec1, {1, 1}},
    {kPrism, {5, 40, 375}, {32, 3, 3}, kNoise5, kTexSpec1, {1, 1}},
    {kPrism, {0, 40, 385}, {32, 5, 3}, kNoise5, kTexSpec1, {1, 1}},
    {kBox, {0, 30, 300}, {60, 2, 40}, kNoise3, kTexSpec1, {1, 1}},
    {kBox, {0, 30, 340}, {60, 2, 40}, kNoise3, kTexSpec1, {1, 1}},
    {kBox, {0, 30, 380}, {60, 2, 40}, kNoise3, kTexSpec1, {1, 1}},
    {kBox, {30, 40, 340}, {3, 40, 120}, kNoise3, kTexSpec1, {1, 1}},
    {kBox, {-30, 40, 340}, {3, 40, 120}, kNoise3, kTexSpec1, {1, 1}},
    {kBox, {-20, 50, 290}, {20, 60, 20}, kNoise3, kTexSpec1, {1, 1}},
    {kBox, {20, 50, 290}, {20, 60, 20}, kNoise3, kTexSpec1, {1, 1}},
    {kBox, {0, 30, 290}, {20, 20, 20}, kNoise3, kTexSpec1, {1, 1}},
    {kBox, {-30, 41, 395}, {40, 40, 20}, kNoise3, kTexSpec1, {1, 1}},
    {kBox, {30, 41, 395}, {40, 40, 20}, kNoise3, kTexSpec1, {1, 1}},
    {kBox, {0, 30, 400}, {20, 10, 4}, kNoise3, kTexSpec1, {1, 1}},
    {kBox, {0, 71, 395}, {100, 20, 20}, kNoise3, kTexSpec1, {1, 1}},
    {kWedge, {0, 36, 405}, {20, 10, 20}, kNoise6, kTexSpec1, {3, 6}},
    {kBox, {0, 36, 425}, {2, 2, 20}, 0, kWoodSpecular, {1, 1}},
    {kBox, {0, 35, 445}, {60, 2, 20}, kNoise6, kTexSpec1, {6, 3}},
    {kBox, {0, 26, 410}, {20, 20, 1}, kNoise3, kTexSpec1, {1, 1}},
    {kBox, {0, 25, 445}, {58, 20, 19}, kNoise3, kTexSpec1, {1, 1}},
    {kWedge, {0, 30, 460}, {60, 10, 20}, kNoise3, kTexSpec1, {3, 6}},
};

const glm::vec3 kLooseBoxes[] = {
    {-8.5, 97, 60},   {-6.5, 97, 60}, {-4.5, 97, 60.2}, {-2.5, 97, 60},    {-0.5, 97, 60},  {-8.5, 99, 60},
    {-6.2, 99, 59.8}, {-4.2, 99, 60}, {-2.5, 99, 60},   {-8.4, 101, 59.8}, {-6.5, 101, 60}, {-4.2, 101, 60},
    {-8, 62, 175},    {-6, 62, 175},  {-4, 62, 175.2},  {-2, 62, 175},     {0, 62, 175},    {-8, 64, 175},
    {-6, 64, 175},    {-4, 64, 177},  {-6, 66, 175},    {-4, 66, 175},     {-2, 66, 175},   {8, 62, 190},
    {6, 62, 190},     {4, 62, 192},   {2, 62, 190},     {0, 62, 190},      {8, 64, 190},    {6, 64, 188},
    {4, 64, 190},     {6, 66, 190},   {4, 66, 190},     {2, 66, 190},
};

const glm::vec3 kTorches[] = {
    {0, 0, 0},      {15, 115, 10}, {-15, 115, 10}, {15, 100, 55},  {-15, 100, 75}, {20, 90, 100},
    {-20, 80, 120}, {20, 65, 155}, {-20, 65, 175}, {-20, 55, 230}, {20, 45, 265},  {-15, 45, 330},
    {15, 45, 365},  {20, 45, 415}, {-20, 45, 415}, {20, 45, 440},  {-20, 45, 440},
};

struct SectionRow {
  int z, window;
};
const SectionRow kSections[] = {{0, 1},   {50, 2},  {70, 3},  {90, 4},   {110, 5},
                                {150, 6}, {200, 7}, {250, 8}, {300, 11}, {440, 13}};

struct FallRow {
  float floor;
  int endZ;
};
const FallRow kFallLimits[] = {{95, 40}, {80, 80}, {55, 160}, {35, 400}, {25, 600}};

const glm::vec3 kWaterLights[] = {{15, 37, 325}, {-15, 37, 335}, {15, 37, 350}, {-15, 37, 368.5f}};

// The height of the first surface met going straight down from `from`, or NaN.
float surfaceBelow(const PhysicsWorld& world, const glm::vec3& from, float depth) {
  glm::vec3 hit(NAN);
  return world.raycast(from, from - glm::vec3(0, depth, 0), &hit) ? hit.y : NAN;
}

// Where a short ray along `direction` first meets a surface, or NaN: the ray runs 0.1 either side
// of `expected`, so it begins outside the face it looks for.
glm::vec3 faceNear(const PhysicsWorld& world, const glm::vec3& expected, const glm::vec3& direction) {
  glm::vec3 hit(NAN);
  return world.raycast(expected - 0.1f * direction, expected + 0.1f * direction, &hit) ? hit : glm::vec3(NAN);
}

// A box's full extents from its mass and inertia at density 10: m = 10 x y z and the inverse
// inertia about x is 12 / (m (y^2 + z^2)), and so on.
glm::vec3 boxSizeOf(const RigidBody* body) {
  const float m = body->mass();
  const glm::vec3 inertia = 1.0f / body->inverseInertia();  // m (b^2 + c^2) / 12 per axis
  const glm::vec3 sums = 12.0f * inertia / m;               // y^2 + z^2, x^2 + z^2, x^2 + y^2
  const float total = (sums.x + sums.y + sums.z) / 2.0f;    // x^2 + y^2 + z^2
  return glm::sqrt(glm::max(glm::vec3(total) - sums, glm::vec3(0.0f)));
}

void expectNear(const glm::vec3& a, const glm::vec3& b, float tolerance, const std::string& what) {
  EXPECT_LE(glm::length(a - b), tolerance)
      << what << ": (" << a.x << ", " << a.y << ", " << a.z << ") vs (" << b.x << ", " << b.y << ", " << b.z << ")";
}

// The body's faces as rays find them (0.02 allows for the hull shapes' collision margin): the top
// straight down the centre column, the side facing the course's middle line (x = 0) and the front.
void expectShape(const PhysicsWorld& world, const SolidRow& row, const std::string& what) {
  const glm::vec3 p = row.position;
  const float side = p.x >= 0 ? -1.0f : 1.0f;
  const float tolerance = 0.02f;
  switch (row.kind) {
    case kBox: {
      const glm::vec3 half = row.size / 2.0f;
      // Halfway to the front: the walls under the ramps' low edges are covered at their centre.
      EXPECT_NEAR(surfaceBelow(world, p + glm::vec3(0, half.y + 0.1f, half.z / 2), 0.2f), p.y + half.y, tolerance)
          << what << " top";
      EXPECT_NEAR(faceNear(world, p + glm::vec3(side * half.x, 0, 0), glm::vec3(-side, 0, 0)).x, p.x + side * half.x,
                  tolerance)
          << what << " side";
      EXPECT_NEAR(faceNear(world, p + glm::vec3(0, 0, half.z), glm::vec3(0, 0, -1)).z, p.z + half.z, tolerance)
          << what << " front";
      break;
    }
    case kPrism: {
      const float h = row.size.y, r = row.size.z;
      EXPECT_NEAR(surfaceBelow(world, p + glm::vec3(0, h / 2 + 0.1f, 0), 0.2f), p.y + h / 2, tolerance)
          << what << " top";
      // The flat sides lie at the radius.
      EXPECT_NEAR(faceNear(world, p + glm::vec3(side * r, 0, 0), glm::vec3(-side, 0, 0)).x, p.x + side * r, tolerance)
          << what << " side";
      break;
    }
    case kWedge: {
      const glm::vec3 half = row.size / 2.0f;
      // The top falls from the full height at the back (-z) to a hundredth of the half height at
      // the front: halfway along, it is at the mean of the two.
      EXPECT_NEAR(surfaceBelow(world, p + glm::vec3(0, half.y + 0.1f, 0), half.y + 0.2f), p.y + (half.y * 1.01f) / 2,
                  tolerance)
          << what << " top";
      EXPECT_NEAR(faceNear(world, p + glm::vec3(side * half.x, -half.y / 2, 0), glm::vec3(-side, 0, 0)).x,
                  p.x + side * half.x, tolerance)
          << what << " side";
      EXPECT_NEAR(faceNear(world, p + glm::vec3(0, -half.y / 2, half.z), glm::vec3(0, 0, -1)).z, p.z + half.z,
                  tolerance)
          << what << " front";
      break;
    }
  }
}

void expectSolid(const Level& level, const PhysicsWorld& world, int i, const SolidRow& row) {
  const std::string what = "solid " + std::to_string(i);
  RigidBody* body = level.solids.bodies[i];
  // A ray may meet a neighbour embedded in the piece (the column cubes sit in their blocks); the
  // weight of a box, density 10 times its volume, is its own.
  if (row.kind == kBox) {
    EXPECT_NEAR(body->mass(), 10.0f * row.size.x * row.size.y * row.size.z, 1e-4f * body->mass()) << what << " volume";
  }
  const Pose pose = body->globalPose();
  EXPECT_EQ(pose.position, row.position) << what;
  EXPECT_NEAR(std::abs(pose.rotation.w), 1.0f, 1e-6f) << what << " stands unturned";
  EXPECT_TRUE(body->isKinematic()) << what;
  EXPECT_EQ(level.solids.diffuseTextures[i], row.diffuse) << what;
  EXPECT_EQ(level.solids.specularTextures[i], row.specular) << what;
  EXPECT_EQ(level.solids.textureRepeats[i], row.repeat) << what;
  expectShape(world, row, what);
}

}  // namespace

TEST(LevelTables, EverySolidStandsWhereTheCourseSaysWithItsShapeAndTextures) {
  HeadlessCourse course;
  const Level& level = course.level;
  constexpr int rows = sizeof kSolids / sizeof kSolids[0];
  static_assert(rows == 88, "the course places 88 solids of its own");
  ASSERT_EQ(level.solids.count, rows + 3 * 17);
  for (int i = 0; i < rows; ++i) expectSolid(level, course.world, i, kSolids[i]);

  // Each torch: the light, then its stand of a tapered cap, a block and a foot under it.
  ASSERT_EQ(level.torchLights.size(), 17u);
  ASSERT_EQ(level.torches.count, 17);
  for (int t = 0; t < 17; ++t) {
    const glm::vec3 p = kTorches[t];
    EXPECT_EQ(level.torchLights[t].position, p) << "torch " << t;
    EXPECT_EQ(level.torchLights[t].color, glm::vec3(3.5f, 2.28f, 1.0f)) << "torch " << t;
    EXPECT_EQ(level.torchLights[t].attenuation, glm::vec3(1.0f, 0.07f, 0.017f)) << "torch " << t;
    const int first = rows + 3 * t;
    const SolidRow stand[3] = {{kWedge, p - glm::vec3(0, 2, 0), {4, 2, 4}, kNoise6, kNoise6, {1, 1}},
                               {kBox, p - glm::vec3(0, 4, 0), {5, 4, 5}, kNoise6, kNoise6, {1, 1}},
                               {kBox, p - glm::vec3(0, 6.5f, 0), {4, 2, 4}, kNoise6, kNoise6, {1, 1}}};
    // The cap is a frustum on the screen, a wedge to the physics world: only its place is checked.
    EXPECT_EQ(level.solids.bodies[first]->globalPose().position, stand[0].position) << "torch " << t;
    EXPECT_EQ(level.solids.diffuseTextures[first], kNoise6) << "torch " << t;
    for (int part = 1; part < 3; ++part) expectSolid(level, course.world, first + part, stand[part]);
  }
}

TEST(LevelTables, LooseBoxesBoulderAndGateAreBuiltAsTheCourseSays) {
  HeadlessCourse course;
  const Level& level = course.level;
  constexpr int rows = sizeof kLooseBoxes / sizeof kLooseBoxes[0];
  ASSERT_EQ(level.looseBoxes.count, rows);
  for (int i = 0; i < rows; ++i) {
    const std::string what = "loose box " + std::to_string(i);
    RigidBody* body = level.looseBoxes.bodies[i];
    EXPECT_EQ(body->globalPose().position, kLooseBoxes[i]) << what;
    EXPECT_FALSE(body->isKinematic()) << what;
    expectNear(boxSizeOf(body), glm::vec3(2.0f), 1e-3f, what + " size");
    EXPECT_EQ(level.looseBoxes.diffuseTextures[i], kNoise3) << what;
    EXPECT_EQ(level.looseBoxes.specularTextures[i], kTexSpec2) << what;
    EXPECT_EQ(level.looseBoxes.textureRepeats[i], glm::vec2(1, 1)) << what;
  }

  // The boulder: a ball of radius 10 over the start platform, driven until z 390.
  EXPECT_EQ(level.boulder.body->globalPose().position, glm::vec3(0, 125, -20));
  EXPECT_EQ(level.boulder.startPose.position, glm::vec3(0, 125, -20));
  EXPECT_EQ(level.boulder.endPose.position.z, 390.0f);
  EXPECT_EQ(level.boulder.radius, 10.0);
  EXPECT_NEAR(surfaceBelow(course.world, {0, 140, -20}, 10), 135.0f, 1e-2f) << "the ball's top";
  EXPECT_EQ(level.boulder.specularTexture, kTilesSpecular);
  // The gate: 20 x 20 x 1 in front of the boulder, to sink by its own height.
  EXPECT_EQ(level.gate.body->globalPose().position, glm::vec3(0, 125, -5));
  EXPECT_EQ(level.gate.loweredPose.position, glm::vec3(0, 105, -5));
  expectShape(course.world, {kBox, {0, 125, -5}, {20, 20, 1}, 0, 0, {1, 1}}, "gate");
  EXPECT_EQ(level.gate.diffuseTexture, kNoise3);
  EXPECT_EQ(level.gate.specularTexture, kTexSpec4);
}

TEST(LevelTables, SectionsFallLimitsAndWaterLightsAreTheCoursesRows) {
  HeadlessCourse course;
  const Level& level = course.level;
  ASSERT_EQ(level.sections.count, 10);
  for (int i = 0; i < 10; ++i) {
    EXPECT_EQ(level.sections.z[i], kSections[i].z) << i;
    EXPECT_EQ(level.sections.windows[i], kSections[i].window) << i;
  }
  ASSERT_EQ(level.fallLimits.count, 5);
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(level.fallLimits.floorHeights[i], kFallLimits[i].floor) << i;
    EXPECT_EQ(level.fallLimits.endZ[i], kFallLimits[i].endZ) << i;
  }
  for (int i = 0; i < 4; ++i) {
    EXPECT_TRUE(level.waterLights[i].enabled) << i;
    EXPECT_EQ(level.waterLights[i].position, kWaterLights[i]) << i;
    EXPECT_EQ(level.waterLights[i].color, glm::vec3(0.5f, 0.5f, 1.0f)) << i;
    EXPECT_EQ(level.waterLights[i].attenuation, glm::vec3(1.0f, 0.07f, 0.017f)) << i;
  }
  EXPECT_EQ(level.startPosition, glm::dvec3(0, 120, 0));
  EXPECT_EQ(level.finishHeight, 35.0f);
  EXPECT_EQ(level.finishZ, 445.0f);
}

// The sheets and the backdrop have no bodies: their places and sizes are in their meshes.
class LevelSheets : public GlContextTest {};

struct SheetRow {
  glm::vec3 position;
  float width, depth;
};

// The extents of a mesh's vertices in its own space, x and z.
glm::vec2 meshExtent(const Geometry& mesh) {
  std::vector<glm::vec3> positions(static_cast<size_t>(mesh.indexCount));
  glBindBuffer(GL_ARRAY_BUFFER, mesh.positionBuffer);
  glGetBufferSubData(GL_ARRAY_BUFFER, 0, positions.size() * sizeof(glm::vec3), positions.data());
  glBindBuffer(GL_ARRAY_BUFFER, 0);
  glm::vec3 low(1e9f), high(-1e9f);
  for (const glm::vec3& p : positions) {
    low = glm::min(low, p);
    high = glm::max(high, p);
  }
  return {high.x - low.x, high.z - low.z};
}

TEST_F(LevelSheets, WaterFlowAndBackdropSheetsLieWhereTheCourseSays) {
  PhysicsWorld world;
  Level level;
  level.world = &world;
  level.build(createPlayerController(world, PlayerControllerDesc{}), nullptr, nullptr, nullptr, nullptr, nullptr,
              nullptr, nullptr, nullptr, nullptr, nullptr, kNoise3, kNoise5, kNoise6, kTexSpec1, kTexSpec2, kTexSpec3,
              kTexSpec4, kTex2Spec, kTex2Spec2, kTilesSpecular, kWoodSpecular);
  const SheetRow water[] = {{{0, 33.5f, 340}, 60, 120}, {{-20, 38, 308}, 30, 25}, {{20, 38, 308}, 30, 25}};
  const int waterTypes[] = {1, 1, 2};
  ASSERT_EQ(level.waterSheets.count, 3);
  for (int i = 0; i < 3; ++i) {
    const Geometry& mesh = *level.waterSheets.geometries[i];
    EXPECT_EQ(glm::vec3(mesh.modelMatrix[3]), water[i].position) << "water " << i;
    EXPECT_EQ(meshExtent(mesh), glm::vec2(water[i].width, water[i].depth)) << "water " << i;
    EXPECT_EQ(level.waterSheets.types[i], waterTypes[i]) << "water " << i;
  }
  struct FlowRow {
    float z, depth;
    glm::vec2 first, second;
  };
  const FlowRow flow[] = {{325, 10, {0, 15}, {0, 5}},     {335, 10, {0, 5}, {0, 5}},  {346.5f, 13, {0, 5}, {0, 15}},
                          {358.5f, 13, {0, 15}, {-5, 5}}, {367, 10, {-5, 5}, {5, 5}}, {377, 10, {5, 5}, {0, 5}},
                          {387, 15, {0, 7.5f}, {0, 15}}};
  ASSERT_EQ(level.flowSheets.count, 7);
  for (int i = 0; i < 7; ++i) {
    const Geometry& mesh = *level.flowSheets.geometries[i];
    EXPECT_EQ(glm::vec3(mesh.modelMatrix[3]), glm::vec3(0, 38, flow[i].z)) << "flow " << i;
    EXPECT_EQ(meshExtent(mesh), glm::vec2(70, flow[i].depth)) << "flow " << i;
    EXPECT_EQ(level.flowSheets.types[i], 1) << "flow " << i;
    EXPECT_EQ(level.flowSheets.firstOffsets[i], flow[i].first) << "flow " << i;
    EXPECT_EQ(level.flowSheets.secondOffsets[i], flow[i].second) << "flow " << i;
  }
  ASSERT_EQ(level.backdrops.count, 1);
  EXPECT_EQ(glm::vec3(level.backdrops.geometries[0]->modelMatrix[3]), glm::vec3(0, 25, 200));
  EXPECT_EQ(meshExtent(*level.backdrops.geometries[0]), glm::vec2(800, 800));
  // Every torch head sits on its torch.
  for (int t = 0; t < 17; ++t)
    EXPECT_EQ(glm::vec3(level.torches.geometries[t]->modelMatrix[3]), kTorches[t]) << "torch " << t;
  EXPECT_EQ(drainGlErrors(), static_cast<GLenum>(GL_NO_ERROR));
}
