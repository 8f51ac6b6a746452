#version 430 core
// Torch heads: lit by one point light and glowing on their own.
layout(location = 0) in vec3 position;
layout(location = 1) in vec3 normal;
layout(location = 2) in vec2 uv;

uniform mat4 modelMatrix;
uniform mat4 viewProjMatrix;

out VertexData {
  vec3 worldPos;
  vec3 worldNormal;
  vec2 uv;
} vertexOut;

void main() {
  vec4 world = modelMatrix * vec4(position, 1.0);
  vertexOut.worldPos = world.xyz;
  vertexOut.worldNormal = normalize(transpose(inverse(mat3(modelMatrix))) * normal);
  vertexOut.uv = uv;
  gl_Position = viewProjMatrix * world;
}
