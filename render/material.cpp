#include "render/material.h"

#include <GL/glew.h>

#include "render/shader.h"
#include "render/texture.h"

Material::Material(std::shared_ptr<Shader> shader, glm::vec3 materialCoefficients, float specularAlpha)
    : shader(std::move(shader)), materialCoefficients(materialCoefficients), specularAlpha(specularAlpha) {}

Material::~Material() = default;

void Material::setUniforms() {
  if (!shader) return;
  shader->setUniform("materialCoefficients", materialCoefficients);
  shader->setUniform("specularAlpha", specularAlpha);
}

TextureMaterial::TextureMaterial(std::shared_ptr<Shader> shader, glm::vec3 materialCoefficients, float specularAlpha,
                                 std::shared_ptr<Texture> diffuseTexture)
    : Material(std::move(shader), materialCoefficients, specularAlpha), diffuseTexture(std::move(diffuseTexture)) {}

// The texture goes before the base releases the program.
TextureMaterial::~TextureMaterial() { diffuseTexture.reset(); }

void TextureMaterial::setUniforms() {
  Material::setUniforms();
  // An unusable texture is not bound, and the active unit is left as it was.
  if (diffuseTexture && diffuseTexture->valid) {
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, diffuseTexture->handle);
  }
  if (shader) shader->setUniform("diffuseTexture", 0);
}
