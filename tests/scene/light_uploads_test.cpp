#include "scene/light_uploads.h"

#include "scene/scene_test_helpers.h"

namespace {

// A program that reads every light value it declares, so that none is optimised away.
Shader lightProgram(const std::string& declarations, const std::string& reads) {
  return Shader(
      "#version 430 core\nstruct DirectionalLight { vec3 color; vec3 direction; };\n"
      "struct PointLight { vec3 color; vec3 position; vec3 attenuation; };\nlayout(location = 0) in vec3 position;\n"
      "uniform mat4 viewProjMatrix;\nuniform vec3 camera_world;\nuniform DirectionalLight dirL;\n" +
          declarations + "out vec3 sum;\nvoid main() {\n  gl_Position = viewProjMatrix * vec4(position, 1.0);\n" +
          "  vec3 s = camera_world + dirL.color + dirL.direction;\n" + reads + "  sum = s;\n}\n",
      "#version 430 core\nin vec3 sum;\nout vec4 color;\nvoid main() { color = vec4(sum, 1.0); }\n", true);
}

std::string slots(int count) {
  return "uniform PointLight pointLights[" + std::to_string(count) + "];\nuniform float dt;\n";
}
std::string readSlots(int count) {
  return "  for (int i = 0; i < " + std::to_string(count) +
         "; ++i) s += pointLights[i].color + pointLights[i].position + pointLights[i].attenuation;\n  s += dt;\n";
}

glm::vec3 read(const Shader& program, const std::string& name) {
  glm::vec3 value(-999.0f);
  const GLint location = glGetUniformLocation(program.handle, name.c_str());
  EXPECT_GE(location, 0) << name;
  if (location >= 0) glGetUniformfv(program.handle, location, &value.x);
  return value;
}

PointLight lamp(float k) { return PointLight({k, 2 * k, 3 * k}, {10 * k, 100 + k, -k}, {1, 0.01f * k, 0.001f * k}); }

}  // namespace

// Each upload sets the camera, the sun and its lights, slot by slot, on the given program only;
// names the program lacks are passed over and the rest still arrive; program 0 is left current.
TEST_F(SceneGlTest, EachLightUploadSetsTheCameraTheSunAndItsSlotsOnItsProgramOnly) {
  Camera camera;
  camera.view = glm::lookAt(glm::vec3(1, 2, 3), glm::vec3(0, 0, 10), glm::vec3(0, 1, 0));
  camera.projection = glm::perspective(glm::radians(60.0f), 1.5f, 0.1f, 100.0f);
  camera.position = glm::vec3(1, 2, 3);
  const DirectionalLight sun(glm::vec3(0.3f, 0.4f, 0.5f), glm::vec3(1.0f, -1.0f, 0.0f));
  std::array<PointLight, 5> five;
  for (int k = 0; k < 5; ++k) five[k] = lamp(k + 1.0f);
  PointLight disabled = lamp(7);
  disabled.enabled = false;  // not a switch: uploaded as any other
  const std::array<PointLight, kGroundLightCount> ground = makeGroundLights();
  const std::array<PointLight, 4> water = {lamp(1), lamp(2), PointLight(), disabled};
  const struct {
    const char* what;
    int slots;  // in the program
    std::function<void(Shader&)> upload;
    std::vector<PointLight> expected;  // slot by slot
    float time;
  } cases[] = {
      {"ground, without \"dimension\"",
       4,
       [&](Shader& p) { uploadGroundLights(p, camera, sun, ground, kGroundDimension); },
       {ground.begin(), ground.begin() + 4},
       0.0f},
      {"material", 5, [&](Shader& p) { uploadMaterialLights(p, camera, sun, five); }, {five.begin(), five.end()}, 0.0f},
      {"water, four of five slots",
       5,
       [&](Shader& p) { uploadWaterLights(p, camera, sun, water, 1234.5f); },
       {water.begin(), water.end()},
       1234.5f},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Shader program = lightProgram(slots(c.slots), readSlots(c.slots)), other = lightProgram("", "");
    glUseProgram(other.handle);
    c.upload(program);
    EXPECT_EQ(integer(GL_CURRENT_PROGRAM), 0);
    glm::mat4 viewProj(0.0f);
    glGetUniformfv(program.handle, glGetUniformLocation(program.handle, "viewProjMatrix"), &viewProj[0][0]);
    for (int i = 0; i < 16; ++i)
      EXPECT_FLOAT_EQ(viewProj[i / 4][i % 4], (camera.projection * camera.view)[i / 4][i % 4]);
    EXPECT_EQ(read(program, "camera_world"), camera.position);
    EXPECT_EQ(read(other, "camera_world"), glm::vec3(0.0f)) << "only the given program is written";
    EXPECT_EQ(read(program, "dirL.color"), sun.color);
    EXPECT_EQ(read(program, "dirL.direction"), sun.direction);
    EXPECT_NEAR(glm::length(sun.direction), 1.0f, 1e-6f);
    for (size_t i = 0; i < c.expected.size(); ++i) {
      const std::string slot = "pointLights[" + std::to_string(i) + "].";
      EXPECT_EQ(read(program, slot + "color"), c.expected[i].color) << slot;
      EXPECT_EQ(read(program, slot + "position"), c.expected[i].position) << slot;
      EXPECT_EQ(read(program, slot + "attenuation"), c.expected[i].attenuation) << slot;
    }
    GLfloat time = -1.0f;
    glGetUniformfv(program.handle, glGetUniformLocation(program.handle, "dt"), &time);
    EXPECT_EQ(time, c.time) << "the running time, on water only";
    if (c.time > 0) {
      EXPECT_EQ(read(program, "pointLights[4].position"), glm::vec3(0.0f)) << "four slots only";
    }
  }
  // "lightShader" and "texture": one point light under "pointL", here without "attenuation".
  Shader single = lightProgram("struct Lamp { vec3 color; vec3 position; };\nuniform Lamp pointL;\n",
                               "  s += pointL.color + pointL.position;\n");
  uploadSingleLight(single, camera, sun, five[2]);
  EXPECT_EQ(integer(GL_CURRENT_PROGRAM), 0);
  EXPECT_EQ(read(single, "pointL.color"), five[2].color);
  EXPECT_EQ(read(single, "pointL.position"), five[2].position);
  EXPECT_EQ(read(single, "dirL.direction"), sun.direction);
  EXPECT_EQ(read(single, "camera_world"), camera.position);
}
