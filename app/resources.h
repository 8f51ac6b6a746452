#pragma once
#include <memory>
#include <vector>

#include "app/settings.h"
#include "render/noise_texture.h"

class Shader;
class MyShader;
class Texture;
class TextureMaterial;
class Geometry;
class Model;

// Every shader program, texture, material, mesh and model start-up makes, held by shared handles
// and released in the reverse order of their creation.
struct GameResources {
  // Programs, in the order they are built.
  std::shared_ptr<Shader> textureProgram, materialProgram, groundProgram, waterProgram, water2Program, lightProgram,
      skyboxProgram, modelProgram;
  std::shared_ptr<MyShader> depthProgram, cubeDepthProgram;
  std::shared_ptr<Shader> particleProgram, textureSimpleProgram, quadProgram;

  // Textures from files.
  std::shared_ptr<Texture> woodTexture, tilesDiffuse, woodSpecular, tilesSpecular, sandDiffuse, simpleCharacter,
      skullDiffuse, skullSpecular, particleSprite, texSpec1, texSpec2, texSpec3, texSpec4, tex2Spec, tex2Spec2;

  // The nine noise generators and their textures (noise 1 to 9).
  std::vector<std::unique_ptr<NoiseTexture>> noise;
  std::vector<std::shared_ptr<Texture>> noiseTextures;

  std::shared_ptr<TextureMaterial> playerMaterial, waterMaterial, water2Material, ground1Material, ground2Material,
      woodMaterial, tilesMaterial, noiseMaterial, lightMaterial, diamondMaterial, skullMaterial;

  std::shared_ptr<Geometry> playerMesh;
  std::shared_ptr<Model> skullModel, diamondModel;

  // Start-up steps: programs and their sampler units, textures, noise textures, materials, the
  // player's mesh and the models. Needs a current context and an initialised framework.
  void load(const Settings& settings);
  // Drops every handle, newest first; the context must still be current.
  void release();

  ~GameResources();
};
