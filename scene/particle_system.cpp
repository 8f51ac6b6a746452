#include "scene/particle_system.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <glm/gtc/matrix_transform.hpp>
#include <limits>
#include <string>

#include "app/camera.h"
#include "render/random.h"
#include "render/shader.h"
#include "render/texture.h"
#include "render/view_culling.h"

namespace {

constexpr float kSpiralTurns = 12960.0f;  // radians of spiral angle per unit of phase
// A stall of minutes would ask for millions of spawns; past one minute's worth every slot has
// been refilled many times over and the ageing below kills them all anyway.
constexpr double kMaxSpawnsPerUpdate = 60.0 * ParticleSystem::kSpawnRate;

// One particle's values across the parallel arrays, for moving it during the reorder.
struct ParticleValues {
  glm::mat4 modelMatrix;
  glm::vec3 velocity;
  float life;
  float sizeFactor;
  glm::vec4 color;
  glm::vec3 offset;
};

}  // namespace

ParticleSystem::ParticleSystem(std::shared_ptr<Texture> sprite, const glm::vec3& emitterPosition)
    : sprite(std::move(sprite)), emitterPosition(emitterPosition) {
  quadPositions = {glm::vec3(-0.5f, -0.5f, 0.0f), glm::vec3(0.5f, -0.5f, 0.0f), glm::vec3(0.5f, 0.5f, 0.0f),
                   glm::vec3(-0.5f, 0.5f, 0.0f)};
  quadTexCoords = {glm::vec2(0.0f, 0.0f), glm::vec2(1.0f, 0.0f), glm::vec2(1.0f, 1.0f), glm::vec2(0.0f, 1.0f)};
  quadIndices = {0, 1, 2, 2, 3, 0};
  modelMatrices.fill(glm::mat4(1.0f));
  velocities.fill(glm::vec3(0.0f));
  lives.fill(0.0f);
  sizeFactors.fill(1.0f);
  colors.fill(glm::vec4(1.0f));
  offsets.fill(glm::vec3(0.0f));

  glGenVertexArrays(1, &vertexArray);
  glBindVertexArray(vertexArray);

  glGenBuffers(1, &indexBuffer);
  glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, indexBuffer);
  glBufferData(GL_ELEMENT_ARRAY_BUFFER, sizeof(quadIndices), quadIndices.data(), GL_STATIC_DRAW);

  glGenBuffers(1, &positionBuffer);
  glBindBuffer(GL_ARRAY_BUFFER, positionBuffer);
  glBufferData(GL_ARRAY_BUFFER, sizeof(quadPositions), quadPositions.data(), GL_STATIC_DRAW);
  glEnableVertexAttribArray(0);
  glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, sizeof(glm::vec3), nullptr);

  glGenBuffers(1, &texCoordBuffer);
  glBindBuffer(GL_ARRAY_BUFFER, texCoordBuffer);
  glBufferData(GL_ARRAY_BUFFER, sizeof(quadTexCoords), quadTexCoords.data(), GL_STATIC_DRAW);
  glEnableVertexAttribArray(1);
  glVertexAttribPointer(1, 2, GL_FLOAT, GL_FALSE, sizeof(glm::vec2), nullptr);

  // Per instance: the colour, then the four columns of the particle's matrix.
  glGenBuffers(1, &colorBuffer);
  glBindBuffer(GL_ARRAY_BUFFER, colorBuffer);
  glBufferData(GL_ARRAY_BUFFER, sizeof(colors), colors.data(), GL_STREAM_DRAW);
  glEnableVertexAttribArray(2);
  glVertexAttribPointer(2, 4, GL_FLOAT, GL_FALSE, sizeof(glm::vec4), nullptr);
  glVertexAttribDivisor(2, 1);

  glGenBuffers(1, &matrixBuffer);
  glBindBuffer(GL_ARRAY_BUFFER, matrixBuffer);
  glBufferData(GL_ARRAY_BUFFER, sizeof(modelMatrices), modelMatrices.data(), GL_STREAM_DRAW);
  for (GLuint column = 0; column < 4; ++column) {
    glEnableVertexAttribArray(3 + column);
    glVertexAttribPointer(3 + column, 4, GL_FLOAT, GL_FALSE, sizeof(glm::mat4),
                          reinterpret_cast<const void*>(column * sizeof(glm::vec4)));
    glVertexAttribDivisor(3 + column, 1);
  }

  glBindVertexArray(0);
  glBindBuffer(GL_ARRAY_BUFFER, 0);
  glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
}

ParticleSystem::~ParticleSystem() {
  const GLuint buffers[5] = {indexBuffer, positionBuffer, colorBuffer, texCoordBuffer, matrixBuffer};
  glDeleteBuffers(5, buffers);  // zero names are ignored
  glDeleteVertexArrays(1, &vertexArray);
  indexBuffer = positionBuffer = colorBuffer = texCoordBuffer = matrixBuffer = vertexArray = 0;
}

unsigned int ParticleSystem::findFreeParticle() {
  for (unsigned int i = lastUsedIndex; i < kCapacity; ++i) {
    if (lives[i] <= 0.0f) return i;
  }
  for (unsigned int i = 0; i < lastUsedIndex && i < kCapacity; ++i) {
    if (lives[i] <= 0.0f) return i;
  }
  return 0;  // all busy: the oldest slot by convention is overwritten
}

void ParticleSystem::spawnParticle(float dt, float spread) {
  const unsigned int index = findFreeParticle();
  lastUsedIndex = index;

  spiralPhase += dt;
  if (spiralPhase > 1.0f) spiralPhase = 0.0f;
  const float radius = spiralPhase * spread;       // world units
  const float angle = spiralPhase * kSpiralTurns;  // radians
  offsets[index] = glm::vec3(radius * std::sin(angle), 0.0f, radius * std::cos(angle));
  modelMatrices[index] = glm::translate(glm::mat4(1.0f), offsets[index]);

  // -5.0 .. 4.9: rise 1 .. 10.9 units per second, drift -1 .. 0.98 along x.
  const float v = static_cast<float>(nextRandom() % 100 - 50) / 10.0f;
  nextRandom();  // a second draw that the flames do not use; kept so the shared sequence stays in step
  velocities[index] = glm::vec3(v / 5.0f, v + 6.0f, 0.0f);

  lives[index] = 1.0f;
  sizeFactors[index] = 1.0f;
  colors[index] = glm::vec4(1.0f, 1.0f, 0.0f, 1.0f);
}

void ParticleSystem::ageParticles(float dt) {
  liveCount = 0;
  for (int i = 0; i < kCapacity; ++i) {
    if (lives[i] <= 0.0f) continue;
    lives[i] -= dt;
    if (lives[i] <= 0.0f) continue;
    const glm::vec3 step = velocities[i] * dt;
    modelMatrices[i] = glm::translate(modelMatrices[i], step);
    offsets[i] += step;
    // Yellow to red and transparent over the one-second life.
    colors[i].g -= dt;
    colors[i].a -= dt;
    ++liveCount;
  }
}

void ParticleSystem::reorder(const glm::vec3& position) {
  // Live particles first by decreasing distance of their offset from the position, free ones
  // (key -1) last. Ties keep their order, which the index tie-break of the comparison makes
  // explicit, so the result is that of a stable sort without any allocation.
  std::array<float, kCapacity> keys;
  std::array<int, kCapacity> order;
  for (int i = 0; i < kCapacity; ++i) {
    keys[i] = lives[i] > 0.0f ? glm::distance(position, offsets[i]) : -1.0f;
    // A NaN key (the emitter at a NaN position) compares neither way with any other, which breaks
    // the sort's ordering: it counts as the farthest, so the live flames still come first.
    if (std::isnan(keys[i])) keys[i] = std::numeric_limits<float>::infinity();
    order[i] = i;
  }
  std::sort(order.begin(), order.end(), [&keys](int a, int b) {
    if (keys[a] != keys[b]) return keys[a] > keys[b];
    return a < b;
  });

  // Apply the permutation in place, one cycle at a time: slot i receives particle order[i].
  auto take = [this](int i) {
    return ParticleValues{modelMatrices[i], velocities[i], lives[i], sizeFactors[i], colors[i], offsets[i]};
  };
  auto put = [this](int i, const ParticleValues& p) {
    modelMatrices[i] = p.modelMatrix;
    velocities[i] = p.velocity;
    lives[i] = p.life;
    sizeFactors[i] = p.sizeFactor;
    colors[i] = p.color;
    offsets[i] = p.offset;
  };
  std::array<bool, kCapacity> placed{};
  for (int start = 0; start < kCapacity; ++start) {
    if (placed[start] || order[start] == start) continue;
    const ParticleValues first = take(start);
    int slot = start;
    while (order[slot] != start) {
      put(slot, take(order[slot]));
      placed[slot] = true;
      slot = order[slot];
    }
    put(slot, first);
    placed[slot] = true;
  }
}

void ParticleSystem::uploadInstances() {
  // Orphan each buffer, then write the live particles at its front.
  glBindBuffer(GL_ARRAY_BUFFER, colorBuffer);
  glBufferData(GL_ARRAY_BUFFER, sizeof(colors), nullptr, GL_STREAM_DRAW);
  glBufferSubData(GL_ARRAY_BUFFER, 0, liveCount * sizeof(glm::vec4), colors.data());
  glBindBuffer(GL_ARRAY_BUFFER, matrixBuffer);
  glBufferData(GL_ARRAY_BUFFER, sizeof(modelMatrices), nullptr, GL_STREAM_DRAW);
  glBufferSubData(GL_ARRAY_BUFFER, 0, liveCount * sizeof(glm::mat4), modelMatrices.data());
  glBindBuffer(GL_ARRAY_BUFFER, 0);
}

void ParticleSystem::update(const glm::vec3& position, float dt, float spread) {
  // A NaN frame would leave NaN lives that never run out; an infinite one would spawn a minute's
  // worth only to kill it. Either counts as a frame of no length.
  if (!std::isfinite(dt)) dt = 0.0f;
  if (liveCount == kCapacity || stopped) {
    stopped = true;
  } else {
    const double wanted = std::trunc(static_cast<double>(dt) * kSpawnRate);
    // NaN and negative frame times spawn nothing.
    const int spawns = wanted > 0.0 ? static_cast<int>(std::min(wanted, kMaxSpawnsPerUpdate)) : 0;
    for (int i = 0; i < spawns; ++i) spawnParticle(dt, spread);
    ageParticles(dt);
  }
  reorder(position);
  uploadInstances();
}

BoundingSphere ParticleSystem::bounds() const {
  // The sprites face the camera, so each reaches at most half its diagonal from its centre.
  float reach = -1.0f;
  for (int i = 0; i < kCapacity; ++i) {
    if (lives[i] > 0.0f) reach = std::max(reach, glm::length(offsets[i]));
  }
  if (reach < 0.0f) return BoundingSphere{};  // nothing alive: nothing to bound
  BoundingSphere sphere;
  sphere.radius = reach + kSpriteSize * 0.70710678f;
  return sphere;
}

void ParticleSystem::draw(Shader& program) {
  // Additive: overlapping flames add up towards white, and their order does not matter, so they
  // neither write depth nor hide each other behind their transparent corners.
  glBlendFunc(GL_SRC_ALPHA, GL_ONE);
  glDepthMask(GL_FALSE);
  glUseProgram(program.handle);
  glActiveTexture(GL_TEXTURE0);
  glBindTexture(GL_TEXTURE_2D, sprite ? sprite->handle : 0);
  glBindVertexArray(vertexArray);
  glDrawElementsInstanced(GL_TRIANGLES, static_cast<GLsizei>(quadIndices.size()), GL_UNSIGNED_INT, nullptr,
                          static_cast<GLsizei>(liveCount));
  glBindVertexArray(0);
  glBindTexture(GL_TEXTURE_2D, 0);
  glDepthMask(GL_TRUE);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
}

void updateAndDrawParticles(const std::array<std::shared_ptr<ParticleSystem>, 5>& systems, Shader& particleProgram,
                            const Camera& camera, const std::array<PointLight, 5>& activeLights,
                            const ParticleFrame& frame) {
  if (!frame.enabled) return;
  if (!frame.paused) {
    if (frame.playerParticles) systems[0]->update(activeLights[0].position, frame.dt, 0.5f);
    for (int k = 1; k < 5; ++k) systems[k]->update(activeLights[k].position, frame.dt, 1.0f);
  }

  static const std::string viewProjectionName = "viewProjectionMatrix";
  static const std::string cameraRightName = "cameraRight";
  static const std::string cameraUpName = "cameraUp";
  static const std::string modelMatrixName = "modelMatrix";
  const glm::mat4& view = camera.view;
  glUseProgram(particleProgram.handle);
  particleProgram.setUniform(viewProjectionName, camera.projection * camera.view);
  // The first two rows of the view rotation are the camera's right and up axes in world space.
  particleProgram.setUniform(cameraRightName, glm::vec3(view[0][0], view[1][0], view[2][0]));
  particleProgram.setUniform(cameraUpName, glm::vec3(view[0][1], view[1][1], view[2][1]));

  // Each emitter's 500 sprites cost the software rasteriser its triangle set-up even where none
  // of them reaches a pixel; an emitter wholly outside the view adds nothing to the picture.
  viewCulling.beginVolume(Frustum::fromMatrix(camera.projection * camera.view));
  for (int k = frame.playerParticles ? 0 : 1; k < 5; ++k) {
    const glm::mat4 emitter = glm::translate(glm::mat4(1.0f), activeLights[k].position);
    if (!viewCulling.visible(systems[k]->bounds(), emitter)) {
      ++viewCulling.skippedObjects;
      continue;
    }
    particleProgram.setUniform(modelMatrixName, emitter);
    systems[k]->draw(particleProgram);
  }
  viewCulling.endVolume();
}
