#version 430 core
in vec2 quadUv;
out vec4 color;

uniform sampler2D depthMap;  // unit 0
// 0 shows the stored depth as it is (orthographic maps are linear already); otherwise the
// depth is turned back into distance between these planes, world units.
uniform float nearPlane;
uniform float farPlane;

void main() {
  float depth = texture(depthMap, quadUv).r;
  if (farPlane > nearPlane && nearPlane > 0.0) {
    float z = depth * 2.0 - 1.0;
    depth = (2.0 * nearPlane * farPlane / (farPlane + nearPlane - z * (farPlane - nearPlane))) / farPlane;
  }
  color = vec4(vec3(depth), 1.0);
}
