#version 430 core
// A glowing surface: its texture shines in the light's own colour on top of the usual
// Blinn-Phong of the sun and one point light.
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
uniform PointLight pointL;
uniform vec3 camera_world;
uniform vec3 materialCoefficients;
uniform float specularAlpha;
uniform sampler2D diffuseTexture;

vec3 blinnPhong(vec3 lightColor, vec3 toLight, vec3 n, vec3 toViewer, vec3 albedo) {
  float diffuse = max(dot(n, toLight), 0.0);
  vec3 halfway = normalize(toLight + toViewer);
  float specular = diffuse > 0.0 ? pow(max(dot(n, halfway), 0.0), max(specularAlpha, 0.01)) : 0.0;
  return lightColor * (materialCoefficients.y * diffuse * albedo + materialCoefficients.z * specular);
}

void main() {
  vec3 n = normalize(fragmentIn.worldNormal);
  vec3 toViewer = normalize(camera_world - fragmentIn.worldPos);
  vec3 albedo = texture(diffuseTexture, fragmentIn.uv).rgb;
  vec3 toLight = pointL.position - fragmentIn.worldPos;
  float d = length(toLight);
  vec3 k = pointL.attenuation;
  float falloff = 1.0 / max(k.x + k.y * d + k.z * d * d, 0.0001);

  // Rim glow: brightest where the surface turns away from the viewer, like a hot ember.
  float rim = 1.0 - max(dot(n, toViewer), 0.0);
  vec3 glow = albedo * normalize(pointL.color + vec3(0.001)) * (0.6 + 0.8 * rim);
  vec3 lit = materialCoefficients.x * albedo + glow;
  lit += blinnPhong(dirL.color, -normalize(dirL.direction), n, toViewer, albedo);
  lit += falloff * blinnPhong(pointL.color, toLight / max(d, 0.0001), n, toViewer, albedo);
  color = vec4(vec3(1.0) - exp(-1.6 * lit), 1.0);
}
