#include "scene/skybox.h"

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "scene/scene_test_helpers.h"

namespace {

const char* const kFaces[6] = {"posx.dds", "negx.dds", "posy.dds", "negy.dds", "posz.dds", "negz.dds"};
// A colour of its own for each face (5-6-5 bits) and what it reads back as (8 bits a channel).
const std::uint16_t kFaceColours[6] = {0xF800, 0x07E0, 0x001F, 0xFFE0, 0x07FF, 0xF81F};
const std::array<unsigned char, 3> kFacePixels[6] = {{255, 0, 0},   {0, 255, 0},   {0, 0, 255},
                                                     {255, 255, 0}, {0, 255, 255}, {255, 0, 255}};
const glm::vec3 kDirections[6] = {{1, 0, 0}, {-1, 0, 0}, {0, 1, 0}, {0, -1, 0}, {0, 0, 1}, {0, 0, -1}};

// A 4 x 4 DXT1 file of one colour (5-6-5 bits), the smallest valid sky face: colour 1 is black, so
// colour 0 > colour 1 (four-colour mode), and every index 0 picks colour 0.
void writeSolidDds(const std::string& path, std::uint16_t rgb565) {
  unsigned char file[4 + 124 + 8] = {'D', 'D', 'S', ' '};
  const std::pair<int, std::uint32_t> fields[] = {{0, 124}, {8, 4}, {12, 4}, {16, 8}, {72, 32}, {76, 4}};
  for (const auto& [offset, value] : fields)  // header size, height, width, one block, pixel format, fourCC
    for (int i = 0; i < 4; ++i) file[4 + offset + i] = static_cast<unsigned char>(value >> (8 * i));
  std::copy_n("DXT1", 4, file + 4 + 80);
  file[4 + 124] = static_cast<unsigned char>(rgb565);
  file[4 + 125] = static_cast<unsigned char>(rgb565 >> 8);
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(file), sizeof(file));
}

// A face folder of its own under the build folder, each face its own colour, one left out.
std::string skyFolder(const std::string& name, int missing) {
  const std::string folder = "test-sky/" + name + "/";
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder);
  for (int i = 0; i < 6; ++i)
    if (i != missing) writeSolidDds(folder + kFaces[i], kFaceColours[i]);
  return folder;
}

// A camera at `eye` looking along `direction` with a 60 degree view: it sees only one face.
Camera lookingAlong(const glm::vec3& eye, const glm::vec3& direction) {
  Camera camera;
  camera.view = glm::lookAt(eye, eye + direction, direction.y != 0.0f ? glm::vec3(0, 0, 1) : glm::vec3(0, 1, 0));
  camera.projection = glm::perspective(glm::radians(60.0f), 1.0f, 0.1f, 100.0f);
  return camera;
}

::testing::AssertionResult showsColour(const std::array<unsigned char, 4>& p, const std::array<unsigned char, 3>& c) {
  for (int i = 0; i < 3; ++i)
    if (std::abs(int(p[i]) - int(c[i])) > 8)
      return ::testing::AssertionFailure() << "pixel " << int(p[0]) << "," << int(p[1]) << "," << int(p[2]);
  return ::testing::AssertionSuccess();
}

}  // namespace

TEST_F(SceneGlTest, AMissingSkyFaceIsReportedOnTwoLinesAndTheOtherFiveLoad) {
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

// With back faces culled, as in the game, each direction shows the file of its own direction
// (both triangles of the face: the picture's left and right, top and bottom lie on either side of
// its diagonal). Drawn last, the sky fills only where nothing was drawn, far from the origin too
// (the view's translation is dropped), and leaves the depth test at less and no program current.
TEST_F(SceneGlTest, EachDirectionShowsItsOwnSkyFaceOnlyWhereNothingWasDrawn) {
  Skybox sky(skyFolder("faces", -1));
  Shader skyProgram("skyboxShader.vert", "skyboxShader.frag");
  Shader red(
      "#version 430 core\nlayout(location = 0) in vec3 position;\nvoid main() { gl_Position = vec4(position, 1); }",
      "#version 430 core\nout vec4 color;\nvoid main() { color = vec4(1, 0, 0, 1); }", true);
  TriangleMesh leftHalf(rectangle(-1, 0, -1, 1, 0.5f));
  OffscreenTarget target(32, 32);
  glEnable(GL_DEPTH_TEST);
  glEnable(GL_CULL_FACE);
  glClearColor(0, 0, 0, 1);
  for (int face = 0; face < 6; ++face) {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    sky.drawWithProgram(skyProgram, lookingAlong(glm::vec3(40, -7, 300), kDirections[face]));
    for (const auto& [x, y] : {std::pair<int, int>{4, 16}, {28, 16}, {16, 4}, {16, 28}})
      EXPECT_TRUE(showsColour(target.pixel(x, y), kFacePixels[face])) << kFaces[face] << " at " << x << "," << y;
  }
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glUseProgram(red.handle);
  leftHalf.draw();
  sky.drawWithProgram(skyProgram, lookingAlong(glm::vec3(500, 20, 300), kDirections[4]));
  EXPECT_EQ(integer(GL_DEPTH_FUNC), GL_LESS);
  EXPECT_EQ(integer(GL_CURRENT_PROGRAM), 0);
  glDisable(GL_DEPTH_TEST);
  glDisable(GL_CULL_FACE);
  EXPECT_TRUE(showsColour(target.pixel(8, 16), {255, 0, 0})) << "the sky must not cover what the level drew";
  EXPECT_TRUE(showsColour(target.pixel(24, 16), kFacePixels[4])) << "the sky ahead (+z) fills the rest";
}
