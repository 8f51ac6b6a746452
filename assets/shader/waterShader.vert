#version 430 core
// Still water: a flat grid raised into slow swells that move with the running time.
layout(location = 0) in vec3 position;
layout(location = 1) in vec3 normal;
layout(location = 2) in vec2 uv;

uniform mat4 modelMatrix;
uniform mat4 viewProjMatrix;
uniform float dt;  // running time, seconds
uniform int type;  // 1 calm pool, 2 choppy pool

out VertexData {
  vec3 worldPos;
  vec3 worldNormal;
  vec2 uv;
} vertexOut;

// Height of the swell (world units) and its slope along x and z at a world position.
vec3 swell(vec2 p, float amplitude) {
  const vec2 dirA = vec2(0.8, 0.6);
  const vec2 dirB = vec2(-0.3, 0.95);
  float kA = 1.3, kB = 2.1;  // radians per world unit
  float phaseA = dot(dirA, p) * kA + dt * 1.7;
  float phaseB = dot(dirB, p) * kB + dt * 2.3;
  float height = amplitude * (sin(phaseA) + 0.5 * sin(phaseB));
  vec2 slope = amplitude * (cos(phaseA) * kA * dirA + 0.5 * cos(phaseB) * kB * dirB);
  return vec3(height, slope);
}

void main() {
  vec4 world = modelMatrix * vec4(position, 1.0);
  float amplitude = type == 2 ? 0.12 : 0.05;
  vec3 s = swell(world.xz, amplitude);
  world.y += s.x;
  vec3 up = normalize(transpose(inverse(mat3(modelMatrix))) * normal);
  vertexOut.worldPos = world.xyz;
  vertexOut.worldNormal = normalize(up + vec3(-s.y, 0.0, -s.z));
  vertexOut.uv = uv;
  gl_Position = viewProjMatrix * world;
}
