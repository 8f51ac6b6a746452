#include "app/settings.h"

#include <INIReader.h>
#include <iostream>

Settings loadSettings(const std::string& path) {
  Settings s;
  INIReader reader(path);
  if (reader.ParseError() < 0) {
    std::cout << "ERROR: Failed to load '" << path << "'. Using default values instead." << std::endl;
    return s;
  }
  // The getters fall back to the defaults above for every key the file lacks.
  s.width = static_cast<int>(reader.GetInteger("window", "width", s.width));
  s.height = static_cast<int>(reader.GetInteger("window", "height", s.height));
  s.refreshRate = static_cast<int>(reader.GetInteger("window", "refresh_rate", s.refreshRate));
  s.fullscreen = reader.GetBoolean("window", "fullscreen", s.fullscreen);
  s.title = reader.Get("window", "title", s.title);
  s.debug = reader.GetBoolean("window", "debug", s.debug);
  s.debugCam = static_cast<int>(reader.GetInteger("window", "debugCam", s.debugCam));
  s.fov = static_cast<float>(reader.GetReal("camera", "fov", s.fov));
  s.nearPlane = static_cast<float>(reader.GetReal("camera", "near", s.nearPlane));
  s.farPlane = static_cast<float>(reader.GetReal("camera", "far", s.farPlane));
  s.brightness = static_cast<float>(reader.GetReal("light", "brightness", s.brightness));
  s.particles = reader.GetBoolean("light", "particles", s.particles);
  return s;
}
