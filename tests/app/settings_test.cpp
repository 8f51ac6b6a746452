#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "app/settings.h"

namespace {

std::string writeTemp(const std::string& name, const std::string& text) {
  const std::string path = ::testing::TempDir() + name;
  std::ofstream(path) << text;
  return path;
}

void expectDefaults(const Settings& s) {
  EXPECT_EQ(s.width, 800);
  EXPECT_EQ(s.height, 800);
  EXPECT_EQ(s.refreshRate, 60);
  EXPECT_FALSE(s.fullscreen);
  EXPECT_EQ(s.title, "Kellvane");
  EXPECT_FALSE(s.debug);
  EXPECT_EQ(s.debugCam, 0);
  EXPECT_FLOAT_EQ(s.fov, 60.0f);
  EXPECT_FLOAT_EQ(s.nearPlane, 0.1f);
  EXPECT_FLOAT_EQ(s.farPlane, 100.0f);
  EXPECT_FLOAT_EQ(s.brightness, 1.0f);
  EXPECT_TRUE(s.particles);
}

}  // namespace

TEST(Settings, MissingFileWarnsOnceAndKeepsEveryDefault) {
  const std::string path = ::testing::TempDir() + "no-such-settings.ini";
  ::testing::internal::CaptureStdout();
  const Settings s = loadSettings(path);
  EXPECT_EQ(::testing::internal::GetCapturedStdout(),
            "ERROR: Failed to load '" + path + "'. Using default values instead.\n");
  expectDefaults(s);
}

TEST(Settings, EveryKeyIsReadWithItsType) {
  const std::string path = writeTemp("full.ini",
                                     "[window]\nwidth=640\nheight=480\nrefresh_rate=144\nfullscreen=true\n"
                                     "title=Foo Bar\ndebug=yes\ndebugCam=2\n[camera]\nfov=75.5\nnear=0.5\nfar=300\n"
                                     "[light]\nbrightness=0.25\nparticles=off\n");
  ::testing::internal::CaptureStdout();
  const Settings s = loadSettings(path);
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "") << "a good file prints nothing";
  EXPECT_EQ(s.width, 640);
  EXPECT_EQ(s.height, 480);
  EXPECT_EQ(s.refreshRate, 144);
  EXPECT_TRUE(s.fullscreen);
  EXPECT_EQ(s.title, "Foo Bar");
  EXPECT_TRUE(s.debug);
  EXPECT_EQ(s.debugCam, 2);
  EXPECT_FLOAT_EQ(s.fov, 75.5f);
  EXPECT_FLOAT_EQ(s.nearPlane, 0.5f);
  EXPECT_FLOAT_EQ(s.farPlane, 300.0f);
  EXPECT_FLOAT_EQ(s.brightness, 0.25f);
  EXPECT_FALSE(s.particles);
}

TEST(Settings, PartialFileTakesDefaultsForMissingKeysAndIgnoresUnknownOnes) {
  const std::string path = writeTemp("partial.ini", "[window]\ntitle=Foo\nvsync=1\n[extra]\nwidth=5\n[light]\nbrightness=0\n");
  ::testing::internal::CaptureStdout();
  const Settings s = loadSettings(path);
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
  EXPECT_EQ(s.title, "Foo");
  EXPECT_EQ(s.width, 800) << "width in another section is not the window's";
  EXPECT_FLOAT_EQ(s.brightness, 0.0f);
  EXPECT_TRUE(s.particles);
}

TEST(Settings, MalformedLineIsSilentAndEveryParsedKeyIsUsed) {
  // The parser reports the first bad line as a positive number and still reads the rest.
  const std::string path = writeTemp("malformed.ini", "[window]\nwidth=1024\nthis line has no equals sign\nheight=600\n");
  ::testing::internal::CaptureStdout();
  const Settings s = loadSettings(path);
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
  EXPECT_EQ(s.width, 1024);
  EXPECT_EQ(s.height, 600);
}

TEST(Settings, UnparsableValuesFallBackToDefaults) {
  const std::string path = writeTemp("badvalues.ini", "[window]\nwidth=wide\nfullscreen=maybe\n[camera]\nfov=\n");
  const Settings s = loadSettings(path);
  EXPECT_EQ(s.width, 800);
  EXPECT_FALSE(s.fullscreen);
  EXPECT_FLOAT_EQ(s.fov, 60.0f);
}
