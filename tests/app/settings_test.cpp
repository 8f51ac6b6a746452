#include "app/settings.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <tuple>
#include <vector>

namespace {

// Loads a file of this text; `console` gets what the reader printed.
Settings load(const std::string& text, std::string* console) {
  const std::string path = ::testing::TempDir() + "settings.ini";
  std::ofstream(path) << text;
  ::testing::internal::CaptureStdout();
  Settings s = loadSettings(path);
  *console = ::testing::internal::GetCapturedStdout();
  return s;
}

auto fields(const Settings& s) {
  return std::make_tuple(s.width, s.height, s.refreshRate, s.fullscreen, s.title, s.debug, s.debugCam, s.fov,
                         s.nearPlane, s.farPlane, s.brightness, s.particles, s.hud, s.bestRuns, s.gamepad, s.samples,
                         s.renderScale, s.shadows);
}

}  // namespace

TEST(Settings, GoodFilesAreReadSilentlyKeyByKeyAndAMissingOneWarnsOnce) {
  struct Case {
    const char* text;
    Settings expected;
  };
  Settings all, partial, malformed, edges, fov179, lightLow, lightHigh;
  all = {640, 480, 144, true, "Foo Bar", true, 2, 75.5f, 0.5f, 300.0f, 0.25f, false, true, true, true};
  all.samples = 2, all.renderScale = 0.75f, all.shadows = "sun";
  partial.title = "Foo", partial.brightness = 0.0f;  // vsync and [extra] are no keys of the game
  malformed.width = 1024, malformed.height = 600;    // the parser reads on past a bad line
  edges = {1, 8192, 1, false, "Kellvane", false, -7, 1.0f};
  fov179.fov = 179.0f;
  lightLow.samples = 0, lightLow.renderScale = 0.5f, lightLow.shadows = "none";
  const Case cases[] = {
      {"[window]\nwidth=640\nheight=480\nrefresh_rate=144\nfullscreen=true\ntitle=Foo Bar\ndebug=yes\ndebugCam=2\n"
       "[camera]\nfov=75.5\nnear=0.5\nfar=300\n[light]\nbrightness=0.25\nparticles=off\n[play]\nhud=on\n"
       "best_runs=yes\n[input]\ngamepad=true\n[window]\nsamples=2\nrender_scale=0.75\n[light]\nshadows=sun\n",
       all},
      {"[window]\ntitle=Foo\nvsync=1\n[extra]\nwidth=5\n[light]\nbrightness=0\n", partial},
      {"[window]\nwidth=1024\nthis line has no equals sign\nheight=600\n", malformed},
      {"[window]\nwidth=1\nheight=8192\nrefresh_rate=1\ndebugCam=-7\n[camera]\nfov=1\n", edges},
      {"[camera]\nfov=179\n", fov179},
      {"[window]\nsamples=0\nrender_scale=0.5\n[light]\nshadows=none\n", lightLow},
      {"[window]\nsamples=4\nrender_scale=1\n[light]\nshadows=all\n", lightHigh},
  };
  for (const Case& c : cases) {
    std::string console;
    EXPECT_EQ(fields(load(c.text, &console)), fields(c.expected)) << c.text;
    EXPECT_EQ(console, "") << c.text;
  }
  for (const auto& [word, sun, torches] :
       {std::tuple{"all", true, true}, {"sun", true, false}, {"none", false, false}}) {
    Settings s;
    s.shadows = word;
    EXPECT_EQ(std::make_pair(s.sunShadow(), s.torchShadows()), std::make_pair(sun, torches)) << word;
  }
  const std::string path = ::testing::TempDir() + "no-such-settings.ini";
  ::testing::internal::CaptureStdout();
  EXPECT_EQ(fields(loadSettings(path)), fields(Settings{}));
  EXPECT_EQ(::testing::internal::GetCapturedStdout(),
            "ERROR: Failed to load '" + path + "'. Using default values instead.\n");
}

// A value the game cannot use keeps the key's default and prints one line naming key, value and
// default: every key has a row, so the default each one falls back to is pinned here too.
TEST(Settings, EachUnusableValueKeepsItsDefaultAndNamesTheKey) {
  const char* const kSize = "is outside 1 to 8192; using 800";
  const char* const kYesNo = "is neither yes nor no; using false";
  struct Case {
    const char *section, *key;
    std::vector<const char*> values;
    const char* why;
  };
  const Case cases[] = {
      // 99999999999999999999 is past long's range, 4294967297 past int's: neither wraps to a small size.
      {"window", "width", {"-640", "100000", "4294967297"}, kSize},
      {"window", "height", {"0", "99999999999999999999"}, kSize},
      {"window", "width", {"wide"}, "is not a number; using 800"},
      {"window", "refresh_rate", {"0"}, "is outside 1 to 1000; using 60"},
      {"window", "fullscreen", {"maybe"}, kYesNo},
      {"window", "debug", {"2"}, kYesNo},
      {"window", "debugCam", {"x"}, "is not a number; using 0"},
      {"camera", "fov", {"0", "180", "nan"}, "is outside 1 to 179; using 60"},
      {"camera", "fov", {"abc", ""}, "is not a number; using 60"},
      {"camera", "near", {"1e39"}, "is outside -3.40282e+38 to 3.40282e+38; using 0.1"},
      {"camera", "far", {"1e300"}, "is outside -3.40282e+38 to 3.40282e+38; using 100"},
      {"light", "brightness", {"-1", "inf"}, "is outside 0 to 3.40282e+38; using 1"},
      {"light", "particles", {"lots"}, "is neither yes nor no; using true"},
      {"play", "hud", {"sometimes"}, kYesNo},
      {"play", "best_runs", {"always"}, kYesNo},
      {"input", "gamepad", {"pad"}, kYesNo},
      {"window", "samples", {"3", "8", "-2", "2x", "many"}, "is not 0, 2 or 4; using 4"},
      {"window", "render_scale", {"0.49", "1.5", "nan"}, "is outside 0.5 to 1; using 1"},
      {"window", "render_scale", {"half"}, "is not a number; using 1"},
      {"light", "shadows", {"None", "torches", ""}, "is not all, sun or none; using all"},
  };
  for (const Case& c : cases)
    for (const std::string value : c.values) {
      std::string console;
      const Settings s = load("[" + std::string(c.section) + "]\n" + c.key + "=" + value + "\n", &console);
      EXPECT_EQ(console,
                std::string("Settings: ") + c.section + "." + c.key + " = \"" + value + "\" " + c.why + " instead.\n");
      EXPECT_EQ(fields(s), fields(Settings{})) << c.key << "=" << value;
    }
  // Several at once: one line each, in the file's order.
  std::string console;
  load("[window]\nwidth=wide\nfullscreen=maybe\n[camera]\nfov=\n", &console);
  EXPECT_EQ(console,
            "Settings: window.width = \"wide\" is not a number; using 800 instead.\n"
            "Settings: window.fullscreen = \"maybe\" is neither yes nor no; using false instead.\n"
            "Settings: camera.fov = \"\" is not a number; using 60 instead.\n");
}

TEST(Settings, GarbageAndOverlongLinesNeitherCrashNorLeakControlBytesIntoMessages) {
  std::string garbage = "[window]\nwidth=\x01\x02\xff\xfe\nheight=";
  for (int i = 0; i < 300; ++i) garbage += static_cast<char>((i * 37) % 256 == '\n' ? 'x' : (i * 37) % 256);
  std::string console;
  const Settings s = load(garbage + "\n[camera]\ntitle=" + std::string(10000, 'T') + "\n", &console);
  EXPECT_EQ(std::make_tuple(s.width, s.height, s.title), std::make_tuple(800, 800, std::string("Kellvane")));
  for (char c : console) EXPECT_TRUE(c == '\n' || (c >= 0x20 && c < 0x7f)) << int(static_cast<unsigned char>(c));
  EXPECT_NE(console.find("Settings: window.width = \"????\" is not a number; using 800 instead.\n"), std::string::npos)
      << console;
  // A 10,000-character title is read as far as the parser's line reaches and the rest is skipped.
  const std::string title = load("[window]\ntitle=" + std::string(10000, 'T') + "\n", &console).title;
  EXPECT_TRUE(!title.empty() && title.size() <= 10000u && title.find_first_not_of('T') == std::string::npos);
}
