#pragma once
// Pictures read back from the finished frame, and the few measures the look tests compare.
#include <GL/glew.h>

#include <glm/glm.hpp>
#include <string>
#include <vector>

// One frame as it was about to be shown: colour and depth, bottom row first (GL order).
struct Shot {
  int width = 0;
  int height = 0;
  std::vector<unsigned char> rgb;  // 3 bytes a pixel
  std::vector<float> depth;        // 0 near plane .. 1 far plane (nothing drawn)

  static Shot readBack(int width, int height);
  // Writes "look/<name>.png" below the working folder (the build folder under ctest), top row first.
  void save(const std::string& name) const;

  glm::vec3 color(int x, int y) const;  // 0..255 per channel
  float luminance(int x, int y) const;  // 0..255
  float depthAt(int x, int y) const { return depth[static_cast<size_t>(y * width + x)]; }
};

// Where a world position lands on the screen, in pixels from the bottom left; z > 1 when behind.
glm::vec3 projectToPixels(const glm::mat4& viewProjection, const glm::vec3& world, int width, int height);
