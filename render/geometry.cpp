#include "render/geometry.h"

#include <cmath>
#include <glm/gtc/matrix_inverse.hpp>

#include "render/bind_filter.h"
#include "render/material.h"
#include "render/shader.h"
#include "render/view_culling.h"

namespace {

// The float values the generators use for a full turn and half a turn (radians).
constexpr float kTwoPi = 6.2831855f;
constexpr float kPi = 3.1415927f;

template <typename T>
void uploadAttribute(GLuint& buffer, GLuint location, const std::vector<T>& values, GLint components) {
  glGenBuffers(1, &buffer);
  glBindBuffer(GL_ARRAY_BUFFER, buffer);
  glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(values.size() * sizeof(T)), values.data(), GL_STATIC_DRAW);
  glEnableVertexAttribArray(location);
  glVertexAttribPointer(location, components, GL_FLOAT, GL_FALSE, 0, nullptr);
}

// One face of the 36-vertex meshes: six positions (two triangles), one normal, the shared uvs.
void appendFace(GeometryData& data, const glm::vec3 (&corners)[6], glm::vec3 normal) {
  static const glm::vec2 faceUvs[6] = {{0, 0}, {1, 0}, {1, 1}, {1, 1}, {0, 1}, {0, 0}};
  for (int i = 0; i < 6; ++i) {
    data.indices.push_back(static_cast<unsigned>(data.positions.size()));
    data.positions.push_back(corners[i]);
    data.normals.push_back(normal);
    data.uvs.push_back(faceUvs[i]);
  }
}

// The material may bind its own texture on unit 0; the bind filter must not trust what it saw.
void setMaterialUniforms(Material& material) {
  material.setUniforms();
  bindFilter.forgetUnit(0);
}

}  // namespace

Geometry::Geometry(glm::mat4 modelMatrix, const GeometryData& data, std::shared_ptr<Material> material)
    : indexCount(static_cast<int>(data.indices.size())),
      material(std::move(material)),
      modelMatrix(modelMatrix),
      bounds(boundingSphereOf(data.positions.data(), data.positions.size())) {
  glGenVertexArrays(1, &vao);
  glBindVertexArray(vao);
  uploadAttribute(positionBuffer, 0, data.positions, 3);
  uploadAttribute(normalBuffer, 1, data.normals, 3);
  uploadAttribute(uvBuffer, 2, data.uvs, 2);
  glGenBuffers(1, &indexBuffer);
  glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, indexBuffer);
  glBufferData(GL_ELEMENT_ARRAY_BUFFER, static_cast<GLsizeiptr>(data.indices.size() * sizeof(unsigned)),
               data.indices.data(), GL_STATIC_DRAW);
  // The element binding is part of the vertex array, so unbind the array first.
  glBindVertexArray(0);
  glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
}

Geometry::~Geometry() {
  glDeleteBuffers(1, &positionBuffer);
  glDeleteBuffers(1, &normalBuffer);
  glDeleteBuffers(1, &uvBuffer);
  glDeleteBuffers(1, &indexBuffer);
  glDeleteVertexArrays(1, &vao);
  positionBuffer = normalBuffer = uvBuffer = indexBuffer = vao = 0;
}

void Geometry::drawElements() const {
  if (viewCulling.suppressDraws) return;
  glBindVertexArray(vao);
  glDrawElements(GL_TRIANGLES, indexCount, GL_UNSIGNED_INT, nullptr);
  glBindVertexArray(0);
}

bool Geometry::useMaterialProgram() {
  if (!material || !material->shader) return false;
  bindFilter.useProgram(material->shader->handle);
  return true;
}

void Geometry::drawUnlessHidden(bool hidden) const {
  if (hidden)
    ++viewCulling.skippedObjects;
  else
    drawElements();
}

void Geometry::draw() {
  if (!useMaterialProgram()) return;
  const bool hidden = !viewCulling.visible(bounds, modelMatrix);
  Shader& shader = *material->shader;
  shader.setUniform("modelMatrix", modelMatrix);
  shader.setUniform("normalMatrix", glm::mat3(glm::inverseTranspose(modelMatrix)));
  setMaterialUniforms(*material);
  drawUnlessHidden(hidden);
}

bool Geometry::setUpTexturedDraw() {
  const bool hidden = !viewCulling.visible(bounds, modelMatrix);
  Shader& shader = *material->shader;
  // The textured draws send the inverse itself, untransposed; the shaders expect it that way.
  const glm::mat3 normalMatrix = glm::mat3(glm::inverse(modelMatrix));
  setMaterialUniforms(*material);
  shader.setUniform("modelMatrix", modelMatrix);
  shader.setUniform("normalMatrix", normalMatrix);
  return hidden;
}

void Geometry::draw(GLuint texture) {
  if (!useMaterialProgram()) return;
  const bool hidden = setUpTexturedDraw();
  bindFilter.bindTexture2DOnActiveUnit(texture);
  drawUnlessHidden(hidden);
}

void Geometry::draw(GLuint diffuseTexture, GLuint specularTexture, float repeatX, float repeatY) {
  if (!useMaterialProgram()) return;
  const bool hidden = setUpTexturedDraw();
  Shader& shader = *material->shader;
  // The shaders take whole repeat counts; the cast truncates toward zero.
  shader.setUniform("textureMultiplikatorX", static_cast<int>(repeatX));
  shader.setUniform("textureMultiplikatorY", static_cast<int>(repeatY));
  bindFilter.bindTexture2D(0, diffuseTexture);
  bindFilter.bindTexture2D(1, specularTexture);
  drawUnlessHidden(hidden);
}

void Geometry::drawDepth(std::shared_ptr<MyShader> depthShader) {
  // Every depth draw sets its own "modelMatrix", so a caster outside the pass leaves nothing behind.
  if (!viewCulling.visible(bounds, modelMatrix)) {
    ++viewCulling.skippedObjects;
    return;
  }
  if (depthShader) depthShader->setMat4("modelMatrix", modelMatrix);
  drawElements();
}

void Geometry::transform(glm::mat4 m) { modelMatrix = m * modelMatrix; }

void Geometry::resetModelMatrix() { modelMatrix = glm::mat4(1.0f); }

GeometryData createBoxGeometry(float width, float height, float depth) {
  const float a = width / 2, b = height / 2, c = depth / 2;
  GeometryData data;
  appendFace(data, {{-a, -b, c}, {a, -b, c}, {a, b, c}, {a, b, c}, {-a, b, c}, {-a, -b, c}}, {0, 0, 1});
  appendFace(data, {{a, -b, c}, {a, -b, -c}, {a, b, -c}, {a, b, -c}, {a, b, c}, {a, -b, c}}, {1, 0, 0});
  appendFace(data, {{-a, b, -c}, {a, b, -c}, {a, -b, -c}, {a, -b, -c}, {-a, -b, -c}, {-a, b, -c}}, {0, 0, -1});
  appendFace(data, {{-a, -b, -c}, {-a, -b, c}, {-a, b, c}, {-a, b, c}, {-a, b, -c}, {-a, -b, -c}}, {-1, 0, 0});
  appendFace(data, {{-a, -b, -c}, {a, -b, -c}, {a, -b, c}, {a, -b, c}, {-a, -b, c}, {-a, -b, -c}}, {0, -1, 0});
  appendFace(data, {{-a, b, c}, {a, b, c}, {a, b, -c}, {a, b, -c}, {-a, b, -c}, {-a, b, c}}, {0, 1, 0});
  return data;
}

GeometryData createRampGeometry(float width, float height, float depth) {
  const float a = width / 2, b = height / 2, c = depth / 2;
  const float m = 0.001f * height;  // the low front edge sits just above the centre height
  GeometryData data;
  appendFace(data, {{-a, b, -c}, {a, b, -c}, {a, -b, -c}, {a, -b, -c}, {-a, -b, -c}, {-a, b, -c}}, {0, 0, -1});
  appendFace(data, {{a, -b, c}, {a, -b, -c}, {a, b, -c}, {a, b, -c}, {a, m, c}, {a, -b, c}}, {1, 0, 0});
  appendFace(data, {{-a, -b, c}, {a, -b, c}, {a, m, c}, {a, m, c}, {-a, m, c}, {-a, -b, c}}, {0, 0, 1});
  appendFace(data, {{-a, -b, -c}, {-a, -b, c}, {-a, m, c}, {-a, m, c}, {-a, b, -c}, {-a, -b, -c}}, {-1, 0, 0});
  appendFace(data, {{-a, -b, -c}, {a, -b, -c}, {a, -b, c}, {a, -b, c}, {-a, -b, c}, {-a, -b, -c}}, {0, -1, 0});
  // The slope keeps the straight-up normal.
  appendFace(data, {{-a, m, c}, {a, m, c}, {a, b, -c}, {a, b, -c}, {-a, b, -c}, {-a, m, c}}, {0, 1, 0});
  return data;
}

GeometryData createFrustumGeometry(float bottomWidth, float topWidth, float height, float bottomDepth, float topDepth) {
  const float ab = bottomWidth / 2, at = topWidth / 2, b = height / 2;
  const float cb = bottomDepth / 2, ct = topDepth / 2;
  // Bottom corners (y = -b) take the bottom half sizes, top corners the top ones.
  const glm::vec3 lbf{-ab, -b, cb}, rbf{ab, -b, cb}, rbb{ab, -b, -cb}, lbb{-ab, -b, -cb};
  const glm::vec3 ltf{-at, b, ct}, rtf{at, b, ct}, rtb{at, b, -ct}, ltb{-at, b, -ct};
  GeometryData data;
  appendFace(data, {lbf, rbf, rtf, rtf, ltf, lbf}, {0, 0, 1});
  appendFace(data, {rbf, rbb, rtb, rtb, rtf, rbf}, {1, 0, 0});
  appendFace(data, {ltb, rtb, rbb, rbb, lbb, ltb}, {0, 0, -1});
  appendFace(data, {lbb, lbf, ltf, ltf, ltb, lbb}, {-1, 0, 0});
  appendFace(data, {lbb, rbb, rbf, rbf, lbf, lbb}, {0, -1, 0});
  appendFace(data, {ltf, rtf, rtb, rtb, ltb, ltf}, {0, 1, 0});
  return data;
}

GeometryData createIndexedBoxGeometry(float width, float height, float depth) {
  const float a = width / 2, b = height / 2, c = depth / 2;
  struct Face {
    glm::vec3 normal;
    glm::vec3 corners[4];
    glm::vec2 uvs[4];
  };
  const Face faces[6] = {
      {{0, 0, 1}, {{-a, -b, c}, {a, -b, c}, {a, b, c}, {-a, b, c}}, {{0, 0}, {1, 0}, {1, 1}, {0, 1}}},
      {{0, 0, -1}, {{a, -b, -c}, {-a, -b, -c}, {-a, b, -c}, {a, b, -c}}, {{1, 1}, {0, 1}, {0, 0}, {1, 0}}},
      {{1, 0, 0}, {{a, -b, c}, {a, -b, -c}, {a, b, -c}, {a, b, c}}, {{0, 0}, {1, 0}, {1, 1}, {0, 1}}},
      {{-1, 0, 0}, {{-a, -b, -c}, {-a, -b, c}, {-a, b, c}, {-a, b, -c}}, {{0, 0}, {1, 0}, {1, 1}, {0, 1}}},
      {{0, 1, 0}, {{-a, b, -c}, {-a, b, c}, {a, b, c}, {a, b, -c}}, {{0, 1}, {0, 0}, {1, 0}, {1, 1}}},
      {{0, -1, 0}, {{-a, -b, -c}, {a, -b, -c}, {a, -b, c}, {-a, -b, c}}, {{0, 0}, {1, 0}, {1, 1}, {0, 1}}},
  };
  GeometryData data;
  for (unsigned f = 0; f < 6; ++f) {
    for (int i = 0; i < 4; ++i) {
      data.positions.push_back(faces[f].corners[i]);
      data.normals.push_back(faces[f].normal);
      data.uvs.push_back(faces[f].uvs[i]);
    }
    for (unsigned local : {0u, 1u, 2u, 2u, 3u, 0u}) data.indices.push_back(4 * f + local);
  }
  return data;
}

GeometryData createCylinderGeometry(unsigned segments, float height, float radius) {
  GeometryData data;
  const float half = height / 2;
  data.positions = {{0, -half, 0}, {0, half, 0}};
  data.normals = {{0, -1, 0}, {0, 1, 0}};
  data.uvs = {{0.5f, 0.5f}, {0.5f, 0.5f}};
  if (segments == 0) return data;

  const float step = kTwoPi / static_cast<float>(segments);
  for (unsigned i = 0; i < segments; ++i) {
    const float theta = static_cast<float>(i) * step;
    const float x = radius * std::cos(theta), z = radius * std::sin(theta);
    // A zero radius would divide by zero; its cap and side directions follow the angle instead.
    const bool flat = radius == 0.0f;
    const glm::vec2 capUv = flat ? glm::vec2(std::cos(theta), std::sin(theta)) * 0.5f + 0.5f
                                 : glm::vec2(x / radius * 0.5f + 0.5f, z / radius * 0.5f + 0.5f);
    const glm::vec3 side = flat ? glm::vec3(std::cos(theta), 0, std::sin(theta)) : glm::normalize(glm::vec3(x, 0, z));
    const float u = theta / kTwoPi;
    data.positions.insert(data.positions.end(), {{x, -half, z}, {x, -half, z}, {x, half, z}, {x, half, z}});
    data.normals.insert(data.normals.end(), {{0, -1, 0}, side, {0, 1, 0}, side});
    data.uvs.insert(data.uvs.end(), {capUv, {u, 0}, capUv, {u, 1}});
  }
  for (unsigned i = 0; i < segments; ++i) {
    const unsigned k = 2 + 4 * i;
    const unsigned j = (i + 1 < segments) ? k + 4 : 2;  // the last segment closes on the first
    data.indices.insert(data.indices.end(), {0, k, j, 1, j + 2, k + 2, k + 1, j + 3, j + 1, j + 3, k + 1, k + 3});
  }
  return data;
}

GeometryData createSphereGeometry(unsigned segmentsAround, unsigned segmentsAlong, float radius) {
  const unsigned n = segmentsAround, m = segmentsAlong;
  GeometryData data;
  data.positions = {{0, radius, 0}, {0, -radius, 0}};
  data.normals = {{0, 1, 0}, {0, -1, 0}};
  data.uvs = {{0, 0}, {0, 1}};
  // Fewer than two segments along leaves no ring to attach the caps to.
  if (n == 0 || m < 2) return data;

  for (unsigned j = 0; j < n; ++j) {
    const unsigned next = (j + 1 < n) ? j + 3 : 2;
    data.indices.insert(data.indices.end(), {0, next, j + 2});
  }
  const unsigned f = (m - 2) * n + 2;  // first vertex of the last ring
  for (unsigned j = 0; j < n; ++j) {
    const unsigned next = (j + 1 < n) ? f + j + 1 : f;
    data.indices.insert(data.indices.end(), {f + j, next, 1});
  }
  for (unsigned i = 1; i < m; ++i) {
    const float phi = static_cast<float>(i) * kPi / static_cast<float>(m);
    for (unsigned j = 0; j < n; ++j) {
      const float theta = 2.0f * static_cast<float>(j) * kPi / static_cast<float>(n);
      const glm::vec3 p(radius * std::sin(phi) * std::cos(theta), radius * std::cos(phi),
                        radius * std::sin(phi) * std::sin(theta));
      data.positions.push_back(p);
      data.normals.push_back(glm::normalize(p));
      data.uvs.emplace_back(theta / kTwoPi, phi / kPi);
    }
    if (i < 2) continue;
    const unsigned c = 2 + (i - 1) * n, p = 2 + (i - 2) * n;
    for (unsigned j = 0; j < n; ++j) {
      const unsigned jn = (j + 1 < n) ? j + 1 : 0;
      data.indices.insert(data.indices.end(), {c + j, p + jn, c + jn, p + jn, c + j, p + j});
    }
  }
  return data;
}

GeometryData createGridGeometry(float width, float depth) {
  GeometryData data;
  if (!(width > 0) || !(depth > 0)) return data;
  const float cell = 0.5f;  // world units per cell side
  const float uStep = 1.0f / width, vStep = 1.0f / depth;
  for (float z = 0; z < depth; z += cell) {
    for (float x = 0; x < width; x += cell) {
      const float x0 = x - width / 2, x1 = x + cell - width / 2;
      const float z0 = z - depth / 2, z1 = z + cell - depth / 2;
      const float ua = x / width, ub = ua + uStep, ta = z / depth, tb = ta + vStep;
      data.positions.insert(data.positions.end(),
                            {{x0, 0, z1}, {x1, 0, z1}, {x1, 0, z0}, {x1, 0, z0}, {x0, 0, z0}, {x0, 0, z1}});
      data.uvs.insert(data.uvs.end(), {{ua, tb}, {ub, tb}, {ub, ta}, {ub, ta}, {ua, ta}, {ua, tb}});
      for (int i = 0; i < 6; ++i) {
        data.normals.emplace_back(0, 1, 0);
        data.indices.push_back(static_cast<unsigned>(data.indices.size()));
      }
    }
  }
  return data;
}
