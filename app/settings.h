#pragma once
#include <string>

// Everything read from "assets/settings.ini", copied into plain values once at start-up.
struct Settings {
  int width = 800;       // pixels
  int height = 800;      // pixels
  int refreshRate = 60;  // Hz, a window hint only
  bool fullscreen = false;
  std::string title = "Kellvane";
  bool debug = false;       // fly, no chase rules, free or orbit camera
  int debugCam = 0;         // 0 free camera, anything else the orbit camera
  float fov = 60.0f;        // degrees, vertical
  float nearPlane = 0.1f;   // read but unused: the projection's planes are fixed
  float farPlane = 100.0f;  // read but unused
  float brightness = 1.0f;  // factor on every start-up material's ambient coefficient
  bool particles = true;
  // Off when the file does not name them, so that a file written before they existed plays as it
  // did then: nothing drawn over the picture, no file written, no pad read.
  bool hud = false;       // time, points, pause and the finish screen drawn in the window
  bool bestRuns = false;  // the best finished runs kept in "best-runs.txt" beside "assets/"
  bool gamepad = false;   // a pad's stick, d-pad and buttons work beside the keys

  // The picture's proportions: the window's width over its height.
  float aspect() const { return static_cast<float>(width) / static_cast<float>(height); }

  // The three keys of a lighter picture for machines without a graphics chip. Their defaults
  // draw today's picture exactly.
  int samples = 4;              // multisampling: 0, 2 or 4 samples per pixel
  float renderScale = 1.0f;     // 0.5 to 1: the scene is drawn at this fraction of the window's size, then scaled up
  std::string shadows = "all";  // "all": sun and torches, "sun": the sun's only, "none"

  bool sunShadow() const { return shadows != "none"; }
  bool torchShadows() const { return shadows == "all"; }
};

// Reads the file; when it cannot be opened or does not parse, prints the one warning and returns
// the defaults. A positive parser result (a malformed line) is accepted silently. A key that is
// present but is no number (or no yes/no word), or whose number would leave the game unplayable
// (a size of 0 or one beyond 8192 pixels, a field of view outside 1 to 179 degrees, a negative
// brightness, a sample count other than 0, 2 or 4, a shadow choice other than all, sun or none),
// keeps its default and prints one line naming the key, the value and that default.
Settings loadSettings(const std::string& path);
