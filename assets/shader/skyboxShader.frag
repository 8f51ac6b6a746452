#version 430 core
in vec3 direction;
out vec4 color;

uniform samplerCube skybox;  // unit 0

void main() { color = vec4(texture(skybox, direction).rgb, 1.0); }
