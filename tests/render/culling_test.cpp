// What the optimised frames leave out: bounds of meshes, the view volumes of the camera, the sun
// and the torches, and the culling and shadow survey built on them.
#include <gtest/gtest.h>

#include <glm/gtc/matrix_transform.hpp>

#include "render/frustum.h"
#include "render/geometry.h"
#include "render/optimised_frames.h"
#include "render/shadow_survey.h"
#include "render/view_culling.h"

namespace {

BoundingSphere sphere(glm::vec3 centre, float radius) { return BoundingSphere{centre, radius}; }

// Every vertex, moved by the matrix, lies within the moved sphere and within the moved box.
TEST(Bounds, HoldEveryVertexUnderMoveTurnScaleAndShear) {
  const glm::mat4 moved = glm::translate(glm::mat4(1.0f), glm::vec3(5, -3, 200));
  const glm::mat4 turned = glm::rotate(moved, 0.7f, glm::normalize(glm::vec3(1, 2, 3)));
  const glm::mat4 scaled = glm::scale(turned, glm::vec3(0.5f, 3.0f, 1.0f));
  glm::mat4 sheared(1.0f);
  sheared[1][0] = 2.0f;  // x grows with y
  for (const GeometryData& data : {createRampGeometry(4.0f, 2.0f, 10.0f), createSphereGeometry(12, 8, 3.0f)}) {
    const BoundingSphere local = boundingSphereOf(data.positions.data(), data.positions.size());
    for (const glm::mat4& m : {glm::mat4(1.0f), moved, turned, scaled, sheared * scaled}) {
      const BoundingSphere world = transformSphere(local, m);
      const std::array<glm::vec3, 8> box = worldBoxCorners(local, m);
      const glm::mat3 edges(box[1] - box[0], box[2] - box[0], box[4] - box[0]);
      for (const glm::vec3& p : data.positions) {
        const glm::vec3 q(m * glm::vec4(p, 1.0f)), along = glm::inverse(edges) * (q - box[0]);
        EXPECT_LE(glm::distance(q, world.centre), world.radius);
        for (int axis = 0; axis < 3; ++axis) EXPECT_TRUE(along[axis] > -1e-4f && along[axis] < 1 + 1e-4f) << axis;
      }
    }
  }
  // Off-centre points: the sphere sits at their middle, the box is their own box.
  const std::vector<glm::vec3> points = {{10, 0, 0}, {12, 0, 0}, {11, 1, 0}};
  const BoundingSphere local = boundingSphereOf(points.data(), points.size());
  EXPECT_NEAR(glm::distance(local.centre, glm::vec3(11, 0.5f, 0)), 0.0f, 1e-5f);
  EXPECT_NEAR(local.radius, std::sqrt(1.25f), 1e-3f);
  EXPECT_NEAR(glm::distance(worldBoxCorners(local, glm::mat4(1.0f))[7], glm::vec3(12, 1, 0)), 0.0f, 1e-5f);
  // A sphere given only as centre and radius has the cube around it.
  EXPECT_EQ(worldBoxCorners(sphere({1, 2, 3}, 2.0f), glm::mat4(1.0f))[0], glm::vec3(-1, 0, 1));
  // No points bound nothing, and nothing is ever inside a volume.
  const BoundingSphere empty = boundingSphereOf(nullptr, 0);
  EXPECT_LT(transformSphere(empty, glm::scale(glm::mat4(1.0f), glm::vec3(4.0f))).radius, 0.0f);
  EXPECT_FALSE(Frustum::aroundPoint(glm::vec3(0.0f), 50.0f).touches(empty));
}

TEST(Frusta, TheCameraTheSunAndATorchKeepWhatTheirVolumeTouches) {
  // The game's camera: 60 degrees, 4:3, near 0.1, far 100, looking down -z from the origin.
  const Frustum camera = Frustum::fromMatrix(glm::perspective(glm::radians(60.0f), 4.0f / 3.0f, 0.1f, 100.0f));
  // The sun's box: 50 to the sides, 50 to 250 deep along its view.
  const glm::vec3 eye(0, 220, 200), forward = glm::normalize(glm::vec3(0, -1, -1)), mid = eye + 150.0f * forward;
  const Frustum sun = Frustum::fromMatrix(glm::ortho(-50.0f, 50.0f, -300.0f, 300.0f, 50.0f, 250.0f) *
                                          glm::lookAt(eye, eye + forward, glm::vec3(0, 1, 0)));
  // A torch's cube reaches 50 along each axis, and into its corners.
  const glm::vec3 torch(3, 100, 40);
  const Frustum cube = Frustum::aroundPoint(torch, 50.0f);
  const struct {
    const Frustum& volume;
    glm::vec3 centre;
    float radius;
    bool touches;
  } cases[] = {// behind the camera, over its far plane, and at depth 10, where the half width is
               // 10 tan(30) 4/3 = 7.70: a sphere 9 to the side needs a radius over 1.1
               {camera, {0, 0, -50}, 1, true},
               {camera, {0, 0, 5}, 1, false},
               {camera, {0, 0, -103}, 2, false},
               {camera, {0, 0, -103}, 4, true},
               {camera, {9, 0, -10}, 0.8f, false},
               {camera, {9, 0, -10}, 1.5f, true},
               {sun, mid, 1, true},
               {sun, mid + glm::vec3(55, 0, 0), 4, false},
               {sun, mid + glm::vec3(55, 0, 0), 6, true},
               {sun, eye + 45.0f * forward, 4, false},
               {sun, eye + 256.0f * forward, 5, false},
               {cube, torch + glm::vec3(55, 0, 0), 4, false},
               {cube, torch + glm::vec3(55, 0, 0), 6, true},
               {cube, torch - glm::vec3(0, 55, 0), 4, false},
               {cube, torch - glm::vec3(0, 55, 0), 6, true},
               {cube, torch + glm::vec3(0, 0, 55), 4, false},
               {cube, torch - glm::vec3(55, 0, 0), 4, false},
               {cube, torch + glm::vec3(49, 49, 49), 0.5f, true}};
  for (const auto& c : cases)
    EXPECT_EQ(c.volume.touches(sphere(c.centre, c.radius)), c.touches)
        << c.centre.x << ", " << c.centre.y << ", " << c.centre.z << " radius " << c.radius;
}

TEST(ViewCulling, CullsOnlyInsideAVolumeInOptimisedFramesAndASurveyListsWhatIsInside) {
  ViewCulling culling;
  const BoundingSphere unit = sphere({0, 0, 0}, 1);
  const glm::mat4 here(1.0f), far = glm::translate(here, glm::vec3(500, 0, 0)),
                              up = glm::translate(here, glm::vec3(0, 10, 0));
  EXPECT_TRUE(culling.visible(unit, far)) << "no pass running";
  culling.beginVolume(Frustum::aroundPoint(glm::vec3(0.0f), 50.0f));
  EXPECT_FALSE(culling.visible(unit, far));
  EXPECT_TRUE(culling.visible(unit, here));
  optimisedFrames = false;
  EXPECT_TRUE(culling.visible(unit, far)) << "everything drawn";
  optimisedFrames = true;

  ShadowSurvey& survey = shadowSurvey;  // the one view culling reports to
  survey.begin(culling);
  for (const glm::mat4& m : {here, far, up}) EXPECT_FALSE(culling.visible(unit, m)) << "a survey draws nothing";
  const std::uint64_t first = survey.end(culling);
  ASSERT_EQ(survey.boxes().size(), 2u) << "the one far outside is not listed";
  EXPECT_EQ(survey.boxes()[1][7], glm::vec3(1, 11, 1));
  survey.begin(culling);
  culling.visible(unit, here);
  EXPECT_NE(survey.end(culling), first);
  EXPECT_EQ(survey.boxes().size(), 1u) << "each survey starts a new list";
  culling.endVolume();
  EXPECT_TRUE(culling.visible(unit, far));
}

}  // namespace
