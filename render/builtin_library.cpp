// The built-in shader library. Its sources are kept in the program only in a scrambled form (the
// compiler scrambles the literals below, so no plain GLSL ends up in the binary) and are decoded
// while the program loads.
#include <array>
#include <cstddef>
#include <string>
#include <unordered_map>

#include "render/framework.h"

namespace {

constexpr unsigned char kKey = 0x5A;

template <std::size_t N>
struct Scrambled {
  std::array<unsigned char, N - 1> bytes{};
  constexpr explicit Scrambled(const char (&text)[N]) {
    for (std::size_t i = 0; i + 1 < N; ++i)
      bytes[i] = static_cast<unsigned char>(text[i]) ^ static_cast<unsigned char>(kKey + i * 7);
  }
  std::string decode() const {
    std::string text(bytes.size(), '\0');
    for (std::size_t i = 0; i < bytes.size(); ++i)
      text[i] = static_cast<char>(bytes[i] ^ static_cast<unsigned char>(kKey + i * 7));
    return text;
  }
};

#define KELLVANE_SCRAMBLED(name, text) constexpr Scrambled<sizeof(text)> name{text}

KELLVANE_SCRAMBLED(kColorVertex,
    "#version 330 core\nlayout(location = 0) in vec3 position;\nuniform mat4 mvp;\n"
    "void main() { gl_Position = mvp * vec4(position, 1); }");
KELLVANE_SCRAMBLED(kColorFragment,
    "#version 330 core\nuniform vec3 color = vec3(1);\nout vec4 fragColor;\n"
    "void main() { fragColor = vec4(color, 1); }");
KELLVANE_SCRAMBLED(kSharedLitVertex,
    "#version 330 core\nlayout(location = 0) in vec3 position;\nlayout(location = 1) in vec3 normal;\n"
    "uniform mat4 modelMatrix, viewProjection;\nuniform mat3 normalMatrix;\nout vec3 worldPos, worldNormal;\n"
    "void main() { vec4 w = modelMatrix * vec4(position, 1); worldPos = w.xyz;\n"
    "  worldNormal = normalMatrix * normal; gl_Position = viewProjection * w; }");
KELLVANE_SCRAMBLED(kCookTorranceFragment,
    "#version 330 core\nin vec3 worldPos, worldNormal;\nuniform vec3 lightDir, eye, albedo;\n"
    "uniform float roughness = 0.5;\nout vec4 fragColor;\n"
    "void main() { vec3 n = normalize(worldNormal), l = normalize(-lightDir), v = normalize(eye - worldPos);\n"
    "  vec3 h = normalize(l + v); float a2 = roughness * roughness * roughness * roughness;\n"
    "  float nh = max(dot(n, h), 0.0); float d = a2 / (3.14159 * pow(nh * nh * (a2 - 1.0) + 1.0, 2.0));\n"
    "  float f = 0.04 + 0.96 * pow(1.0 - max(dot(h, v), 0.0), 5.0);\n"
    "  fragColor = vec4(albedo * max(dot(n, l), 0.0) + vec3(d * f * 0.25), 1); }");
KELLVANE_SCRAMBLED(kSharedTexturedVertex,
    "#version 330 core\nlayout(location = 0) in vec3 position;\nlayout(location = 1) in vec3 normal;\n"
    "layout(location = 2) in vec2 uv;\nuniform mat4 modelMatrix, viewProjection;\nuniform mat3 normalMatrix;\n"
    "out vec3 worldPos, worldNormal;\nout vec2 texCoord;\n"
    "void main() { vec4 w = modelMatrix * vec4(position, 1); worldPos = w.xyz; texCoord = uv;\n"
    "  worldNormal = normalMatrix * normal; gl_Position = viewProjection * w; }");
KELLVANE_SCRAMBLED(kEnvironmentMapFragment,
    "#version 330 core\nin vec3 worldPos, worldNormal;\nin vec2 texCoord;\nuniform samplerCube environment;\n"
    "uniform vec3 eye;\nout vec4 fragColor;\n"
    "void main() { vec3 r = reflect(normalize(worldPos - eye), normalize(worldNormal));\n"
    "  fragColor = texture(environment, r); }");
KELLVANE_SCRAMBLED(kPhongGouraudVertex,
    "#version 330 core\nlayout(location = 0) in vec3 position;\nlayout(location = 1) in vec3 normal;\n"
    "uniform mat4 modelMatrix, viewProjection;\nuniform mat3 normalMatrix;\nuniform vec3 lightDir, eye;\n"
    "out vec3 shade;\nvoid main() { vec4 w = modelMatrix * vec4(position, 1);\n"
    "  vec3 n = normalize(normalMatrix * normal), l = normalize(-lightDir);\n"
    "  vec3 r = reflect(-l, n); float s = pow(max(dot(r, normalize(eye - w.xyz)), 0.0), 16.0);\n"
    "  shade = vec3(0.1 + max(dot(n, l), 0.0) + s); gl_Position = viewProjection * w; }");
KELLVANE_SCRAMBLED(kSharedGouraudFragment,
    "#version 330 core\nin vec3 shade;\nuniform vec3 color = vec3(1);\nout vec4 fragColor;\n"
    "void main() { fragColor = vec4(color * shade, 1); }");
KELLVANE_SCRAMBLED(kPhongGouraudBonusVertex,
    "#version 330 core\nlayout(location = 0) in vec3 position;\nlayout(location = 1) in vec3 normal;\n"
    "uniform mat4 modelMatrix, viewProjection;\nuniform mat3 normalMatrix;\nuniform vec3 lightPos, eye;\n"
    "uniform vec3 attenuation = vec3(1, 0.07, 0.017);\nout vec3 shade;\n"
    "void main() { vec4 w = modelMatrix * vec4(position, 1); vec3 d = lightPos - w.xyz; float dist = length(d);\n"
    "  vec3 n = normalize(normalMatrix * normal), l = d / dist;\n"
    "  float att = 1.0 / (attenuation.x + attenuation.y * dist + attenuation.z * dist * dist);\n"
    "  float s = pow(max(dot(reflect(-l, n), normalize(eye - w.xyz)), 0.0), 16.0);\n"
    "  shade = vec3(0.1 + att * (max(dot(n, l), 0.0) + s)); gl_Position = viewProjection * w; }");
KELLVANE_SCRAMBLED(kPhongPhongFragment,
    "#version 330 core\nin vec3 worldPos, worldNormal;\nuniform vec3 lightDir, eye, color = vec3(1);\n"
    "out vec4 fragColor;\nvoid main() { vec3 n = normalize(worldNormal), l = normalize(-lightDir);\n"
    "  float s = pow(max(dot(reflect(-l, n), normalize(eye - worldPos)), 0.0), 16.0);\n"
    "  fragColor = vec4(color * (0.1 + max(dot(n, l), 0.0)) + vec3(s), 1); }");
KELLVANE_SCRAMBLED(kPhongPhongBonusFragment,
    "#version 330 core\nin vec3 worldPos, worldNormal;\nuniform vec3 lightPos, eye, color = vec3(1);\n"
    "uniform vec3 attenuation = vec3(1, 0.07, 0.017);\nout vec4 fragColor;\n"
    "void main() { vec3 d = lightPos - worldPos; float dist = length(d); vec3 n = normalize(worldNormal), l = d / dist;\n"
    "  float att = 1.0 / (attenuation.x + attenuation.y * dist + attenuation.z * dist * dist);\n"
    "  float s = pow(max(dot(normalize(l + normalize(eye - worldPos)), n), 0.0), 32.0);\n"
    "  fragColor = vec4(color * (0.1 + att * max(dot(n, l), 0.0)) + vec3(att * s), 1); }");
KELLVANE_SCRAMBLED(kSpecularMapFragment,
    "#version 330 core\nin vec3 worldPos, worldNormal;\nin vec2 texCoord;\n"
    "uniform sampler2D diffuseTexture, specularTexture;\nuniform vec3 lightDir, eye;\nout vec4 fragColor;\n"
    "void main() { vec3 n = normalize(worldNormal), l = normalize(-lightDir);\n"
    "  float s = pow(max(dot(reflect(-l, n), normalize(eye - worldPos)), 0.0), 16.0);\n"
    "  vec3 base = texture(diffuseTexture, texCoord).rgb;\n"
    "  fragColor = vec4(base * (0.1 + max(dot(n, l), 0.0)) + texture(specularTexture, texCoord).rgb * s, 1); }");
KELLVANE_SCRAMBLED(kTextureFragment,
    "#version 330 core\nin vec3 worldPos, worldNormal;\nin vec2 texCoord;\nuniform sampler2D diffuseTexture;\n"
    "out vec4 fragColor;\nvoid main() { fragColor = texture(diffuseTexture, texCoord); }");
KELLVANE_SCRAMBLED(kTextureBonusFragment,
    "#version 330 core\nin vec3 worldPos, worldNormal;\nin vec2 texCoord;\nuniform sampler2D diffuseTexture;\n"
    "uniform vec2 repeat = vec2(1);\nuniform vec3 lightDir;\nout vec4 fragColor;\n"
    "void main() { float d = max(dot(normalize(worldNormal), normalize(-lightDir)), 0.0);\n"
    "  fragColor = vec4(texture(diffuseTexture, texCoord * repeat).rgb * (0.2 + 0.8 * d), 1); }");

#undef KELLVANE_SCRAMBLED

std::unordered_map<std::string, ShaderSources> buildLibrary() {
  std::unordered_map<std::string, ShaderSources> library;
  library.max_load_factor(1.0f);
  const std::string sharedLit = kSharedLitVertex.decode();
  const std::string sharedTextured = kSharedTexturedVertex.decode();
  const std::string sharedGouraud = kSharedGouraudFragment.decode();
  // In insertion order; the shared texts are the same strings for every program that uses them.
  library["color"] = {kColorVertex.decode(), kColorFragment.decode()};
  library["cookTorrance"] = {sharedLit, kCookTorranceFragment.decode()};
  library["environmentMap"] = {sharedTextured, kEnvironmentMapFragment.decode()};
  library["phongGouraud"] = {kPhongGouraudVertex.decode(), sharedGouraud};
  library["phongGouraudBonus"] = {kPhongGouraudBonusVertex.decode(), sharedGouraud};
  library["phongPhong"] = {sharedLit, kPhongPhongFragment.decode()};
  library["phongPhongBonus"] = {sharedLit, kPhongPhongBonusFragment.decode()};
  library["specularMap"] = {sharedTextured, kSpecularMapFragment.decode()};
  library["texture"] = {sharedTextured, kTextureFragment.decode()};
  library["textureBonus"] = {sharedTextured, kTextureBonusFragment.decode()};
  return library;
}

// Filled by static initialisation, before the entry routine runs.
const std::unordered_map<std::string, ShaderSources> gLibrary = buildLibrary();

}  // namespace

const std::unordered_map<std::string, ShaderSources>& builtinShaderLibrary() { return gLibrary; }
