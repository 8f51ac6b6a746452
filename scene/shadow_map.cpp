#include "scene/shadow_map.h"

#include <glm/gtc/matrix_transform.hpp>
#include <glm/gtc/type_ptr.hpp>
#include <string>
#include <string_view>

#include "render/optimised_frames.h"
#include "render/shader.h"
#include "render/shadow_survey.h"
#include "render/view_culling.h"
#include "render/window_clears.h"
#include "scene/frame_probe.h"

ShadowMap::~ShadowMap() { release(); }

void ShadowMap::release() {
  underMoving.release();
  keepsStill = false;
  if (compareSampler) glDeleteSamplers(1, &compareSampler);
  if (depthTexture) glDeleteTextures(1, &depthTexture);
  if (framebuffer) glDeleteFramebuffers(1, &framebuffer);
  compareSampler = 0;
  depthTexture = 0;
  framebuffer = 0;
}

void ShadowMap::makeCompareSampler(GLenum wrap) {
  glGenSamplers(1, &compareSampler);
  glSamplerParameteri(compareSampler, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  glSamplerParameteri(compareSampler, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  for (GLenum axis : {GL_TEXTURE_WRAP_S, GL_TEXTURE_WRAP_T, GL_TEXTURE_WRAP_R})
    glSamplerParameteri(compareSampler, axis, wrap);
  const GLfloat border[4] = {1.0f, 1.0f, 1.0f, 1.0f};
  glSamplerParameterfv(compareSampler, GL_TEXTURE_BORDER_COLOR, border);
  // 1 where the reference is no farther than the stored depth: lit.
  glSamplerParameteri(compareSampler, GL_TEXTURE_COMPARE_MODE, GL_COMPARE_REF_TO_TEXTURE);
  glSamplerParameteri(compareSampler, GL_TEXTURE_COMPARE_FUNC, GL_LEQUAL);
}

void ShadowMap::setUp2D() {
  textureTarget = GL_TEXTURE_2D;
  glGenFramebuffers(1, &framebuffer);
  glGenTextures(1, &depthTexture);
  glBindTexture(GL_TEXTURE_2D, depthTexture);
  glTexImage2D(GL_TEXTURE_2D, 0, kShadowDepthFormat, width, height, 0, GL_DEPTH_COMPONENT, GL_FLOAT, nullptr);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  // Outside the sun's box the lookup returns depth 1: farther than anything, so never shadowed.
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_BORDER);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_BORDER);
  const GLfloat border[4] = {1.0f, 1.0f, 1.0f, 1.0f};
  glTexParameterfv(GL_TEXTURE_2D, GL_TEXTURE_BORDER_COLOR, border);
  glBindTexture(GL_TEXTURE_2D, 0);

  makeCompareSampler(GL_CLAMP_TO_BORDER);

  glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
  glFramebufferTexture2D(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_TEXTURE_2D, depthTexture, 0);
  glDrawBuffer(GL_NONE);  // depth only: no colour attachment to write or read
  glReadBuffer(GL_NONE);
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
}

void ShadowMap::setUpCube() {
  textureTarget = GL_TEXTURE_CUBE_MAP;
  glGenFramebuffers(1, &framebuffer);
  glGenTextures(1, &depthTexture);
  glBindTexture(GL_TEXTURE_CUBE_MAP, depthTexture);
  for (GLenum face = 0; face < 6; ++face) {
    glTexImage2D(GL_TEXTURE_CUBE_MAP_POSITIVE_X + face, 0, kShadowDepthFormat, width, height, 0, GL_DEPTH_COMPONENT,
                 GL_FLOAT, nullptr);
  }
  glTexParameteri(GL_TEXTURE_CUBE_MAP, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_CUBE_MAP, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_CUBE_MAP, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
  glTexParameteri(GL_TEXTURE_CUBE_MAP, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
  glTexParameteri(GL_TEXTURE_CUBE_MAP, GL_TEXTURE_WRAP_R, GL_CLAMP_TO_EDGE);
  glBindTexture(GL_TEXTURE_CUBE_MAP, 0);
  makeCompareSampler(GL_CLAMP_TO_EDGE);

  glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
  // Layered: the geometry stage picks the face per triangle with gl_Layer.
  glFramebufferTexture(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, depthTexture, 0);
  glDrawBuffer(GL_NONE);
  glReadBuffer(GL_NONE);
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
}

void ShadowMap::computeCubeMatrices(const glm::vec3& position, float nearPlane, float farPlane) {
  const float aspect = static_cast<float>(height) / static_cast<float>(width);
  const glm::mat4 projection = glm::perspective(glm::radians(90.0f), aspect, nearPlane, farPlane);
  // Face directions and up vectors in cube map face order; the ups follow the cube map
  // convention, where t runs downwards on the side faces.
  static const glm::vec3 directions[6] = {{1, 0, 0}, {-1, 0, 0}, {0, 1, 0}, {0, -1, 0}, {0, 0, 1}, {0, 0, -1}};
  static const glm::vec3 ups[6] = {{0, -1, 0}, {0, -1, 0}, {0, 0, 1}, {0, 0, -1}, {0, -1, 0}, {0, -1, 0}};
  shadowMatrices.clear();
  cubeCentre = position;
  cubeHalfExtent = farPlane;
  for (int i = 0; i < 6; ++i) {
    shadowMatrices.push_back(projection * glm::lookAt(position, position + directions[i], ups[i]));
  }
}

void ShadowMap::beginPass(MyShader& depthProgram, const glm::mat4& lightSpaceMatrix, bool clearDepth) {
  glCullFace(GL_FRONT);
  glUseProgram(depthProgram.handle);
  depthProgram.setMat4("lightSpaceMatrix", lightSpaceMatrix);
  glViewport(0, 0, width, height);
  glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
  if (clearDepth) glClear(GL_DEPTH_BUFFER_BIT);
  viewCulling.beginVolume(Frustum::fromMatrix(lightSpaceMatrix));
}

void ShadowMap::beginCubePass(MyShader& cubeDepthProgram, const glm::vec3& lightPosition, float farPlane,
                              bool clearDepth) {
  static const std::string matrixNames[6] = {"shadowMatrices[0]", "shadowMatrices[1]", "shadowMatrices[2]",
                                             "shadowMatrices[3]", "shadowMatrices[4]", "shadowMatrices[5]"};
  glViewport(0, 0, width, height);
  glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
  if (clearDepth) glClear(GL_DEPTH_BUFFER_BIT);
  glUseProgram(cubeDepthProgram.handle);
  for (size_t i = 0; i < shadowMatrices.size() && i < 6; ++i)
    cubeDepthProgram.setMat4(matrixNames[i], shadowMatrices[i]);
  // MyShader only sets matrices; a location of -1 (name not in the program) is ignored by GL.
  glUniform1f(glGetUniformLocation(cubeDepthProgram.handle, "far_plane"), farPlane);
  glUniform3fv(glGetUniformLocation(cubeDepthProgram.handle, "lightPos"), 1, glm::value_ptr(lightPosition));
  glUniform1i(glGetUniformLocation(cubeDepthProgram.handle, "drawAllFaces"), optimisedFrames ? 0 : 1);
  if (seesCube())
    viewCulling.beginVolume(cubeVolume());
  else
    viewCulling.endVolume();  // nothing to skip by
}

Frustum ShadowMap::cubeVolume() const {
  return seesCube() ? Frustum::aroundPoint(cubeCentre, cubeHalfExtent) : Frustum::fromMatrix(glm::mat4(0.0f));
}

namespace {

struct Survey {
  std::uint64_t signature = 0;
  std::vector<std::array<glm::vec3, 8>> boxes;
};

// Runs the casters' draws without drawing: what of them lies inside the volume, and where.
Survey survey(const Frustum& volume, const ShadowCasterTable& casters, ShadowCasterTable::Part part,
              const std::shared_ptr<MyShader>& program) {
  Survey found;
  viewCulling.beginVolume(volume);
  shadowSurvey.begin(viewCulling);
  casters.draw(program, part);
  found.signature = shadowSurvey.end(viewCulling);
  found.boxes = shadowSurvey.boxes();
  viewCulling.endVolume();
  return found;
}

std::uint64_t keyOfBytes(const void* data, size_t size) {
  return std::hash<std::string_view>()(std::string_view(static_cast<const char*>(data), size));
}

std::uint64_t mixed(std::uint64_t hash, std::uint64_t value) {
  return (hash ^ value) * 1099511628211ull + 0x9E3779B97F4A7C15ull;
}

// The GL state that decides which texels the same casters cover: wireframe (F1), face culling
// (F2) and the depth test. A map kept under other values of these is no good.
std::uint64_t rasterStateKey() {
  GLint polygonMode[2] = {GL_FILL, GL_FILL};  // front and back; the core profile sets both at once
  glGetIntegerv(GL_POLYGON_MODE, polygonMode);
  GLint state[7] = {polygonMode[0], polygonMode[1], glIsEnabled(GL_CULL_FACE), 0, 0, glIsEnabled(GL_DEPTH_TEST), 0};
  glGetIntegerv(GL_CULL_FACE_MODE, &state[3]);
  glGetIntegerv(GL_FRONT_FACE, &state[4]);
  glGetIntegerv(GL_DEPTH_FUNC, &state[6]);
  return keyOfBytes(state, sizeof(state));
}

// The window bound again over its whole size and cleared, as after every pass.
void backToWindow(int windowWidth, int windowHeight) {
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
  glViewport(0, 0, windowWidth, windowHeight);
  windowClears.clear();
}

}  // namespace

ShadowMap::Pass ShadowMap::draw(const std::shared_ptr<MyShader>& program, const ShadowCasterTable& casters,
                                const Frustum& volume, std::uint64_t lightKey,
                                const std::vector<glm::mat4>& layerMatrices,
                                const std::function<void(bool clearDepth)>& begin) {
  if (!optimisedFrames) {
    keepsStill = false;
    underMoving.forget();
    begin(true);
    casters.draw(program, ShadowCasterTable::Part::All);
    return lastPass = Pass::Whole;
  }
  const Survey still = survey(volume, casters, ShadowCasterTable::Part::Still, program);
  const Survey moving = survey(volume, casters, ShadowCasterTable::Part::Moving, program);
  const std::uint64_t stillNow = mixed(mixed(still.signature, lightKey), rasterStateKey());
  const bool stillKept = keepsStill && stillSignature == stillNow;
  if (stillKept && movingSignature == moving.signature) return lastPass = Pass::Kept;

  // Depth is the nearest of everything drawn, whatever the order: still casters first, then the
  // moving ones over them, gives the texels of drawing them all at once. After a failed restore the
  // map may hold anything under the blocks: it is drawn whole.
  const bool restored = stillKept && underMoving.restore(depthTexture, textureTarget);
  begin(!restored);
  if (!restored) {
    underMoving.forget();
    casters.draw(program, ShadowCasterTable::Part::Still);
  }
  keepsStill =
      underMoving.save(depthTexture, textureTarget, texelsReachedBy(moving.boxes, layerMatrices, width, height));
  stillSignature = stillNow;
  movingSignature = moving.signature;
  casters.draw(program, ShadowCasterTable::Part::Moving);
  return lastPass = restored ? Pass::AroundMoving : Pass::Whole;
}

void ShadowMap::endPass(int windowWidth, int windowHeight) {
  viewCulling.endVolume();
  backToWindow(windowWidth, windowHeight);
  glCullFace(GL_BACK);
}

glm::mat4 sunLightProjection() { return glm::ortho(-50.0f, 50.0f, -300.0f, 300.0f, 50.0f, 250.0f); }

glm::mat4 sunLightView() {
  return glm::lookAt(kSunShadowEye, kSunShadowEye + glm::vec3(0.0f, -1.0f, -1.0f), glm::vec3(0.0f, 1.0f, 0.0f));
}

glm::mat4 sunLightSpaceMatrix() { return sunLightProjection() * sunLightView(); }

void renderShadowPasses(ShadowMap& sunMap, std::array<ShadowMap, 4>& cubeMaps,
                        const std::shared_ptr<MyShader>& depthProgram,
                        const std::shared_ptr<MyShader>& cubeDepthProgram, const glm::mat4& lightSpaceMatrix,
                        const std::array<glm::vec3, 4>& torchPositions, int windowWidth, int windowHeight,
                        const ShadowCasterTable& casters, ShadowsDrawn drawn) {
  frameProbe.mark(FrameStage::SunShadow);
  if (drawn == ShadowsDrawn::None) {
    ShadowMap::endPass(windowWidth, windowHeight);
    return;
  }
  const std::vector<glm::mat4> sunLayers{lightSpaceMatrix};
  sunMap.draw(depthProgram, casters, Frustum::fromMatrix(lightSpaceMatrix),
              keyOfBytes(&lightSpaceMatrix, sizeof(lightSpaceMatrix)), sunLayers,
              [&](bool clearDepth) { sunMap.beginPass(*depthProgram, lightSpaceMatrix, clearDepth); });
  ShadowMap::endPass(windowWidth, windowHeight);
  if (drawn == ShadowsDrawn::Sun) return;

  // Recomputed each frame so the maps follow the torches as the light window moves on.
  for (size_t k = 0; k < cubeMaps.size(); ++k) {
    cubeMaps[k].computeCubeMatrices(torchPositions[k], kCubeNearPlane, kCubeFarPlane);
  }
  static const FrameStage stages[4] = {FrameStage::CubeShadow1, FrameStage::CubeShadow2, FrameStage::CubeShadow3,
                                       FrameStage::CubeShadow4};
  for (size_t k = 0; k < cubeMaps.size(); ++k) {
    frameProbe.mark(stages[k < 4 ? k : 3]);
    ShadowMap& map = cubeMaps[k];
    const glm::vec3& light = torchPositions[k];
    const float key[4] = {light.x, light.y, light.z, kCubeFarPlane};
    map.draw(cubeDepthProgram, casters, map.cubeVolume(), keyOfBytes(key, sizeof(key)), map.shadowMatrices,
             [&](bool clearDepth) { map.beginCubePass(*cubeDepthProgram, light, kCubeFarPlane, clearDepth); });
    if (k + 1 < cubeMaps.size()) backToWindow(windowWidth, windowHeight);
  }
  ShadowMap::endPass(windowWidth, windowHeight);
}

void bindSceneShadows(Shader& materialProgram, const glm::mat4& lightSpaceMatrix, const ShadowMap& sunMap,
                      const std::array<ShadowMap, 4>& cubeMaps) {
  static const std::string lightSpaceName = "lightSpaceMatrix";
  static const std::string lightPosName = "lightPos";
  static const std::string pointLightPosName = "pointLightPos";
  static const std::string pointLightFarPlaneName = "pointLightFarPlane";
  glUseProgram(materialProgram.handle);
  materialProgram.setUniform(lightSpaceName, lightSpaceMatrix);
  materialProgram.setUniform(lightPosName, kSunShadowEye);
  glActiveTexture(GL_TEXTURE2);
  glBindTexture(GL_TEXTURE_2D, sunMap.depthTexture);
  glBindSampler(2, sunMap.compareSampler);
  materialProgram.setUniform(pointLightPosName, kPointShadowPosition);
  materialProgram.setUniform(pointLightFarPlaneName, kCubeFarPlane);
  for (size_t k = 0; k < cubeMaps.size(); ++k) {
    glActiveTexture(GL_TEXTURE3 + static_cast<GLenum>(k));
    glBindTexture(GL_TEXTURE_CUBE_MAP, cubeMaps[k].depthTexture);
    glBindSampler(3 + static_cast<GLuint>(k), cubeMaps[k].compareSampler);
  }
  // Level drawing binds its textures on the unit that is active; leave it at the diffuse unit.
  glActiveTexture(GL_TEXTURE0);
}

void unbindSceneShadows() {
  for (GLuint unit = 2; unit <= 6; ++unit) glBindSampler(unit, 0);
}
