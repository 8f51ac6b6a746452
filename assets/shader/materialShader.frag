#version 430 core
// Blinn-Phong with a diffuse and a specular map, the sun with a filtered shadow map and five
// point lights, of which lights 1 to 4 cast shadows through the four cube depth maps.
in VertexData {
  vec3 worldPos;
  vec3 worldNormal;
  vec2 uv;
  vec4 lightSpacePos;
} fragmentIn;

out vec4 color;

struct DirectionalLight {
  vec3 color;
  vec3 direction;  // the way the light travels, unit length
};
struct PointLight {
  vec3 color;
  vec3 position;
  vec3 attenuation;  // constant, linear, quadratic factor of the distance
};

uniform DirectionalLight dirL;
uniform PointLight pointLights[5];
uniform vec3 camera_world;
uniform vec3 materialCoefficients;  // ambient, diffuse, specular weight
uniform float specularAlpha;
uniform sampler2D diffuseTexture;   // unit 0
uniform sampler2D specularTexture;  // unit 1, red channel
uniform sampler2D depthMap;         // unit 2, the sun's orthographic depth
uniform samplerCube cubeDepthMap1;  // units 3 to 6: distance / far plane around lights 1 to 4
uniform samplerCube cubeDepthMap2;
uniform samplerCube cubeDepthMap3;
uniform samplerCube cubeDepthMap4;
uniform vec3 lightPos;              // the sun's shadow eye, world units
uniform float pointLightFarPlane;   // world units, as used by the cube depth pass

// Four directions a tetrahedron apart: the cube filter's taps around the direction to a fragment.
const vec3 kCubeTaps[4] = vec3[](vec3(1, 1, 1), vec3(1, -1, -1), vec3(-1, 1, -1), vec3(-1, -1, 1));

// How much of a 2 x 2 texel footprint lies nearer the light than `depth`; one fetch returns all
// four texels, which keeps the software rasteriser's cost per fragment low.
float shadowedShare(vec4 closest, float depth) { return dot(step(closest, vec4(depth)), vec4(0.25)); }

// 0 = lit, 1 = fully shadowed; four gathers filter a 4 x 4 texel block around the fragment.
float sunShadow(vec3 n) {
  vec3 p = fragmentIn.lightSpacePos.xyz / fragmentIn.lightSpacePos.w * 0.5 + 0.5;
  if (p.z > 1.0) return 0.0;
  vec3 toEye = normalize(lightPos - fragmentIn.worldPos);
  // Depth units: the box is 200 world units deep, so 0.0005 is 0.1 units on a facing surface.
  float bias = max(0.002 * (1.0 - dot(n, toEye)), 0.0005);
  vec2 texel = 1.0 / vec2(textureSize(depthMap, 0));
  float shadow = 0.0;
  for (int x = -1; x <= 1; x += 2) {
    for (int y = -1; y <= 1; y += 2) shadow += shadowedShare(textureGather(depthMap, p.xy + vec2(x, y) * texel), p.z - bias);
  }
  return shadow / 4.0;
}

float cubeShadow(samplerCube map, vec3 lightPosition) {
  vec3 toFragment = fragmentIn.worldPos - lightPosition;
  float current = length(toFragment);
  if (current >= pointLightFarPlane) return 0.0;
  float viewDistance = length(camera_world - fragmentIn.worldPos);
  float radius = (1.0 + viewDistance / pointLightFarPlane) / 60.0;  // world units per unit of distance
  float bias = 0.08 + 0.004 * current;                              // world units
  float depth = (current - bias) / pointLightFarPlane;              // as the cube pass stores it
  float shadow = 0.0;
  for (int i = 0; i < 4; ++i) shadow += shadowedShare(textureGather(map, toFragment + kCubeTaps[i] * radius * current), depth);
  return shadow / 4.0;
}

vec3 blinnPhong(vec3 lightColor, vec3 toLight, vec3 n, vec3 toViewer, vec3 albedo, float specularMask) {
  float diffuse = max(dot(n, toLight), 0.0);
  vec3 halfway = normalize(toLight + toViewer);
  float specular = diffuse > 0.0 ? pow(max(dot(n, halfway), 0.0), max(specularAlpha, 0.01)) : 0.0;
  return lightColor * (materialCoefficients.y * diffuse * albedo + materialCoefficients.z * specular * specularMask);
}

vec3 pointLight(int i, vec3 n, vec3 toViewer, vec3 albedo, float specularMask) {
  vec3 toLight = pointLights[i].position - fragmentIn.worldPos;
  float d = length(toLight);
  vec3 k = pointLights[i].attenuation;
  float falloff = 1.0 / max(k.x + k.y * d + k.z * d * d, 0.0001);
  return falloff * blinnPhong(pointLights[i].color, toLight / max(d, 0.0001), n, toViewer, albedo, specularMask);
}

// A torch's light with its cube shadow; the shadow taps are skipped where the light adds
// nothing anyway (facing away, or attenuated to nothing).
vec3 shadowedPointLight(int i, samplerCube map, vec3 n, vec3 toViewer, vec3 albedo, float specularMask) {
  vec3 term = pointLight(i, n, toViewer, albedo, specularMask);
  if (max(term.r, max(term.g, term.b)) < 0.002) return term;
  return (1.0 - cubeShadow(map, pointLights[i].position)) * term;
}

void main() {
  vec3 n = normalize(fragmentIn.worldNormal);
  vec3 toViewer = normalize(camera_world - fragmentIn.worldPos);
  vec3 albedo = texture(diffuseTexture, fragmentIn.uv).rgb;
  float specularMask = texture(specularTexture, fragmentIn.uv).r;

  vec3 lit = materialCoefficients.x * albedo;
  vec3 sun = blinnPhong(dirL.color, -normalize(dirL.direction), n, toViewer, albedo, specularMask);
  if (max(sun.r, max(sun.g, sun.b)) > 0.0) sun *= 1.0 - sunShadow(n);
  lit += sun;
  lit += pointLight(0, n, toViewer, albedo, specularMask);
  lit += shadowedPointLight(1, cubeDepthMap1, n, toViewer, albedo, specularMask);
  lit += shadowedPointLight(2, cubeDepthMap2, n, toViewer, albedo, specularMask);
  lit += shadowedPointLight(3, cubeDepthMap3, n, toViewer, albedo, specularMask);
  lit += shadowedPointLight(4, cubeDepthMap4, n, toViewer, albedo, specularMask);

  // The torch colours go well past 1: an exposure curve keeps their glow from clipping flat.
  color = vec4(vec3(1.0) - exp(-1.6 * lit), 1.0);
}
