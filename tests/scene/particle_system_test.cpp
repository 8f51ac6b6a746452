#include "scene/particle_system.h"

#include "render/random.h"
#include "render/texture.h"
#include "scene/scene_test_helpers.h"

namespace {

std::shared_ptr<Texture> whiteSprite() {
  static const std::vector<unsigned char> white(kPixelTextureSize * kPixelTextureSize * 3, 255);
  return std::make_shared<Texture>(white.data());
}

// Five emitters at the torches of a frame step, drawn with the real particle program into a small
// target before a camera.
class Particles : public SceneGlTest {
 protected:
  Particles() {
    for (int k = 0; k < 5; ++k) {
      lights[k] = PointLight({3.5f, 2.28f, 1.0f}, {-2.0f + k, 0.0f, 0.0f}, {1, 0.07f, 0.017f});
      systems[k] = std::make_shared<ParticleSystem>(whiteSprite(), lights[k].position);
    }
    camera.view = glm::lookAt(glm::vec3(0, 1, 8), glm::vec3(0, 1, 0), glm::vec3(0, 1, 0));
    camera.projection = glm::perspective(glm::radians(60.0f), 1.0f, 0.1f, 100.0f);
    frame.dt = 1.0f / 60.0f;
  }
  // Red summed over a freshly cleared target after one frame step: flames add onto black.
  int redAfterStep() {
    OffscreenTarget target(32, 32);
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glEnable(GL_BLEND);
    updateAndDrawParticles(systems, program, camera, lights, frame);
    glDisable(GL_BLEND);
    std::vector<unsigned char> pixels(32 * 32 * 4);
    glReadPixels(0, 0, 32, 32, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    int red = 0;
    for (size_t i = 0; i < pixels.size(); i += 4) red += pixels[i];
    return red;
  }
  Shader program{"particleShader.vert", "particleShader.frag"};
  std::array<std::shared_ptr<ParticleSystem>, 5> systems;
  std::array<PointLight, 5> lights;
  Camera camera;
  ParticleFrame frame;
};

}  // namespace

TEST_F(Particles, SpawnsFiveHundredPerSecondOfFrameFadesThemAndAOneSecondFrameKillsThemAll) {
  resetRandomForTests();
  for (int i = 0; i < 16; ++i) nextRandom();
  const std::uint32_t afterSixteenDraws = randomState();
  resetRandomForTests();
  ParticleSystem system(whiteSprite(), glm::vec3(0.0f));
  const glm::vec3 emitter(2.0f, 100.0f, 30.0f);
  system.update(emitter, 0.0019f, 1.0f);
  EXPECT_EQ(system.liveCount, 0u) << "below 1/500 s nothing spawns";
  EXPECT_EQ(randomState(), 1u) << "and nothing is drawn from the shared generator";
  const float dt = 1.0f / 60.0f;
  system.update(emitter, dt, 1.0f);
  ASSERT_EQ(system.liveCount, 8u);
  EXPECT_EQ(randomState(), afterSixteenDraws) << "two draws per spawn";
  for (unsigned int i = 0; i < 8; ++i) {
    EXPECT_NEAR(system.lives[i], 1.0f - dt, 1e-6f);
    EXPECT_EQ(system.colors[i], glm::vec4(1.0f, 1.0f - dt, 0.0f, 1.0f - dt));
    const glm::vec3 v = system.velocities[i];
    EXPECT_TRUE(v.y >= 1.0f && v.y <= 10.9f + 1e-5f) << v.y;
    EXPECT_NEAR(v.x, (v.y - 6.0f) / 5.0f, 1e-5f);
    // Spawned on the spiral within phase x spread of the centre, then moved one step.
    EXPECT_LE(glm::length(glm::vec2(system.offsets[i].x - v.x * dt, system.offsets[i].z)), 8 * dt + 1e-5f);
    EXPECT_NEAR(system.modelMatrices[i][3].y, v.y * dt, 1e-5f);
    if (i > 0) {
      EXPECT_GE(glm::distance(emitter, system.offsets[i - 1]), glm::distance(emitter, system.offsets[i]));
    }
  }
  EXPECT_LE(system.lives[8], 0.0f) << "free particles after the live ones";
  for (int frame = 0; frame < 30; ++frame) system.update(emitter, dt, 1.0f);
  ASSERT_GT(system.liveCount, 200u);
  system.update(emitter, 1.0f, 1.0f);
  EXPECT_EQ(system.liveCount, 0u);
  for (float life : system.lives) ASSERT_LE(life, 0.0f);
  system.update(emitter, dt, 1.0f);
  EXPECT_EQ(system.liveCount, 8u) << "the emitter goes on";
}

TEST_F(Particles, AFullEmitterReusesParticleZeroThenStopsForGood) {
  ParticleSystem system(whiteSprite(), glm::vec3(0.0f));
  for (int i = 0; i < ParticleSystem::kCapacity; ++i) {
    system.lives[i] = 5.0f;
    system.offsets[i] = glm::vec3(100.0f + i, 0.0f, 0.0f);  // far out, so they sort before a newcomer
  }
  system.lastUsedIndex = 250;
  system.liveCount = 499;  // not yet full, so this update still spawns
  system.update(glm::vec3(0.0f), 0.002f, 1.0f);
  EXPECT_EQ(system.lastUsedIndex, 0u);
  EXPECT_EQ(system.liveCount, 500u);
  EXPECT_NEAR(system.lives[499], 0.998f, 1e-6f) << "the newcomer, nearest the emitter";
  EXPECT_FLOAT_EQ(system.offsets[0].x, 599.0f) << "the farthest first";
  for (const glm::vec3& offset : system.offsets) ASSERT_NE(offset.x, 100.0f) << "old particle 0 was replaced";
  const auto lives = system.lives;
  const std::uint32_t randomBefore = randomState();
  system.update(glm::vec3(0.0f), 0.1f, 1.0f);
  EXPECT_TRUE(system.stopped);
  system.liveCount = 10;  // the flag alone keeps it stopped
  system.update(glm::vec3(0.0f), 0.1f, 1.0f);
  EXPECT_EQ(randomState(), randomBefore);
  EXPECT_EQ(system.lives, lives) << "neither spawned nor aged";
}

TEST_F(Particles, TorchesBurnFrozenWhilePausedAndThePlayerEmitterWaitsForItsFlag) {
  for (int i = 0; i < 3; ++i) redAfterStep();
  EXPECT_EQ(systems[0]->liveCount, 0u);
  EXPECT_EQ(systems[3]->liveCount, 24u);
  glEnable(GL_BLEND);
  EXPECT_EQ(integer(GL_BLEND_DST_RGB), GL_ONE_MINUS_SRC_ALPHA) << "blending back to normal after the flames";
  glDisable(GL_BLEND);
  frame.paused = true;
  const auto lives = systems[3]->lives;
  EXPECT_GT(redAfterStep(), 0) << "still drawn";
  EXPECT_EQ(systems[3]->lives, lives) << "not aged";
  frame.paused = false;
  frame.playerParticles = true;
  redAfterStep();
  EXPECT_EQ(systems[0]->liveCount, 8u);
}

TEST_F(Particles, SwitchedOffNothingIsUpdatedDrawnOrUploaded) {
  frame.enabled = false;
  frame.playerParticles = true;
  EXPECT_EQ(redAfterStep(), 0);
  for (int k = 0; k < 5; ++k) EXPECT_EQ(systems[k]->liveCount, 0u);
  glm::vec3 right(-1.0f);
  glGetUniformfv(program.handle, glGetUniformLocation(program.handle, "cameraRight"), &right.x);
  EXPECT_EQ(right, glm::vec3(0.0f)) << "the particle program is left untouched";
}

// Emitters wholly outside the view are left out; one below it whose flames rise into it is not.
TEST_F(Particles, EmittersOutOfViewAreLeftOutWithoutChangingThePicture) {
  lights[1].position = {0.0f, 1.0f, 20.0f};  // behind the camera
  lights[2].position = {30.0f, 1.0f, 0.0f};  // far off to the right
  lights[3].position = {0.0f, -6.0f, 0.0f};  // below the view; its flames climb into it
  for (int i = 0; i < 30; ++i) redAfterStep();
  frame.paused = true;                       // the same sprites for both pictures
  lights[4].position = {0.0f, 50.0f, 0.0f};  // everything but emitter 3 is out of view now
  const long long skippedBefore = viewCulling.skippedObjects;
  const int culled = redAfterStep();
  EXPECT_EQ(viewCulling.skippedObjects - skippedBefore, 3) << "emitters 1, 2 and 4";
  optimisedFrames = false;
  const int everything = redAfterStep();
  EXPECT_GT(everything, 0) << "the risen flames of emitter 3 are in view";
  EXPECT_EQ(culled, everything);
}
