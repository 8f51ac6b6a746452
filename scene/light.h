#pragma once
#include <glm/glm.hpp>

// A point light, copied by value into lists and slots. The enabled flag is not uploaded.
struct PointLight {
  PointLight() = default;
  PointLight(const glm::vec3& color, const glm::vec3& position, const glm::vec3& attenuation)
      : enabled(true), color(color), position(position), attenuation(attenuation) {}

  bool enabled = false;
  glm::vec3 color{0.0f};        // may exceed 1 for bright lights
  glm::vec3 position{0.0f};     // world units
  glm::vec3 attenuation{0.0f};  // constant, linear, quadratic factor of the distance
};

// The sun: a colour and a direction of travel, stored normalised.
struct DirectionalLight {
  DirectionalLight() = default;
  DirectionalLight(const glm::vec3& color, const glm::vec3& direction)
      : color(color), direction(glm::normalize(direction)) {}

  bool enabled = true;
  glm::vec3 color{0.0f};
  glm::vec3 direction{0.0f, -1.0f, 0.0f};
};
