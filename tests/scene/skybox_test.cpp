#include "scene/skybox.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <glm/gtc/matrix_transform.hpp>

#include "app/camera.h"
#include "render/shader.h"
#include "scene/scene_test_helpers.h"

namespace {

const char* const kFaces[6] = {"posx.dds", "negx.dds", "posy.dds", "negy.dds", "posz.dds", "negz.dds"};

// A face folder of its own under the build folder, all faces blue but the one left out.
std::string skyFolder(const std::string& name, int missing) {
  const std::string folder = "test-sky/" + name + "/";
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder);
  for (int i = 0; i < 6; ++i) {
    if (i != missing) writeSolidDds(folder + kFaces[i], 0x001F);
  }
  return folder;
}

}  // namespace

class SkyBox : public SceneGlTest {};

TEST_F(SkyBox, MissingFaceIsReportedOnTwoLinesAndTheOtherFiveLoad) {
  const std::string folder = skyFolder("missing-posy", 2);
  testing::internal::CaptureStdout();
  Skybox sky(folder);
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "ERROR::Skybox Textur konnte nicht geladen werden: \n" + folder + "posy.dds\n");
  glBindTexture(GL_TEXTURE_CUBE_MAP, sky.cubeMapTexture);
  for (GLenum face = 0; face < 6; ++face) {
    GLint width = -1;
    glGetTexLevelParameteriv(GL_TEXTURE_CUBE_MAP_POSITIVE_X + face, 0, GL_TEXTURE_WIDTH, &width);
    EXPECT_EQ(width, face == 2 ? 0 : 4) << kFaces[face];
  }
  glBindTexture(GL_TEXTURE_CUBE_MAP, 0);
}

TEST_F(SkyBox, SkyFillsOnlyWhereNothingWasDrawnAndDepthTestIsLessAgain) {
  Skybox sky(skyFolder("draw", -1));
  Shader skyProgram("skyboxShader.vert", "skyboxShader.frag");
  Shader red(
      "#version 430 core\nlayout(location = 0) in vec3 position;\nvoid main() { gl_Position = vec4(position, 1); }",
      "#version 430 core\nout vec4 color;\nvoid main() { color = vec4(1, 0, 0, 1); }", true);
  OffscreenTarget target(32, 32);
  glEnable(GL_DEPTH_TEST);
  glClearColor(0, 0, 0, 1);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  TriangleMesh leftHalf(rectangle(-1, 0, -1, 1, 0.5f));
  glUseProgram(red.handle);
  leftHalf.draw();

  // Far from the origin: unless the view's translation is dropped the unit cube is out of sight.
  Camera camera;
  camera.view = glm::lookAt(glm::vec3(500, 20, 300), glm::vec3(500, 20, 301), glm::vec3(0, 1, 0));
  camera.projection = glm::perspective(glm::radians(60.0f), 1.0f, 0.1f, 100.0f);
  sky.drawWithProgram(skyProgram, camera);
  GLint depthFunc = 0, current = -1;
  glGetIntegerv(GL_DEPTH_FUNC, &depthFunc);
  glGetIntegerv(GL_CURRENT_PROGRAM, &current);
  glDisable(GL_DEPTH_TEST);
  EXPECT_EQ(depthFunc, GL_LESS);
  EXPECT_EQ(current, 0);

  const auto drawn = target.pixel(8, 16);
  const auto open = target.pixel(24, 16);
  EXPECT_EQ(drawn[0], 255) << "the sky must not cover what the level drew";
  EXPECT_EQ(drawn[2], 0);
  EXPECT_GT(open[2], 200) << "the sky fills the rest";
  EXPECT_EQ(open[0], 0);
}
