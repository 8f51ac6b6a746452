#include "render/model.h"

#include <gtest/gtest.h>
#include <stb_image_write.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <glm/gtc/matrix_transform.hpp>
#include <glm/gtc/type_ptr.hpp>

#include "render/shader.h"
#include "support/gl_context.h"

namespace fs = std::filesystem;

namespace {

const char* const kVertexSource = R"(#version 430 core
layout(location = 0) in vec3 position;
layout(location = 1) in vec3 normal;
layout(location = 2) in vec2 uv;
uniform mat4 modelMatrix;
uniform mat3 normalMatrix;
out vec3 shade;
void main() { shade = normalMatrix * normal + vec3(uv, 0.0); gl_Position = modelMatrix * vec4(position, 1.0); })";
const char* const kFragmentSource = R"(#version 430 core
in vec3 shade;
uniform sampler2D diffuseTexture;
uniform sampler2D specularTexture;
out vec4 colour;
void main() { colour = texture(diffuseTexture, shade.xy) + texture(specularTexture, shade.xy); })";

// Two objects whose materials name the same diffuse image; the second adds a specular map.
const char* const kSharedObj =
    "mtllib shared.mtl\no first\nv 0 0 0\nv 1 0 0\nv 0 1 0\nv 1 1 0\nvt 0.25 0.75\nvn 0 0 1\n"
    "usemtl one\nf 1/1/1 2/1/1 4/1/1 3/1/1\no second\nv 0 0 1\nv 1 0 1\nv 0 1 1\nusemtl two\nf 5/1/1 6/1/1 7/1/1\n";
const char* const kSharedMtl = "newmtl one\nmap_Kd skin.png\nnewmtl two\nmap_Kd skin.png\nmap_Ks shine.png\n";
// Positions only: no texture coordinates, no normals.
const char* const kBareObj = "v 0 0 0\nv 2 0 0\nv 0 0 -2\nf 1 2 3\n";

class ModelTest : public GlContextTest {
 protected:
  void SetUp() override {
    GlContextTest::SetUp();
    char pattern[] = "/tmp/kellvane-model-XXXXXX";
    root = mkdtemp(pattern);
    previous = fs::current_path();
    fs::current_path(root);
    shader = std::make_shared<Shader>(kVertexSource, kFragmentSource, true);
  }
  void TearDown() override {
    fs::current_path(previous);
    fs::remove_all(root);
    GlContextTest::TearDown();
  }
  fs::path root, previous;
  std::shared_ptr<Shader> shader;
};

}  // namespace

TEST_F(ModelTest, SharedTextureLoadsOnceAndDrawBindsTheCallersTextures) {
  std::ofstream("shared.obj") << kSharedObj;
  std::ofstream("shared.mtl") << kSharedMtl;
  const unsigned char pixels[16] = {255, 0, 0, 255, 0, 255, 0, 255, 0, 0, 255, 255, 9, 9, 9, 255};
  ASSERT_TRUE(stbi_write_png("skin.png", 2, 2, 4, pixels, 8) && stbi_write_png("shine.png", 2, 2, 4, pixels, 8));
  const std::string path = (root / "shared.obj").string();
  const glm::mat4 matrix = glm::scale(glm::translate(glm::mat4(1.0f), glm::vec3(0, 111.5f, 10)), glm::vec3(0.1f));
  testing::internal::CaptureStdout();
  Model model(path.c_str(), matrix, shader);
  const std::string printed = testing::internal::GetCapturedStdout();

  EXPECT_EQ(model.directory, root.string());
  ASSERT_EQ(model.meshes.size(), 2u);
  ASSERT_EQ(model.loadedTextures.size(), 2u);
  const Mesh &first = model.meshes[0], &second = model.meshes[1];
  ASSERT_EQ(first.textures.size(), 1u);
  ASSERT_EQ(second.textures.size(), 2u);
  EXPECT_EQ(first.textures[0].id, second.textures[0].id);
  EXPECT_EQ(second.textures[1].type, "texture_specular");
  EXPECT_EQ(second.textures[1].path, "shine.png");
  const std::string skin = std::to_string(first.textures[0].id), shine = std::to_string(second.textures[1].id);
  EXPECT_EQ(printed, skin + "\n" + skin + "\n" + shine + "\n");
  // The quad was triangulated and its v flipped on import.
  EXPECT_EQ(first.indices.size(), 6u);
  EXPECT_EQ(first.vertices[0].texCoords, glm::vec2(0.25f, 0.25f));
  GLint stride = 0;
  void* uvOffset = nullptr;
  glBindVertexArray(first.vao);
  glGetVertexAttribiv(2, GL_VERTEX_ATTRIB_ARRAY_STRIDE, &stride);
  glGetVertexAttribPointerv(2, GL_VERTEX_ATTRIB_ARRAY_POINTER, &uvOffset);
  glBindVertexArray(0);
  EXPECT_EQ(stride, 32);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(uvOffset), 24u);

  GLuint textures[2];
  glGenTextures(2, textures);
  model.draw(textures[0], textures[1]);
  GLint program = -1, active = 0, bound = 0, specularUnit = -1;
  glGetIntegerv(GL_CURRENT_PROGRAM, &program);
  glGetIntegerv(GL_ACTIVE_TEXTURE, &active);
  glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
  EXPECT_EQ(program, 0);
  EXPECT_EQ(active, GL_TEXTURE0);
  EXPECT_EQ(static_cast<GLuint>(bound), textures[0]);
  glGetUniformiv(shader->handle, glGetUniformLocation(shader->handle, "specularTexture"), &specularUnit);
  EXPECT_EQ(specularUnit, 1);
  glm::mat4 sent(0.0f);
  glGetUniformfv(shader->handle, glGetUniformLocation(shader->handle, "modelMatrix"), glm::value_ptr(sent));
  EXPECT_EQ(sent, matrix);
  // The spinning draw leaves the caller's own "modelMatrix" alone.
  glUseProgram(shader->handle);
  shader->setUniform("modelMatrix", glm::mat4(2.0f));
  model.drawWithoutModelMatrix(textures[0], textures[1]);
  glGetUniformfv(shader->handle, glGetUniformLocation(shader->handle, "modelMatrix"), glm::value_ptr(sent));
  EXPECT_EQ(sent, glm::mat4(2.0f));
  glDeleteTextures(2, textures);
}

TEST_F(ModelTest, BarePathIsItsOwnDirectoryAndMissingDataIsFilledIn) {
  std::ofstream("diamond.obj") << kBareObj;
  Model model("diamond.obj", glm::mat4(1.0f), shader);
  EXPECT_EQ(model.directory, "diamond.obj");
  ASSERT_EQ(model.meshes.size(), 1u);
  ASSERT_EQ(model.meshes[0].vertices.size(), 3u);
  for (const MeshVertex& v : model.meshes[0].vertices) {
    EXPECT_EQ(v.texCoords, glm::vec2(0.0f));
    EXPECT_NEAR(v.normal.y, 1.0f, 1e-6f);  // counter-clockwise seen from above
  }
}

TEST_F(ModelTest, UnreadableFileReportsAndLeavesAnEmptyModel) {
  std::ofstream("broken.obj") << "v 0 0 0\nf 1 2 9\n";  // a face past the vertex list
  for (const char* path : {"missing.obj", "broken.obj"}) {
    testing::internal::CaptureStdout();
    Model model(path, glm::mat4(1.0f), shader);
    const std::string printed = testing::internal::GetCapturedStdout();
    ASSERT_EQ(printed.rfind("ERROR::ASSIMP::", 0), 0u) << path << ": " << printed;
    EXPECT_GT(printed.size(), 16u) << "the importer's reason follows";
    EXPECT_EQ(printed.back(), '\n');
    EXPECT_TRUE(model.meshes.empty());
    model.draw(0, 0);  // draws nothing, raises no error
  }
}
