// The optimised frame (objects outside a pass culled, still shadow casters kept between frames)
// must be byte for byte the frame with everything drawn. The real game's passes run over frames in
// which the boulder, the gate, the player and a loose box move, F1 and F2 are pressed and the
// light window changes; after each change the frame is drawn both ways and compared.
#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <glm/gtc/quaternion.hpp>
#include <string>
#include <utility>
#include <vector>

#include "app/game.h"
#include "app/input.h"
#include "app/process_objects.h"
#include "game/level.h"
#include "physics/physics_world.h"
#include "physics/player_controller.h"
#include "render/optimised_frames.h"
#include "scene/frame_probe.h"
#include "tools/bench/picture_check.h"

namespace {

void press(Game& game, int key) {
  onKey(game.window, key, 0, GLFW_PRESS, 0);
  onKey(game.window, key, 0, GLFW_RELEASE, 0);
}

void shift(RigidBody* body, const glm::vec3& by) {
  Pose pose = body->globalPose();
  pose.position += by;
  body->setGlobalPose(pose);
}

}  // namespace

TEST(OptimisedPicture, EveryChangeOfTheSceneDrawsTheSamePictureAsDrawingEverything) {
  const std::string path = ::testing::TempDir() + "optimised-picture.ini";
  // A small window: the shadow maps keep their full size, the scene pass is what shrinks.
  std::ofstream(path) << "[window]\nwidth=160\nheight=120\ntitle=Optimised\n[light]\nparticles=true\n";
  double now = 50.0;  // seconds
  Game game{physicsWorld, level};
  game.clock = [&now] { return now; };
  ASSERT_EQ(game.startUp(path), 0);
  optimisedFrames = true;

  std::string change = "start";
  bool compareThisFrame = false;
  int compared = 0;
  // How the optimised passes of the compared frame went (the redraw then draws them whole).
  ShadowMap::Pass sunPass = ShadowMap::Pass::Whole, firstCubePass = ShadowMap::Pass::Whole;
  frameProbe.onStage = [&](FrameStage stage) {
    if (stage != FrameStage::Rules || !compareThisFrame) return;
    compareThisFrame = false;
    ++compared;
    sunPass = game.sunShadow.lastPass;
    firstCubePass = game.cubeShadows[0].lastPass;
    const PictureComparison result = compareWithTheOtherMode(game);
    EXPECT_TRUE(result.identical) << "after: " << change << " (" << result.differingBytes << " bytes differ)";
  };
  auto frame = [&](bool compare) {
    compareThisFrame = compare;
    now += 1.0 / 60.0;
    game.frame();
  };
  // Each change comes between a frame that lets the maps keep what they drew and the compared frame.
  auto after = [&](const std::string& what, const std::function<void()>& beforeSettling,
                   const std::function<void()>& beforeCompared) {
    change = what;
    if (beforeSettling) beforeSettling();
    frame(false);
    if (beforeCompared) beforeCompared();
    frame(true);
  };

  press(game, GLFW_KEY_SPACE);  // paused: nothing moves but what the test moves; the rules still run
  ASSERT_TRUE(paused);
  frame(false);

  after("nothing", nullptr, nullptr);
  // The diamonds turn in every frame, even paused: the sun's map keeps the still casters.
  EXPECT_NE(sunPass, ShadowMap::Pass::Whole) << "an unchanged frame keeps the sun's still casters";

  RigidBody* box = level.looseBoxes.bodies.at(0);
  const glm::vec3 start(game.controller->getPosition());
  for (RigidBody* body : level.looseBoxes.bodies)  // the loose box nearest the start
    if (glm::distance(body->globalPose().position, start) < glm::distance(box->globalPose().position, start))
      box = body;
  // A body moved by hand reaches its mesh at the end of the next frame's rules: moved before settling.
  auto moved = [&](const char* what, RigidBody* body, const glm::vec3& by) {
    after(
        what, [&] { shift(body, by); }, nullptr);
  };
  moved("a loose box moved", box, {1.5f, 0.0f, 0.5f});
  EXPECT_EQ(sunPass, ShadowMap::Pass::AroundMoving) << "only around the box";
  moved("the boulder moved", level.boulder.body, {0.0f, 0.0f, 3.0f});
  moved("the gate sank", level.gate.body, {0.0f, -2.0f, 0.0f});
  after("the player moved", nullptr,
        [&] { game.controller->setPosition(game.controller->getPosition() + glm::dvec3(2.0, 0.0, 1.0)); });
  for (const auto& [what, key] : {std::pair<const char*, int>{"F1 (wireframe on)", GLFW_KEY_F1},
                                  {"F1 (wireframe off)", GLFW_KEY_F1},
                                  {"F2 (culling off)", GLFW_KEY_F2},
                                  {"F2 (culling on)", GLFW_KEY_F2}}) {
    after(what, nullptr, [&game, key = key] { press(game, key); });
    EXPECT_EQ(sunPass, ShadowMap::Pass::Whole) << what;
  }
  after("the light window moved on", nullptr, [&] { level.selectLightWindow(3); });
  EXPECT_EQ(firstCubePass, ShadowMap::Pass::Whole) << "another torch";
  after("nothing again", nullptr, nullptr);
  EXPECT_NE(firstCubePass, ShadowMap::Pass::Whole);
  EXPECT_EQ(compared, 11);

  frameProbe.onStage = nullptr;
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
  game.shutDown();
  paused = false;
}
