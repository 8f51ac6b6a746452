// The water shaders lift the flat grids' vertices (by up to 0.18 units in a choppy pool): the
// bounds the culling uses must hold every lifted vertex, or a sheet seen only by its swell is
// left out of the picture.
#include <gtest/gtest.h>

#include <glm/glm.hpp>
#include <vector>

#include "game/level.h"
#include "render/geometry.h"
#include "render/view_culling.h"
#include "scene/scene_test_helpers.h"

namespace {

class WaterCulling : public SceneGlTest {
 protected:
  void TearDown() override {
    viewCulling.endVolume();
    SceneGlTest::TearDown();
  }
};

constexpr float kLift = 0.18f;  // world units: 0.12 x (1 + 0.5), the choppy pool's highest swell

// A volume whose only bounding plane faces along `normal` and passes just behind `point`.
Frustum onlyBeyond(const glm::vec3& point, const glm::vec3& normal) {
  Frustum volume;
  volume.planes.fill(glm::vec4(0, 0, 0, 1));  // everything inside
  volume.planes[0] = glm::vec4(normal, -glm::dot(normal, point) + 1e-4f);
  return volume;
}

}  // namespace

TEST_F(WaterCulling, EveryVertexTheSwellCanLiftLiesInsideTheSheetsBounds) {
  Level level;  // water and flowing water need no bodies
  // Near the origin, where the bounds' allowance for float rounding is least.
  level.addWaterSheet({0, 0, 0}, 4, 4, 2, nullptr, nullptr);
  level.addFlowSheet({0, 1, 2}, 2, 3, {0.1f, 0}, {0, 0.1f}, nullptr, nullptr);
  for (Geometry* sheet : {level.waterSheets.geometries[0].get(), level.flowSheets.geometries[0].get()}) {
    ASSERT_NE(sheet, nullptr);
    SCOPED_TRACE(sheet == level.waterSheets.geometries[0].get() ? "still water" : "flowing water");
    const BoundingSphere world = transformSphere(sheet->bounds, sheet->modelMatrix);
    const std::array<glm::vec3, 8> box = worldBoxCorners(sheet->bounds, sheet->modelMatrix);
    float boxLow = box[0].y, boxHigh = box[0].y;
    for (const glm::vec3& corner : box) boxLow = std::min(boxLow, corner.y), boxHigh = std::max(boxHigh, corner.y);
    const float height = sheet->modelMatrix[3].y;
    EXPECT_LE(boxHigh - height, kLift + 1e-4f);
    EXPECT_GE(boxHigh - height, kLift - 1e-4f) << "the box reaches the highest swell";
    EXPECT_LE(boxLow - height, -kLift + 1e-4f) << "and the lowest";

    // The grid's corners, lifted: each must survive a volume that holds nothing but the space
    // just around it, seen from the sheet's centre.
    const glm::vec3 centre = world.centre;
    const glm::vec3 half = box[7] - centre;
    for (float sx : {-1.0f, 1.0f})
      for (float sz : {-1.0f, 1.0f})
        for (float lift : {-kLift, kLift}) {
          const glm::vec3 corner = centre + glm::vec3(sx * std::abs(half.x), lift, sz * std::abs(half.z));
          EXPECT_LE(glm::distance(corner, centre), world.radius + 1e-4f);
          viewCulling.beginVolume(onlyBeyond(corner, glm::normalize(corner - centre)));
          EXPECT_TRUE(viewCulling.visible(sheet->bounds, sheet->modelMatrix))
              << "corner " << sx << ", " << sz << " lifted by " << lift;
          viewCulling.endVolume();
        }
  }
}
