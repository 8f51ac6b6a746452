#pragma once
#include <GL/glew.h>

#include <array>
#include <glm/glm.hpp>
#include <memory>

#include "render/frustum.h"
#include "scene/light.h"

class Camera;
class Shader;
class Texture;

// One flame emitter: up to 500 sprites spawned on a spiral around the emitter, rising and fading
// from yellow to transparent red over one second, drawn instanced with additive blending. All
// storage is inside the object (about 56 KB); nothing is allocated after construction.
class ParticleSystem {
 public:
  static constexpr int kCapacity = 500;
  static constexpr float kSpawnRate = 500.0f;  // particles per second of frame time

  ParticleSystem(std::shared_ptr<Texture> sprite, const glm::vec3& emitterPosition);
  ~ParticleSystem();
  ParticleSystem(const ParticleSystem&) = delete;
  ParticleSystem& operator=(const ParticleSystem&) = delete;

  // position: the emitter's world position now; dt: seconds; spread: radius factor of the spawn
  // spiral (0.5 at the player, 1.0 on a torch). Spawns, ages, reorders and uploads.
  void update(const glm::vec3& position, float dt, float spread);
  // Draws the live particles with the program; "modelMatrix" and the camera uniforms are the
  // caller's. Blending is additive for this draw only.
  void draw(Shader& program);
  // Where the live sprites can reach, around the emitter (its own space); no radius when none is
  // alive.
  BoundingSphere bounds() const;
  static constexpr float kSpriteSize = 0.9f;  // world units across, as the flame stage draws them

  // Fixed quad, corners -0.5..0.5 in the sprite's plane.
  std::array<glm::vec3, 4> quadPositions{};
  std::array<glm::vec2, 4> quadTexCoords{};
  std::array<GLuint, 6> quadIndices{};

  GLuint vertexArray = 0;
  GLuint indexBuffer = 0;
  GLuint positionBuffer = 0;
  GLuint colorBuffer = 0;
  GLuint texCoordBuffer = 0;
  GLuint matrixBuffer = 0;

  float spiralPhase = 0.0f;  // 0..1, advanced by dt per spawn

  // Per particle, all moved together by the reorder.
  std::array<glm::mat4, kCapacity> modelMatrices;
  std::array<glm::vec3, kCapacity> velocities;  // world units per second
  std::array<float, kCapacity> lives;           // seconds left; 0 or less is free
  std::array<float, kCapacity> sizeFactors;
  std::array<glm::vec4, kCapacity> colors;
  std::array<glm::vec3, kCapacity> offsets;  // relative to the emitter, world units

  unsigned int liveCount = 0;
  unsigned int lastUsedIndex = 0;
  std::shared_ptr<Texture> sprite;
  glm::vec3 emitterPosition{0.0f};
  bool stopped = false;  // set once an update finds every slot alive; then nothing changes again

 private:
  unsigned int findFreeParticle();
  void spawnParticle(float dt, float spread);
  void ageParticles(float dt);
  void reorder(const glm::vec3& position);
  void uploadInstances();
  void swapParticles(int a, int b);
};

// The frame loop's particle step for the five emitters (0 at the player's light, 1 to 4 on the
// torches of active light slots 1 to 4). Nothing at all happens when particles are switched
// off; while paused the emitters are drawn but not updated; emitter 0 only runs and draws while
// playerParticles is set.
struct ParticleFrame {
  float dt = 0.0f;  // seconds
  bool enabled = true;
  bool paused = false;
  bool playerParticles = false;
};
void updateAndDrawParticles(const std::array<std::shared_ptr<ParticleSystem>, 5>& systems, Shader& particleProgram,
                            const Camera& camera, const std::array<PointLight, 5>& activeLights,
                            const ParticleFrame& frame);
