#version 430 core
// Blinn-Phong under the sun and four point lights; a second, coarse lookup of the diffuse map
// in world space breaks up the repeats of large ground surfaces.
in VertexData {
  vec3 worldPos;
  vec3 worldNormal;
  vec2 uv;
} fragmentIn;

out vec4 color;

struct DirectionalLight {
  vec3 color;
  vec3 direction;
};
struct PointLight {
  vec3 color;
  vec3 position;
  vec3 attenuation;  // constant, linear, quadratic
};

uniform DirectionalLight dirL;
uniform PointLight pointLights[4];
uniform vec3 camera_world;
uniform vec2 dimension;  // world units covered by one coarse variation tile, x and z
uniform vec3 materialCoefficients;
uniform float specularAlpha;
uniform sampler2D diffuseTexture;
uniform sampler2D specularTexture;

vec3 blinnPhong(vec3 lightColor, vec3 toLight, vec3 n, vec3 toViewer, vec3 albedo, float specularMask) {
  float diffuse = max(dot(n, toLight), 0.0);
  vec3 halfway = normalize(toLight + toViewer);
  float specular = diffuse > 0.0 ? pow(max(dot(n, halfway), 0.0), max(specularAlpha, 0.01)) : 0.0;
  return lightColor * (materialCoefficients.y * diffuse * albedo + materialCoefficients.z * specular * specularMask);
}

void main() {
  vec3 n = normalize(fragmentIn.worldNormal);
  vec3 toViewer = normalize(camera_world - fragmentIn.worldPos);
  vec2 coarseUv = fragmentIn.worldPos.xz / max(dimension, vec2(1.0));
  float variation = mix(0.8, 1.2, texture(diffuseTexture, coarseUv).g);
  vec3 albedo = texture(diffuseTexture, fragmentIn.uv).rgb * variation;
  float specularMask = texture(specularTexture, fragmentIn.uv).r;

  vec3 lit = materialCoefficients.x * albedo;
  lit += blinnPhong(dirL.color, -normalize(dirL.direction), n, toViewer, albedo, specularMask);
  for (int i = 0; i < 4; ++i) {
    vec3 toLight = pointLights[i].position - fragmentIn.worldPos;
    float d = length(toLight);
    vec3 k = pointLights[i].attenuation;
    float falloff = 1.0 / max(k.x + k.y * d + k.z * d * d, 0.0001);
    lit += falloff * blinnPhong(pointLights[i].color, toLight / max(d, 0.0001), n, toViewer, albedo, specularMask);
  }
  color = vec4(vec3(1.0) - exp(-1.6 * lit), 1.0);
}
