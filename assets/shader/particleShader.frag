#version 430 core
in vec2 spriteUv;
in vec4 tint;
out vec4 color;

uniform sampler2D sprite;  // unit 0

void main() {
  vec4 texel = texture(sprite, spriteUv);
  color = vec4(texel.rgb * tint.rgb, texel.a * tint.a);
}
