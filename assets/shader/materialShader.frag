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
// The shadow maps are read through comparing samplers: one lookup tells how much of the 2 x 2
// texels around the point lies farther from the light than the given depth (1 = lit), with
// bilinear weights, so shadow edges come out smooth for the price of one fetch.
uniform sampler2DShadow depthMap;         // unit 2, the sun's orthographic depth
uniform samplerCubeShadow cubeDepthMap1;  // units 3 to 6: distance / far plane around lights 1 to 4
uniform samplerCubeShadow cubeDepthMap2;
uniform samplerCubeShadow cubeDepthMap3;
uniform samplerCubeShadow cubeDepthMap4;
uniform vec3 lightPos;              // the sun's shadow eye, world units
uniform float pointLightFarPlane;   // world units, as used by the cube depth pass

// Which shadow maps are read ("shadows" in the settings): start-up builds this program with
// SUN_SHADOW or TORCH_SHADOWS defined as 0 where those maps are not drawn. A software rasteriser
// pays for every lookup in every fragment, so the lookups are compiled out, not branched around.
#ifndef SUN_SHADOW
#define SUN_SHADOW 1
#endif
#ifndef TORCH_SHADOWS
#define TORCH_SHADOWS 1
#endif

// 0 = lit, 1 = fully shadowed.
float sunShadow(vec3 n) {
#if SUN_SHADOW
  vec3 p = fragmentIn.lightSpacePos.xyz / fragmentIn.lightSpacePos.w * 0.5 + 0.5;
  if (p.z > 1.0) return 0.0;
  vec3 toEye = normalize(lightPos - fragmentIn.worldPos);
  // Depth units: the box is 200 world units deep, so 0.0005 is 0.1 units on a facing surface.
  float bias = max(0.002 * (1.0 - dot(n, toEye)), 0.0005);
  return 1.0 - texture(depthMap, vec3(p.xy, p.z - bias));
#else
  return 0.0;
#endif
}

// Blinn-Phong, summed over the lights before the surface's colours are applied: each light adds
// its colour times the diffuse factor to one sum and times the specular factor to the other.
vec3 diffuseSum = vec3(0.0);
vec3 specularSum = vec3(0.0);

// `toLight` is unit length; `n` and `toViewer` too.
void addLight(vec3 lightColor, vec3 toLight, vec3 n, vec3 toViewer) {
  float facing = dot(n, toLight);
  vec3 halfway = toLight + toViewer;
  float alignment = max(dot(n, halfway), 0.0) * inversesqrt(max(dot(halfway, halfway), 1e-12));
  float specular = facing > 0.0 ? pow(alignment, max(specularAlpha, 0.01)) : 0.0;
  diffuseSum += max(facing, 0.0) * lightColor;
  specularSum += specular * lightColor;
}

// A point light, its colour scaled by the distance falloff and by `lit` (1 = unshadowed).
void addPointLight(PointLight light, vec3 toLight, float distance, float lit, vec3 n, vec3 toViewer) {
  vec3 k = light.attenuation;
  float falloff = lit / max(k.x + k.y * distance + k.z * distance * distance, 0.0001);
  addLight(falloff * light.color, toLight / max(distance, 0.0001), n, toViewer);
}

// A torch with its cube shadow. The cube pass stores distance / far plane; beyond the far plane
// the map knows nothing, and the light shines unshadowed.
void addTorch(int i, samplerCubeShadow map, vec3 n, vec3 toViewer) {
  vec3 toLight = pointLights[i].position - fragmentIn.worldPos;
  float distance = length(toLight);
  float bias = 0.08 + 0.004 * distance;  // world units
#if TORCH_SHADOWS
  float lit = texture(map, vec4(-toLight, (distance - bias) / pointLightFarPlane));
#else
  float lit = 1.0;
#endif
  addPointLight(pointLights[i], toLight, distance, distance < pointLightFarPlane ? lit : 1.0, n, toViewer);
}

void main() {
  vec3 n = normalize(fragmentIn.worldNormal);
  vec3 toViewer = normalize(camera_world - fragmentIn.worldPos);
  vec3 albedo = texture(diffuseTexture, fragmentIn.uv).rgb;
  float specularMask = texture(specularTexture, fragmentIn.uv).r;

  addLight((1.0 - sunShadow(n)) * dirL.color, -normalize(dirL.direction), n, toViewer);
  vec3 toPlayerLight = pointLights[0].position - fragmentIn.worldPos;
  addPointLight(pointLights[0], toPlayerLight, length(toPlayerLight), 1.0, n, toViewer);
  addTorch(1, cubeDepthMap1, n, toViewer);
  addTorch(2, cubeDepthMap2, n, toViewer);
  addTorch(3, cubeDepthMap3, n, toViewer);
  addTorch(4, cubeDepthMap4, n, toViewer);

  vec3 lit = (materialCoefficients.x + materialCoefficients.y * diffuseSum) * albedo +
             materialCoefficients.z * specularMask * specularSum;
  // The torch colours go well past 1: an exposure curve keeps their glow from clipping flat.
  color = vec4(vec3(1.0) - exp(-1.6 * lit), 1.0);
}
