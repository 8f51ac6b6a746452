#version 430 core
// Unlit textured surfaces.
layout(location = 0) in vec3 position;
layout(location = 2) in vec2 uv;

uniform mat4 modelMatrix;
uniform mat4 viewProjMatrix;

out vec2 surfaceUv;

void main() {
  surfaceUv = uv;
  gl_Position = viewProjMatrix * modelMatrix * vec4(position, 1.0);
}
