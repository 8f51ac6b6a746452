#include "scene/shadow_map.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <glm/gtc/matrix_transform.hpp>
#include <memory>
#include <vector>

#include "render/optimised_frames.h"
#include "render/shader.h"
#include "scene/scene_test_helpers.h"

namespace {

glm::vec3 toNdc(const glm::mat4& m, const glm::vec3& p) {
  const glm::vec4 clip = m * glm::vec4(p, 1.0f);
  return glm::vec3(clip) / clip.w;
}

float depthAt(GLenum target, GLuint texture, GLenum face, int x, int y) {
  std::vector<float> depth(1024 * 1024, -1.0f);
  glBindTexture(target, texture);
  glGetTexImage(face, 0, GL_DEPTH_COMPONENT, GL_FLOAT, depth.data());
  glBindTexture(target, 0);
  return depth[y * 1024 + x];
}

GLint integer(GLenum name) {
  GLint value = -1;
  glGetIntegerv(name, &value);
  return value;
}

const glm::vec3 kDirections[6] = {{1, 0, 0}, {-1, 0, 0}, {0, 1, 0}, {0, -1, 0}, {0, 0, 1}, {0, 0, -1}};
const glm::vec3 kUps[6] = {{0, -1, 0}, {0, -1, 0}, {0, 0, 1}, {0, 0, -1}, {0, -1, 0}, {0, -1, 0}};

}  // namespace

class ShadowMaps : public SceneGlTest {};

TEST_F(ShadowMaps, BothKindsAreCompleteDepthTargetsAndTheSunsBorderIsWhite) {
  ShadowMap sun, cube;
  sun.setUp2D();
  cube.setUpCube();
  for (const ShadowMap* map : {&sun, &cube}) {
    glBindFramebuffer(GL_FRAMEBUFFER, map->framebuffer);
    EXPECT_EQ(glCheckFramebufferStatus(GL_FRAMEBUFFER), static_cast<GLenum>(GL_FRAMEBUFFER_COMPLETE));
    EXPECT_EQ(integer(GL_DRAW_BUFFER), GL_NONE);
  }
  GLint layered = GL_FALSE;
  glGetFramebufferAttachmentParameteriv(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_FRAMEBUFFER_ATTACHMENT_LAYERED,
                                        &layered);
  EXPECT_EQ(layered, GL_TRUE) << "all six faces in one pass";
  glBindFramebuffer(GL_FRAMEBUFFER, 0);

  GLfloat border[4] = {};
  glBindTexture(GL_TEXTURE_2D, sun.depthTexture);
  glGetTexParameterfv(GL_TEXTURE_2D, GL_TEXTURE_BORDER_COLOR, border);
  GLint wrap = 0;
  glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, &wrap);
  glBindTexture(GL_TEXTURE_2D, 0);
  EXPECT_EQ(wrap, GL_CLAMP_TO_BORDER);
  for (float channel : border) EXPECT_EQ(channel, 1.0f) << "outside the sun's box must read as unshadowed";

  const GLuint texture = cube.depthTexture, framebuffer = cube.framebuffer;
  cube.release();
  EXPECT_FALSE(glIsTexture(texture) || glIsFramebuffer(framebuffer));
  EXPECT_EQ(cube.depthTexture, 0u);
}

TEST_F(ShadowMaps, CubeMatricesLookAlongEachAxisWithTheCubeMapUpVectors) {
  ShadowMap map;
  const glm::vec3 light(3.0f, 4.0f, 5.0f);
  map.computeCubeMatrices({100, 100, 100}, 1.0f, 50.0f);
  map.computeCubeMatrices(light, 1.0f, 50.0f);  // replaces, never appends
  ASSERT_EQ(map.shadowMatrices.size(), 6u);
  for (int i = 0; i < 6; ++i) {
    const glm::mat4& m = map.shadowMatrices[i];
    const glm::vec3 ahead = toNdc(m, light + kDirections[i] * 10.0f);
    EXPECT_NEAR(glm::length(glm::vec2(ahead)), 0.0f, 1e-5f) << "face " << i;
    // World up of the face lands at the top edge of the 90 degree image.
    const glm::vec3 upper = toNdc(m, light + (kDirections[i] + kUps[i]) * 10.0f);
    EXPECT_NEAR(upper.x, 0.0f, 1e-5f) << "face " << i;
    EXPECT_NEAR(upper.y, 1.0f, 1e-4f) << "face " << i;
    EXPECT_NEAR(toNdc(m, light + kDirections[i]).z, -1.0f, 1e-4f) << "near plane, face " << i;
    EXPECT_NEAR(toNdc(m, light + kDirections[i] * 50.0f).z, 1.0f, 1e-4f) << "far plane, face " << i;
  }
}

TEST_F(ShadowMaps, CubeVolumeIsTheCubeTheFacesSeeAndEverythingWithoutOne) {
  ShadowMap map;
  const BoundingSphere farAway{{900, -900, 900}, 1.0f};
  EXPECT_FALSE(map.seesCube()) << "no face matrices yet";
  EXPECT_TRUE(map.cubeVolume().touches(farAway));

  const glm::vec3 light(3.0f, 4.0f, 5.0f);
  map.computeCubeMatrices(light, 1.0f, 50.0f);
  ASSERT_TRUE(map.seesCube());
  const Frustum cube = map.cubeVolume();
  EXPECT_TRUE(cube.touches({light + glm::vec3(49, 49, -49), 0.5f})) << "a corner of the cube, beyond the far distance";
  EXPECT_TRUE(cube.touches({light + glm::vec3(0, 50.5f, 0), 1.0f})) << "reaching in across a face";
  EXPECT_FALSE(cube.touches({light + glm::vec3(0, 0, -52), 1.0f}));
  EXPECT_FALSE(cube.touches(farAway));

  map.width = 512;  // oblong faces do not see a cube: nothing may be skipped
  EXPECT_FALSE(map.seesCube());
  EXPECT_TRUE(map.cubeVolume().touches(farAway));
}

TEST_F(ShadowMaps, SunLightSpaceBoxLiesAlongTheDiagonalFromTheFixedEye) {
  const glm::mat4 lightSpace = sunLightSpaceMatrix();
  const glm::vec3 along = glm::normalize(glm::vec3(0, -1, -1));
  EXPECT_NEAR(toNdc(lightSpace, kSunShadowEye + along * 50.0f).z, -1.0f, 1e-4f);
  EXPECT_NEAR(toNdc(lightSpace, kSunShadowEye + along * 250.0f).z, 1.0f, 1e-4f);
  const glm::vec3 middle = kSunShadowEye + along * 150.0f;
  EXPECT_NEAR(toNdc(lightSpace, middle + glm::vec3(50, 0, 0)).x, 1.0f, 1e-4f);
  EXPECT_NEAR(toNdc(lightSpace, middle + glm::vec3(0, 300, -300) / std::sqrt(2.0f)).y, 1.0f, 1e-4f);
  const glm::vec3 start = toNdc(lightSpace, glm::vec3(0, 120, 0));
  for (int axis = 0; axis < 3; ++axis) EXPECT_LT(std::abs(start[axis]), 1.0f) << "the start is inside, axis " << axis;
}

TEST_F(ShadowMaps, SunPassWritesCasterDepthAndTheEndRestoresTheWindow) {
  ShadowMap map;
  map.setUp2D();
  MyShader depthProgram("depthShader.vert", "depthShader.frag");
  glEnable(GL_DEPTH_TEST);
  map.beginPass(depthProgram, sunLightSpaceMatrix());
  EXPECT_EQ(integer(GL_CULL_FACE_MODE), GL_FRONT);
  depthProgram.setMat4("modelMatrix", glm::mat4(1.0f));
  TriangleMesh floor({{-10, 120, -10}, {10, 120, -10}, {10, 120, 10}, {10, 120, 10}, {-10, 120, 10}, {-10, 120, -10}});
  floor.draw();
  ShadowMap::endPass(64, 48);
  glDisable(GL_DEPTH_TEST);

  GLint viewport[4] = {};
  glGetIntegerv(GL_VIEWPORT, viewport);
  EXPECT_EQ(viewport[2], 64);
  EXPECT_EQ(viewport[3], 48);
  EXPECT_EQ(integer(GL_CULL_FACE_MODE), GL_BACK);
  EXPECT_EQ(integer(GL_FRAMEBUFFER_BINDING), 0);
  const glm::vec3 expected = toNdc(sunLightSpaceMatrix(), glm::vec3(0, 120, 0)) * 0.5f + 0.5f;
  const int x = static_cast<int>(expected.x * 1024), y = static_cast<int>(expected.y * 1024);
  EXPECT_NEAR(depthAt(GL_TEXTURE_2D, map.depthTexture, GL_TEXTURE_2D, x, y), expected.z, 1e-3f);
  EXPECT_EQ(depthAt(GL_TEXTURE_2D, map.depthTexture, GL_TEXTURE_2D, 0, 0), 1.0f) << "cleared elsewhere";
}

TEST_F(ShadowMaps, CubePassesFollowTheTorchesAndStoreDistanceOverFarPlane) {
  ShadowMap sun;
  sun.setUp2D();
  std::array<ShadowMap, 4> cubes;
  for (ShadowMap& cube : cubes) cube.setUpCube();
  auto depthProgram = std::make_shared<MyShader>("depthShader.vert", "depthShader.frag");
  auto cubeProgram = std::make_shared<MyShader>("cubeDepthShader.vert", "cubeDepthShader.frag", "cubeDepthShader.geom");
  const std::array<glm::vec3, 4> torches = {glm::vec3(0, 100, 0), glm::vec3(-5, 110, 40), glm::vec3(5, 105, 50),
                                            glm::vec3(-5, 105, 60)};
  // A wall 10 units ahead of the first torch along +z, both windings so culling cannot hide it.
  std::vector<glm::vec3> wall = rectangle(-4, 4, 96, 104, 10);
  const std::vector<glm::vec3> back(wall.rbegin(), wall.rend());
  wall.insert(wall.end(), back.begin(), back.end());
  TriangleMesh mesh(wall);
  std::vector<GLuint> programs;
  std::vector<GLint> targets;
  glEnable(GL_DEPTH_TEST);
  ShadowCasterTable casters;
  casters.add(boundingSphereOf(wall.data(), wall.size()), glm::mat4(1.0f),
              [&](const std::shared_ptr<MyShader>& program) {
                programs.push_back(program->handle);
                targets.push_back(integer(GL_FRAMEBUFFER_BINDING));
                mesh.draw();
              });
  renderShadowPasses(sun, cubes, depthProgram, cubeProgram, sunLightSpaceMatrix(), torches, 64, 64, casters);
  glDisable(GL_DEPTH_TEST);

  ASSERT_EQ(programs.size(), 5u);
  EXPECT_EQ(programs[0], depthProgram->handle);
  EXPECT_EQ(targets[0], static_cast<GLint>(sun.framebuffer));
  for (int k = 0; k < 4; ++k) {
    EXPECT_EQ(programs[k + 1], cubeProgram->handle);
    EXPECT_EQ(targets[k + 1], static_cast<GLint>(cubes[k].framebuffer)) << "cube " << k;
    EXPECT_NEAR(toNdc(cubes[k].shadowMatrices[4], torches[k] + glm::vec3(0, 0, 5)).x, 0.0f, 1e-5f) << "cube " << k;
  }
  EXPECT_EQ(integer(GL_CULL_FACE_MODE), GL_BACK);
  GLfloat farPlane = 0.0f;
  glGetUniformfv(cubeProgram->handle, glGetUniformLocation(cubeProgram->handle, "far_plane"), &farPlane);
  EXPECT_FLOAT_EQ(farPlane, 50.0f);
  const GLuint first = cubes[0].depthTexture;
  EXPECT_NEAR(depthAt(GL_TEXTURE_CUBE_MAP, first, GL_TEXTURE_CUBE_MAP_POSITIVE_Z, 512, 512), 10.0f / 50.0f, 1e-3f);
  EXPECT_EQ(depthAt(GL_TEXTURE_CUBE_MAP, first, GL_TEXTURE_CUBE_MAP_NEGATIVE_Z, 512, 512), 1.0f);
}

namespace {

// Both windings, so neither pass's face culling hides it.
std::vector<glm::vec3> twoSided(std::vector<glm::vec3> front) {
  const std::vector<glm::vec3> back(front.rbegin(), front.rend());
  front.insert(front.end(), back.begin(), back.end());
  return front;
}

// One caster, placed where the test puts it, that counts how often its triangles are drawn.
struct CountedCaster {
  explicit CountedCaster(const std::vector<glm::vec3>& positions)
      : mesh(positions), bounds(boundingSphereOf(positions.data(), positions.size())) {}
  void listIn(ShadowCasterTable& table) {
    table.add(bounds, placed, [this](const std::shared_ptr<MyShader>&) {
      ++draws;
      mesh.draw();
    });
  }
  TriangleMesh mesh;
  BoundingSphere bounds;
  glm::mat4 placed{1.0f};
  int draws = 0;
};

// A still wall 10 ahead of the first torch and a small moving panel 5 ahead of it, with the
// sun's map and four cube maps, the torches 200 apart so that nothing near one is in another's cube.
struct CasterScene {
  CasterScene() {
    sun.setUp2D();
    for (ShadowMap& cube : cubes) cube.setUpCube();
  }
  ShadowCasterTable casters() {
    ShadowCasterTable table;
    table.beginList(CasterMotion::Still);
    wall.listIn(table);
    table.beginList(CasterMotion::Moving);
    panel.listIn(table);
    return table;
  }
  void passes(std::array<ShadowMap, 4>& into, ShadowMap& sunInto) {
    wall.draws = panel.draws = 0;
    glEnable(GL_DEPTH_TEST);
    renderShadowPasses(sunInto, into, depthProgram, cubeProgram, sunLightSpaceMatrix(), torches, 64, 64, casters());
    glDisable(GL_DEPTH_TEST);
  }
  void passes() { passes(cubes, sun); }
  ShadowMap sun;
  std::array<ShadowMap, 4> cubes;
  std::shared_ptr<MyShader> depthProgram = std::make_shared<MyShader>("depthShader.vert", "depthShader.frag");
  std::shared_ptr<MyShader> cubeProgram =
      std::make_shared<MyShader>("cubeDepthShader.vert", "cubeDepthShader.frag", "cubeDepthShader.geom");
  const std::array<glm::vec3, 4> torches = {glm::vec3(0, 100, 0), glm::vec3(0, 100, 200), glm::vec3(0, 100, 400),
                                            glm::vec3(0, 100, 600)};
  CountedCaster wall{twoSided(rectangle(-4, 4, 96, 104, 10))};
  CountedCaster panel{twoSided(rectangle(-1, 1, 99, 101, 5))};
};

glm::mat4 moved(float x, float y, float z) { return glm::translate(glm::mat4(1.0f), glm::vec3(x, y, z)); }

std::vector<float> allTexels(const ShadowMap& map) {
  const int layers = map.textureTarget == GL_TEXTURE_CUBE_MAP ? 6 : 1;
  std::vector<float> texels;
  for (int layer = 0; layer < layers; ++layer) {
    std::vector<float> face(static_cast<size_t>(map.width * map.height));
    glBindTexture(map.textureTarget, map.depthTexture);
    glGetTexImage(layers == 6 ? GL_TEXTURE_CUBE_MAP_POSITIVE_X + static_cast<GLenum>(layer) : GL_TEXTURE_2D, 0,
                  GL_DEPTH_COMPONENT, GL_FLOAT, face.data());
    texels.insert(texels.end(), face.begin(), face.end());
  }
  glBindTexture(map.textureTarget, 0);
  return texels;
}

}  // namespace

TEST_F(ShadowMaps, PassesKeepTheStillCastersAndRedrawOnlyAroundTheMovingOnes) {
  using Pass = ShadowMap::Pass;
  CasterScene scene;
  const GLuint first = scene.cubes[0].depthTexture;
  // The depth the first cube's +z face holds in the direction of a world point.
  auto plusZ = [&](glm::vec3 p) {
    const glm::vec3 texel = toNdc(scene.cubes[0].shadowMatrices[4], p) * 0.5f + 0.5f;
    return depthAt(GL_TEXTURE_CUBE_MAP, first, GL_TEXTURE_CUBE_MAP_POSITIVE_Z, static_cast<int>(texel.x * 1024),
                   static_cast<int>(texel.y * 1024));
  };
  const glm::vec3 ahead(0, 100, 5), aside(1.8f, 100, 5);
  const float panelAside = glm::length(aside - scene.torches[0]) / 50.0f;
  const float wallAside = 2.0f * panelAside;  // the wall is twice as far along the same ray
  scene.passes();
  EXPECT_EQ(scene.sun.lastPass, Pass::Whole);
  EXPECT_EQ(scene.cubes[0].lastPass, Pass::Whole);
  EXPECT_EQ(scene.wall.draws, 2) << "the sun and the first torch see the wall";
  EXPECT_NEAR(plusZ(ahead), 5.0f / 50.0f, 1e-3f) << "the panel in front of the wall";

  scene.passes();
  for (const ShadowMap* map : {&scene.sun, &scene.cubes[0], &scene.cubes[1]}) EXPECT_EQ(map->lastPass, Pass::Kept);
  EXPECT_EQ(scene.wall.draws + scene.panel.draws, 0) << "nothing moved, nothing drawn";

  scene.panel.placed = moved(2.5f, 0, 0);  // still in front of the wall, beside where it was
  scene.passes();
  EXPECT_EQ(scene.sun.lastPass, Pass::AroundMoving);
  EXPECT_EQ(scene.cubes[0].lastPass, Pass::AroundMoving);
  EXPECT_EQ(scene.cubes[1].lastPass, Pass::Kept) << "the panel is far outside the second cube";
  EXPECT_EQ(scene.wall.draws, 0);
  EXPECT_EQ(scene.panel.draws, 2);
  EXPECT_NEAR(plusZ(ahead), 10.0f / 50.0f, 1e-3f) << "where the panel was, the wall again";
  EXPECT_NEAR(plusZ(aside), panelAside, 1e-3f);

  scene.panel.placed = moved(0, 0, 300);  // out of every cube
  scene.passes();
  EXPECT_EQ(scene.cubes[0].lastPass, Pass::AroundMoving);
  EXPECT_NEAR(plusZ(aside), wallAside, 1e-3f) << "gone from the first cube";

  scene.wall.placed = moved(0, 0, 1);  // a still caster moved: nothing kept is any good
  scene.passes();
  EXPECT_EQ(scene.cubes[0].lastPass, Pass::Whole);
  EXPECT_NEAR(plusZ(ahead), 11.0f / 50.0f, 1e-3f);

  optimisedFrames = false;  // everything drawn, into every map
  scene.passes();
  EXPECT_EQ(scene.wall.draws, 5);
  for (const ShadowMap* map : {&scene.sun, &scene.cubes[3]}) EXPECT_EQ(map->lastPass, Pass::Whole);
  optimisedFrames = true;
  scene.passes();
  EXPECT_EQ(scene.cubes[3].lastPass, Pass::Whole) << "after a pass with culling off the map's content is unknown";
  scene.passes();
  EXPECT_EQ(scene.cubes[3].lastPass, Pass::Kept);
}

TEST_F(ShadowMaps, IncrementalPassesGiveTheTexelsOfDrawingEverything) {
  CasterScene scene;
  ShadowMap referenceSun;
  referenceSun.setUp2D();
  std::array<ShadowMap, 4> referenceCubes;
  for (ShadowMap& cube : referenceCubes) cube.setUpCube();
  // The panel slides across the wall's edge, past the corner between the +z and +x faces, turns,
  // leaves the cube and comes back; the wall stands still except once.
  const std::vector<glm::mat4> path = {moved(0, 0, 0),
                                       moved(3, 0.5f, 0),
                                       moved(4.5f, 0, 0),
                                       moved(6, 0, -1),
                                       glm::rotate(moved(6, 0, -1), 0.8f, glm::vec3(0, 1, 0)),
                                       moved(0, 0, 80),
                                       moved(-3, -2, 2),
                                       moved(-3, -2, 2)};
  for (size_t frame = 0; frame < path.size(); ++frame) {
    scene.panel.placed = path[frame];
    if (frame == 6) scene.wall.placed = moved(0, 1, 0);
    optimisedFrames = false;
    scene.passes(referenceCubes, referenceSun);
    optimisedFrames = true;
    scene.passes();
    EXPECT_TRUE(allTexels(scene.sun) == allTexels(referenceSun)) << "sun, frame " << frame;
    EXPECT_TRUE(allTexels(scene.cubes[0]) == allTexels(referenceCubes[0])) << "first cube, frame " << frame;
  }
  EXPECT_EQ(scene.cubes[0].lastPass, ShadowMap::Pass::Kept) << "the last frame repeats the one before";
  EXPECT_EQ(drainGlErrors(), static_cast<GLenum>(GL_NO_ERROR));
}

// Wireframe (F1) and face culling (F2) change what every pass draws, so nothing a map kept from
// before either key may stand. Each wall has one winding, facing the other way, so that with
// culling on each pass hides one of them and with it off draws both.
TEST_F(ShadowMaps, WireframeAndFaceCullingChangesRedrawWhatTheMapsKept) {
  CasterScene scene;
  CountedCaster wall(rectangle(-4, 4, 96, 104, 10));
  std::vector<glm::vec3> backWall = rectangle(-4, 4, 96, 104, 12);
  std::reverse(backWall.begin(), backWall.end());
  CountedCaster otherWall(backWall);
  ShadowMap referenceSun;
  referenceSun.setUp2D();
  std::array<ShadowMap, 4> referenceCubes;
  for (ShadowMap& cube : referenceCubes) cube.setUpCube();
  ShadowCasterTable casters;
  casters.beginList(CasterMotion::Still);
  wall.listIn(casters);
  otherWall.listIn(casters);
  casters.beginList(CasterMotion::Moving);
  scene.panel.listIn(casters);
  auto passes = [&](ShadowMap& sun, std::array<ShadowMap, 4>& cubes) {
    glEnable(GL_DEPTH_TEST);
    renderShadowPasses(sun, cubes, scene.depthProgram, scene.cubeProgram, sunLightSpaceMatrix(), scene.torches, 64, 64,
                       casters);
    glDisable(GL_DEPTH_TEST);
  };
  // The kept maps after one more pass against the same state drawn whole into maps of their own.
  auto sameAsDrawingEverything = [&](const char* after) {
    passes(scene.sun, scene.cubes);
    optimisedFrames = false;
    passes(referenceSun, referenceCubes);
    optimisedFrames = true;
    EXPECT_TRUE(allTexels(scene.sun) == allTexels(referenceSun)) << "sun, after " << after;
    EXPECT_TRUE(allTexels(scene.cubes[0]) == allTexels(referenceCubes[0])) << "first cube, after " << after;
  };
  glEnable(GL_CULL_FACE);
  passes(scene.sun, scene.cubes);
  passes(scene.sun, scene.cubes);
  ASSERT_EQ(scene.cubes[0].lastPass, ShadowMap::Pass::Kept);

  glPolygonMode(GL_FRONT_AND_BACK, GL_LINE);
  sameAsDrawingEverything("wireframe on");
  glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
  sameAsDrawingEverything("wireframe off");
  glDisable(GL_CULL_FACE);
  sameAsDrawingEverything("culling off");
  glEnable(GL_CULL_FACE);
  sameAsDrawingEverything("culling on");
  passes(scene.sun, scene.cubes);
  EXPECT_EQ(scene.cubes[0].lastPass, ShadowMap::Pass::Kept) << "an unchanged state keeps the map again";
  glDisable(GL_CULL_FACE);
  EXPECT_EQ(drainGlErrors(), static_cast<GLenum>(GL_NO_ERROR));
}

// A restore that fails leaves the map as it was, ghosts of the moving casters included: the pass
// then draws the whole map instead.
TEST_F(ShadowMaps, AFailedRestoreRedrawsTheWholeMap) {
  CasterScene scene;
  scene.passes();
  ASSERT_EQ(scene.cubes[0].lastPass, ShadowMap::Pass::Whole);
  // The first cube's images replaced by ones in another depth format (all far): nothing can be
  // copied back into them.
  glBindTexture(GL_TEXTURE_CUBE_MAP, scene.cubes[0].depthTexture);
  const std::vector<float> far(1024 * 1024, 1.0f);
  for (GLenum face = 0; face < 6; ++face)
    glTexImage2D(GL_TEXTURE_CUBE_MAP_POSITIVE_X + face, 0, GL_DEPTH_COMPONENT24, 1024, 1024, 0, GL_DEPTH_COMPONENT,
                 GL_FLOAT, far.data());
  glBindTexture(GL_TEXTURE_CUBE_MAP, 0);
  scene.panel.placed = moved(2.5f, 0, 0);
  scene.passes();
  EXPECT_EQ(scene.cubes[0].lastPass, ShadowMap::Pass::Whole);
  const glm::vec3 texel = toNdc(scene.cubes[0].shadowMatrices[4], glm::vec3(0, 100, 5)) * 0.5f + 0.5f;
  EXPECT_NEAR(depthAt(GL_TEXTURE_CUBE_MAP, scene.cubes[0].depthTexture, GL_TEXTURE_CUBE_MAP_POSITIVE_Z,
                      static_cast<int>(texel.x * 1024), static_cast<int>(texel.y * 1024)),
              10.0f / 50.0f, 1e-3f)
      << "the wall, where the panel was";
  EXPECT_EQ(drainGlErrors(), static_cast<GLenum>(GL_NO_ERROR));
}

// The scene pass reads the sun's map on unit 2 and the torches' cube maps on units 3 to 6 (the
// samplers' units are set once at start-up), with
// the light's matrix, the sun's eye, the first ground light and the cube far plane.
TEST_F(ShadowMaps, SceneShadowsAreBoundOnTheirUnitsWithTheirUniforms) {
  // Every name bindSceneShadows sets, in use ("materialShader" itself has no "pointLightPos").
  Shader materialProgram(
      "#version 430 core\nlayout(location = 0) in vec3 position;\nuniform mat4 lightSpaceMatrix;\n"
      "uniform vec3 lightPos;\nuniform vec3 pointLightPos;\nuniform float pointLightFarPlane;\n"
      "void main() { gl_Position = lightSpaceMatrix * vec4(position + lightPos + pointLightPos, "
      "pointLightFarPlane); }",
      "#version 430 core\nout vec4 color;\nvoid main() { color = vec4(1); }", true);
  ShadowMap sun;
  sun.setUp2D();
  std::array<ShadowMap, 4> cubes;
  for (ShadowMap& cube : cubes) cube.setUpCube();
  glUseProgram(0);
  glActiveTexture(GL_TEXTURE5);
  const glm::mat4 lightSpace = glm::translate(sunLightSpaceMatrix(), glm::vec3(1, 2, 3));
  bindSceneShadows(materialProgram, lightSpace, sun, cubes);

  EXPECT_EQ(integer(GL_CURRENT_PROGRAM), static_cast<GLint>(materialProgram.handle)) << "left current";
  EXPECT_EQ(integer(GL_ACTIVE_TEXTURE), GL_TEXTURE0) << "the level binds its textures on unit 0 next";
  glActiveTexture(GL_TEXTURE2);
  EXPECT_EQ(integer(GL_TEXTURE_BINDING_2D), static_cast<GLint>(sun.depthTexture));
  for (int k = 0; k < 4; ++k) {
    glActiveTexture(GL_TEXTURE3 + static_cast<GLenum>(k));
    EXPECT_EQ(integer(GL_TEXTURE_BINDING_CUBE_MAP), static_cast<GLint>(cubes[k].depthTexture)) << "cube " << k;
  }
  glActiveTexture(GL_TEXTURE0);
  auto uniform = [&](const char* name, float* out) {
    const GLint location = glGetUniformLocation(materialProgram.handle, name);
    ASSERT_NE(location, -1) << name;
    glGetUniformfv(materialProgram.handle, location, out);
  };
  glm::mat4 matrix(0.0f);
  uniform("lightSpaceMatrix", &matrix[0][0]);
  EXPECT_EQ(matrix, lightSpace);
  glm::vec3 v(0.0f);
  uniform("lightPos", &v.x);
  EXPECT_EQ(v, kSunShadowEye);
  uniform("pointLightPos", &v.x);
  EXPECT_EQ(v, kPointShadowPosition);
  float farPlane = 0.0f;
  uniform("pointLightFarPlane", &farPlane);
  EXPECT_EQ(farPlane, kCubeFarPlane);
  for (int u = 2; u <= 6; ++u) {
    glActiveTexture(GL_TEXTURE0 + static_cast<GLenum>(u));
    glBindTexture(GL_TEXTURE_2D, 0);
    glBindTexture(GL_TEXTURE_CUBE_MAP, 0);
  }
  glActiveTexture(GL_TEXTURE0);
  glUseProgram(0);
}

// The scene reads the maps through their comparing samplers: 1 where the reference depth is no
// farther than the stored one (lit), 0 behind it, and a blend across the 2 x 2 texels at an edge.
// The maps' own textures keep the filters of their set-up.
TEST_F(ShadowMaps, TheSceneReadsEachMapThroughAComparingSamplerThatBlendsAcrossAnEdge) {
  ShadowMap sun;
  sun.setUp2D();
  std::array<ShadowMap, 4> cubes;
  for (ShadowMap& cube : cubes) cube.setUpCube();
  glBindTexture(GL_TEXTURE_2D, sun.depthTexture);
  EXPECT_EQ(integer(GL_TEXTURE_BINDING_2D), static_cast<GLint>(sun.depthTexture));
  GLint compareMode = -1, filter = -1;
  glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_COMPARE_MODE, &compareMode);
  EXPECT_EQ(compareMode, GL_NONE) << "the texture itself is a plain depth texture";
  glBindTexture(GL_TEXTURE_CUBE_MAP, cubes[0].depthTexture);
  glGetTexParameteriv(GL_TEXTURE_CUBE_MAP, GL_TEXTURE_MIN_FILTER, &filter);
  EXPECT_EQ(filter, GL_NEAREST);

  // Sun map: the left half stores depth 0.25, the right half 1. Cube face +x: its upper half
  // (t below 0.5) stores 0.25, its lower half 1.
  std::vector<float> halves(1024 * 1024, 1.0f);
  for (int y = 0; y < 1024; ++y)
    for (int x = 0; x < 512; ++x) halves[static_cast<size_t>(y) * 1024 + static_cast<size_t>(x)] = 0.25f;
  glBindTexture(GL_TEXTURE_2D, sun.depthTexture);
  glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, 1024, 1024, GL_DEPTH_COMPONENT, GL_FLOAT, halves.data());
  glBindTexture(GL_TEXTURE_2D, 0);
  std::vector<float> rows(1024 * 1024, 1.0f);
  std::fill(rows.begin(), rows.begin() + 512 * 1024, 0.25f);
  glTexSubImage2D(GL_TEXTURE_CUBE_MAP_POSITIVE_X, 0, 0, 0, 1024, 1024, GL_DEPTH_COMPONENT, GL_FLOAT, rows.data());
  glBindTexture(GL_TEXTURE_CUBE_MAP, 0);

  // Row 0 of the target reads the sun map at u 0.25, 0.5 (the edge) and 0.75; row 1 reads the
  // cube map towards +x above, at and below the edge; all against the reference depth 0.5.
  Shader reader(
      "#version 430 core\nlayout(location = 0) in vec3 position;\n"
      "void main() { gl_Position = vec4(position, 1.0); }",
      "#version 430 core\nuniform sampler2DShadow depthMap;\nuniform samplerCubeShadow cubeDepthMap1;\n"
      "out vec4 color;\n"
      "void main() {\n"
      "  float u = 0.25 * floor(gl_FragCoord.x + 1.0);\n"
      "  float lit = gl_FragCoord.y < 1.0 ? texture(depthMap, vec3(u, 0.5, 0.5))\n"
      "                                   : texture(cubeDepthMap1, vec4(1.0, 1.0 - 2.0 * u, 0.0, 0.5));\n"
      "  color = vec4(lit);\n"
      "}",
      true);
  glUseProgram(reader.handle);
  reader.setUniform("depthMap", 2);
  reader.setUniform("cubeDepthMap1", 3);
  bindSceneShadows(reader, sunLightSpaceMatrix(), sun, cubes);
  for (int unit = 2; unit <= 6; ++unit) {
    glActiveTexture(GL_TEXTURE0 + static_cast<GLenum>(unit));
    const GLuint expected = unit == 2 ? sun.compareSampler : cubes[static_cast<size_t>(unit - 3)].compareSampler;
    EXPECT_EQ(integer(GL_SAMPLER_BINDING), static_cast<GLint>(expected)) << "unit " << unit;
  }
  glActiveTexture(GL_TEXTURE0);
  {
    OffscreenTarget target(3, 2);
    glDisable(GL_DEPTH_TEST);
    TriangleMesh quad({{-1, -1, 0}, {1, -1, 0}, {1, 1, 0}, {-1, -1, 0}, {1, 1, 0}, {-1, 1, 0}});
    quad.draw();
    for (int row = 0; row < 2; ++row) {
      SCOPED_TRACE(row == 0 ? "sun" : "cube");
      EXPECT_EQ(target.pixel(0, row)[0], 0) << "behind the stored depth";
      EXPECT_NEAR(target.pixel(1, row)[0], 128, 2) << "half of the 2 x 2 texels at the edge";
      EXPECT_EQ(target.pixel(2, row)[0], 255) << "in front of the stored depth";
    }
  }
  glUseProgram(0);
  unbindSceneShadows();

  const GLuint sampler = sun.compareSampler;
  sun.release();
  EXPECT_EQ(glIsSampler(sampler), GL_FALSE) << "the map lets go of its sampler";
  EXPECT_EQ(drainGlErrors(), static_cast<GLenum>(GL_NO_ERROR));
}
