#include "render/frustum.h"

#include <gtest/gtest.h>

#include <cmath>
#include <glm/gtc/matrix_transform.hpp>
#include <vector>

#include "render/geometry.h"
#include "render/optimised_frames.h"
#include "render/shadow_survey.h"
#include "render/view_culling.h"

namespace {

// Every vertex, moved by the matrix, must lie within the moved sphere.
void expectEnclosed(const GeometryData& data, const glm::mat4& m) {
  const BoundingSphere world = transformSphere(boundingSphereOf(data.positions.data(), data.positions.size()), m);
  for (const glm::vec3& p : data.positions)
    EXPECT_LE(glm::distance(glm::vec3(m * glm::vec4(p, 1.0f)), world.centre), world.radius) << p.x << " " << p.y;
}

BoundingSphere sphere(glm::vec3 centre, float radius) { return BoundingSphere{centre, radius}; }

}  // namespace

TEST(BoundingSpheres, HoldEveryVertexUnderMoveTurnScaleAndShear) {
  const GeometryData ramp = createRampGeometry(4.0f, 2.0f, 10.0f);
  const GeometryData sphereMesh = createSphereGeometry(12, 8, 3.0f);
  const glm::mat4 moved = glm::translate(glm::mat4(1.0f), glm::vec3(5, -3, 200));
  const glm::mat4 turned = glm::rotate(moved, 0.7f, glm::normalize(glm::vec3(1, 2, 3)));
  const glm::mat4 scaled = glm::scale(turned, glm::vec3(0.5f, 3.0f, 1.0f));
  glm::mat4 sheared(1.0f);
  sheared[1][0] = 2.0f;  // x grows with y
  for (const glm::mat4& m : {glm::mat4(1.0f), moved, turned, scaled, sheared * scaled}) {
    expectEnclosed(ramp, m);
    expectEnclosed(sphereMesh, m);
  }
  // Off-centre data: the sphere sits at the middle of the points, not at the origin.
  std::vector<glm::vec3> points = {{10, 0, 0}, {12, 0, 0}, {11, 1, 0}};
  const BoundingSphere local = boundingSphereOf(points.data(), points.size());
  EXPECT_NEAR(local.centre.x, 11.0f, 1e-5f);
  EXPECT_NEAR(local.centre.y, 0.5f, 1e-5f);
  EXPECT_NEAR(local.radius, std::sqrt(1.25f), 1e-3f);
}

TEST(BoundingSpheres, NoPointsBoundNothingAndNothingIsEverInsideAVolume) {
  const BoundingSphere empty = boundingSphereOf(nullptr, 0);
  EXPECT_LT(empty.radius, 0.0f);
  EXPECT_LT(transformSphere(empty, glm::scale(glm::mat4(1.0f), glm::vec3(4.0f))).radius, 0.0f);
  EXPECT_FALSE(Frustum::aroundPoint(glm::vec3(0.0f), 50.0f).touches(empty));
}

TEST(Frusta, TheCameraKeepsWhatIsAheadWithinItsFarPlaneAndDropsTheRest) {
  // The game's camera: 60 degrees, 4:3, near 0.1, far 100, looking down -z from the origin.
  const glm::mat4 viewProjection = glm::perspective(glm::radians(60.0f), 4.0f / 3.0f, 0.1f, 100.0f);
  const Frustum f = Frustum::fromMatrix(viewProjection);
  EXPECT_TRUE(f.touches(sphere({0, 0, -50}, 1)));
  EXPECT_FALSE(f.touches(sphere({0, 0, 5}, 1))) << "behind the camera";
  EXPECT_FALSE(f.touches(sphere({0, 0, -103}, 2))) << "beyond the far plane";
  EXPECT_TRUE(f.touches(sphere({0, 0, -103}, 4))) << "reaching back over the far plane";
  // At depth 10 the half width is 10 tan(30) 4/3 = 7.70: a sphere 9 to the side needs radius > 1.1.
  EXPECT_FALSE(f.touches(sphere({9, 0, -10}, 0.8f)));
  EXPECT_TRUE(f.touches(sphere({9, 0, -10}, 1.5f)));
}

TEST(Frusta, TheSunsBoxEndsAtFiftySidewaysAndBetweenFiftyAndTwoFiftyInDepth) {
  const glm::vec3 eye(0, 220, 200);
  const glm::mat4 view = glm::lookAt(eye, eye + glm::vec3(0, -1, -1), glm::vec3(0, 1, 0));
  const Frustum f = Frustum::fromMatrix(glm::ortho(-50.0f, 50.0f, -300.0f, 300.0f, 50.0f, 250.0f) * view);
  const glm::vec3 forward = glm::normalize(glm::vec3(0, -1, -1));
  const glm::vec3 mid = eye + 150.0f * forward;
  EXPECT_TRUE(f.touches(sphere(mid, 1)));
  EXPECT_FALSE(f.touches(sphere(mid + glm::vec3(55, 0, 0), 4)));
  EXPECT_TRUE(f.touches(sphere(mid + glm::vec3(55, 0, 0), 6)));
  EXPECT_FALSE(f.touches(sphere(eye + 45.0f * forward, 4))) << "nearer than the near plane";
  EXPECT_FALSE(f.touches(sphere(eye + 256.0f * forward, 5))) << "beyond the far plane";
}

TEST(Frusta, ATorchsCubeReachesFiftyAlongEachAxisAndIntoItsCorners) {
  const glm::vec3 torch(3, 100, 40);
  const Frustum f = Frustum::aroundPoint(torch, 50.0f);
  for (const glm::vec3& axis : {glm::vec3(1, 0, 0), glm::vec3(0, -1, 0), glm::vec3(0, 0, 1)}) {
    EXPECT_FALSE(f.touches(sphere(torch + 55.0f * axis, 4)));
    EXPECT_TRUE(f.touches(sphere(torch + 55.0f * axis, 6)));
    EXPECT_FALSE(f.touches(sphere(torch - 55.0f * axis, 4)));
  }
  // A corner point is 86.6 away yet still inside the faces' views.
  EXPECT_TRUE(f.touches(sphere(torch + glm::vec3(49, 49, 49), 0.5f)));
}

TEST(ViewCullingState, CullsOnlyInsideAVolumeAndOnlyInOptimisedFrames) {
  ViewCulling culling;
  const BoundingSphere unit = sphere({0, 0, 0}, 1);
  const glm::mat4 far = glm::translate(glm::mat4(1.0f), glm::vec3(500, 0, 0));
  EXPECT_TRUE(culling.visible(unit, far)) << "no pass running";
  culling.beginVolume(Frustum::aroundPoint(glm::vec3(0.0f), 50.0f));
  EXPECT_FALSE(culling.visible(unit, far));
  EXPECT_TRUE(culling.visible(unit, glm::mat4(1.0f)));
  optimisedFrames = false;
  EXPECT_TRUE(culling.visible(unit, far)) << "everything drawn";
  optimisedFrames = true;
  culling.endVolume();
  EXPECT_TRUE(culling.visible(unit, far));
}

namespace {

// Where p lies along the box's three edges from corner 0: all in 0..1 when the box holds it.
glm::vec3 alongEdges(const std::array<glm::vec3, 8>& box, const glm::vec3& p) {
  const glm::mat3 edges(box[1] - box[0], box[2] - box[0], box[4] - box[0]);
  return glm::inverse(edges) * (p - box[0]);
}

}  // namespace

TEST(BoundingBoxes, HoldEveryVertexUnderMoveTurnAndScaleAndFallBackToTheSpheresCube) {
  const GeometryData ramp = createRampGeometry(4.0f, 2.0f, 10.0f);
  const BoundingSphere local = boundingSphereOf(ramp.positions.data(), ramp.positions.size());
  const glm::mat4 turned =
      glm::rotate(glm::translate(glm::mat4(1.0f), glm::vec3(5, -3, 200)), 0.7f, glm::normalize(glm::vec3(1, 2, 3)));
  for (const glm::mat4& m : {glm::mat4(1.0f), turned, glm::scale(turned, glm::vec3(0.5f, 3.0f, 1.0f))}) {
    const std::array<glm::vec3, 8> box = worldBoxCorners(local, m);
    for (const glm::vec3& p : ramp.positions) {
      const glm::vec3 t = alongEdges(box, glm::vec3(m * glm::vec4(p, 1.0f)));
      for (int axis = 0; axis < 3; ++axis) {
        EXPECT_GE(t[axis], -1e-4f) << "axis " << axis;
        EXPECT_LE(t[axis], 1.0f + 1e-4f) << "axis " << axis;
      }
    }
  }
  // The box is the points' own box, not the sphere's cube.
  glm::vec3 low(1e9f), high(-1e9f);
  for (const glm::vec3& p : ramp.positions) {
    low = glm::min(low, p);
    high = glm::max(high, p);
  }
  const std::array<glm::vec3, 8> plain = worldBoxCorners(local, glm::mat4(1.0f));
  EXPECT_NEAR(glm::distance(plain[0], low), 0.0f, 1e-5f);
  EXPECT_NEAR(glm::distance(plain[7], high), 0.0f, 1e-5f);

  // A sphere given only as centre and radius has the cube around it.
  const std::array<glm::vec3, 8> cube = worldBoxCorners(sphere({1, 2, 3}, 2.0f), glm::mat4(1.0f));
  EXPECT_EQ(cube[0], glm::vec3(-1, 0, 1));
  EXPECT_EQ(cube[7], glm::vec3(3, 4, 5));
}

TEST(ShadowSurveyState, ASurveyDrawsNothingAndListsTheBoxesOfWhatIsInside) {
  ViewCulling culling;
  ShadowSurvey& survey = shadowSurvey;  // the one view culling reports to
  const BoundingSphere unit = sphere({0, 0, 0}, 1);
  culling.beginVolume(Frustum::aroundPoint(glm::vec3(0.0f), 50.0f));
  survey.begin(culling);
  EXPECT_FALSE(culling.visible(unit, glm::mat4(1.0f))) << "inside, but a survey draws nothing";
  EXPECT_FALSE(culling.visible(unit, glm::translate(glm::mat4(1.0f), glm::vec3(500, 0, 0))));
  EXPECT_FALSE(culling.visible(unit, glm::translate(glm::mat4(1.0f), glm::vec3(0, 10, 0))));
  const std::uint64_t first = survey.end(culling);
  ASSERT_EQ(survey.boxes().size(), 2u) << "the one far outside is not listed";
  EXPECT_EQ(survey.boxes()[1][7], glm::vec3(1, 11, 1));

  survey.begin(culling);
  culling.visible(unit, glm::mat4(1.0f));
  EXPECT_NE(survey.end(culling), first);
  EXPECT_EQ(survey.boxes().size(), 1u) << "each survey starts a new list";
}
