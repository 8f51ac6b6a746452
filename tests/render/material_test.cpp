#include "render/material.h"

#include <gtest/gtest.h>

#include <glm/gtc/type_ptr.hpp>
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
  // A program whose sampler points at unit 5, so setUniforms has to set it back to 0.
  static std::shared_ptr<Shader> program(const char* fragment) {
    auto shader = std::make_shared<Shader>(kVertexSource, fragment, true);
    glUseProgram(shader->handle);
    shader->setUniform("diffuseTexture", 5);
    return shader;
  }
  static glm::vec4 uniform(const Shader& s, const char* name) {
    glm::vec4 value(-1.0f);  // components beyond the uniform's own stay -1
    glGetUniformfv(s.handle, glGetUniformLocation(s.handle, name), glm::value_ptr(value));
    return value;
  }
  static GLint sampler(const Shader& s) {
    GLint unit = -1;
    glGetUniformiv(s.handle, glGetUniformLocation(s.handle, "diffuseTexture"), &unit);
    return unit;
  }
  static GLint boundOnUnitZero() {
    GLint active = 0, bound = 0;
    glGetIntegerv(GL_ACTIVE_TEXTURE, &active);
    glActiveTexture(GL_TEXTURE0);
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    glActiveTexture(static_cast<GLenum>(active));
    return bound;
  }
};

}  // namespace

TEST_F(MaterialTest, InvalidTextureSetsTheUniformsButTouchesNoTextureState) {
  auto shader = program(kFragmentSource);
  auto broken = std::make_shared<Texture>(std::string("no such file.dds"));
  GLuint sentinel = 0;
  glGenTextures(1, &sentinel);
  glBindTexture(GL_TEXTURE_2D, sentinel);
  glActiveTexture(GL_TEXTURE3);
  for (auto texture : {broken, std::shared_ptr<Texture>()}) {
    TextureMaterial material(shader, glm::vec3(0.2f, 0.75f, 0.65f), 0.4f, texture);
    material.setUniforms();
    EXPECT_EQ(uniform(*shader, "materialCoefficients"), glm::vec4(0.2f, 0.75f, 0.65f, -1));
    EXPECT_EQ(uniform(*shader, "specularAlpha"), glm::vec4(0.4f, -1, -1, -1));
    EXPECT_EQ(sampler(*shader), 0);
    GLint active = 0;
    glGetIntegerv(GL_ACTIVE_TEXTURE, &active);
    EXPECT_EQ(active, GL_TEXTURE3);
    EXPECT_EQ(static_cast<GLuint>(boundOnUnitZero()), sentinel);
  }
  glActiveTexture(GL_TEXTURE0);
  glDeleteTextures(1, &sentinel);
}

TEST_F(MaterialTest, ValidTextureGoesOnUnitZeroAndTheLastHolderReleasesAll) {
  // This program lacks "specularAlpha": the other uniforms are still set, and no error arises.
  auto shader = program(kNoAlphaFragment);
  std::vector<unsigned char> pixels(kPixelTextureSize * kPixelTextureSize * 3, 90);
  auto texture = std::make_shared<Texture>(pixels.data());
  const GLuint handle = texture->handle;
  std::weak_ptr<Shader> weakShader = shader;
  std::weak_ptr<Texture> weakTexture = texture;
  std::shared_ptr<Material> material =
      std::make_shared<TextureMaterial>(std::move(shader), glm::vec3(0.1f, 0.7f, 0.3f), 8.0f, std::move(texture));
  glActiveTexture(GL_TEXTURE3);
  material->setUniforms();
  GLint active = 0;
  glGetIntegerv(GL_ACTIVE_TEXTURE, &active);
  EXPECT_EQ(active, GL_TEXTURE0);
  EXPECT_EQ(static_cast<GLuint>(boundOnUnitZero()), handle);
  EXPECT_EQ(uniform(*material->getShader(), "materialCoefficients"), glm::vec4(0.1f, 0.7f, 0.3f, -1));
  EXPECT_EQ(sampler(*material->getShader()), 0);

  material.reset();  // through the base pointer
  EXPECT_TRUE(weakShader.expired());
  EXPECT_TRUE(weakTexture.expired());
}
