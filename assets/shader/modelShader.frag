#version 430 core
// Blinn-Phong with diffuse and specular maps under the sun.
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

uniform DirectionalLight dirL;
uniform vec3 camera_world;
uniform vec3 materialCoefficients;
uniform float specularAlpha;
uniform sampler2D diffuseTexture;   // unit 0
uniform sampler2D specularTexture;  // unit 1, red channel

void main() {
  vec3 n = normalize(fragmentIn.worldNormal);
  vec3 toViewer = normalize(camera_world - fragmentIn.worldPos);
  vec3 toLight = -normalize(dirL.direction);
  vec3 albedo = texture(diffuseTexture, fragmentIn.uv).rgb;
  float specularMask = texture(specularTexture, fragmentIn.uv).r;
  float diffuse = max(dot(n, toLight), 0.0);
  float specular = diffuse > 0.0 ? pow(max(dot(n, normalize(toLight + toViewer)), 0.0), max(specularAlpha, 0.01)) : 0.0;
  vec3 lit = materialCoefficients.x * albedo +
             dirL.color * (materialCoefficients.y * diffuse * albedo + materialCoefficients.z * specular * specularMask);
  color = vec4(vec3(1.0) - exp(-1.6 * lit), 1.0);
}
