#include "scene/light_uploads.h"

#include <gtest/gtest.h>

#include <glm/gtc/matrix_transform.hpp>
#include <string>

#include "app/camera.h"
#include "render/shader.h"
#include "scene/scene_test_helpers.h"

namespace {

// A program that reads every light value it declares (so none is optimised away); declarations
// adds or leaves out names, extra is the sum of what it adds.
Shader lightProgram(const std::string& declarations, const std::string& extra) {
  return Shader(
      "#version 430 core\nstruct DirectionalLight { vec3 color; vec3 direction; };\n"
      "struct PointLight { vec3 color; vec3 position; vec3 attenuation; };\n"
      "layout(location = 0) in vec3 position;\nuniform mat4 viewProjMatrix;\nuniform vec3 camera_world;\n"
      "uniform DirectionalLight dirL;\n" +
          declarations +
          "out vec3 sum;\nvoid main() {\n  gl_Position = viewProjMatrix * vec4(position, 1.0);\n"
          "  vec3 s = camera_world + dirL.color + dirL.direction;\n" +
          extra + "  sum = s;\n}\n",
      "#version 430 core\nin vec3 sum;\nout vec4 color;\nvoid main() { color = vec4(sum, 1.0); }\n", true);
}

glm::vec3 readVec3(const Shader& program, const char* name) {
  glm::vec3 value(-999.0f);
  const GLint location = glGetUniformLocation(program.handle, name);
  EXPECT_GE(location, 0) << name;
  if (location >= 0) glGetUniformfv(program.handle, location, &value.x);
  return value;
}

Camera testCamera() {
  Camera camera;
  camera.view = glm::lookAt(glm::vec3(1, 2, 3), glm::vec3(0, 0, 10), glm::vec3(0, 1, 0));
  camera.projection = glm::perspective(glm::radians(60.0f), 1.5f, 0.1f, 100.0f);
  camera.position = glm::vec3(1, 2, 3);
  return camera;
}

GLint currentProgram() {
  GLint current = -1;
  glGetIntegerv(GL_CURRENT_PROGRAM, &current);
  return current;
}

std::string loopOver(int count) {
  return "  for (int i = 0; i < " + std::to_string(count) +
         "; ++i) s += pointLights[i].color + pointLights[i].position + pointLights[i].attenuation;\n";
}

}  // namespace

class LightUploads : public SceneGlTest {};

TEST_F(LightUploads, GroundProgramWithoutDimensionStillGetsEverythingElse) {
  Shader program = lightProgram("uniform PointLight pointLights[4];\n", loopOver(4));
  ASSERT_EQ(glGetUniformLocation(program.handle, "dimension"), -1);
  const Camera camera = testCamera();
  uploadGroundLights(program, camera, makeSun(), makeGroundLights(), kGroundDimension);

  EXPECT_EQ(currentProgram(), 0);
  glm::mat4 viewProj(0.0f);
  glGetUniformfv(program.handle, glGetUniformLocation(program.handle, "viewProjMatrix"), &viewProj[0][0]);
  const glm::mat4 expected = camera.projection * camera.view;
  for (int c = 0; c < 4; ++c) {
    for (int r = 0; r < 4; ++r) EXPECT_FLOAT_EQ(viewProj[c][r], expected[c][r]) << c << "," << r;
  }
  EXPECT_EQ(readVec3(program, "camera_world"), glm::vec3(1, 2, 3));
  EXPECT_EQ(readVec3(program, "dirL.color"), glm::vec3(0.8f));
  EXPECT_NEAR(readVec3(program, "dirL.direction").z, -0.70710678f, 1e-6f);
  EXPECT_EQ(readVec3(program, "pointLights[1].position"), glm::vec3(-15, 120, 10));
  EXPECT_EQ(readVec3(program, "pointLights[3].color"), glm::vec3(5, 3, 0));
  EXPECT_EQ(readVec3(program, "pointLights[3].attenuation"), glm::vec3(1, 0.07f, 0.017f));
}

TEST_F(LightUploads, MaterialFillsFiveSlotsAndWaterWritesTimeAndZerosOfDefaultRecords) {
  Shader program =
      lightProgram("uniform PointLight pointLights[5];\nuniform float dt;\n", loopOver(5) + "  s += dt;\n");
  std::array<PointLight, kActiveLightCount> active;
  for (int i = 0; i < kActiveLightCount; ++i)
    active[i] = PointLight({3.5f, 2.28f, 1.0f}, {0, 100, 10 * i}, {1, 0.09f, 0.032f});
  uploadMaterialLights(program, testCamera(), makeSun(), active);
  EXPECT_EQ(readVec3(program, "pointLights[4].position"), glm::vec3(0, 100, 40));

  const PointLight blue({0.5f, 0.5f, 1.0f}, {15, 37, 325}, {1, 0.07f, 0.017f});
  PointLight disabledButSet = blue;
  disabledButSet.enabled = false;
  const std::array<PointLight, kWaterLightCount> water = {blue, blue, PointLight(), disabledButSet};
  uploadWaterLights(program, testCamera(), makeSun(), water, 1234.5f);
  GLfloat time = 0.0f;
  glGetUniformfv(program.handle, glGetUniformLocation(program.handle, "dt"), &time);
  EXPECT_FLOAT_EQ(time, 1234.5f);
  EXPECT_EQ(readVec3(program, "pointLights[2].color"), glm::vec3(0.0f)) << "a default record uploads zeros";
  EXPECT_EQ(readVec3(program, "pointLights[3].position"), glm::vec3(15, 37, 325)) << "enabled is not a switch";
  EXPECT_EQ(readVec3(program, "pointLights[4].position"), glm::vec3(0, 100, 40)) << "water sets four slots only";
  EXPECT_EQ(currentProgram(), 0);
}

// "lightShader" and "texture": the camera, the sun and one point light under "pointL"; a name the
// program lacks is passed over and the rest still arrive.
TEST_F(LightUploads, SingleLightGoesUnderPointLAndAMissingNameLeavesTheRest) {
  Shader program = lightProgram("struct Lamp { vec3 color; vec3 position; };\nuniform Lamp pointL;\n",
                                "  s += pointL.color + pointL.position;\n");
  ASSERT_EQ(glGetUniformLocation(program.handle, "pointL.attenuation"), -1);
  Shader other = lightProgram("", "");
  glUseProgram(other.handle);
  const Camera camera = testCamera();
  const DirectionalLight sun(glm::vec3(0.3f, 0.4f, 0.5f), glm::vec3(1.0f, -1.0f, 0.0f));
  const PointLight lamp({5, 3, 0}, {-15, 120, 10}, {1, 0.07f, 0.017f});
  uploadSingleLight(program, camera, sun, lamp);

  EXPECT_EQ(currentProgram(), 0) << "no program left current";
  EXPECT_EQ(readVec3(program, "pointL.color"), glm::vec3(5, 3, 0));
  EXPECT_EQ(readVec3(program, "pointL.position"), glm::vec3(-15, 120, 10));
  EXPECT_EQ(readVec3(program, "dirL.color"), glm::vec3(0.3f, 0.4f, 0.5f));
  EXPECT_EQ(readVec3(program, "dirL.direction"), sun.direction);
  EXPECT_EQ(readVec3(program, "camera_world"), glm::vec3(1, 2, 3));
  glm::mat4 viewProj(0.0f);
  glGetUniformfv(program.handle, glGetUniformLocation(program.handle, "viewProjMatrix"), &viewProj[0][0]);
  EXPECT_EQ(viewProj, camera.projection * camera.view);
  EXPECT_EQ(readVec3(other, "camera_world"), glm::vec3(0.0f)) << "only the given program is written";
}
