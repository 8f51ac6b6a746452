#pragma once
#include <glm/glm.hpp>
#include <memory>

class Shader;
class Texture;

// The program that draws a surface and its lighting weights, set as uniforms right before a draw.
class Material {
 public:
  Material(std::shared_ptr<Shader> shader, glm::vec3 materialCoefficients, float specularAlpha);
  virtual ~Material();

  // Sets "materialCoefficients" and "specularAlpha"; the material's program must be current.
  virtual void setUniforms();
  std::shared_ptr<Shader> getShader() const { return shader; }

  std::shared_ptr<Shader> shader;
  glm::vec3 materialCoefficients;  // ambient, diffuse, specular weights
  float specularAlpha;             // specular exponent
};

// A material with one diffuse texture, bound on unit 0 when it is valid.
class TextureMaterial : public Material {
 public:
  TextureMaterial(std::shared_ptr<Shader> shader, glm::vec3 materialCoefficients, float specularAlpha,
                  std::shared_ptr<Texture> diffuseTexture);
  ~TextureMaterial() override;

  // The base uniforms, the texture on unit 0 when valid, and "diffuseTexture" = 0 always.
  void setUniforms() override;
  std::shared_ptr<Texture> getDiffuseTexture() const { return diffuseTexture; }

  std::shared_ptr<Texture> diffuseTexture;
};
