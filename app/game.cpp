#include "app/game.h"

#include <glm/gtc/matrix_transform.hpp>
#include <iostream>

#include "app/camera.h"
#include "app/diagnostics.h"
#include "app/fatal.h"
#include "app/input.h"
#include "app/process_objects.h"
#include "game/level.h"
#include "physics/physics_world.h"
#include "physics/player_controller.h"
#include "render/framework.h"
#include "render/geometry.h"
#include "render/material.h"
#include "render/optimised_frames.h"
#include "render/text_renderer.h"
#include "render/texture.h"
#include "render/view_culling.h"
#include "render/window_clears.h"
#include "scene/draw_order.h"
#include "scene/frame_probe.h"
#include "scene/light_uploads.h"
#include "scene/particle_system.h"
#include "scene/skybox.h"

Game::Game(PhysicsWorld& w, Level& l) : world(w), level(l), controller(w.playerController) {}

Game::~Game() = default;

int Game::fail(const std::string& message, bool glfwInitialised) {
  if (glfwInitialised) glfwTerminate();
  window = nullptr;  // gone with the window library
  std::cout << "ERROR: " << message << std::endl;
  waitForKeyIfInteractive();
  return 1;
}

int Game::startUp(const std::string& settingsPath) {
  // 1-2. Settings.
  settings = loadSettings(settingsPath);
  if (settings.debug) level.debugMode = true;

  // 3. Window library, hints, window.
  glfwSetErrorCallback(onGlfwError);
  if (!glfwInit()) return fail("Failed to init GLFW", false);
  glfwWindowHint(GLFW_CONTEXT_VERSION_MAJOR, 4);
  glfwWindowHint(GLFW_CONTEXT_VERSION_MINOR, 3);
  glfwWindowHint(GLFW_OPENGL_PROFILE, GLFW_OPENGL_CORE_PROFILE);
  glfwWindowHint(GLFW_OPENGL_DEBUG_CONTEXT, GLFW_TRUE);  // always: the debug output is read in every run
  glfwWindowHint(GLFW_REFRESH_RATE, settings.refreshRate);
  glfwWindowHint(GLFW_RESIZABLE, GLFW_FALSE);
  // Scaled down, the scene's own target holds the samples; the window only receives the blit.
  glfwWindowHint(GLFW_SAMPLES, ScaledTarget::scales(settings.renderScale) ? 0 : settings.samples);
  window = glfwCreateWindow(settings.width, settings.height, settings.title.c_str(),
                            settings.fullscreen ? glfwGetPrimaryMonitor() : nullptr, nullptr);
  if (!window) return fail("Failed to create window", true);

  // 4. Context and loader; experimental mode loads the core-profile entry points.
  glfwMakeContextCurrent(window);
  glewExperimental = GL_TRUE;
  const GLenum glewStatus = glewInit();
  if (glewStatus != GLEW_OK) {
    const char* text = reinterpret_cast<const char*>(glewGetErrorString(glewStatus));
    return fail(std::string("Failed to init GLEW: ") + text, true);
  }
  // The loader's probing of a core context can leave an error flag behind; it is not ours.
  while (glGetError() != GL_NO_ERROR) {
  }

  // 5. Debug output, whenever the driver has the entry point.
  if (glDebugMessageCallback) {
    glDebugMessageCallback(onGlDebugMessage, nullptr);
    glEnable(GL_DEBUG_OUTPUT_SYNCHRONOUS);
  }

  // 6-7. Framework, input.
  if (!initFramework()) return fail("Failed to init framework", true);
  contextReady = true;
  installInputCallbacks(window);

  // 8. GL state.
  glClearColor(1, 1, 1, 1);
  glEnable(GL_DEPTH_TEST);
  glEnable(GL_CULL_FACE);
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);

  // 9-16. Programs, textures, noise textures, materials, the player's mesh, the models.
  resources.load(settings);

  makeScene();

  // What the player reads over the picture, and the best runs of earlier sessions.
  if (settings.hud) text = std::make_unique<TextRenderer>();
  hud.lossesSeen = level.losses;
  if (settings.bestRuns) bestRuns.load();

  // 23. Timer.
  frameTime = static_cast<float>(clock());
  deltaTime = 1.0f / 60.0f;
  return 0;
}

void Game::makeScene() {
  GameResources& r = resources;

  // 17. The course.
  level.world = &world;
  level.build(controller, r.ground2Material, r.tilesMaterial, r.woodMaterial, r.ground1Material, r.waterMaterial,
              r.water2Material, r.waterProgram, r.water2Program, r.lightMaterial, r.noiseMaterial,
              r.noiseTextures[2]->handle, r.noiseTextures[4]->handle, r.noiseTextures[5]->handle, r.texSpec1->handle,
              r.texSpec2->handle, r.texSpec3->handle, r.texSpec4->handle, r.tex2Spec->handle, r.tex2Spec2->handle,
              r.tilesSpecular->handle, r.woodSpecular->handle);

  // 18-19. Skulls and diamonds; the diamond colours draw from the shared generator.
  level.placeCollectibles(r.skullModel, r.skullDiffuse->handle, r.skullSpecular->handle, r.skullMaterial,
                          r.diamondModel, r.diamondMaterial, r.materialProgram, r.noiseTextures[6]->handle,
                          r.noiseTextures[7]->handle, r.noiseTextures[8]->handle);

  // 20-21. Sky and lights.
  sky = std::make_unique<Skybox>();
  sun = makeSun();
  groundLights = makeGroundLights();

  // 22. Camera.
  camera = std::make_unique<Camera>(settings.fov, settings.aspect());
  camera->debug = settings.debug;
  if (settings.debug) glfwSetInputMode(window, GLFW_CURSOR, GLFW_CURSOR_DISABLED);

  // 24-25. Shadow maps: the sun's and one cube map for each torch slot 1 to 4, each only where the
  // settings draw it (the four cubes alone take about 96 MiB).
  if (settings.sunShadow()) sunShadow.setUp2D();
  for (int k = 0; k < 4; ++k) {
    if (settings.torchShadows()) cubeShadows[k].setUpCube();
    cubeShadows[k].computeCubeMatrices(level.activeLights[k + 1].position, kCubeNearPlane, kCubeFarPlane);
  }

  sceneTarget.setUp(settings.width, settings.height, settings.renderScale, settings.samples);

  // 26. Flames at the five light slots.
  for (int k = 0; k < 5; ++k)
    particles[k] = std::make_shared<ParticleSystem>(r.particleSprite, level.activeLights[k].position);
}

bool Game::shouldClose() const { return glfwWindowShouldClose(window) != 0; }

void Game::frame() {
  GameResources& r = resources;

  // 1-2. Clear, then events: the input callbacks run here.
  glClearColor(0.1f, 0.1f, 0.1f, 1.0f);
  windowClears.clear();
  glfwPollEvents();
  readPad();  // 2b. The pad, beside the keys the callbacks have just seen.

  // 3-4. Camera.
  double cursorX = 0.0, cursorY = 0.0;
  glfwGetCursorPos(window, &cursorX, &cursorY);
  glm::vec3 player(controller->getPosition());
  if (settings.debug && settings.debugCam == 0)
    camera->updateFree(player, float(cursorX), float(cursorY), wasdAxes(), deltaTime);
  else
    camera->updateFollow(player, float(cursorX), float(cursorY), scrollHeight, deltaTime);

  // 5. Lights of the ground, water, light and texture programs.
  uploadGroundLights(*r.groundProgram, *camera, sun, groundLights, kGroundDimension);
  uploadWaterLights(*r.waterProgram, *camera, sun, level.waterLights, frameTime);
  uploadWaterLights(*r.water2Program, *camera, sun, level.waterLights, frameTime);
  uploadSingleLight(*r.lightProgram, *camera, sun, groundLights[0]);
  uploadSingleLight(*r.textureProgram, *camera, sun, groundLights[0]);

  // 6. Physics and the player.
  if (!paused) {
    frameProbe.mark(FrameStage::Physics);
    world.stepPhysics(deltaTime);
    frameProbe.mark(FrameStage::PlayerMove);
    arrowAxes();
    mergePad(pad, moveAxes, jumpHeld);
    world.movePlayer(moveAxes, settings.debug ? 1.0f : 0.0f, deltaTime);
    frameProbe.mark(FrameStage::Untimed);
  }

  // 7. The player's mesh follows the controller.
  player = glm::vec3(controller->getPosition());
  r.playerMesh->resetModelMatrix();
  r.playerMesh->transform(glm::translate(glm::mat4(1.0f), player));

  drawPasses();
  // 13b-13c. A run finished in this frame goes into the best runs; the HUD goes over the picture.
  noteFinishedRun();
  drawHud();

  // 14. Rules, also while paused.
  frameProbe.mark(FrameStage::Rules);
  level.update(controller->getPosition(), deltaTime);
  hud.follow(level, deltaTime);
  frameProbe.mark(FrameStage::FrameEnd);

  // 15. Timing: the next frame steps by the length of this one, however long it was.
  const float previous = frameTime;
  frameTime = static_cast<float>(clock());
  deltaTime = frameTime - previous;
  ++frameCount;

  // 16. Swap.
  if (beforeSwap) beforeSwap();
  glfwSwapBuffers(window);
}

void Game::drawPasses(bool updateParticles) {
  GameResources& r = resources;

  // 8-10. The sun's shadow and the four torch shadows.
  lightSpaceMatrix = sunLightSpaceMatrix();
  const std::array<glm::vec3, 4> torches = {level.activeLights[1].position, level.activeLights[2].position,
                                            level.activeLights[3].position, level.activeLights[4].position};
  ShadowCasterTable casters;
  casters.beginList(CasterMotion::Moving);
  casters.add(*r.playerMesh);
  level.listShadowCasters(casters);
  const ShadowsDrawn shadowsDrawn = settings.torchShadows() ? ShadowsDrawn::All
                                    : settings.sunShadow()  ? ShadowsDrawn::Sun
                                                            : ShadowsDrawn::None;
  renderShadowPasses(sunShadow, cubeShadows, r.depthProgram, r.cubeDepthProgram, lightSpaceMatrix, torches,
                     settings.width, settings.height, casters, shadowsDrawn);

  // 11. Scene; objects wholly outside the camera's view are not drawn.
  frameProbe.mark(FrameStage::Scene);
  windowClears.drawnInto();
  sceneTarget.begin();
  uploadMaterialLights(*r.materialProgram, *camera, sun, level.activeLights);
  bindSceneShadows(*r.materialProgram, lightSpaceMatrix, sunShadow, cubeShadows);
  viewCulling.beginVolume(Frustum::fromMatrix(camera->projection * camera->view));
  sceneDrawOrder = {optimisedFrames, camera->position};
  r.playerMesh->draw();
  level.draw();
  viewCulling.endVolume();
  unbindSceneShadows();

  // 12-13. Sky, flames.
  frameProbe.mark(FrameStage::Sky);
  sky->drawWithProgram(*r.skyboxProgram, *camera);
  frameProbe.mark(FrameStage::Particles);
  updateAndDrawParticles(particles, *r.particleProgram, *camera, level.activeLights,
                         ParticleFrame{deltaTime, settings.particles, paused || !updateParticles, playerParticles});
  sceneTarget.present();
}

void Game::readPad() {
  if (!settings.gamepad) return;
  GLFWgamepadstate state;
  pad = gamepad.update(readFirstGamepad(state) ? &state : nullptr);
  // Start and Back act as the keys they stand for, through the same handler.
  if (pad.togglePause) onKey(window, GLFW_KEY_SPACE, 0, GLFW_RELEASE, 0);
  if (pad.restart) onKey(window, GLFW_KEY_R, 0, GLFW_RELEASE, 0);
}

void Game::noteFinishedRun() {
  if (!level.scorePrinted) {
    finishNoted = false;
    return;
  }
  if (finishNoted) return;
  finishNoted = true;
  if (!settings.bestRuns) return;
  const BestRun run{level.points + timeBonus(level.clock), level.clock, level.collectedCount(level.skulls),
                    level.collectedCount(level.diamonds), todayUtc()};
  hud.finishPlace = bestRuns.add(run);
  hud.bestRunsKept = true;
}

void Game::drawHud() {
  if (!text) return;
  const HudText shown = hud.compose(level, paused, text->atlas, settings.width, settings.height);
  text->draw(shown.panels, shown.lines, settings.width, settings.height);
}

void Game::shutDown() {
  // After a failed start-up nothing was made, and the loader may never have run.
  if (contextReady) {
    // The level outlives the context (it is process-wide): it lets go of its meshes, models,
    // materials and programs now, and keeps its bodies and run state.
    level.releaseRenderHandles();
    text.reset();
    for (int k = 4; k >= 0; --k) particles[k].reset();
    sceneTarget.release();
    for (ShadowMap& map : cubeShadows) map.release();
    sunShadow.release();
    camera.reset();
    sky.reset();
    resources.release();
    shutdownFramework();
    contextReady = false;
  }
  glfwTerminate();
  window = nullptr;
}

int runGame() {
  Game game(physicsWorld, level);
  if (const int failed = game.startUp()) return failed;
  while (!game.shouldClose()) game.frame();
  game.shutDown();
  return 0;
}
