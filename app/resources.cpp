#include "app/resources.h"

#include <glm/gtc/matrix_transform.hpp>

#include "render/geometry.h"
#include "render/material.h"
#include "render/model.h"
#include "render/noise_texture.h"
#include "render/shader.h"
#include "render/texture.h"

namespace {

// Makes the program current and points each sampler at its unit; a sampler the program does not
// use has location -1 and is skipped.
void setSamplerUnits(Shader& program, std::initializer_list<std::pair<const char*, int>> units) {
  glUseProgram(program.handle);
  for (const auto& unit : units) program.setUniform(unit.first, unit.second);
}

}  // namespace

GameResources::~GameResources() = default;

void GameResources::load(const Settings& settings) {
  // Programs.
  textureProgram = std::make_shared<Shader>("texture.vert", "texture.frag");
  // Without a map's pass its lookups are compiled out; with every map the file is taken as it is.
  std::string shadowDefines;
  if (!settings.sunShadow()) shadowDefines += "#define SUN_SHADOW 0\n";
  if (!settings.torchShadows()) shadowDefines += "#define TORCH_SHADOWS 0\n";
  materialProgram =
      std::make_shared<Shader>("materialShader.vert", "materialShader.frag", Shader::Defines{shadowDefines});
  groundProgram = std::make_shared<Shader>("groundShader.vert", "groundShader.frag");
  waterProgram = std::make_shared<Shader>("waterShader.vert", "waterShader.frag");
  water2Program = std::make_shared<Shader>("waterShader2.vert", "waterShader2.frag");
  lightProgram = std::make_shared<Shader>("lightShader.vert", "lightShader.frag");
  skyboxProgram = std::make_shared<Shader>("skyboxShader.vert", "skyboxShader.frag");
  modelProgram = std::make_shared<Shader>("modelShader.vert", "modelShader.frag");
  depthProgram = std::make_shared<MyShader>("depthShader.vert", "depthShader.frag");
  cubeDepthProgram = std::make_shared<MyShader>("cubeDepthShader.vert", "cubeDepthShader.frag", "cubeDepthShader.geom");
  particleProgram = std::make_shared<Shader>("particleShader.vert", "particleShader.frag");

  setSamplerUnits(*materialProgram, {{"diffuseTexture", 0},
                                     {"specularTexture", 1},
                                     {"depthMap", 2},
                                     {"cubeDepthMap1", 3},
                                     {"cubeDepthMap2", 4},
                                     {"cubeDepthMap3", 5},
                                     {"cubeDepthMap4", 6}});
  setSamplerUnits(*particleProgram, {{"sprite", 0}});

  textureSimpleProgram = std::make_shared<Shader>("textureSimple.vert", "textureSimple.frag");
  quadProgram = std::make_shared<Shader>("quadShader.vert", "quadShader.frag");
  setSamplerUnits(*quadProgram, {{"depthMap", 0}});
  glUseProgram(0);

  // Textures.
  woodTexture = std::make_shared<Texture>("wood_texture.dds");
  tilesDiffuse = std::make_shared<Texture>("tiles_diffuse.dds");
  woodSpecular = std::make_shared<Texture>("wood_texture_specular.dds");
  tilesSpecular = std::make_shared<Texture>("tiles_specular.dds");
  sandDiffuse = std::make_shared<Texture>("sand_diffuse.dds");
  simpleCharacter = std::make_shared<Texture>("simpleCharacter.dds");
  skullDiffuse = std::make_shared<Texture>("Skull.jpg", "assets/objects/Skull");
  skullSpecular = std::make_shared<Texture>("SkullSpecular.png", "assets/objects/Skull");
  particleSprite = std::make_shared<Texture>("particle.png", "assets/textures");
  const char* const myTextures = "assets/textures/meine_texturen";
  texSpec1 = std::make_shared<Texture>("texSpec1.jpg", myTextures);
  texSpec2 = std::make_shared<Texture>("texSpec2.jpg", myTextures);
  texSpec3 = std::make_shared<Texture>("texSpec3.jpg", myTextures);
  texSpec4 = std::make_shared<Texture>("texSpec4.jpg", myTextures);
  tex2Spec = std::make_shared<Texture>("tex2Spec.jpg", myTextures);
  tex2Spec2 = std::make_shared<Texture>("tex2Spec2.jpg", myTextures);

  // Noise textures, in this order: each draws 256 numbers from the shared generator, so the order
  // decides every texture and the diamond colours after them.
  const RgbBytes white{{255, 255, 255}}, yellow{{235, 221, 61}};
  const NoiseLayer layerA(2, 1.5, 2), layerB(3, 2.5, 6);
  noise.push_back(std::make_unique<NoiseTexture>());
  noise.push_back(std::make_unique<NoiseTexture>(RgbBytes{{1, 1, 1}}));
  noise.push_back(std::make_unique<NoiseTexture>(RgbBytes{{50, 46, 14}}, yellow, white, layerA, layerB));
  noise.push_back(std::make_unique<NoiseTexture>(RgbBytes{{0, 0, 255}}, white, NoiseLayer(1, 1.5, 1)));
  noise.push_back(std::make_unique<NoiseTexture>(RgbBytes{{198, 226, 255}}, yellow, RgbBytes{{205, 205, 205}}, layerA,
                                                 layerB));
  noise.push_back(std::make_unique<NoiseTexture>(RgbBytes{{70, 46, 14}}, yellow, RgbBytes{{100, 100, 100}}, layerA,
                                                 layerB));
  noise.push_back(std::make_unique<NoiseTexture>(RgbBytes{{250, 0, 0}}));
  noise.push_back(std::make_unique<NoiseTexture>(RgbBytes{{0, 250, 0}}));
  noise.push_back(std::make_unique<NoiseTexture>(RgbBytes{{0, 0, 250}}));
  for (const auto& generator : noise) noiseTextures.push_back(std::make_shared<Texture>(generator->pixels.data()));

  // Materials; brightness scales only the ambient coefficient.
  const float b = settings.brightness;
  auto material = [](const std::shared_ptr<Shader>& program, glm::vec3 coefficients, float alpha,
                     const std::shared_ptr<Texture>& texture) {
    return std::make_shared<TextureMaterial>(program, coefficients, alpha, texture);
  };
  playerMaterial = material(materialProgram, {0.1f * b, 0.7f, 0.1f}, 2, simpleCharacter);
  waterMaterial = material(waterProgram, {0.1f * b, 0.7f, 0.1f}, 2, noiseTextures[3]);
  water2Material = material(water2Program, {0.1f * b, 0.7f, 0.1f}, 2, noiseTextures[3]);
  ground1Material = material(groundProgram, {0.1f * b, 0.7f, 0.1f}, 2, noiseTextures[3]);
  ground2Material = material(groundProgram, {0.001f * b, 0.0f, 0.0f}, 1, noiseTextures[5]);
  woodMaterial = material(materialProgram, {0.1f * b, 0.7f, 0.1f}, 2, woodTexture);
  tilesMaterial = material(materialProgram, {0.1f * b, 0.7f, 0.3f}, 8, tilesDiffuse);
  noiseMaterial = material(materialProgram, {0.1f * b, 0.7f, 0.1f}, 10, noiseTextures[2]);
  lightMaterial = material(lightProgram, {0.1f * b, 0.7f, 0.1f}, 2, noiseTextures[2]);
  diamondMaterial = material(materialProgram, {0.02f * b, 0.07f, 0.65f}, 0.6f, noiseTextures[6]);
  skullMaterial = material(materialProgram, {0.2f * b, 0.75f, 0.65f}, 0.4f, skullDiffuse);

  // The player's cylinder; the frame loop moves it to the player every frame.
  GeometryData cylinder = createCylinderGeometry(32, 3.0f, 1.0f);
  playerMesh = std::make_shared<Geometry>(glm::mat4(1.0f), cylinder, playerMaterial);

  const glm::mat4 upright = glm::rotate(glm::mat4(1.0f), -glm::half_pi<float>(), glm::vec3(1, 0, 0));
  skullModel = std::make_shared<Model>(
      "assets/objects/Skull/SkullV.obj",
      glm::translate(glm::mat4(1.0f), glm::vec3(0, 111.5f, 10)) * upright * glm::scale(glm::mat4(1.0f), glm::vec3(0.1f)),
      materialProgram);
  diamondModel = std::make_shared<Model>(
      "assets/objects/Diamond/diamond.obj",
      glm::translate(glm::mat4(1.0f), glm::vec3(0, 111.5f, 15)) * upright * glm::scale(glm::mat4(1.0f), glm::vec3(0.2f)),
      materialProgram);
}

void GameResources::release() {
  diamondModel.reset();
  skullModel.reset();
  playerMesh.reset();
  for (auto* m : {&skullMaterial, &diamondMaterial, &lightMaterial, &noiseMaterial, &tilesMaterial, &woodMaterial,
                  &ground2Material, &ground1Material, &water2Material, &waterMaterial, &playerMaterial})
    m->reset();
  while (!noiseTextures.empty()) noiseTextures.pop_back();
  for (auto* t : {&tex2Spec2, &tex2Spec, &texSpec4, &texSpec3, &texSpec2, &texSpec1, &particleSprite, &skullSpecular,
                  &skullDiffuse, &simpleCharacter, &sandDiffuse, &tilesSpecular, &woodSpecular, &tilesDiffuse,
                  &woodTexture})
    t->reset();
  for (auto* p : {&quadProgram, &textureSimpleProgram, &particleProgram}) p->reset();
  cubeDepthProgram.reset();
  depthProgram.reset();
  for (auto* p : {&modelProgram, &skyboxProgram, &lightProgram, &water2Program, &waterProgram, &groundProgram,
                  &materialProgram, &textureProgram})
    p->reset();
  while (!noise.empty()) noise.pop_back();
}
