#version 430 core
in vec2 glyphUv;
in vec4 glyphColour;
out vec4 color;

uniform sampler2D glyphAtlas;  // unit 0, coverage in the red channel

void main() {
  float coverage = glyphUv.x < 0.0 ? 1.0 : texture(glyphAtlas, glyphUv).r;
  color = vec4(glyphColour.rgb, glyphColour.a * coverage);
}
