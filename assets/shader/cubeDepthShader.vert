#version 430 core
// A point light's shadow pass: positions go to the geometry stage in world space.
layout(location = 0) in vec3 position;

uniform mat4 modelMatrix;

void main() { gl_Position = modelMatrix * vec4(position, 1.0); }
