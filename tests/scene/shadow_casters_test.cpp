// The casters of the shadow passes and what the optimised passes keep of them between frames:
// whatever changes, the kept maps must hold the texels of drawing everything.
#include "scene/shadow_casters.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <glm/gtc/matrix_transform.hpp>
#include <memory>
#include <string>
#include <vector>

#include "game/level.h"
#include "physics/physics_world.h"
#include "physics/player_controller.h"
#include "render/geometry.h"
#include "render/model.h"
#include "render/shader.h"
#include "render/shadow_survey.h"
#include "scene/scene_test_helpers.h"
#include "scene/shadow_map.h"

namespace {

glm::mat4 at(float x, float y, float z) { return glm::translate(glm::mat4(1.0f), glm::vec3(x, y, z)); }

// One caster, placed where the test puts it, that counts how often its triangles are drawn.
struct CountedCaster {
  explicit CountedCaster(const std::vector<glm::vec3>& positions)
      : mesh(positions), bounds(boundingSphereOf(positions.data(), positions.size())) {}
  void listIn(ShadowCasterTable& table) {
    table.add(bounds, placed, [this](const std::shared_ptr<MyShader>&) { ++draws, mesh.draw(); });
  }
  TriangleMesh mesh;
  BoundingSphere bounds;
  glm::mat4 placed{1.0f};
  int draws = 0;
};

// The sun's map and four cube maps, with the torches 200 apart so that nothing near one is in
// another's cube, drawn optimised and, as the reference, with everything drawn.
class ShadowCasters : public SceneGlTest {
 protected:
  struct Maps {
    Maps() {
      sun.setUp2D();
      for (ShadowMap& cube : cubes) cube.setUpCube();
    }
    ShadowMap sun;
    std::array<ShadowMap, 4> cubes;
  };
  void passes(Maps& maps, const ShadowCasterTable& casters, ShadowsDrawn drawn = ShadowsDrawn::All) {
    glEnable(GL_DEPTH_TEST);
    renderShadowPasses(maps.sun, maps.cubes, depthProgram, cubeProgram, sunLightSpaceMatrix(), torches, 64, 64, casters,
                       drawn);
    glDisable(GL_DEPTH_TEST);
  }
  std::shared_ptr<MyShader> depthProgram = std::make_shared<MyShader>("depthShader.vert", "depthShader.frag");
  std::shared_ptr<MyShader> cubeProgram =
      std::make_shared<MyShader>("cubeDepthShader.vert", "cubeDepthShader.frag", "cubeDepthShader.geom");
  const std::array<glm::vec3, 4> torches = {glm::vec3(0, 100, 0), glm::vec3(0, 100, 200), glm::vec3(0, 100, 400),
                                            glm::vec3(0, 100, 600)};
};

}  // namespace

TEST_F(ShadowCasters, TheTableCullsEachCasterSetsItsMatrixAndWalksItsStillAndMovingParts) {
  ShadowCasterTable table;
  std::vector<std::string> drawn;
  std::vector<glm::mat4> matrices;  // "modelMatrix" as each caster's triangles found it
  glUseProgram(depthProgram->handle);
  auto caster = [&](const std::string& name, const glm::mat4& placed) {
    table.add({glm::vec3(0.0f), 1.0f}, placed, [&drawn, &matrices, name](const std::shared_ptr<MyShader>& program) {
      drawn.push_back(name);
      matrices.emplace_back(0.0f);
      glGetUniformfv(program->handle, glGetUniformLocation(program->handle, "modelMatrix"), &matrices.back()[0][0]);
    });
  };
  caster("unlisted", at(0, 0, 1));  // before any list: a still one
  table.beginList(CasterMotion::Moving);
  caster("moving", at(1, 0, 0));
  caster("moving far", at(500, 0, 0));
  table.beginList(CasterMotion::Still);
  caster("still", at(0, 2, 0));
  caster("still far", at(0, -500, 0));
  table.beginList(CasterMotion::Moving);
  caster("moving again", at(0, 0, 3));
  using Part = ShadowCasterTable::Part;
  EXPECT_EQ(table.count(Part::Still), 3u);
  EXPECT_EQ(table.count(Part::Moving), 3u);
  EXPECT_EQ(table.count(Part::All), 6u);
  const struct {
    Part part;
    std::vector<std::string> drawn;
  } parts[] = {{Part::All, {"unlisted", "moving", "still", "moving again"}},
               {Part::Still, {"unlisted", "still"}},
               {Part::Moving, {"moving", "moving again"}}};
  for (const auto& p : parts) {
    drawn.clear(), matrices.clear();
    viewCulling.beginVolume(Frustum::aroundPoint(glm::vec3(0.0f), 50.0f));
    const long long skipped = viewCulling.skippedObjects;
    table.draw(depthProgram, p.part);
    EXPECT_EQ(drawn, p.drawn);
    EXPECT_EQ(viewCulling.skippedObjects - skipped, static_cast<long long>(p.part == Part::All ? 2 : 1));
  }
  ASSERT_EQ(matrices.size(), 2u);
  EXPECT_EQ(matrices[0], at(1, 0, 0));
  EXPECT_EQ(matrices[1], at(0, 0, 3));
  drawn.clear();  // a survey draws nothing and finds every caster inside
  shadowSurvey.begin(viewCulling);
  table.draw(depthProgram, Part::All);
  shadowSurvey.end(viewCulling);
  EXPECT_TRUE(drawn.empty());
  EXPECT_EQ(shadowSurvey.boxes().size(), 4u);
  optimisedFrames = false;  // everything drawn
  table.draw(depthProgram, Part::All);
  EXPECT_EQ(drawn.size(), 6u);
  glUseProgram(0);
}

// Each row changes one thing between two frames of the passes: which kind of pass each map makes
// (Kept: nothing drawn; AroundMoving: the still casters' texels put back from under the moving
// ones), how often the still walls are drawn, and that the maps then hold the texels of drawing
// everything. The walls each face one way, so that face culling changes what a pass draws.
TEST_F(ShadowCasters, KeptMapsRedrawOnlyWhatChangedAndEqualDrawingEverything) {
  std::vector<glm::vec3> back = rectangle(-4, 4, 96, 104, 12);
  std::reverse(back.begin(), back.end());
  CountedCaster wall(rectangle(-4, 4, 96, 104, 10)), backWall(back);
  CountedCaster panel(rectangle(-1, 1, 99, 101, 5, true));
  Maps maps, reference;
  using Pass = ShadowMap::Pass;
  const struct {
    const char* what;
    std::function<void()> change;
    Pass sun, firstCube, secondCube;
    int stillDraws;  // -1: not counted
  } rows[] = {
      {"the first frame", [] {}, Pass::Whole, Pass::Whole, Pass::Whole, 4},
      {"nothing changed", [] {}, Pass::Kept, Pass::Kept, Pass::Kept, 0},
      {"the panel moved beside", [&] { panel.placed = at(2.5f, 0, 0); }, Pass::AroundMoving, Pass::AroundMoving,
       Pass::Kept, 0},
      {"across the wall's edge", [&] { panel.placed = at(4.5f, 0.5f, 0); }, Pass::AroundMoving, Pass::AroundMoving,
       Pass::Kept, 0},
      {"past the corner of two faces", [&] { panel.placed = at(6, 0, -1); }, Pass::AroundMoving, Pass::AroundMoving,
       Pass::Kept, 0},
      {"turned", [&] { panel.placed = glm::rotate(at(6, 0, -1), 0.8f, glm::vec3(0, 1, 0)); }, Pass::AroundMoving,
       Pass::AroundMoving, Pass::Kept, 0},
      {"out of every cube", [&] { panel.placed = at(0, 0, 300); }, Pass::AroundMoving, Pass::AroundMoving, Pass::Kept,
       0},
      {"back in", [&] { panel.placed = at(-3, -2, 2); }, Pass::AroundMoving, Pass::AroundMoving, Pass::Kept, 0},
      {"a still wall moved", [&] { wall.placed = at(0, 1, 0); }, Pass::Whole, Pass::Whole, Pass::Kept, 4},
      {"wireframe on", [] { glPolygonMode(GL_FRONT_AND_BACK, GL_LINE); }, Pass::Whole, Pass::Whole, Pass::Whole, 4},
      {"wireframe off", [] { glPolygonMode(GL_FRONT_AND_BACK, GL_FILL); }, Pass::Whole, Pass::Whole, Pass::Whole, 4},
      {"culling on", [] { glEnable(GL_CULL_FACE); }, Pass::Whole, Pass::Whole, Pass::Whole, 4},
      {"nothing changed, culling on", [] {}, Pass::Kept, Pass::Kept, Pass::Kept, 0},
      {"culling off", [] { glDisable(GL_CULL_FACE); }, Pass::Whole, Pass::Whole, Pass::Whole, 4},
      {"everything drawn", [] { optimisedFrames = false; }, Pass::Whole, Pass::Whole, Pass::Whole, 10},
      // After a pass with culling off a map's content is unknown: each is drawn whole once more.
      {"optimised again", [] { optimisedFrames = true; }, Pass::Whole, Pass::Whole, Pass::Whole, 4},
      {"nothing changed again", [] {}, Pass::Kept, Pass::Kept, Pass::Kept, 0},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    row.change();
    ShadowCasterTable casters;
    casters.beginList(CasterMotion::Still);
    wall.listIn(casters);
    backWall.listIn(casters);
    casters.beginList(CasterMotion::Moving);
    panel.listIn(casters);
    wall.draws = backWall.draws = 0;
    passes(maps, casters);
    EXPECT_EQ(maps.sun.lastPass, row.sun);
    EXPECT_EQ(maps.cubes[0].lastPass, row.firstCube);
    EXPECT_EQ(maps.cubes[1].lastPass, row.secondCube) << "nothing near the second torch changes";
    EXPECT_EQ(wall.draws + backWall.draws, row.stillDraws);
    const bool optimised = optimisedFrames;
    optimisedFrames = false;
    passes(reference, casters);
    optimisedFrames = optimised;
    EXPECT_TRUE(depthTexels(GL_TEXTURE_2D, maps.sun.depthTexture) ==
                depthTexels(GL_TEXTURE_2D, reference.sun.depthTexture));
    EXPECT_TRUE(depthTexels(GL_TEXTURE_CUBE_MAP, maps.cubes[0].depthTexture) ==
                depthTexels(GL_TEXTURE_CUBE_MAP, reference.cubes[0].depthTexture));
  }
}

// A restore that fails leaves the map as it was, ghosts of the moving casters included: the pass
// then draws the whole map instead.
TEST_F(ShadowCasters, AFailedRestoreRedrawsTheWholeMap) {
  CountedCaster wall(rectangle(-4, 4, 96, 104, 10, true)), panel(rectangle(-1, 1, 99, 101, 5, true));
  Maps maps;
  auto frame = [&] {
    ShadowCasterTable casters;
    wall.listIn(casters);
    casters.beginList(CasterMotion::Moving);
    panel.listIn(casters);
    passes(maps, casters);
  };
  frame();
  // The first cube's images replaced by ones in another depth format (all far): nothing can be
  // copied back into them.
  glBindTexture(GL_TEXTURE_CUBE_MAP, maps.cubes[0].depthTexture);
  const std::vector<float> far(1024 * 1024, 1.0f);
  for (GLenum face = 0; face < 6; ++face)
    glTexImage2D(GL_TEXTURE_CUBE_MAP_POSITIVE_X + face, 0, GL_DEPTH_COMPONENT24, 1024, 1024, 0, GL_DEPTH_COMPONENT,
                 GL_FLOAT, far.data());
  glBindTexture(GL_TEXTURE_CUBE_MAP, 0);
  panel.placed = at(2.5f, 0, 0);
  frame();
  EXPECT_EQ(maps.cubes[0].lastPass, ShadowMap::Pass::Whole);
  const std::vector<float> texels = depthTexels(GL_TEXTURE_CUBE_MAP, maps.cubes[0].depthTexture);
  EXPECT_NEAR(texels[4 * 1024 * 1024 + 512 * 1024 + 512], 10.0f / 50.0f, 1e-3f) << "the wall, where the panel was";
}

// The level's casters as a frame lists them: moving one of its moving objects (a loose box, the
// boulder, the gate, a diamond) redraws the sun's map only around it; moving a piece or a skull,
// or collecting a skull or a diamond, is a change the kept map must show.
TEST_F(ShadowCasters, WhatTheLevelsObjectsDoToTheKeptSunMap) {
  PhysicsWorld world;  // declared before the level, which goes first and lets go of its bodies
  Level level;
  level.world = &world;
  PlayerController* controller = createPlayerController(world, PlayerControllerDesc{});
  level.build(controller, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, 13,
              15, 16, 21, 22, 23, 24, 31, 32, 41, 42);
  auto model = std::make_shared<Model>("assets/objects/Diamond/diamond.obj", glm::mat4(1.0f), nullptr);
  level.placeCollectibles(model, 51, 52, nullptr, model, nullptr, nullptr, 17, 18, 19);
  ASSERT_GT(level.skulls.count, 0);
  ASSERT_GT(level.diamonds.count, 0);
  Maps maps;
  auto frame = [&] {
    ShadowCasterTable casters;
    level.listShadowCasters(casters);
    passes(maps, casters, ShadowsDrawn::Sun);
    return maps.sun.lastPass;
  };
  auto nudge = [](glm::mat4& m) { m = glm::translate(m, glm::vec3(0.5f, 0, 0)); };
  using Pass = ShadowMap::Pass;
  const struct {
    const char* what;
    std::function<void()> change;
    Pass pass;
  } rows[] = {
      {"a loose box moved", [&] { nudge(level.looseBoxes.geometries[0]->modelMatrix); }, Pass::AroundMoving},
      {"the boulder moved", [&] { nudge(level.boulder.geometry->modelMatrix); }, Pass::AroundMoving},
      {"the gate moved", [&] { nudge(level.gate.geometry->modelMatrix); }, Pass::AroundMoving},
      {"a diamond moved", [&] { nudge(level.diamonds.modelMatrices[0]); }, Pass::AroundMoving},
      {"a diamond collected", [&] { level.diamonds.collected[0] = true; }, Pass::AroundMoving},
      {"a piece moved", [&] { nudge(level.solids.geometries[0]->modelMatrix); }, Pass::Whole},
      {"a skull moved", [&] { nudge(level.skulls.modelMatrices[0]); }, Pass::Whole},
      {"a skull collected", [&] { level.skulls.collected[0] = true; }, Pass::Whole},
  };
  frame();
  for (const auto& row : rows) {
    EXPECT_EQ(frame(), Pass::Kept) << "before: " << row.what;
    row.change();
    EXPECT_EQ(frame(), row.pass) << row.what;
  }
}
