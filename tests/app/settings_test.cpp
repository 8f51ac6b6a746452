#include "app/settings.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>

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
  EXPECT_FALSE(s.hud) << "a file without the key plays as before: nothing drawn on top";
  EXPECT_FALSE(s.bestRuns) << "and no file written";
  EXPECT_FALSE(s.gamepad);
  EXPECT_EQ(s.samples, 4);
  EXPECT_FLOAT_EQ(s.renderScale, 1.0f);
  EXPECT_EQ(s.shadows, "all");
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
                                     "[light]\nbrightness=0.25\nparticles=off\n[play]\nhud=on\nbest_runs=yes\n"
                                     "[input]\ngamepad=true\n"
                                     "[window]\nsamples=2\nrender_scale=0.75\n[light]\nshadows=sun\n");
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
  EXPECT_TRUE(s.hud);
  EXPECT_TRUE(s.bestRuns);
  EXPECT_TRUE(s.gamepad);
  EXPECT_EQ(s.samples, 2);
  EXPECT_FLOAT_EQ(s.renderScale, 0.75f);
  EXPECT_EQ(s.shadows, "sun");
}

TEST(Settings, PartialFileTakesDefaultsForMissingKeysAndIgnoresUnknownOnes) {
  const std::string path =
      writeTemp("partial.ini", "[window]\ntitle=Foo\nvsync=1\n[extra]\nwidth=5\n[light]\nbrightness=0\n");
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
  const std::string path =
      writeTemp("malformed.ini", "[window]\nwidth=1024\nthis line has no equals sign\nheight=600\n");
  ::testing::internal::CaptureStdout();
  const Settings s = loadSettings(path);
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
  EXPECT_EQ(s.width, 1024);
  EXPECT_EQ(s.height, 600);
}

TEST(Settings, UnparsableValuesFallBackToDefaultsWithOneLineEach) {
  const std::string path =
      writeTemp("badvalues.ini", "[window]\nwidth=wide\nfullscreen=maybe\n[camera]\nfov=\n[play]\nhud=sometimes\n");
  ::testing::internal::CaptureStdout();
  const Settings s = loadSettings(path);
  EXPECT_EQ(::testing::internal::GetCapturedStdout(),
            "Settings: window.width = \"wide\" is not a number; using 800 instead.\n"
            "Settings: window.fullscreen = \"maybe\" is neither yes nor no; using false instead.\n"
            "Settings: camera.fov = \"\" is not a number; using 60 instead.\n"
            "Settings: play.hud = \"sometimes\" is neither yes nor no; using false instead.\n");
  EXPECT_EQ(s.width, 800);
  EXPECT_FALSE(s.fullscreen);
  EXPECT_FLOAT_EQ(s.fov, 60.0f);
}

// Values the parser reads but the game cannot run with: each keeps its default and names itself.
TEST(Settings, UnplayableNumbersKeepTheirDefaultsAndNameTheKey) {
  struct Case {
    const char* text;
    const char* line;  // the one line expected
  };
  const Case cases[] = {
      {"[window]\nwidth=-640\n", "window.width = \"-640\" is outside 1 to 8192; using 800 instead."},
      {"[window]\nheight=0\n", "window.height = \"0\" is outside 1 to 8192; using 800 instead."},
      {"[window]\nwidth=100000\n", "window.width = \"100000\" is outside 1 to 8192; using 800 instead."},
      // Past the range of long: must not wrap around to a small or negative size.
      {"[window]\nheight=99999999999999999999\n",
       "window.height = \"99999999999999999999\" is outside 1 to 8192; using 800 instead."},
      {"[window]\nwidth=4294967297\n", "window.width = \"4294967297\" is outside 1 to 8192; using 800 instead."},
      {"[window]\nrefresh_rate=0\n", "window.refresh_rate = \"0\" is outside 1 to 1000; using 60 instead."},
      {"[camera]\nfov=0\n", "camera.fov = \"0\" is outside 1 to 179; using 60 instead."},
      {"[camera]\nfov=180\n", "camera.fov = \"180\" is outside 1 to 179; using 60 instead."},
      {"[camera]\nfov=abc\n", "camera.fov = \"abc\" is not a number; using 60 instead."},
      {"[camera]\nfov=nan\n", "camera.fov = \"nan\" is outside 1 to 179; using 60 instead."},
      {"[camera]\nfar=1e300\n", "camera.far = \"1e300\" is outside -3.40282e+38 to 3.40282e+38; using 100 instead."},
      {"[light]\nbrightness=-1\n", "light.brightness = \"-1\" is outside 0 to 3.40282e+38; using 1 instead."},
      {"[light]\nbrightness=inf\n", "light.brightness = \"inf\" is outside 0 to 3.40282e+38; using 1 instead."},
      // The light preset's keys: counts between the choices, out of range, words in the wrong case.
      {"[window]\nsamples=3\n", "window.samples = \"3\" is not 0, 2 or 4; using 4 instead."},
      {"[window]\nsamples=8\n", "window.samples = \"8\" is not 0, 2 or 4; using 4 instead."},
      {"[window]\nsamples=-2\n", "window.samples = \"-2\" is not 0, 2 or 4; using 4 instead."},
      {"[window]\nsamples=2x\n", "window.samples = \"2x\" is not 0, 2 or 4; using 4 instead."},
      {"[window]\nsamples=many\n", "window.samples = \"many\" is not 0, 2 or 4; using 4 instead."},
      {"[window]\nrender_scale=0.49\n", "window.render_scale = \"0.49\" is outside 0.5 to 1; using 1 instead."},
      {"[window]\nrender_scale=1.5\n", "window.render_scale = \"1.5\" is outside 0.5 to 1; using 1 instead."},
      {"[window]\nrender_scale=nan\n", "window.render_scale = \"nan\" is outside 0.5 to 1; using 1 instead."},
      {"[window]\nrender_scale=half\n", "window.render_scale = \"half\" is not a number; using 1 instead."},
      {"[light]\nshadows=None\n", "light.shadows = \"None\" is not all, sun or none; using all instead."},
      {"[light]\nshadows=torches\n", "light.shadows = \"torches\" is not all, sun or none; using all instead."},
      {"[light]\nshadows=\n", "light.shadows = \"\" is not all, sun or none; using all instead."},
  };
  for (const Case& c : cases) {
    const std::string path = writeTemp("unplayable.ini", c.text);
    ::testing::internal::CaptureStdout();
    const Settings s = loadSettings(path);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), std::string("Settings: ") + c.line + "\n") << c.text;
    expectDefaults(s);
  }
}

TEST(Settings, EdgesOfEachRangeAreAccepted) {
  const std::string path = writeTemp("edges.ini",
                                     "[window]\nwidth=1\nheight=8192\nrefresh_rate=1\ndebugCam=-7\n"
                                     "[camera]\nfov=1\n[light]\nbrightness=0\n");
  ::testing::internal::CaptureStdout();
  Settings s = loadSettings(path);
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
  EXPECT_EQ(s.width, 1);
  EXPECT_EQ(s.height, 8192);
  EXPECT_EQ(s.refreshRate, 1);
  EXPECT_EQ(s.debugCam, -7);
  EXPECT_FLOAT_EQ(s.fov, 1.0f);
  EXPECT_FLOAT_EQ(s.brightness, 0.0f);
  s = loadSettings(writeTemp("edges2.ini", "[camera]\nfov=179\n"));
  EXPECT_FLOAT_EQ(s.fov, 179.0f);
  // The light preset's other ends.
  s = loadSettings(writeTemp("edges3.ini", "[window]\nsamples=0\nrender_scale=0.5\n[light]\nshadows=none\n"));
  EXPECT_EQ(s.samples, 0);
  EXPECT_FLOAT_EQ(s.renderScale, 0.5f);
  EXPECT_FALSE(s.sunShadow());
  EXPECT_FALSE(s.torchShadows());
  s = loadSettings(writeTemp("edges4.ini", "[window]\nsamples=4\nrender_scale=1\n[light]\nshadows=all\n"));
  EXPECT_EQ(s.samples, 4);
  EXPECT_FLOAT_EQ(s.renderScale, 1.0f);
  EXPECT_TRUE(s.sunShadow() && s.torchShadows());
}

TEST(Settings, GarbageAndOverlongLinesNeitherCrashNorLeakControlBytesIntoMessages) {
  std::string garbage = "[window]\nwidth=\x01\x02\xff\xfe\nheight=";
  for (int i = 0; i < 300; ++i) garbage += static_cast<char>((i * 37) % 256 == '\n' ? 'x' : (i * 37) % 256);
  garbage += "\n[camera]\ntitle=" + std::string(10000, 'T') + "\n";
  const std::string path = writeTemp("garbage.ini", garbage);
  ::testing::internal::CaptureStdout();
  const Settings s = loadSettings(path);
  const std::string out = ::testing::internal::GetCapturedStdout();
  EXPECT_EQ(s.width, 800);
  EXPECT_EQ(s.height, 800);
  EXPECT_EQ(s.title, "Kellvane") << "the title line was in another section";
  for (char c : out) EXPECT_TRUE(c == '\n' || (c >= 0x20 && c < 0x7f)) << int(static_cast<unsigned char>(c));
  EXPECT_NE(out.find("Settings: window.width = \"????\" is not a number; using 800 instead.\n"), std::string::npos)
      << out;

  // A 10,000-character title is read as far as the parser's line reaches and the rest is skipped.
  const Settings titled = loadSettings(writeTemp("title.ini", "[window]\ntitle=" + std::string(10000, 'T') + "\n"));
  EXPECT_FALSE(titled.title.empty());
  EXPECT_LE(titled.title.size(), 10000u);
  EXPECT_EQ(titled.title.find_first_not_of('T'), std::string::npos);
}
