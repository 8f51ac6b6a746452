// The shadow maps, the casters of their passes and what the optimised passes keep of them between
// frames: whatever changes, a kept map must hold the texels of drawing everything.
#include "scene/shadow_map.h"

#include "game/level.h"
#include "physics/physics_world.h"
#include "physics/player_controller.h"
#include "render/model.h"
#include "render/shadow_survey.h"
#include "scene/light_uploads.h"
#include "scene/scene_test_helpers.h"

namespace {

glm::mat4 at(float x, float y, float z) { return glm::translate(glm::mat4(1.0f), glm::vec3(x, y, z)); }

struct Maps {
  Maps() {
    sun.setUp2D();
    for (ShadowMap& cube : cubes) cube.setUpCube();
  }
  ShadowMap sun;
  std::array<ShadowMap, 4> cubes;
};

// The sun's map, the four torches' cube maps (the torches 200 apart, so that nothing near one is in
// another's cube) and the two depth programs, as the game has them.
class ShadowMaps : public SceneGlTest {
 protected:
  void passes(Maps& into, const ShadowCasterTable& casters, ShadowsDrawn drawn = ShadowsDrawn::All) {
    glEnable(GL_DEPTH_TEST);
    renderShadowPasses(into.sun, into.cubes, depthProgram, cubeProgram, sunLightSpaceMatrix(), torches, 64, 48, casters,
                       drawn);
    glDisable(GL_DEPTH_TEST);
  }
  Maps maps;
  ShadowMap& sun = maps.sun;
  std::array<ShadowMap, 4>& cubes = maps.cubes;
  std::shared_ptr<MyShader> depthProgram = std::make_shared<MyShader>("depthShader.vert", "depthShader.frag");
  std::shared_ptr<MyShader> cubeProgram =
      std::make_shared<MyShader>("cubeDepthShader.vert", "cubeDepthShader.frag", "cubeDepthShader.geom");
  std::array<glm::vec3, 4> torches = {glm::vec3(0, 100, 0), glm::vec3(0, 100, 200), glm::vec3(0, 100, 400),
                                      glm::vec3(0, 100, 600)};
};

float texelAt(const std::vector<float>& texels, int layer, const glm::vec3& ndc) {
  const glm::ivec2 t = glm::ivec2((glm::vec2(ndc) * 0.5f + 0.5f) * 1024.0f);
  return texels[static_cast<size_t>(layer * 1024 * 1024 + t.y * 1024 + t.x)];
}

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

}  // namespace

TEST_F(ShadowMaps, BothKindsAreCompleteDepthTargetsAndTheSunsBorderIsUnshadowed) {
  for (const ShadowMap* map : {&sun, &cubes[0]}) {
    glBindFramebuffer(GL_FRAMEBUFFER, map->framebuffer);
    EXPECT_EQ(glCheckFramebufferStatus(GL_FRAMEBUFFER), static_cast<GLenum>(GL_FRAMEBUFFER_COMPLETE));
  }
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
  glm::vec4 border(0.0f);
  glBindTexture(GL_TEXTURE_2D, sun.depthTexture);
  glGetTexParameterfv(GL_TEXTURE_2D, GL_TEXTURE_BORDER_COLOR, &border.x);
  EXPECT_EQ(border, glm::vec4(1.0f)) << "outside the sun's box must read as unshadowed";
  glBindTexture(GL_TEXTURE_2D, 0);
  const GLuint texture = cubes[0].depthTexture, framebuffer = cubes[0].framebuffer, sampler = cubes[0].compareSampler;
  cubes[0].release();
  EXPECT_FALSE(glIsTexture(texture) || glIsFramebuffer(framebuffer) || glIsSampler(sampler));
  EXPECT_EQ(cubes[0].depthTexture, 0u);
}

// Each face looks along its axis with the cube map's up vector, near 1 and far 50; the cube the
// six faces see is the volume its culling may skip by, and only square faces see a cube.
TEST_F(ShadowMaps, CubeFacesLookAlongTheAxesAndSeeExactlyTheirCube) {
  const glm::vec3 directions[6] = {{1, 0, 0}, {-1, 0, 0}, {0, 1, 0}, {0, -1, 0}, {0, 0, 1}, {0, 0, -1}};
  const glm::vec3 ups[6] = {{0, -1, 0}, {0, -1, 0}, {0, 0, 1}, {0, 0, -1}, {0, -1, 0}, {0, -1, 0}};
  ShadowMap& map = cubes[0];
  const BoundingSphere farAway{{900, -900, 900}, 1.0f};
  EXPECT_FALSE(map.seesCube()) << "no face matrices yet";
  EXPECT_TRUE(map.cubeVolume().touches(farAway));
  const glm::vec3 light(3.0f, 4.0f, 5.0f);
  map.computeCubeMatrices({100, 100, 100}, 1.0f, 50.0f);
  map.computeCubeMatrices(light, 1.0f, 50.0f);  // replaces, never appends
  ASSERT_EQ(map.shadowMatrices.size(), 6u);
  for (int i = 0; i < 6; ++i) {
    const glm::mat4& m = map.shadowMatrices[i];
    EXPECT_NEAR(glm::length(glm::vec2(toNdc(m, light + directions[i] * 10.0f))), 0.0f, 1e-5f) << "face " << i;
    const glm::vec3 upper = toNdc(m, light + (directions[i] + ups[i]) * 10.0f);  // the top edge
    EXPECT_NEAR(glm::distance(glm::vec2(upper), glm::vec2(0, 1)), 0.0f, 1e-4f) << "face " << i;
    EXPECT_NEAR(toNdc(m, light + directions[i]).z, -1.0f, 1e-4f) << "near plane, face " << i;
    EXPECT_NEAR(toNdc(m, light + directions[i] * 50.0f).z, 1.0f, 1e-4f) << "far plane, face " << i;
  }
  const Frustum cube = map.cubeVolume();
  EXPECT_TRUE(cube.touches({light + glm::vec3(49, 49, -49), 0.5f})) << "a corner of the cube, beyond the far distance";
  EXPECT_TRUE(cube.touches({light + glm::vec3(0, 50.5f, 0), 1.0f})) << "reaching in across a face";
  EXPECT_FALSE(cube.touches({light + glm::vec3(0, 0, -52), 1.0f}));
  EXPECT_FALSE(cube.touches(farAway));
  map.width = 512;  // oblong faces do not see a cube: nothing may be skipped
  EXPECT_FALSE(map.seesCube());
  EXPECT_TRUE(map.cubeVolume().touches(farAway));
}

// Only matrices: no maps or programs needed.
TEST(SunShadowMatrix, LightSpaceBoxLiesAlongTheDiagonalFromTheFixedEye) {
  const glm::mat4 lightSpace = sunLightSpaceMatrix();
  const glm::vec3 along = glm::normalize(glm::vec3(0, -1, -1)), middle = kSunShadowEye + along * 150.0f;
  EXPECT_NEAR(toNdc(lightSpace, kSunShadowEye + along * 50.0f).z, -1.0f, 1e-4f);
  EXPECT_NEAR(toNdc(lightSpace, kSunShadowEye + along * 250.0f).z, 1.0f, 1e-4f);
  EXPECT_NEAR(toNdc(lightSpace, middle + glm::vec3(50, 0, 0)).x, 1.0f, 1e-4f);
  EXPECT_NEAR(toNdc(lightSpace, middle + glm::vec3(0, 300, -300) / std::sqrt(2.0f)).y, 1.0f, 1e-4f);
  const glm::mat4 view = sunLightView();  // the sun's light travels the way its shadow map looks
  EXPECT_NEAR(glm::distance(makeSun().direction, -glm::vec3(view[0][2], view[1][2], view[2][2])), 0.0f, 1e-6f);
  const glm::vec3 start = toNdc(lightSpace, glm::vec3(0, 120, 0));
  EXPECT_LT(glm::max(glm::abs(start.x), glm::max(glm::abs(start.y), glm::abs(start.z))), 1.0f) << "the start inside";
}

// One frame's passes: the sun's map with front faces culled, then each torch's cube around its
// torch storing distance over the far plane, and the window bound again with back faces culled.
TEST_F(ShadowMaps, PassesGoSunThenEachTorchAndEndOnTheWindow) {
  torches = {glm::vec3(0, 120, -10), glm::vec3(-5, 110, 40), glm::vec3(5, 105, 50), glm::vec3(-5, 105, 60)};
  // A floor at the start (for the sun) that is a wall 10 units ahead of the first torch along +z.
  TriangleMesh wall(rectangle(-10, 10, 110, 130, 0, true));
  std::vector<glm::ivec2> seen;  // the program and the target of each draw
  GLint sunCulls = 0;
  ShadowCasterTable casters;
  casters.add({glm::vec3(0, 120, 0), 15.0f}, glm::mat4(1.0f), [&](const std::shared_ptr<MyShader>& program) {
    if (seen.empty()) sunCulls = integer(GL_CULL_FACE_MODE);
    seen.emplace_back(program->handle, integer(GL_FRAMEBUFFER_BINDING));
    wall.draw();
  });
  passes(maps, casters);
  std::vector<glm::ivec2> expected = {{depthProgram->handle, sun.framebuffer}};
  for (const ShadowMap& cube : cubes) expected.emplace_back(cubeProgram->handle, cube.framebuffer);
  EXPECT_EQ(seen, expected) << "every map sees the wall";
  EXPECT_EQ(sunCulls, GL_FRONT);
  for (int k = 0; k < 4; ++k)
    EXPECT_NEAR(glm::length(glm::vec2(toNdc(cubes[k].shadowMatrices[4], torches[k] + glm::vec3(0, 0, 5)))), 0.0f, 1e-5f)
        << "cube " << k << " around its torch";
  glm::ivec4 viewport(0);
  glGetIntegerv(GL_VIEWPORT, &viewport.x);
  EXPECT_EQ(glm::ivec2(viewport.z, viewport.w), glm::ivec2(64, 48));
  EXPECT_EQ(integer(GL_CULL_FACE_MODE), GL_BACK);
  EXPECT_EQ(integer(GL_FRAMEBUFFER_BINDING), 0);
  GLfloat farPlane = 0.0f;
  glGetUniformfv(cubeProgram->handle, glGetUniformLocation(cubeProgram->handle, "far_plane"), &farPlane);
  EXPECT_FLOAT_EQ(farPlane, kCubeFarPlane);

  const glm::vec3 onWall = toNdc(sunLightSpaceMatrix(), glm::vec3(0, 120, 0));
  const std::vector<float> sunTexels = depthTexels(GL_TEXTURE_2D, sun.depthTexture);
  EXPECT_NEAR(texelAt(sunTexels, 0, onWall), onWall.z * 0.5f + 0.5f, 1e-3f);
  EXPECT_EQ(sunTexels[0], 1.0f) << "cleared elsewhere";
  const std::vector<float> cube = depthTexels(GL_TEXTURE_CUBE_MAP, cubes[0].depthTexture);
  EXPECT_NEAR(texelAt(cube, 4, glm::vec3(0.0f)), 10.0f / 50.0f, 1e-3f) << "+z";
  EXPECT_EQ(texelAt(cube, 5, glm::vec3(0.0f)), 1.0f) << "-z";
}

// The scene pass reads the sun's map on unit 2 and the torches' cube maps on units 3 to 6 through
// comparing samplers: 1 where the reference depth is no farther than the stored one (lit), 0
// behind it, and a blend across the 2 x 2 texels at an edge. The maps' own textures keep the
// filters of their set-up, and the uniforms name the light's matrix, the sun's eye, the first
// ground light and the cube far plane.
TEST_F(ShadowMaps, TheSceneReadsEachMapOnItsUnitThroughAComparingSamplerWithItsUniforms) {
  // Sun map: the left half stores depth 0.25, the right half 1. Cube face +x: its upper half
  // (t below 0.5) stores 0.25, its lower half 1.
  std::vector<float> halves(1024 * 1024), rows(1024 * 1024, 1.0f);
  for (size_t i = 0; i < halves.size(); ++i) halves[i] = i % 1024 < 512 ? 0.25f : 1.0f;
  std::fill(rows.begin(), rows.begin() + 512 * 1024, 0.25f);
  glBindTexture(GL_TEXTURE_CUBE_MAP, cubes[0].depthTexture);
  glTexSubImage2D(GL_TEXTURE_CUBE_MAP_POSITIVE_X, 0, 0, 0, 1024, 1024, GL_DEPTH_COMPONENT, GL_FLOAT, rows.data());
  glBindTexture(GL_TEXTURE_2D, sun.depthTexture);
  glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, 1024, 1024, GL_DEPTH_COMPONENT, GL_FLOAT, halves.data());
  glBindTexture(GL_TEXTURE_2D, 0);
  glBindTexture(GL_TEXTURE_CUBE_MAP, 0);

  // Row 0 of the target reads the sun map at u 0.25, 0.5 (the edge) and 0.75; row 1 reads the
  // cube map towards +x above, at and below the edge; all against the reference depth 0.5. The
  // vertex stage uses every uniform the binding sets.
  Shader reader(
      "#version 430 core\nlayout(location = 0) in vec3 position;\nuniform mat4 lightSpaceMatrix;\n"
      "uniform vec3 lightPos;\nuniform vec3 pointLightPos;\nuniform float pointLightFarPlane;\n"
      "void main() {\n  gl_Position = vec4(position, 1.0);\n  if (pointLightFarPlane < 0.0)\n"
      "    gl_Position = lightSpaceMatrix * vec4(lightPos + pointLightPos, 1.0);\n}",
      "#version 430 core\nuniform sampler2DShadow depthMap;\nuniform samplerCubeShadow cubeDepthMap1;\n"
      "out vec4 color;\nvoid main() {\n  float u = 0.25 * floor(gl_FragCoord.x + 1.0);\n"
      "  color = vec4(gl_FragCoord.y < 1.0 ? texture(depthMap, vec3(u, 0.5, 0.5))\n"
      "                                    : texture(cubeDepthMap1, vec4(1.0, 1.0 - 2.0 * u, 0.0, 0.5)));\n}",
      true);
  glUseProgram(reader.handle);
  reader.setUniform("depthMap", 2);
  reader.setUniform("cubeDepthMap1", 3);
  glUseProgram(0);
  glActiveTexture(GL_TEXTURE5);
  const glm::mat4 lightSpace = glm::translate(sunLightSpaceMatrix(), glm::vec3(1, 2, 3));
  bindSceneShadows(reader, lightSpace, sun, cubes);
  EXPECT_EQ(integer(GL_CURRENT_PROGRAM), static_cast<GLint>(reader.handle)) << "left current";
  EXPECT_EQ(integer(GL_ACTIVE_TEXTURE), GL_TEXTURE0) << "the level binds its textures on unit 0 next";
  for (int unit = 2; unit <= 6; ++unit) {
    glActiveTexture(GL_TEXTURE0 + static_cast<GLenum>(unit));
    const ShadowMap& map = unit == 2 ? sun : cubes[static_cast<size_t>(unit - 3)];
    EXPECT_EQ(glm::ivec2(integer(unit == 2 ? GL_TEXTURE_BINDING_2D : GL_TEXTURE_BINDING_CUBE_MAP),
                         integer(GL_SAMPLER_BINDING)),
              glm::ivec2(map.depthTexture, map.compareSampler))
        << "unit " << unit;
  }
  glActiveTexture(GL_TEXTURE0);
  glm::mat4 matrix(0.0f);
  glm::vec4 eyes[2] = {glm::vec4(0.0f), glm::vec4(0.0f)};  // the sun's eye, the first ground light and far
  glGetUniformfv(reader.handle, glGetUniformLocation(reader.handle, "lightSpaceMatrix"), &matrix[0][0]);
  glGetUniformfv(reader.handle, glGetUniformLocation(reader.handle, "lightPos"), &eyes[0].x);
  glGetUniformfv(reader.handle, glGetUniformLocation(reader.handle, "pointLightPos"), &eyes[1].x);
  glGetUniformfv(reader.handle, glGetUniformLocation(reader.handle, "pointLightFarPlane"), &eyes[0].w);
  EXPECT_EQ(matrix, lightSpace);
  EXPECT_EQ(eyes[0], glm::vec4(kSunShadowEye, kCubeFarPlane));
  EXPECT_EQ(glm::vec3(eyes[1]), kPointShadowPosition);
  {
    OffscreenTarget target(3, 2);
    glDisable(GL_DEPTH_TEST);
    TriangleMesh(rectangle(-1, 1, -1, 1, 0)).draw();
    for (int row = 0; row < 2; ++row) {
      SCOPED_TRACE(row == 0 ? "sun" : "cube");
      EXPECT_EQ(target.pixel(0, row)[0], 0) << "behind the stored depth";
      EXPECT_NEAR(target.pixel(1, row)[0], 128, 2) << "half of the 2 x 2 texels at the edge";
      EXPECT_EQ(target.pixel(2, row)[0], 255) << "in front of the stored depth";
    }
  }
  glUseProgram(0);
  unbindSceneShadows();
  for (GLenum unit = 2; unit <= 6; ++unit) {
    glActiveTexture(GL_TEXTURE0 + unit);
    EXPECT_EQ(integer(GL_SAMPLER_BINDING), 0) << "unit " << unit;
    glBindTexture(GL_TEXTURE_2D, 0);
    glBindTexture(GL_TEXTURE_CUBE_MAP, 0);
  }
  glActiveTexture(GL_TEXTURE0);
}

TEST_F(ShadowMaps, TheTableCullsEachCasterSetsItsMatrixAndWalksItsStillAndMovingParts) {
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
  EXPECT_EQ(glm::ivec3(table.count(Part::Still), table.count(Part::Moving), table.count(Part::All)),
            glm::ivec3(3, 3, 6));
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
  EXPECT_EQ(matrices, (std::vector<glm::mat4>{at(1, 0, 0), at(0, 0, 3)}));
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

// Each row changes one thing between two frames of the passes: which kind of pass the sun's map and
// the first two cubes make (K: kept, nothing drawn; A: the still casters' texels put back from under
// the moving ones; W: whole), how often the still walls are drawn, and that the maps then hold the
// texels of drawing everything. The walls each face one way, so that face culling changes a pass.
TEST_F(ShadowMaps, KeptMapsRedrawOnlyWhatChangedAndEqualDrawingEverything) {
  std::vector<glm::vec3> back = rectangle(-4, 4, 96, 104, 12);
  std::reverse(back.begin(), back.end());
  CountedCaster wall(rectangle(-4, 4, 96, 104, 10)), backWall(back);
  CountedCaster panel(rectangle(-1, 1, 99, 101, 5, true));
  Maps reference;
  const struct {
    const char* what;
    std::function<void()> change;
    const char* passes;
    int stillDraws;
  } rows[] = {
      {"the first frame", [] {}, "WWW", 4},
      {"nothing changed", [] {}, "KKK", 0},
      {"the panel moved beside", [&] { panel.placed = at(2.5f, 0, 0); }, "AAK", 0},
      {"across the wall's edge", [&] { panel.placed = at(4.5f, 0.5f, 0); }, "AAK", 0},
      {"past the corner of two faces", [&] { panel.placed = at(6, 0, -1); }, "AAK", 0},
      {"turned", [&] { panel.placed = glm::rotate(at(6, 0, -1), 0.8f, glm::vec3(0, 1, 0)); }, "AAK", 0},
      {"out of every cube", [&] { panel.placed = at(0, 0, 300); }, "AAK", 0},
      {"back in", [&] { panel.placed = at(-3, -2, 2); }, "AAK", 0},
      {"a still wall moved", [&] { wall.placed = at(0, 1, 0); }, "WWK", 4},
      {"wireframe on", [] { glPolygonMode(GL_FRONT_AND_BACK, GL_LINE); }, "WWW", 4},
      {"wireframe off", [] { glPolygonMode(GL_FRONT_AND_BACK, GL_FILL); }, "WWW", 4},
      {"culling on", [] { glEnable(GL_CULL_FACE); }, "WWW", 4},
      {"nothing changed, culling on", [] {}, "KKK", 0},
      {"culling off", [] { glDisable(GL_CULL_FACE); }, "WWW", 4},
      {"everything drawn", [] { optimisedFrames = false; }, "WWW", 10},
      // After a pass with culling off a map's content is unknown: each is drawn whole once more.
      {"optimised again", [] { optimisedFrames = true; }, "WWW", 4},
      {"nothing changed again", [] {}, "KKK", 0},
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
    std::string made;
    for (const ShadowMap* map : {&maps.sun, &maps.cubes[0], &maps.cubes[1]}) made += "KAW"[int(map->lastPass)];
    EXPECT_EQ(made, row.passes);
    EXPECT_EQ(wall.draws + backWall.draws, row.stillDraws);
    const bool optimised = std::exchange(optimisedFrames, false);
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
TEST_F(ShadowMaps, AFailedRestoreRedrawsTheWholeMap) {
  CountedCaster wall(rectangle(-4, 4, 96, 104, 10, true)), panel(rectangle(-1, 1, 99, 101, 5, true));
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
TEST_F(ShadowMaps, WhatTheLevelsObjectsDoToTheKeptSunMap) {
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
