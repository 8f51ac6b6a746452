#version 430 core
// The sky cube around the camera; written at the far plane so the level always covers it.
layout(location = 0) in vec3 position;

uniform mat4 view;  // the camera's view without its translation
uniform mat4 projection;

out vec3 direction;

void main() {
  direction = position;
  vec4 clip = projection * view * vec4(position, 1.0);
  gl_Position = clip.xyww;
}
