#include "render/framework.h"

#include <gtest/gtest.h>

#include <set>
#include <vector>

#include "render/shader.h"
#include "support/gl_context.h"

TEST(BuiltinMesh, IndexRuleCoversEveryPatchCell) {
  const unsigned* idx = builtinMeshIndexTable();
  const std::vector<unsigned> first(idx, idx + 6), last(idx + kBuiltinMeshIndices - 6, idx + kBuiltinMeshIndices);
  EXPECT_EQ(first, (std::vector<unsigned>{0, 5, 4, 0, 1, 5}));
  EXPECT_EQ(last, (std::vector<unsigned>{506, 511, 510, 506, 507, 511}));
  unsigned largest = 0;
  std::set<unsigned> used;
  for (int i = 0; i < kBuiltinMeshIndices; ++i) {
    largest = std::max(largest, idx[i]);
    used.insert(idx[i]);
  }
  EXPECT_EQ(largest, 511u);
  EXPECT_EQ(used.size(), 512u) << "every point of every 4 x 4 patch belongs to a triangle";
  // Each triangle stays inside one patch.
  for (int t = 0; t < kBuiltinMeshIndices / 3; ++t) EXPECT_EQ(idx[3 * t] / 16, idx[3 * t + 2] / 16) << "triangle " << t;
}

TEST(BuiltinMesh, PointsAreTurnedHalfARevolutionAboutY) {
  // The table's first patch starts at the top of the shell, the point (0, 1, 0) before and after
  // the turn; a point on the equator at phi 0 (x = 1) must come out at x = -1.
  const float* p = builtinMeshPositions();
  EXPECT_NEAR(p[1], 1.0f, 1e-6f);
  const int equator = 16 * 8 + 4 * 3 + 0;  // band 1, last row (theta pi/2), first column (phi 0)
  EXPECT_NEAR(p[3 * equator + 0], -1.0f, 1e-5f);
  EXPECT_NEAR(p[3 * equator + 2], 0.0f, 1e-5f);
}

TEST(BuiltinLibrary, TenNamesShareFourteenSources) {
  const auto& lib = builtinShaderLibrary();
  ASSERT_EQ(lib.size(), 10u);
  for (const char* name : {"color", "cookTorrance", "environmentMap", "phongGouraud", "phongGouraudBonus", "phongPhong",
                           "phongPhongBonus", "specularMap", "texture", "textureBonus"})
    EXPECT_EQ(lib.count(name), 1u) << name;
  std::set<std::string> distinct;
  for (const auto& entry : lib) {
    EXPECT_EQ(entry.second.vertex.rfind("#version", 0), 0u) << entry.first << " decodes to GLSL";
    distinct.insert(entry.second.vertex);
    distinct.insert(entry.second.fragment);
  }
  EXPECT_EQ(distinct.size(), 14u);
  EXPECT_EQ(lib.at("cookTorrance").vertex, lib.at("phongPhong").vertex);
  EXPECT_EQ(lib.at("phongPhongBonus").vertex, lib.at("phongPhong").vertex);
  EXPECT_EQ(lib.at("environmentMap").vertex, lib.at("texture").vertex);
  EXPECT_EQ(lib.at("phongGouraud").fragment, lib.at("phongGouraudBonus").fragment);
  EXPECT_NE(lib.at("phongGouraud").vertex, lib.at("phongGouraudBonus").vertex);
}

class Framework : public GlContextTest {};

TEST_F(Framework, InitBuildsARedDefaultProgramAndShutdownReleasesEverything) {
  glUseProgram(0);
  ASSERT_TRUE(initFramework());
  ASSERT_NE(defaultProgram, nullptr);
  GLint current = 0;
  glGetIntegerv(GL_CURRENT_PROGRAM, &current);
  EXPECT_EQ(static_cast<GLuint>(current), defaultProgram->handle);
  EXPECT_TRUE(glIsVertexArray(builtinMeshVao));

  // Draw a full-window triangle with the default program: red unless "fragColor" is set.
  GLuint vao = 0, vbo = 0;
  const float tri[] = {-1, -1, 0, 3, -1, 0, -1, 3, 0};
  glGenVertexArrays(1, &vao);
  glBindVertexArray(vao);
  glGenBuffers(1, &vbo);
  glBindBuffer(GL_ARRAY_BUFFER, vbo);
  glBufferData(GL_ARRAY_BUFFER, sizeof(tri), tri, GL_STATIC_DRAW);
  glEnableVertexAttribArray(0);
  glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, 0, nullptr);
  glDisable(GL_DEPTH_TEST);
  glDisable(GL_CULL_FACE);
  glClearColor(0, 0, 0, 1);
  glClear(GL_COLOR_BUFFER_BIT);
  glDrawArrays(GL_TRIANGLES, 0, 3);
  unsigned char pixel[4] = {};
  glReadPixels(8, 8, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, pixel);
  EXPECT_EQ(pixel[0], 255);
  EXPECT_EQ(pixel[1], 0);
  EXPECT_EQ(pixel[2], 0);
  glDeleteBuffers(1, &vbo);
  glDeleteVertexArrays(1, &vao);

  // Element buffer binding belongs to the mesh's vertex array, not to whatever is bound later.
  glBindVertexArray(builtinMeshVao);
  GLint elements = 0;
  glGetIntegerv(GL_ELEMENT_ARRAY_BUFFER_BINDING, &elements);
  EXPECT_EQ(static_cast<GLuint>(elements), builtinMeshIndexBuffer);
  GLint size = 0;
  glGetBufferParameteriv(GL_ELEMENT_ARRAY_BUFFER, GL_BUFFER_SIZE, &size);
  EXPECT_EQ(size, 6912);
  glBindVertexArray(0);

  const GLuint program = defaultProgram->handle;
  shutdownFramework();
  EXPECT_EQ(defaultProgram, nullptr);
  EXPECT_FALSE(glIsProgram(program));
  EXPECT_EQ(builtinMeshVao, 0u);
  glGetIntegerv(GL_CURRENT_PROGRAM, &current);
  EXPECT_EQ(current, 0);
}

TEST_F(Framework, AProgramAlreadyCurrentIsKept) {
  Shader mine(std::string("#version 330 core\nvoid main() { gl_Position = vec4(0); }"),
              std::string("#version 330 core\nout vec4 c;\nvoid main() { c = vec4(1); }"), true);
  glUseProgram(mine.handle);
  ASSERT_TRUE(initFramework());
  EXPECT_EQ(defaultProgram, nullptr);
  GLint current = 0;
  glGetIntegerv(GL_CURRENT_PROGRAM, &current);
  EXPECT_EQ(static_cast<GLuint>(current), mine.handle);
  shutdownFramework();
}

TEST(FrameworkWithoutContext, RefusesAndSaysWhy) {
  GLFWwindow* previous = glfwGetCurrentContext();
  glfwMakeContextCurrent(nullptr);
  ::testing::internal::CaptureStdout();
  EXPECT_FALSE(initFramework());
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "No context available. Exiting.\n");
  glfwMakeContextCurrent(previous);
}
