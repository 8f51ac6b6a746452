#include "scene/shadow_casters.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <glm/gtc/matrix_transform.hpp>
#include <memory>
#include <string>
#include <vector>

#include "game/level.h"
#include "physics/physics_world.h"
#include "physics/player_controller.h"
#include "render/geometry.h"
#include "render/model.h"
#include "render/optimised_frames.h"
#include "render/shader.h"
#include "render/shadow_survey.h"
#include "render/view_culling.h"
#include "scene/scene_test_helpers.h"

namespace {

glm::mat4 at(float x, float y, float z) { return glm::translate(glm::mat4(1.0f), glm::vec3(x, y, z)); }

class ShadowCasterTables : public SceneGlTest {
 protected:
  void TearDown() override {
    optimisedFrames = true;
    viewCulling.endVolume();
    SceneGlTest::TearDown();
  }
  std::shared_ptr<MyShader> depthProgram = std::make_shared<MyShader>("depthShader.vert", "depthShader.frag");
};

}  // namespace

TEST_F(ShadowCasterTables, TheTableCullsEveryCasterAndSetsItsMatrixAndAllIsStillAndMovingTogether) {
  ShadowCasterTable table;
  std::vector<std::string> drawn;
  std::vector<glm::mat4> matrices;  // "modelMatrix" as each caster's triangles found it
  glUseProgram(depthProgram->handle);
  auto caster = [&](const std::string& name, const glm::mat4& placed) {
    table.add({glm::vec3(0.0f), 1.0f}, placed, [&drawn, &matrices, name](const std::shared_ptr<MyShader>& program) {
      drawn.push_back(name);
      glm::mat4 m(0.0f);
      glGetUniformfv(program->handle, glGetUniformLocation(program->handle, "modelMatrix"), &m[0][0]);
      matrices.push_back(m);
    });
  };
  caster("unlisted still", at(0, 0, 1));  // before any list: a still one
  table.beginList(CasterMotion::Moving);
  caster("moving", at(1, 0, 0));
  caster("moving far", at(500, 0, 0));
  table.beginList(CasterMotion::Still);
  caster("still", at(0, 2, 0));
  caster("still far", at(0, -500, 0));
  table.beginList(CasterMotion::Moving);
  caster("moving again", at(0, 0, 3));
  using Part = ShadowCasterTable::Part;
  EXPECT_EQ(table.count(Part::All), 6u);
  EXPECT_EQ(table.count(Part::Still), 3u);
  EXPECT_EQ(table.count(Part::Moving), 3u);

  viewCulling.beginVolume(Frustum::aroundPoint(glm::vec3(0.0f), 50.0f));
  const long long skipped = viewCulling.skippedObjects;
  table.draw(depthProgram, Part::All);
  EXPECT_EQ(drawn, (std::vector<std::string>{"unlisted still", "moving", "still", "moving again"}));
  EXPECT_EQ(viewCulling.skippedObjects - skipped, 2) << "the two far ones";
  ASSERT_EQ(matrices.size(), 4u);
  EXPECT_EQ(matrices[1], at(1, 0, 0));
  EXPECT_EQ(matrices[3], at(0, 0, 3));
  drawn.clear();
  table.draw(depthProgram, Part::Still);
  EXPECT_EQ(drawn, (std::vector<std::string>{"unlisted still", "still"}));
  drawn.clear();
  table.draw(depthProgram, Part::Moving);
  EXPECT_EQ(drawn, (std::vector<std::string>{"moving", "moving again"}));

  // A survey draws nothing and finds every caster inside, whichever list it is in.
  drawn.clear();
  shadowSurvey.begin(viewCulling);
  table.draw(depthProgram, Part::All);
  shadowSurvey.end(viewCulling);
  EXPECT_TRUE(drawn.empty());
  EXPECT_EQ(shadowSurvey.boxes().size(), 4u);
  viewCulling.endVolume();

  optimisedFrames = false;  // everything drawn
  drawn.clear();
  viewCulling.beginVolume(Frustum::aroundPoint(glm::vec3(0.0f), 50.0f));
  table.draw(depthProgram, Part::All);
  EXPECT_EQ(drawn.size(), 6u);
  glUseProgram(0);
}

// Declaration order: the level goes before the world that owns its bodies.
TEST_F(ShadowCasterTables, TheLevelListsEachCasterOnceMarkedByHowItMoves) {
  PhysicsWorld world;
  Level level;
  level.world = &world;
  PlayerController* controller = createPlayerController(world, PlayerControllerDesc{});
  level.build(controller, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, 13,
              15, 16, 21, 22, 23, 24, 31, 32, 41, 42);
  auto model = std::make_shared<Model>("assets/objects/Diamond/diamond.obj", glm::mat4(1.0f), nullptr);
  level.placeCollectibles(model, 51, 52, nullptr, model, nullptr, nullptr, 17, 18, 19);
  ASSERT_GT(level.skulls.count, 1);
  ASSERT_GT(level.diamonds.count, 1);
  level.skulls.collected[0] = true;  // picked up: casts no shadow
  level.diamonds.collected[1] = true;

  ShadowCasterTable table;
  level.listShadowCasters(table);
  using Part = ShadowCasterTable::Part;
  const size_t still = static_cast<size_t>(level.solids.count + level.skulls.count - 1);
  const size_t moving = static_cast<size_t>(level.looseBoxes.count + 2 + level.diamonds.count - 1);
  EXPECT_EQ(table.count(Part::Still), still) << "the pieces and the skulls";
  EXPECT_EQ(table.count(Part::Moving), moving) << "the loose boxes, the boulder, the gate and the diamonds";
  EXPECT_EQ(table.count(Part::All), still + moving);

  // Where each caster is: the boulder's world box among the moving ones, a skull's among the still.
  auto boxes = [&](Part part) {
    viewCulling.beginVolume(Frustum::aroundPoint(glm::vec3(0.0f), 1e6f));
    shadowSurvey.begin(viewCulling);
    table.draw(depthProgram, part);
    shadowSurvey.end(viewCulling);
    std::vector<std::array<glm::vec3, 8>> found = shadowSurvey.boxes();
    viewCulling.endVolume();
    return found;
  };
  auto contains = [](const std::vector<std::array<glm::vec3, 8>>& list, const std::array<glm::vec3, 8>& box) {
    return std::find(list.begin(), list.end(), box) != list.end();
  };
  const auto movingBoxes = boxes(Part::Moving), stillBoxes = boxes(Part::Still);
  const auto boulder = worldBoxCorners(level.boulder.geometry->bounds, level.boulder.geometry->modelMatrix);
  const auto skull = worldBoxCorners(model->bounds, level.skulls.modelMatrices[1]);
  EXPECT_TRUE(contains(movingBoxes, boulder));
  EXPECT_FALSE(contains(stillBoxes, boulder));
  EXPECT_TRUE(contains(stillBoxes, skull));
  EXPECT_FALSE(contains(stillBoxes, worldBoxCorners(model->bounds, level.skulls.modelMatrices[0]))) << "collected";
}
