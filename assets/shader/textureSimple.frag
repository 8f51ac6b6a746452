#version 430 core
in vec2 surfaceUv;
out vec4 color;

uniform sampler2D diffuseTexture;  // unit 0

void main() { color = texture(diffuseTexture, surfaceUv); }
