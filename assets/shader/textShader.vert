#version 430 core
// Text and its backing panels in screen space: positions in window pixels from the top-left.
layout(location = 0) in vec2 position;
layout(location = 1) in vec2 uv;  // atlas coordinates; negative for a solid panel
layout(location = 2) in vec4 colour;

uniform vec2 screenSize;  // pixels

out vec2 glyphUv;
out vec4 glyphColour;

void main() {
  glyphUv = uv;
  glyphColour = colour;
  gl_Position = vec4(position.x / screenSize.x * 2.0 - 1.0, 1.0 - position.y / screenSize.y * 2.0, 0.0, 1.0);
}
