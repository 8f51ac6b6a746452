#version 430 core
// A screen quad for looking at a depth map: positions are already in clip space.
layout(location = 0) in vec3 position;
layout(location = 2) in vec2 uv;

out vec2 quadUv;

void main() {
  quadUv = uv;
  gl_Position = vec4(position.xy, 0.0, 1.0);
}
