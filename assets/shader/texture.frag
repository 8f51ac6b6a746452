#version 430 core
// Blinn-Phong with a diffuse map under the sun and one point light.
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
  vec4 texel = texture(diffuseTexture, fragmentIn.uv);
  vec3 toLight = pointL.position - fragmentIn.worldPos;
  float d = length(toLight);
  vec3 k = pointL.attenuation;
  float falloff = 1.0 / max(k.x + k.y * d + k.z * d * d, 0.0001);

  vec3 lit = materialCoefficients.x * texel.rgb;
  lit += blinnPhong(dirL.color, -normalize(dirL.direction), n, toViewer, texel.rgb);
  lit += falloff * blinnPhong(pointL.color, toLight / max(d, 0.0001), n, toViewer, texel.rgb);
  color = vec4(vec3(1.0) - exp(-1.6 * lit), texel.a);
}
