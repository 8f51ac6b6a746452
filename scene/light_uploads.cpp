#include "scene/light_uploads.h"

#include <string>

#include "app/camera.h"
#include "render/shader.h"

namespace {

// The uniform names of one slot of "pointLights[]", built once so a frame allocates nothing.
struct IndexedLightNames {
  std::string color;
  std::string position;
  std::string attenuation;
};

const std::array<IndexedLightNames, kActiveLightCount>& indexedLightNames() {
  static const std::array<IndexedLightNames, kActiveLightCount> names = [] {
    std::array<IndexedLightNames, kActiveLightCount> built;
    for (int i = 0; i < kActiveLightCount; ++i) {
      const std::string prefix = "pointLights[" + std::to_string(i) + "].";
      built[i] = {prefix + "color", prefix + "position", prefix + "attenuation"};
    }
    return built;
  }();
  return names;
}

const std::string kViewProjMatrix = "viewProjMatrix";
const std::string kCameraWorld = "camera_world";
const std::string kSunColor = "dirL.color";
const std::string kSunDirection = "dirL.direction";

void beginUpload(Shader& program, const Camera& camera) {
  glUseProgram(program.handle);
  program.setUniform(kViewProjMatrix, camera.projection * camera.view);
  program.setUniform(kCameraWorld, camera.position);
}

void setSun(Shader& program, const DirectionalLight& sun) {
  program.setUniform(kSunColor, sun.color);
  program.setUniform(kSunDirection, sun.direction);
}

void setIndexedLights(Shader& program, const PointLight* lights, int count) {
  const auto& names = indexedLightNames();
  for (int i = 0; i < count; ++i) {
    program.setUniform(names[i].color, lights[i].color);
    program.setUniform(names[i].position, lights[i].position);
    program.setUniform(names[i].attenuation, lights[i].attenuation);
  }
}

}  // namespace

DirectionalLight makeSun() { return DirectionalLight(glm::vec3(0.8f), glm::vec3(0.0f, -1.0f, -1.0f)); }

std::array<PointLight, kGroundLightCount> makeGroundLights() {
  const glm::vec3 orange(5.0f, 3.0f, 0.0f);    // above 1 on purpose: a bright glow near the start
  const glm::vec3 reach(1.0f, 0.07f, 0.017f);  // constant, linear, quadratic: about 65 units
  return {PointLight(orange, {15.0f, 120.0f, 10.0f}, reach), PointLight(orange, {-15.0f, 120.0f, 10.0f}, reach),
          PointLight(orange, {15.0f, 100.0f, 50.0f}, reach), PointLight(orange, {-15.0f, 100.0f, 50.0f}, reach),
          PointLight(orange, {-15.0f, 100.0f, 50.0f}, reach)};
}

void uploadSingleLight(Shader& program, const Camera& camera, const DirectionalLight& sun, const PointLight& light) {
  static const std::string color = "pointL.color";
  static const std::string position = "pointL.position";
  static const std::string attenuation = "pointL.attenuation";
  beginUpload(program, camera);
  setSun(program, sun);
  program.setUniform(color, light.color);
  program.setUniform(position, light.position);
  program.setUniform(attenuation, light.attenuation);
  glUseProgram(0);
}

void uploadGroundLights(Shader& program, const Camera& camera, const DirectionalLight& sun,
                        const std::array<PointLight, kGroundLightCount>& lights, const glm::vec2& dimension) {
  static const std::string dimensionName = "dimension";
  beginUpload(program, camera);
  program.setUniform(dimensionName, dimension);
  setSun(program, sun);
  setIndexedLights(program, lights.data(), 4);  // the fifth record is not part of the ground's set
  glUseProgram(0);
}

void uploadMaterialLights(Shader& program, const Camera& camera, const DirectionalLight& sun,
                          const std::array<PointLight, kActiveLightCount>& lights) {
  beginUpload(program, camera);
  setSun(program, sun);
  setIndexedLights(program, lights.data(), kActiveLightCount);
  glUseProgram(0);
}

void uploadWaterLights(Shader& program, const Camera& camera, const DirectionalLight& sun,
                       const std::array<PointLight, kWaterLightCount>& lights, float time) {
  static const std::string timeName = "dt";
  beginUpload(program, camera);
  program.setUniform(timeName, time);
  setSun(program, sun);
  setIndexedLights(program, lights.data(), kWaterLightCount);
  glUseProgram(0);
}
