// The builder against the course data the game ships: every row becomes a body of its shape, in
// its place, with its textures; counts and orders follow from the data; bad shapes add nothing.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "game/level_layout.h"
#include "render/geometry.h"
#include "render/random.h"
#include "support/gl_context.h"
#include "tools/trace/headless_course.h"

using namespace course;

namespace {

// The headless course's texture names, in CourseTexture's order; a material's own texture is 0.
const unsigned kTextures[] = {kNoise3,   kNoise5,   kNoise6,        kTexSpec1,     kTexSpec2,
                              kTexSpec4, kTex2Spec, kTilesSpecular, kWoodSpecular, 0};
unsigned texture(CourseTexture t) { return kTextures[static_cast<int>(t)]; }

float surfaceBelow(const PhysicsWorld& world, const glm::vec3& from, float depth) {
  glm::vec3 hit(NAN);
  return world.raycast(from, from - glm::vec3(0, depth, 0), &hit) ? hit.y : NAN;
}
// Where a ray from 0.1 outside `expected` towards -x (or +x) meets the face, x only.
float sideNear(const PhysicsWorld& world, const glm::vec3& expected, float outward) {
  glm::vec3 hit(NAN);
  const glm::vec3 d(outward, 0, 0);
  return world.raycast(expected + 0.1f * d, expected - 0.1f * d, &hit) ? hit.x : NAN;
}

// A built solid against its row: place, kind, textures and shape (boxes by their weight, density
// 10 times the volume; hulls by rays at their top and at the side facing the course's middle).
void expectSolid(const Level& level, const PhysicsWorld& world, int i, const SolidRow& row) {
  SCOPED_TRACE("solid " + std::to_string(i));
  RigidBody* body = level.solids.bodies[i];
  const glm::vec3 p = row.position, half = row.size / 2.0f;
  EXPECT_EQ(body->globalPose().position, p);
  EXPECT_NEAR(std::abs(body->globalPose().rotation.w), 1.0f, 1e-6f);
  EXPECT_TRUE(body->isKinematic());
  EXPECT_EQ(level.solids.diffuseTextures[i], texture(row.diffuse));
  EXPECT_EQ(level.solids.specularTextures[i], texture(row.specular));
  EXPECT_EQ(level.solids.textureRepeats[i], row.repeat);
  const float side = p.x >= 0 ? -1.0f : 1.0f;
  if (row.shape == 0) {
    EXPECT_NEAR(body->mass(), 10.0f * row.size.x * row.size.y * row.size.z, 1e-4f * body->mass());
  } else if (row.shape == 2) {  // segments, height, radius: the flat sides lie at the radius
    EXPECT_NEAR(surfaceBelow(world, p + glm::vec3(0, row.size.y / 2 + 0.1f, 0), 0.2f), p.y + row.size.y / 2, 0.02f);
    EXPECT_NEAR(sideNear(world, p + glm::vec3(side * row.size.z, 0, 0), side), p.x + side * row.size.z, 0.02f);
  } else {  // from the full height at the back to a hundredth of the half height at the front
    EXPECT_NEAR(surfaceBelow(world, p + glm::vec3(0, half.y + 0.1f, 0), half.y + 0.2f), p.y + half.y * 1.01f / 2,
                0.02f);
    EXPECT_NEAR(sideNear(world, p + glm::vec3(side * half.x, -half.y / 2, 0), side), p.x + side * half.x, 0.02f);
  }
}

}  // namespace

TEST(LevelBuild, EveryRowOfTheCourseBecomesItsPieceInOrder) {
  HeadlessCourse course;
  const Level& level = course.level;
  const std::vector<SolidRow>& solids = courseSolids();
  const std::vector<glm::vec3>& torches = courseTorches();
  const CourseTexture n6 = CourseTexture::Noise6;  // a torch stand's
  // Each torch adds a stand of three solids after the course's own.
  ASSERT_EQ(level.solids.count, int(solids.size() + 3 * torches.size()));
  for (size_t i = 0; i < solids.size(); ++i) expectSolid(level, course.world, int(i), solids[i]);
  ASSERT_EQ(level.torches.count, int(torches.size()));
  ASSERT_EQ(level.torchLights.size(), torches.size());
  for (size_t t = 0; t < torches.size(); ++t) {
    const glm::vec3 p = torches[t];
    EXPECT_EQ(level.torchLights[t].position, p) << t;
    EXPECT_EQ(level.torchLights[t].color, level.torchColour) << t;
    EXPECT_EQ(level.torchLights[t].attenuation, level.attHigh) << t;
    const int first = int(solids.size() + 3 * t);
    EXPECT_EQ(level.solids.bodies[first]->globalPose().position, p - glm::vec3(0, 2, 0)) << t;
    expectSolid(level, course.world, first + 1, {0, p - glm::vec3(0, 4, 0), {5, 4, 5}, {}, n6, n6, {1, 1}});
    expectSolid(level, course.world, first + 2, {0, p - glm::vec3(0, 6.5f, 0), {4, 2, 4}, {}, n6, n6, {1, 1}});
  }
  const std::vector<glm::vec3>& boxes = courseLooseBoxes();
  ASSERT_EQ(level.looseBoxes.count, int(boxes.size()));
  for (size_t i = 0; i < boxes.size(); ++i) {
    RigidBody* body = level.looseBoxes.bodies[i];
    EXPECT_EQ(body->globalPose().position, boxes[i]) << i;
    EXPECT_FALSE(body->isKinematic()) << i;
    EXPECT_NEAR(body->mass(), 80.0f, 1e-3f) << i;  // 2 x 2 x 2
    EXPECT_EQ(level.looseBoxes.diffuseTextures[i], kNoise3) << i;
    EXPECT_EQ(level.looseBoxes.specularTextures[i], kTexSpec2) << i;
  }
  for (const ObjectList* list : {&level.solids, &level.looseBoxes}) {
    EXPECT_EQ(list->bodies.size(), size_t(list->count));
    EXPECT_EQ(list->textureRepeats.size(), size_t(list->count));
  }
  ASSERT_EQ(level.sections.count, int(courseSections().size()));
  for (int i = 0; i < level.sections.count; ++i) {
    EXPECT_EQ(level.sections.z[i], courseSections()[i].z);
    EXPECT_EQ(level.sections.windows[i], courseSections()[i].window);
    // Boundaries in order along the course, windows inside the torch list.
    if (i > 0) {
      EXPECT_LT(level.sections.z[i - 1], level.sections.z[i]);
    }
    EXPECT_LE(level.sections.windows[i] + 4, int(torches.size()));
  }
  ASSERT_EQ(level.fallLimits.count, int(courseFallLimits().size()));
  for (int i = 0; i < level.fallLimits.count; ++i) {
    EXPECT_EQ(level.fallLimits.floorHeights[i], courseFallLimits()[i].floorHeight);
    EXPECT_EQ(level.fallLimits.endZ[i], courseFallLimits()[i].endZ);
    if (i > 0) {
      EXPECT_LT(level.fallLimits.endZ[i - 1], level.fallLimits.endZ[i]);
      EXPECT_GT(level.fallLimits.floorHeights[i - 1], level.fallLimits.floorHeights[i]);
    }
  }
  EXPECT_EQ(level.skulls.count, int(skullPositions().size()));
  EXPECT_EQ(level.diamonds.count, int(diamondPositions().size()));
  EXPECT_EQ(level.diamonds.pickupPositions, diamondPositions());
  // The boulder over the start platform, driven to z 390; the gate in front, to sink its height.
  EXPECT_EQ(level.boulder.body->globalPose().position, level.boulder.startPose.position);
  EXPECT_EQ(level.boulder.endPose.position.z, 390.0f);
  EXPECT_NEAR(surfaceBelow(course.world, level.boulder.startPose.position + glm::vec3(0, 15, 0), 10),
              level.boulder.startPose.position.y + level.boulder.radius, 1e-2f);
  EXPECT_EQ(level.gate.loweredPose.position, level.gate.startPose.position - glm::vec3(0, 20, 0));
  EXPECT_EQ(level.activeLights[4].position, level.torchLights[3].position) << "the first window";
  const glm::vec3 waterLights[] = {{15, 37, 325}, {-15, 37, 335}, {15, 37, 350}, {-15, 37, 368.5f}};
  for (int i = 0; i < 4; ++i) {
    EXPECT_TRUE(level.waterLights[i].enabled);
    EXPECT_EQ(level.waterLights[i].position, waterLights[i]) << i;
    EXPECT_EQ(level.waterLights[i].color, glm::vec3(0.5f, 0.5f, 1.0f)) << i;
    EXPECT_EQ(level.waterLights[i].attenuation, level.attHigh) << i;
  }
}

TEST(LevelBuild, AnUnknownShapeAddsNothingAndDiamondColoursComeFromTheSharedGeneratorInPairs) {
  PhysicsWorld world;
  Level level;
  level.world = &world;
  level.makeMeshes = false;
  for (int shape : {5, -1}) level.addSolid({0, 10, 0}, {2, 2, 2}, nullptr, shape, 1, 2, {1, 1});
  level.addLooseBox({0, 10, 0}, {2, 2, 2}, nullptr, 1, 1, 2, {1, 1});
  EXPECT_EQ(level.solids.count + level.looseBoxes.count, 0);
  EXPECT_EQ(level.solids.bodies.size() + level.looseBoxes.textureRepeats.size(), 0u);

  resetRandomForTests();
  std::vector<unsigned> draws(2 * diamondPositions().size());
  for (unsigned& d : draws) d = nextRandom() % 3;
  resetRandomForTests();
  HeadlessCourse course;
  const unsigned colours[3] = {kNoise7, kNoise8, kNoise9};
  for (size_t i = 0; i < diamondPositions().size(); ++i) {
    EXPECT_EQ(course.level.diamonds.diffuseTextures[i], colours[draws[2 * i]]) << i;
    EXPECT_EQ(course.level.diamonds.specularTextures[i], colours[draws[2 * i + 1]]) << i;
  }
}

// The meshes: sheets and the backdrop have no bodies, so their places and sizes are checked there.
class LevelMeshes : public GlContextTest {};

glm::vec3 meshSize(const Geometry& mesh) {
  std::vector<glm::vec3> positions(static_cast<size_t>(mesh.indexCount));
  glBindBuffer(GL_ARRAY_BUFFER, mesh.positionBuffer);
  glGetBufferSubData(GL_ARRAY_BUFFER, 0, positions.size() * sizeof(glm::vec3), positions.data());
  glBindBuffer(GL_ARRAY_BUFFER, 0);
  glm::vec3 low(1e9f), high(-1e9f);
  for (const glm::vec3& p : positions) low = glm::min(low, p), high = glm::max(high, p);
  return high - low;
}
glm::vec3 at(const Geometry& mesh) { return glm::vec3(mesh.modelMatrix[3]); }

TEST_F(LevelMeshes, SheetsBackdropTorchHeadsAndBoxesLieWhereTheCourseSays) {
  PhysicsWorld world;
  Level level;
  level.world = &world;
  level.build(createPlayerController(world, PlayerControllerDesc{}), nullptr, nullptr, nullptr, nullptr, nullptr,
              nullptr, nullptr, nullptr, nullptr, nullptr, kNoise3, kNoise5, kNoise6, kTexSpec1, kTexSpec2, kTexSpec3,
              kTexSpec4, kTex2Spec, kTex2Spec2, kTilesSpecular, kWoodSpecular);
  const std::vector<WaterRow>& water = courseWaterSheets();
  ASSERT_EQ(level.waterSheets.count, int(water.size()));
  for (size_t i = 0; i < water.size(); ++i) {
    EXPECT_EQ(at(*level.waterSheets.geometries[i]), water[i].position) << i;
    const glm::vec3 size = meshSize(*level.waterSheets.geometries[i]);
    EXPECT_EQ(glm::vec2(size.x, size.z), glm::vec2(water[i].width, water[i].depth)) << i;
    EXPECT_EQ(level.waterSheets.types[i], water[i].type) << i;
  }
  const std::vector<FlowRow>& flow = courseFlowSheets();
  ASSERT_EQ(level.flowSheets.count, int(flow.size()));
  for (size_t i = 0; i < flow.size(); ++i) {
    EXPECT_EQ(at(*level.flowSheets.geometries[i]), glm::vec3(0, 38, flow[i].z)) << i;
    const glm::vec3 size = meshSize(*level.flowSheets.geometries[i]);
    EXPECT_EQ(glm::vec2(size.x, size.z), glm::vec2(70, flow[i].depth)) << i;
    EXPECT_EQ(level.flowSheets.firstOffsets[i], flow[i].firstOffset) << i;
    EXPECT_EQ(level.flowSheets.secondOffsets[i], flow[i].secondOffset) << i;
  }
  ASSERT_EQ(level.backdrops.count, 1);
  EXPECT_EQ(at(*level.backdrops.geometries[0]), glm::vec3(0, 25, 200));
  EXPECT_EQ(meshSize(*level.backdrops.geometries[0]).x, 800.0f);
  for (size_t t = 0; t < courseTorches().size(); ++t) EXPECT_EQ(at(*level.torches.geometries[t]), courseTorches()[t]);
  EXPECT_EQ(level.torches.geometries[0]->indexCount, 6 * 64 * 31);  // sphere 64 x 32
  // A box's mesh has its row's full size at its place.
  for (size_t i = 0; i < courseSolids().size(); ++i) {
    if (courseSolids()[i].shape != 0) continue;
    EXPECT_EQ(meshSize(*level.solids.geometries[i]), courseSolids()[i].size) << i;
    EXPECT_EQ(at(*level.solids.geometries[i]), courseSolids()[i].position) << i;
  }
}
