// What the player sees, read back from the finished frame before each swap. Every check compares
// two frames that differ in one thing only (a light, a caster, the flames, the time, the sky's
// texture): while paused and with no time passing a frame repeats exactly. The pictures are kept
// in build/look/*.png.
#include <gtest/gtest.h>
#include <stb_image_write.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <glm/gtc/matrix_transform.hpp>
#include <tuple>
#include <utility>
#include <vector>

#include "app/camera.h"
#include "app/game.h"
#include "app/input.h"
#include "app/process_objects.h"
#include "app/resources.h"
#include "app/settings.h"
#include "game/level.h"
#include "game/level_layout.h"
#include "render/geometry.h"
#include "render/material.h"
#include "scene/skybox.h"

namespace {

constexpr int kSize = 800;  // pixels, the window's width and height
// Channel steps by which two renderings of the same paused frame may differ: under Xvfb they
// were seen to differ by up to 3 over much of the picture.
constexpr int kRepeatNoise = 4;

// One frame as it was about to be shown: colour and depth, bottom row first (GL order).
struct Shot {
  std::vector<unsigned char> rgb = std::vector<unsigned char>(kSize * kSize * 3);
  std::vector<float> depth = std::vector<float>(kSize * kSize);  // 1: the far plane, nothing drawn
  glm::vec3 color(int x, int y) const {
    const unsigned char* p = &rgb[static_cast<size_t>((y * kSize + x) * 3)];
    return glm::vec3(p[0], p[1], p[2]);
  }
  float luminance(int x, int y) const { return glm::dot(color(x, y), glm::vec3(0.2126f, 0.7152f, 0.0722f)); }
  float depthAt(int x, int y) const { return depth[static_cast<size_t>(y * kSize + x)]; }
  bool sky(int x, int y) const { return depthAt(x, y) >= 1.0f; }
};

// Every pixel of the picture (or of rows y0..y1), in turn.
void eachPixel(const std::function<void(int, int)>& f, int y0 = 0, int y1 = kSize) {
  for (int y = y0; y < y1; ++y)
    for (int x = 0; x < kSize; ++x) f(x, y);
}

// Pixels that differ by more than the noise of a repeated frame in some channel.
long differences(const Shot& a, const Shot& b) {
  long count = 0;
  eachPixel([&](int x, int y) {
    const glm::vec3 d = glm::abs(a.color(x, y) - b.color(x, y));
    count += std::max({d.r, d.g, d.b}) > float(kRepeatNoise);
  });
  return count;
}

struct Mean {
  double sum = 0.0;
  long count = 0;
  void add(double v) { sum += v, ++count; }
  double value() const { return count ? sum / static_cast<double>(count) : 0.0; }
};

class LookGame : public ::testing::Test {
 protected:
  // One game per test program run: ctest starts every test in a process of its own.
  void start(const std::string& extraSettings) {
    const std::string path = ::testing::TempDir() + "look.ini";
    std::ofstream(path) << "[window]\nwidth=800\nheight=800\ntitle=Look\n[light]\nparticles=true\n" << extraSettings;
    game.clock = [this] { return now; };
    game.beforeSwap = [this] {
      if (!wantShot) return;
      wantShot = false;
      glPixelStorei(GL_PACK_ALIGNMENT, 1);
      glReadBuffer(GL_BACK);
      glReadPixels(0, 0, kSize, kSize, GL_RGB, GL_UNSIGNED_BYTE, shot.rgb.data());
      glReadPixels(0, 0, kSize, kSize, GL_DEPTH_COMPONENT, GL_FLOAT, shot.depth.data());
    };
    ASSERT_EQ(game.startUp(path), 0);
    // The torches start at full reach, so that frames repeat instead of brightening step by step.
    level.attCurrent = level.attLow;
  }
  void TearDown() override {
    if (game.window) game.shutDown();
    paused = false;
  }
  void frame(double seconds) {
    now += seconds;
    game.frame();
  }
  // Started, the camera caught up with the player, a second played (or not), then paused.
  void playThenPause(int tenthsOfASecond) {
    frame(1.0 / 60.0);
    frame(1.0 / 3.0);  // the camera's height catches up with the player in one such frame
    for (int i = 0; i < tenthsOfASecond; ++i) frame(0.1);
    pause();
  }
  void pause() {
    onKey(game.window, GLFW_KEY_SPACE, 0, GLFW_PRESS, 0);
    onKey(game.window, GLFW_KEY_SPACE, 0, GLFW_RELEASE, 0);
    ASSERT_TRUE(paused);
  }
  // A frame in which no time passes, kept as look/<name>.png (top row first).
  Shot still(const std::string& name) {
    wantShot = true;
    frame(0.0);
    std::filesystem::create_directories("look");
    stbi_flip_vertically_on_write(1);
    stbi_write_png(("look/" + name + ".png").c_str(), kSize, kSize, 3, shot.rgb.data(), kSize * 3);
    stbi_flip_vertically_on_write(0);
    return shot;
  }
  void setAllLightColors(const glm::vec3& color) {
    game.sun.color = color;
    for (PointLight& light : game.groundLights) light.color = color;
    for (PointLight& light : level.activeLights) light.color = color;
    for (PointLight& light : level.waterLights) light.color = color;
  }

  double now = 50.0;  // seconds; only differences count
  Game game{physicsWorld, level};
  bool wantShot = false;
  Shot shot;
};

// Where a world position lands on the screen, in pixels from the bottom left; z > 1 when behind.
glm::vec3 toPixels(const glm::mat4& viewProjection, const glm::vec3& world) {
  const glm::vec4 clip = viewProjection * glm::vec4(world, 1.0f);
  if (clip.w <= 0.0f) return glm::vec3(-1.0f, -1.0f, 2.0f);
  return glm::vec3((glm::vec2(clip) / clip.w * 0.5f + 0.5f) * float(kSize), clip.z / clip.w);
}

}  // namespace

// The start, after a second of play: the torches beside the first ramp burn, the player stands.
TEST_F(LookGame, StartOfTheCourseIsLitShadowedAndHasFlamesAtTheTorches) {
  start("");
  playThenPause(8);
  frame(0.0);
  const Shot lit = still("start");
  ASSERT_EQ(differences(lit, still("start_again")), 0) << "a paused frame without time must repeat";

  // Lit against unlit: every light's colour off leaves the ambient term only.
  const auto lights = std::make_tuple(game.sun, game.groundLights, level.activeLights, level.waterLights);
  setAllLightColors(glm::vec3(0.0f));
  const Shot unlit = still("start_unlit");
  std::tie(game.sun, game.groundLights, level.activeLights, level.waterLights) = lights;
  Mean litSurface, unlitSurface;
  long brighter = 0;
  eachPixel([&](int x, int y) {
    if (lit.sky(x, y)) return;  // the sky is not lit
    litSurface.add(lit.luminance(x, y));
    unlitSurface.add(unlit.luminance(x, y));
    brighter += lit.luminance(x, y) > unlit.luminance(x, y) + 8.0f;
  });
  ASSERT_GT(litSurface.count, kSize * kSize / 2) << "the course fills most of the start view";
  EXPECT_GT(litSurface.value(), unlitSurface.value() * 2.0 + 10.0) << "unlit " << unlitSurface.value();
  EXPECT_GT(brighter, litSurface.count * 7 / 10) << "most surfaces take light";
  EXPECT_GT(unlitSurface.value(), 2.0) << "the ambient term keeps unlit surfaces visible";
  EXPECT_EQ(differences(lit, still("start_relit")), 0) << "lights restored, same picture";

  // A shadow that goes with its caster: the two pillars just behind the camera stand between the
  // sun and the ramp. Where the same surface stays in view it must brighten without them.
  std::vector<int> pillars;
  for (int i = 0; i < static_cast<int>(courseSolids().size()); ++i) {
    const glm::vec3 p = courseSolids()[i].position;
    if (p.y == 120.0f && p.z == 20.0f && std::abs(p.x) == 14.0f) pillars.push_back(i);
  }
  ASSERT_EQ(pillars.size(), 2u);
  std::vector<std::shared_ptr<Geometry>> kept;
  for (int i : pillars) kept.push_back(std::exchange(level.solids.geometries[i], nullptr));
  const Shot without = still("start_without_pillars");
  for (size_t k = 0; k < pillars.size(); ++k) level.solids.geometries[pillars[k]] = kept[k];
  long shadowPixels = 0, darkened = 0;
  eachPixel([&](int x, int y) {
    if (std::abs(lit.depthAt(x, y) - without.depthAt(x, y)) > 1e-6f) return;  // the pillars, or what they hid
    const float gain = without.luminance(x, y) - lit.luminance(x, y);
    shadowPixels += gain > 10.0f;
    darkened += gain < -10.0f;
  });
  EXPECT_GT(shadowPixels, 5000) << "the same surfaces brighten where the pillars' shadows were";
  EXPECT_LT(darkened, shadowPixels / 10 + 5) << "removing a caster never darkens";

  // Flames: added onto the picture, only near the torches of slots 1 to 4. The first torches stand
  // at the course's sides, outside a square window's view: a wider projection brings them in.
  game.camera->projection = glm::perspective(glm::radians(60.0f), 4.0f / 3.0f, 0.1f, 100.0f);
  const Shot flames = still("start_wide");
  game.settings.particles = false;
  const Shot plain = still("start_wide_without_flames");
  game.settings.particles = true;
  long flamePixels = 0, flameDarkened = 0, nearTorch = 0;
  Mean flame, besideFlame;
  const glm::mat4 vp = game.camera->projection * game.camera->view;
  eachPixel([&](int x, int y) {
    const glm::vec3 with = flames.color(x, y), without = plain.color(x, y);
    flameDarkened += glm::any(glm::lessThan(with, without - float(kRepeatNoise)));
    if (flames.luminance(x, y) < plain.luminance(x, y) + 1.0f && !flames.sky(x, y))
      besideFlame.add(flames.luminance(x, y));  // the surroundings: unchanged pixels
    if (flames.luminance(x, y) < plain.luminance(x, y) + 20.0f) return;
    ++flamePixels;
    flame.add(flames.luminance(x, y));
    // Near: within the column a flame rises in, 0 to 12 units above its torch.
    for (int k = 1; k <= 4; ++k) {
      const glm::vec3 base = toPixels(vp, level.activeLights[k].position);
      const glm::vec3 top = toPixels(vp, level.activeLights[k].position + glm::vec3(0, 12, 0));
      if (base.z <= 1.0f && std::abs(float(x) - base.x) < 80.0f && float(y) > base.y - 40.0f &&
          float(y) < top.y + 40.0f) {
        ++nearTorch;
        break;
      }
    }
  });
  EXPECT_GT(flamePixels, 300) << "the flames show";
  EXPECT_EQ(flameDarkened, 0) << "additive: flames only ever brighten";
  EXPECT_GT(nearTorch, flamePixels * 9 / 10) << "flames burn at the torches";
  EXPECT_GT(flame.value(), besideFlame.value() + 30.0);
}

// Over the water near the end, in the debug orbit camera so the player can hang above it.
TEST_F(LookGame, OverTheWaterTheSkyShowsAboveTheCourseAndTheWaterMoves) {
  start("[window]\ndebug=true\ndebugCam=1\n");
  pause();
  playerController->setPosition({0.0, 46.0, 350.0});
  frame(1.0 / 60.0);
  frame(1.0 / 3.0);
  // The rules pass one section boundary a frame: let the light window catch up with the player.
  for (int i = 0; i < level.sections.count; ++i) frame(0.0);
  const Shot first = still("water_a");
  frame(0.6);
  const Shot later = still("water_b");
  const Shot again = still("water_b_again");
  // Where the water is: what changes when the sheets are left out.
  std::vector<std::shared_ptr<Geometry>> sheets(level.waterSheets.geometries.size()),
      flows(level.flowSheets.geometries.size());
  sheets.swap(level.waterSheets.geometries);
  flows.swap(level.flowSheets.geometries);
  const Shot dry = still("water_hidden");
  sheets.swap(level.waterSheets.geometries);
  flows.swap(level.flowSheets.geometries);
  long waterPixels = 0, changed = 0, repeatNoise = 0;
  eachPixel([&](int x, int y) {
    if (std::abs(later.luminance(x, y) - dry.luminance(x, y)) <= 6.0f &&
        std::abs(later.depthAt(x, y) - dry.depthAt(x, y)) <= 1e-6f)
      return;
    ++waterPixels;
    changed += std::abs(later.luminance(x, y) - first.luminance(x, y)) > 6.0f;
    repeatNoise += std::abs(later.luminance(x, y) - again.luminance(x, y)) > 6.0f;
  });
  EXPECT_GT(waterPixels, kSize * kSize / 10) << "the water is in view";
  EXPECT_GT(changed, waterPixels / 40) << "the water moves with the running time";
  EXPECT_GT(changed, repeatNoise * 5 + 100) << "far more than two renderings of one moment differ";

  // The sky: the far plane's pixels, above the course, blue and not the grey clear colour.
  long skyTop = 0, skyBottom = 0;
  Mean skyBlue, skyRed;
  eachPixel([&](int x, int y) { skyBottom += later.sky(x, y); }, 0, kSize / 4);
  eachPixel(
      [&](int x, int y) {
        if (!later.sky(x, y)) return;
        ++skyTop;
        skyBlue.add(later.color(x, y).b);
        skyRed.add(later.color(x, y).r);
      },
      kSize * 3 / 4, kSize);
  EXPECT_GT(skyTop, kSize * kSize / 40) << "a tenth of the top quarter";
  EXPECT_LT(skyBottom, kSize * kSize / 200) << "under 2 % of the bottom quarter";
  EXPECT_GT(skyBlue.value(), skyRed.value() + 20.0) << "a blue sky, not the grey clear colour";
  // The same pixels come from the sky's cube map: without it they go black, the rest stays.
  const GLuint cubeMap = game.sky->cubeMapTexture;
  game.sky->cubeMapTexture = 0;
  const Shot noSky = still("water_without_sky_texture");
  game.sky->cubeMapTexture = cubeMap;
  long skyPixels = 0, blackened = 0, otherBlackened = 0;
  eachPixel([&](int x, int y) {
    const bool black = noSky.luminance(x, y) < 2.0f;
    if (later.sky(x, y))
      ++skyPixels, blackened += black;
    else
      otherBlackened += black && later.luminance(x, y) > 10.0f;
  });
  EXPECT_EQ(blackened, skyPixels);
  EXPECT_EQ(otherBlackened, 0) << "only the sky comes from its cube map";
}

// Brightness scales the ambient weight of every start-up material and nothing else; at 0 no
// surface keeps any light of its own: with every light off (and the torch heads, which glow by
// themselves, hidden) the course is black.
TEST_F(LookGame, AtBrightnessZeroTheMaterialsKeepNoAmbientAndAnUnlitCourseIsBlack) {
  start("[light]\nbrightness=0\n");
  GameResources bright;
  Settings one = game.settings;
  one.brightness = 1.0f;
  bright.load(one);
  using R = GameResources;
  int i = -1;
  for (auto material : {&R::playerMaterial, &R::waterMaterial, &R::water2Material, &R::ground1Material,
                        &R::ground2Material, &R::woodMaterial, &R::tilesMaterial, &R::noiseMaterial, &R::lightMaterial,
                        &R::diamondMaterial, &R::skullMaterial}) {
    const TextureMaterial *at0 = (game.resources.*material).get(), *at1 = (bright.*material).get();
    ++i;
    ASSERT_TRUE(at0 && at1) << "material " << i;
    EXPECT_EQ(at0->materialCoefficients.x, 0.0f) << "material " << i << ": ambient";
    EXPECT_GT(at1->materialCoefficients.x, 0.0f) << "material " << i << ": ambient at brightness 1";
    EXPECT_EQ(glm::vec2(at0->materialCoefficients.y, at0->materialCoefficients.z),
              glm::vec2(at1->materialCoefficients.y, at1->materialCoefficients.z))
        << "material " << i << ": diffuse and specular";
    EXPECT_EQ(at0->specularAlpha, at1->specularAlpha) << "material " << i;
  }
  bright.release();
  playThenPause(0);
  setAllLightColors(glm::vec3(0.0f));
  game.settings.particles = false;
  std::vector<std::shared_ptr<Geometry>> heads(level.torches.geometries.size());
  heads.swap(level.torches.geometries);
  const Shot unlit = still("brightness0_unlit");
  heads.swap(level.torches.geometries);
  long surface = 0, lit = 0;
  eachPixel([&](int x, int y) {
    if (unlit.sky(x, y)) return;
    ++surface, lit += unlit.luminance(x, y) > 1.0f;
  });
  ASSERT_GT(surface, kSize * kSize / 2) << "the course fills most of the start view";
  EXPECT_EQ(lit, 0) << "pixels with light of their own, out of " << surface;
}

// The light settings: the scene drawn smaller and stretched over the window, with fewer or no
// samples and fewer shadow maps, still shows the whole course, lit, in every corner of the window.
struct LightSettingsCase {
  const char* text;
  int drawnSize;  // pixels, the scene target's width and height
};

class LightSettingsLook : public LookGame, public ::testing::WithParamInterface<LightSettingsCase> {};

TEST_P(LightSettingsLook, TheScaledSceneFillsTheWindowLitAndWithoutGlErrors) {
  start(GetParam().text);
  EXPECT_EQ(glm::ivec2(game.sceneTarget.width(), game.sceneTarget.height()), glm::ivec2(GetParam().drawnSize));
  playThenPause(8);
  frame(0.0);
  const Shot lit = still("light_settings");
  ASSERT_EQ(differences(lit, still("light_settings_again")), 0);
  long cleared = 0;  // the window's own clear colour (0.1 grey): the stretched picture covers it
  eachPixel([&](int x, int y) { cleared += lit.color(x, y) == glm::vec3(26.0f); });
  EXPECT_LT(cleared, kSize * kSize / 1000) << "pixels left as the window was cleared";
  // The sun lights the course in each quarter of the window: without it each quarter darkens.
  const glm::vec3 sunColour = game.sun.color;
  game.sun.color = glm::vec3(0.0f);
  const Shot sunless = still("light_settings_sunless");
  game.sun.color = sunColour;
  for (int quarter = 0; quarter < 4; ++quarter) {
    Mean before, after;
    const int x0 = quarter % 2 * kSize / 2, y0 = quarter / 2 * kSize / 2;
    for (int y = y0; y < y0 + kSize / 2; y += 4)
      for (int x = x0; x < x0 + kSize / 2; x += 4) before.add(lit.luminance(x, y)), after.add(sunless.luminance(x, y));
    EXPECT_GT(before.value(), after.value() + 5.0) << "quarter " << quarter;
  }
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

INSTANTIATE_TEST_SUITE_P(
    Presets, LightSettingsLook,
    ::testing::Values(LightSettingsCase{"[window]\nsamples=0\nrender_scale=0.5\n[light]\nshadows=none\n", 400},
                      LightSettingsCase{"[window]\nsamples=2\nrender_scale=0.75\n[light]\nshadows=sun\n", 600},
                      LightSettingsCase{"[window]\nsamples=0\n[light]\nshadows=sun\n", 800}));
