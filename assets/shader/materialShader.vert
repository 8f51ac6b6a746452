#version 430 core
// The level's lit surfaces: boxes, ramps, the player, skulls and diamonds.
layout(location = 0) in vec3 position;
layout(location = 1) in vec3 normal;
layout(location = 2) in vec2 uv;

uniform mat4 modelMatrix;
uniform mat4 viewProjMatrix;
uniform mat4 lightSpaceMatrix;
// Texture repeats across the surface; 0 means "not set yet" and draws one repeat.
uniform int textureMultiplikatorX;
uniform int textureMultiplikatorY;

out VertexData {
  vec3 worldPos;
  vec3 worldNormal;
  vec2 uv;
  vec4 lightSpacePos;
} vertexOut;

void main() {
  vec4 world = modelMatrix * vec4(position, 1.0);
  // The normal matrix is derived here from the matrix actually used: the draws hand over
  // "normalMatrix" in two different layouts, and the spinning diamonds a stale one.
  mat3 normalTransform = transpose(inverse(mat3(modelMatrix)));
  vec2 repeats = vec2(textureMultiplikatorX == 0 ? 1.0 : float(textureMultiplikatorX),
                      textureMultiplikatorY == 0 ? 1.0 : float(textureMultiplikatorY));
  vertexOut.worldPos = world.xyz;
  vertexOut.worldNormal = normalize(normalTransform * normal);
  vertexOut.uv = uv * repeats;
  vertexOut.lightSpacePos = lightSpaceMatrix * world;
  gl_Position = viewProjMatrix * world;
}
