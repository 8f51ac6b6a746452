#version 430 core
// Water: two drifting lookups of the texture give the ripples, the sun and four point lights
// light it, and it turns more opaque at grazing angles.
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
uniform float dt;  // running time, seconds
uniform int type;  // 1 calm pool, 2 choppy pool
uniform vec3 materialCoefficients;
uniform float specularAlpha;
uniform sampler2D diffuseTexture;

const float kTexturesPerUnit = 0.08;  // one texture repeat every 12.5 world units

vec3 blinnPhong(vec3 lightColor, vec3 toLight, vec3 n, vec3 toViewer, vec3 albedo, float shininess) {
  float diffuse = max(dot(n, toLight), 0.0);
  vec3 halfway = normalize(toLight + toViewer);
  float specular = diffuse > 0.0 ? pow(max(dot(n, halfway), 0.0), shininess) : 0.0;
  return lightColor * (materialCoefficients.y * diffuse * albedo + (materialCoefficients.z + 0.4) * specular);
}

void main() {
  float drift = type == 2 ? 0.05 : 0.02;  // texture repeats per second
  vec2 p = fragmentIn.worldPos.xz * kTexturesPerUnit;
  vec3 a = texture(diffuseTexture, p + vec2(drift, 0.6 * drift) * dt).rgb;
  vec3 b = texture(diffuseTexture, p * 1.7 - vec2(0.4 * drift, drift) * dt).rgb;
  vec3 albedo = mix(a, b, 0.5);
  if (type == 2) albedo *= vec3(0.75, 0.95, 0.85);

  // The brightness of the two lookups tilts the normal into small ripples.
  vec2 ripple = vec2(a.g - b.g, a.b - b.r) * 0.35;
  vec3 n = normalize(normalize(fragmentIn.worldNormal) + vec3(ripple.x, 0.0, ripple.y));
  vec3 toViewer = normalize(camera_world - fragmentIn.worldPos);
  // Water shines far sharper than its material says; the material sets the floor of it.
  float shininess = max(specularAlpha, 1.0) * 24.0;

  vec3 lit = materialCoefficients.x * albedo;
  lit += blinnPhong(dirL.color, -normalize(dirL.direction), n, toViewer, albedo, shininess);
  for (int i = 0; i < 4; ++i) {
    vec3 toLight = pointLights[i].position - fragmentIn.worldPos;
    float d = length(toLight);
    vec3 k = pointLights[i].attenuation;
    float falloff = 1.0 / max(k.x + k.y * d + k.z * d * d, 0.0001);
    lit += falloff * blinnPhong(pointLights[i].color, toLight / max(d, 0.0001), n, toViewer, albedo, shininess);
  }
  float fresnel = pow(1.0 - max(dot(n, toViewer), 0.0), 3.0);
  color = vec4(vec3(1.0) - exp(-1.6 * lit), mix(0.7, 0.95, fresnel));
}
