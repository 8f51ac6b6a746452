#pragma once
#include <array>
#include <glm/glm.hpp>

#include "scene/light.h"

class Camera;
class Shader;

constexpr int kGroundLightCount = 5;  // the start-up array; the ground program sees the first four
constexpr int kActiveLightCount = 5;
constexpr int kWaterLightCount = 4;

// The fixed lights made at start-up: the sun and the orange lights over the start area.
DirectionalLight makeSun();
std::array<PointLight, kGroundLightCount> makeGroundLights();
// The value of the ground program's "dimension", world units covered by one variation tile.
constexpr glm::vec2 kGroundDimension{100.0f, 100.0f};

// Each upload makes the program current, sets its uniforms (names the program lacks are
// skipped) and leaves program 0 current. From the camera: "viewProjMatrix" (projection * view)
// and "camera_world" (its position). The enabled flag of a record is never looked at.

// "lightShader" and "texture": the sun and one point light under "pointL".
void uploadSingleLight(Shader& program, const Camera& camera, const DirectionalLight& sun, const PointLight& light);
// "groundShader": "dimension", the sun and the first four of the ground lights.
void uploadGroundLights(Shader& program, const Camera& camera, const DirectionalLight& sun,
                        const std::array<PointLight, kGroundLightCount>& lights, const glm::vec2& dimension);
// "materialShader": the sun and the five active light slots.
void uploadMaterialLights(Shader& program, const Camera& camera, const DirectionalLight& sun,
                          const std::array<PointLight, kActiveLightCount>& lights);
// "waterShader" and "waterShader2": "dt" is the running time in seconds, not a frame length.
void uploadWaterLights(Shader& program, const Camera& camera, const DirectionalLight& sun,
                       const std::array<PointLight, kWaterLightCount>& lights, float time);
