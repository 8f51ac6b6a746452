#version 430 core
// The ground materials: plain lit surfaces under four fixed orange lights.
layout(location = 0) in vec3 position;
layout(location = 1) in vec3 normal;
layout(location = 2) in vec2 uv;

uniform mat4 modelMatrix;
uniform mat4 viewProjMatrix;
uniform int textureMultiplikatorX;  // texture repeats; 0 means one repeat
uniform int textureMultiplikatorY;

out VertexData {
  vec3 worldPos;
  vec3 worldNormal;
  vec2 uv;
} vertexOut;

void main() {
  vec4 world = modelMatrix * vec4(position, 1.0);
  mat3 normalTransform = transpose(inverse(mat3(modelMatrix)));
  vec2 repeats = vec2(textureMultiplikatorX == 0 ? 1.0 : float(textureMultiplikatorX),
                      textureMultiplikatorY == 0 ? 1.0 : float(textureMultiplikatorY));
  vertexOut.worldPos = world.xyz;
  vertexOut.worldNormal = normalize(normalTransform * normal);
  vertexOut.uv = uv * repeats;
  gl_Position = viewProjMatrix * world;
}
