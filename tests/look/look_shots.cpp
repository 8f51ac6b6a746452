#include "look_shots.h"

#include <stb_image_write.h>

#include <filesystem>
#include <iostream>

Shot Shot::readBack(int width, int height) {
  Shot shot;
  shot.width = width;
  shot.height = height;
  shot.rgb.resize(static_cast<size_t>(width * height * 3));
  shot.depth.resize(static_cast<size_t>(width * height));
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadBuffer(GL_BACK);
  glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, shot.rgb.data());
  glReadPixels(0, 0, width, height, GL_DEPTH_COMPONENT, GL_FLOAT, shot.depth.data());
  return shot;
}

void Shot::save(const std::string& name) const {
  std::filesystem::create_directories("look");
  const std::string path = "look/" + name + ".png";
  // PNG rows run top down, GL rows bottom up.
  stbi_flip_vertically_on_write(1);
  if (!stbi_write_png(path.c_str(), width, height, 3, rgb.data(), width * 3))
    std::cout << "Could not write " << path << std::endl;
  stbi_flip_vertically_on_write(0);
}

glm::vec3 Shot::color(int x, int y) const {
  const unsigned char* p = &rgb[static_cast<size_t>((y * width + x) * 3)];
  return glm::vec3(p[0], p[1], p[2]);
}

float Shot::luminance(int x, int y) const {
  const glm::vec3 c = color(x, y);
  return 0.2126f * c.r + 0.7152f * c.g + 0.0722f * c.b;
}

glm::vec3 projectToPixels(const glm::mat4& viewProjection, const glm::vec3& world, int width, int height) {
  const glm::vec4 clip = viewProjection * glm::vec4(world, 1.0f);
  if (clip.w <= 0.0f) return glm::vec3(-1.0f, -1.0f, 2.0f);
  const glm::vec3 ndc = glm::vec3(clip) / clip.w;
  return glm::vec3((ndc.x * 0.5f + 0.5f) * static_cast<float>(width),
                   (ndc.y * 0.5f + 0.5f) * static_cast<float>(height), ndc.z);
}
