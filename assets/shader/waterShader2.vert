#version 430 core
// Flowing water: a flat grid with a gentle ripple; the flow itself is in the fragment stage.
layout(location = 0) in vec3 position;
layout(location = 1) in vec3 normal;
layout(location = 2) in vec2 uv;

uniform mat4 modelMatrix;
uniform mat4 viewProjMatrix;
uniform float dt;  // running time, seconds

out VertexData {
  vec3 worldPos;
  vec3 worldNormal;
  vec2 uv;
} vertexOut;

void main() {
  vec4 world = modelMatrix * vec4(position, 1.0);
  float phase = world.z * 1.9 + world.x * 0.7 - dt * 6.0;  // radians
  world.y += 0.04 * sin(phase);
  vec3 up = normalize(transpose(inverse(mat3(modelMatrix))) * normal);
  vertexOut.worldPos = world.xyz;
  vertexOut.worldNormal = normalize(up + vec3(-0.04 * 0.7 * cos(phase), 0.0, -0.04 * 1.9 * cos(phase)));
  vertexOut.uv = uv;
  gl_Position = viewProjMatrix * world;
}
