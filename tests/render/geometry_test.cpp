#include "render/geometry.h"

#include <gtest/gtest.h>

#include <glm/gtc/matrix_inverse.hpp>
#include <glm/gtc/matrix_transform.hpp>
#include <glm/gtc/type_ptr.hpp>

#include "render/material.h"
#include "render/shader.h"
#include "support/gl_context.h"

namespace {

// Equal list lengths, unit normals, indices in range, and every triangle counter-clockwise seen
// from outside: its face normal points the way of its vertices' normals.
void expectSoundMesh(const GeometryData& d, size_t vertices, size_t indices) {
  ASSERT_EQ(d.positions.size(), vertices);
  ASSERT_EQ(d.indices.size(), indices);
  ASSERT_EQ(d.normals.size(), vertices);
  ASSERT_EQ(d.uvs.size(), vertices);
  for (const glm::vec3& n : d.normals) EXPECT_NEAR(glm::length(n), 1.0f, 1e-5f);
  for (size_t t = 0; t < d.indices.size(); t += 3) {
    const unsigned a = d.indices[t], b = d.indices[t + 1], c = d.indices[t + 2];
    ASSERT_LT(std::max({a, b, c}), vertices);
    const glm::vec3 face = glm::cross(d.positions[b] - d.positions[a], d.positions[c] - d.positions[a]);
    EXPECT_GT(glm::dot(face, d.normals[a] + d.normals[b] + d.normals[c]), 0.0f) << "triangle " << t / 3;
  }
}

bool sequential(const GeometryData& d) {
  for (size_t i = 0; i < d.indices.size(); ++i)
    if (d.indices[i] != i) return false;
  return true;
}

}  // namespace

TEST(GeometryGenerators, BoxesRampAndFrustumSpanTheirFullExtentsFacingOutward) {
  const GeometryData box = createBoxGeometry(2, 4, 6);
  expectSoundMesh(box, 36, 36);
  EXPECT_TRUE(sequential(box));
  for (const glm::vec3& p : box.positions) EXPECT_EQ(glm::abs(p), glm::vec3(1, 2, 3));
  EXPECT_EQ(box.uvs[2], glm::vec2(1, 1));
  expectSoundMesh(createIndexedBoxGeometry(2, 4, 6), 24, 36);

  const GeometryData ramp = createRampGeometry(2, 10, 6);
  expectSoundMesh(ramp, 36, 36);
  for (int v = 30; v < 36; ++v) {  // the slope: back edge at the top, front edge at 0.001 of the height
    EXPECT_FLOAT_EQ(ramp.positions[v].y, ramp.positions[v].z > 0 ? 0.01f : 5.0f);
    EXPECT_EQ(ramp.normals[v], glm::vec3(0, 1, 0));
  }
  const GeometryData frustum = createFrustumGeometry(4, 2, 2, 8, 4);
  expectSoundMesh(frustum, 36, 36);
  for (const glm::vec3& p : frustum.positions) {
    EXPECT_FLOAT_EQ(std::abs(p.x), p.y < 0 ? 2.0f : 1.0f);
    EXPECT_FLOAT_EQ(std::abs(p.z), p.y < 0 ? 4.0f : 2.0f);
  }
}

TEST(GeometryGenerators, CylinderAndSphereCloseOnTheirFirstSegment) {
  const GeometryData c = createCylinderGeometry(32, 3, 1);
  expectSoundMesh(c, 130, 384);
  const unsigned k = 2 + 4 * 31;
  EXPECT_EQ(std::vector<unsigned>(c.indices.end() - 12, c.indices.end()),
            (std::vector<unsigned>{0, k, 2, 1, 4, k + 2, k + 1, 5, 3, 5, k + 1, k + 3}));
  EXPECT_FLOAT_EQ(c.uvs[k + 1].x, 31.0f / 32.0f);
  // A zero radius must not divide its way to NaN normals.
  for (const glm::vec3& n : createCylinderGeometry(4, 1, 0).normals) EXPECT_NEAR(glm::length(n), 1.0f, 1e-5f);

  const GeometryData s = createSphereGeometry(64, 32, 1);
  expectSoundMesh(s, 1986, 11904);
  // After the 64 top-cap triangles comes the bottom cap on the last ring, which starts at 1922.
  EXPECT_EQ(std::vector<unsigned>(s.indices.begin() + 192, s.indices.begin() + 195),
            (std::vector<unsigned>{1922, 1923, 1}));
  for (const glm::vec3& p : s.positions) EXPECT_NEAR(glm::length(p), 1.0f, 1e-5f);
  expectSoundMesh(createSphereGeometry(8, 1, 1), 2, 0);  // no ring to hang the caps on
}

TEST(GeometryGenerators, GridCoversItsAreaWithHalfUnitCells) {
  const GeometryData g = createGridGeometry(10, 10);
  expectSoundMesh(g, 2400, 2400);
  EXPECT_TRUE(sequential(g));
  for (const glm::vec3& p : g.positions) EXPECT_TRUE(p.y == 0 && std::abs(p.x) <= 5 && std::abs(p.z) <= 5);
  EXPECT_EQ(g.positions[0], glm::vec3(-5, 0, -4.5f));
  EXPECT_EQ(g.uvs[0], glm::vec2(0, 0.1f));
  EXPECT_EQ(createGridGeometry(3, 1.2f).positions.size(), 6u * 6 * 3);  // partial cells count whole
  EXPECT_TRUE(createGridGeometry(0, 5).positions.empty());
  EXPECT_TRUE(createGridGeometry(5, -1).positions.empty());
}

namespace {

const char* const kVertexSource = R"(#version 430 core
layout(location = 0) in vec3 position;
layout(location = 1) in vec3 normal;
layout(location = 2) in vec2 uv;
uniform mat4 modelMatrix;
uniform mat3 normalMatrix;
uniform int textureMultiplikatorX;
uniform int textureMultiplikatorY;
out vec3 colour;
void main() {
  colour = normalMatrix * normal + vec3(uv, 0.0) * float(textureMultiplikatorX + textureMultiplikatorY);
  gl_Position = modelMatrix * vec4(position, 1.0);
})";
const char* const kFragmentSource = R"(#version 430 core
in vec3 colour;
out vec4 fragColour;
void main() { fragColour = vec4(colour, 1.0); })";

class GeometryDrawTest : public GlContextTest {};

}  // namespace

TEST_F(GeometryDrawTest, DrawsSendTheirMatricesRepeatsAndTextures) {
  auto shader = std::make_shared<Shader>(kVertexSource, kFragmentSource, true);
  auto material = std::make_shared<Material>(shader, glm::vec3(0.1f, 0.7f, 0.1f), 2.0f);
  GeometryData data = createBoxGeometry(1, 1, 1);
  // Rotation plus non-uniform scale, so the inverse and its transpose differ.
  const glm::mat4 model = glm::scale(glm::rotate(glm::mat4(1.0f), 0.7f, glm::vec3(0, 0, 1)), glm::vec3(1, 3, 1));
  Geometry geometry(model, data, material);
  EXPECT_EQ(geometry.indexCount, 36);
  glBindVertexArray(geometry.vao);
  const GLuint buffers[3] = {geometry.positionBuffer, geometry.normalBuffer, geometry.uvBuffer};
  for (GLuint location = 0; location < 3; ++location) {
    GLint bound = 0;
    glGetVertexAttribiv(location, GL_VERTEX_ATTRIB_ARRAY_BUFFER_BINDING, &bound);
    EXPECT_EQ(static_cast<GLuint>(bound), buffers[location]) << "location " << location;
  }
  glBindVertexArray(0);

  auto uniform = [&](const char* name, auto value) {
    glGetUniformfv(shader->handle, glGetUniformLocation(shader->handle, name), glm::value_ptr(value));
    return value;
  };
  GLuint textures[2];
  glGenTextures(2, textures);
  geometry.draw(textures[0], textures[1], 2.9f, -1.5f);
  GLint x = 0, y = 0, active = 0, bound = 0;
  glGetUniformiv(shader->handle, glGetUniformLocation(shader->handle, "textureMultiplikatorX"), &x);
  glGetUniformiv(shader->handle, glGetUniformLocation(shader->handle, "textureMultiplikatorY"), &y);
  EXPECT_EQ(x, 2);
  EXPECT_EQ(y, -1);  // truncated toward zero, not floored
  EXPECT_EQ(uniform("normalMatrix", glm::mat3(0.0f)), glm::mat3(glm::inverse(model)));
  glGetIntegerv(GL_ACTIVE_TEXTURE, &active);
  glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
  EXPECT_EQ(active, GL_TEXTURE1);
  EXPECT_EQ(static_cast<GLuint>(bound), textures[1]);
  glActiveTexture(GL_TEXTURE0);
  glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
  EXPECT_EQ(static_cast<GLuint>(bound), textures[0]);

  geometry.draw();  // the plain draw sends the transpose of the inverse
  const glm::mat3 expected = glm::mat3(glm::inverseTranspose(model)), sent = uniform("normalMatrix", glm::mat3(0.0f));
  for (int c = 0; c < 3; ++c)
    for (int r = 0; r < 3; ++r) EXPECT_NEAR(sent[c][r], expected[c][r], 1e-5f);
  glDeleteTextures(2, textures);

  const glm::mat4 t = glm::translate(glm::mat4(1.0f), glm::vec3(1, 2, 3));
  geometry.resetModelMatrix();
  geometry.transform(t);
  geometry.transform(glm::rotate(t, 1.0f, glm::vec3(0, 1, 0)));
  EXPECT_EQ(geometry.modelMatrix, glm::rotate(t, 1.0f, glm::vec3(0, 1, 0)) * t);  // composes on the left
}
