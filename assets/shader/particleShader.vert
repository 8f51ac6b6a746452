#version 430 core
// Flame sprites: each instance is a quad turned to face the camera.
layout(location = 0) in vec3 corner;  // quad corner, -0.5..0.5
layout(location = 1) in vec2 uv;
layout(location = 2) in vec4 instanceColor;
layout(location = 3) in mat4 instanceMatrix;  // locations 3 to 6: the particle's place at its emitter

uniform mat4 viewProjectionMatrix;
uniform mat4 modelMatrix;  // the emitter's place in the world
uniform vec3 cameraRight;  // world-space unit vectors of the camera
uniform vec3 cameraUp;

out vec2 spriteUv;
out vec4 tint;

const float kParticleSize = 0.9;  // world units across

void main() {
  vec3 centre = (modelMatrix * instanceMatrix * vec4(0.0, 0.0, 0.0, 1.0)).xyz;
  vec3 world = centre + (cameraRight * corner.x + cameraUp * corner.y) * kParticleSize;
  spriteUv = uv;
  tint = instanceColor;
  gl_Position = viewProjectionMatrix * vec4(world, 1.0);
}
