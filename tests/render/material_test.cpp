#include "render/material.h"

#include <gtest/gtest.h>

#include <glm/gtc/type_ptr.hpp>
#include <memory>
#include <vector>

#include "render/shader.h"
#include "render/texture.h"
#include "support/gl_context.h"

namespace {

const char* const kVertexSource = R"(#version 430 core
layout(location = 0) in vec3 position;
void main() { gl_Position = vec4(position, 1.0); })";
const char* const kFragmentSource = R"(#version 430 core
uniform vec3 materialCoefficients;
uniform float specularAlpha;
uniform sampler2D diffuseTexture;
out vec4 colour;
void main() { colour = texture(diffuseTexture, vec2(0.5)) * vec4(materialCoefficients, specularAlpha); })";
const char* const kNoAlphaFragment = R"(#version 430 core
uniform vec3 materialCoefficients;
uniform sampler2D diffuseTexture;
out vec4 colour;
void main() { colour = texture(diffuseTexture, vec2(0.5)) * vec4(materialCoefficients, 1.0); })";

class MaterialTest : public GlContextTest {
 protected:
  std::shared_ptr<Texture> pixelTexture() {
    std::vector<unsigned char> pixels(kPixelTextureSize * kPixelTextureSize * 3, 90);
    return std::make_shared<Texture>(pixels.data());
  }
  static glm::vec3 vec3Uniform(const Shader& s, const char* name) {
    glm::vec3 v(-1.0f);
    glGetUniformfv(s.handle, glGetUniformLocation(s.handle, name), glm::value_ptr(v));
    return v;
  }
  static float floatUniform(const Shader& s, const char* name) {
    float v = -1.0f;
    glGetUniformfv(s.handle, glGetUniformLocation(s.handle, name), &v);
    return v;
  }
  static GLint intUniform(const Shader& s, const char* name) {
    GLint v = -1;
    glGetUniformiv(s.handle, glGetUniformLocation(s.handle, name), &v);
    return v;
  }
  static GLint boundOn(GLenum unit) {
    GLint active = 0, bound = 0;
    glGetIntegerv(GL_ACTIVE_TEXTURE, &active);
    glActiveTexture(unit);
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    glActiveTexture(static_cast<GLenum>(active));
    return bound;
  }
};

}  // namespace

TEST_F(MaterialTest, ValidTextureIsBoundOnUnitZeroWithTheLightingWeights) {
  auto shader = std::make_shared<Shader>(kVertexSource, kFragmentSource, true);
  // Point the sampler elsewhere first, so the material has to set it back to 0.
  glUseProgram(shader->handle);
  shader->setUniform("diffuseTexture", 5);
  TextureMaterial material(shader, glm::vec3(0.1f, 0.7f, 0.3f), 8.0f, pixelTexture());
  glActiveTexture(GL_TEXTURE3);
  material.setUniforms();
  EXPECT_EQ(vec3Uniform(*shader, "materialCoefficients"), glm::vec3(0.1f, 0.7f, 0.3f));
  EXPECT_EQ(floatUniform(*shader, "specularAlpha"), 8.0f);
  EXPECT_EQ(intUniform(*shader, "diffuseTexture"), 0);
  GLint active = 0;
  glGetIntegerv(GL_ACTIVE_TEXTURE, &active);
  EXPECT_EQ(active, GL_TEXTURE0);
  EXPECT_EQ(static_cast<GLuint>(boundOn(GL_TEXTURE0)), material.getDiffuseTexture()->handle);
  EXPECT_EQ(material.getShader(), shader);
}

TEST_F(MaterialTest, InvalidTextureSetsTheUniformsButTouchesNoTextureState) {
  auto shader = std::make_shared<Shader>(kVertexSource, kFragmentSource, true);
  glUseProgram(shader->handle);
  shader->setUniform("diffuseTexture", 5);
  auto broken = std::make_shared<Texture>(std::string("no such file.dds"));
  ASSERT_FALSE(broken->valid);
  GLuint sentinel = 0;
  glGenTextures(1, &sentinel);
  glActiveTexture(GL_TEXTURE0);
  glBindTexture(GL_TEXTURE_2D, sentinel);
  glActiveTexture(GL_TEXTURE3);

  TextureMaterial material(shader, glm::vec3(0.2f, 0.75f, 0.65f), 0.4f, broken);
  material.setUniforms();
  EXPECT_EQ(vec3Uniform(*shader, "materialCoefficients"), glm::vec3(0.2f, 0.75f, 0.65f));
  EXPECT_EQ(floatUniform(*shader, "specularAlpha"), 0.4f);
  EXPECT_EQ(intUniform(*shader, "diffuseTexture"), 0);
  GLint active = 0;
  glGetIntegerv(GL_ACTIVE_TEXTURE, &active);
  EXPECT_EQ(active, GL_TEXTURE3);
  EXPECT_EQ(static_cast<GLuint>(boundOn(GL_TEXTURE0)), sentinel);
  EXPECT_EQ(boundOn(GL_TEXTURE3), 0);
  glActiveTexture(GL_TEXTURE0);
  glDeleteTextures(1, &sentinel);
}

TEST_F(MaterialTest, ProgramWithoutSpecularAlphaStillGetsTheOtherUniforms) {
  auto shader = std::make_shared<Shader>(kVertexSource, kNoAlphaFragment, true);
  glUseProgram(shader->handle);
  TextureMaterial material(shader, glm::vec3(0.001f, 0, 0), 1.0f, pixelTexture());
  material.setUniforms();
  EXPECT_EQ(vec3Uniform(*shader, "materialCoefficients"), glm::vec3(0.001f, 0, 0));
  EXPECT_EQ(intUniform(*shader, "diffuseTexture"), 0);
  EXPECT_EQ(shader->uniformLocations.at("specularAlpha"), -1);
  // The plain base material sets only its two weights.
  Material plain(shader, glm::vec3(0.5f), 2.0f);
  plain.setUniforms();
  EXPECT_EQ(vec3Uniform(*shader, "materialCoefficients"), glm::vec3(0.5f));
}

TEST_F(MaterialTest, LastHolderThroughTheBaseReleasesTextureAndProgram) {
  auto shader = std::make_shared<Shader>(kVertexSource, kFragmentSource, true);
  auto texture = pixelTexture();
  std::weak_ptr<Shader> weakShader = shader;
  std::weak_ptr<Texture> weakTexture = texture;
  std::shared_ptr<Material> material =
      std::make_shared<TextureMaterial>(std::move(shader), glm::vec3(1.0f), 2.0f, std::move(texture));
  EXPECT_FALSE(weakShader.expired());
  EXPECT_FALSE(weakTexture.expired());
  material.reset();
  EXPECT_TRUE(weakShader.expired());
  EXPECT_TRUE(weakTexture.expired());

  // A material whose texture is absent altogether behaves like an invalid one.
  auto program = std::make_shared<Shader>(kVertexSource, kFragmentSource, true);
  glUseProgram(program->handle);
  TextureMaterial bare(program, glm::vec3(0.3f), 3.0f, nullptr);
  bare.setUniforms();
  EXPECT_EQ(floatUniform(*program, "specularAlpha"), 3.0f);
}
