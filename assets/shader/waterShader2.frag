#version 430 core
// Flowing water. "offset1" is the flow (world units per second along x and z) at the sheet's
// near edge and "offset2" at its far edge; between them the flow is blended, so neighbouring
// sheets that share an edge value join without a visible step. The texture is moved along the
// flow in two phases that fade into each other, so it never smears however long the game runs.
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
uniform int type;  // 1 for every flowing sheet; 2 would be murkier
uniform vec2 offset1;
uniform vec2 offset2;
uniform vec3 materialCoefficients;
uniform float specularAlpha;
uniform sampler2D diffuseTexture;

const float kTexturesPerUnit = 0.08;
const float kFlowPeriod = 1.5;  // seconds of one phase

vec3 blinnPhong(vec3 lightColor, vec3 toLight, vec3 n, vec3 toViewer, vec3 albedo, float shininess) {
  float diffuse = max(dot(n, toLight), 0.0);
  vec3 halfway = normalize(toLight + toViewer);
  float specular = diffuse > 0.0 ? pow(max(dot(n, halfway), 0.0), shininess) : 0.0;
  return lightColor * (materialCoefficients.y * diffuse * albedo + (materialCoefficients.z + 0.4) * specular);
}

void main() {
  // The grid's second texture coordinate runs from 0 at the near edge to 1 at the far edge.
  vec2 flow = mix(offset1, offset2, clamp(fragmentIn.uv.y, 0.0, 1.0)) * kTexturesPerUnit;
  float phaseA = fract(dt / kFlowPeriod);
  float phaseB = fract(dt / kFlowPeriod + 0.5);
  vec2 p = fragmentIn.worldPos.xz * kTexturesPerUnit;
  vec3 a = texture(diffuseTexture, p - flow * phaseA * kFlowPeriod).rgb;
  vec3 b = texture(diffuseTexture, p - flow * phaseB * kFlowPeriod + vec2(0.37, 0.21)).rgb;
  float weightA = 1.0 - abs(2.0 * phaseA - 1.0);
  vec3 albedo = mix(b, a, weightA);
  if (type == 2) albedo *= vec3(0.75, 0.95, 0.85);
  // Fast water foams: the faster the flow, the whiter.
  float speed = length(flow) / kTexturesPerUnit;  // world units per second
  albedo = mix(albedo, vec3(0.9, 0.95, 1.0), clamp(speed / 40.0, 0.0, 0.35) * albedo.g);

  vec2 ripple = vec2(a.g - b.g, a.b - b.r) * 0.35;
  vec3 n = normalize(normalize(fragmentIn.worldNormal) + vec3(ripple.x, 0.0, ripple.y));
  vec3 toViewer = normalize(camera_world - fragmentIn.worldPos);
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
  color = vec4(vec3(1.0) - exp(-1.6 * lit), mix(0.75, 0.95, fresnel));
}
