#include "render/geometry.h"

#include <gtest/gtest.h>

#include <cmath>
#include <glm/gtc/matrix_inverse.hpp>
#include <glm/gtc/matrix_transform.hpp>
#include <glm/gtc/type_ptr.hpp>
#include <memory>

#include "render/material.h"
#include "render/shader.h"
#include "support/gl_context.h"

namespace {

// Every triangle must be wound counter-clockwise seen from outside: its face normal points the
// way of its vertices' normals. Degenerate triangles (none are expected) fail too.
void expectOutwardWinding(const GeometryData& d) {
  ASSERT_EQ(d.indices.size() % 3, 0u);
  for (size_t t = 0; t < d.indices.size(); t += 3) {
    const unsigned a = d.indices[t], b = d.indices[t + 1], c = d.indices[t + 2];
    ASSERT_LT(std::max({a, b, c}), d.positions.size());
    const glm::vec3 face = glm::cross(d.positions[b] - d.positions[a], d.positions[c] - d.positions[a]);
    EXPECT_GT(glm::dot(face, d.normals[a] + d.normals[b] + d.normals[c]), 0.0f) << "triangle " << t / 3;
  }
}

void expectConsistentLists(const GeometryData& d) {
  EXPECT_EQ(d.normals.size(), d.positions.size());
  EXPECT_EQ(d.uvs.size(), d.positions.size());
  for (const glm::vec3& n : d.normals) EXPECT_NEAR(glm::length(n), 1.0f, 1e-5f);
}

void expectSequentialIndices(const GeometryData& d, size_t count) {
  ASSERT_EQ(d.indices.size(), count);
  for (size_t i = 0; i < count; ++i) ASSERT_EQ(d.indices[i], i);
}

}  // namespace

TEST(GeometryGenerators, BoxHasFullExtentsSixFacesAndOutwardTriangles) {
  const GeometryData box = createBoxGeometry(2, 4, 6);
  ASSERT_EQ(box.positions.size(), 36u);
  expectSequentialIndices(box, 36);
  expectConsistentLists(box);
  expectOutwardWinding(box);
  glm::vec3 low(1e9f), high(-1e9f);
  for (const glm::vec3& p : box.positions) low = glm::min(low, p), high = glm::max(high, p);
  EXPECT_EQ(low, glm::vec3(-1, -2, -3));
  EXPECT_EQ(high, glm::vec3(1, 2, 3));
  // Each face's six vertices share one normal and the fixed uv run.
  const glm::vec2 uvRun[6] = {{0, 0}, {1, 0}, {1, 1}, {1, 1}, {0, 1}, {0, 0}};
  for (int v = 0; v < 36; ++v) {
    EXPECT_EQ(box.normals[v], box.normals[v - v % 6]);
    EXPECT_EQ(box.uvs[v], uvRun[v % 6]);
  }
  EXPECT_EQ(box.normals[0], glm::vec3(0, 0, 1));
  EXPECT_EQ(box.normals[35], glm::vec3(0, 1, 0));
}

TEST(GeometryGenerators, IndexedBoxRampAndFrustumKeepTheirLayouts) {
  const GeometryData indexed = createIndexedBoxGeometry(2, 4, 6);
  ASSERT_EQ(indexed.positions.size(), 24u);
  ASSERT_EQ(indexed.indices.size(), 36u);
  expectConsistentLists(indexed);
  expectOutwardWinding(indexed);
  EXPECT_EQ(indexed.indices[6], 4u);  // second face: (0,1,2) (2,3,0) shifted by 4
  EXPECT_EQ(indexed.indices[11], 4u);

  const GeometryData ramp = createRampGeometry(2, 10, 6);
  ASSERT_EQ(ramp.positions.size(), 36u);
  expectSequentialIndices(ramp, 36);
  expectOutwardWinding(ramp);
  // The slope runs from the back top edge down to the front at 0.001 of the height.
  for (int v = 30; v < 36; ++v) {
    const glm::vec3 p = ramp.positions[v];
    EXPECT_FLOAT_EQ(p.y, p.z > 0 ? 0.01f : 5.0f);
    EXPECT_EQ(ramp.normals[v], glm::vec3(0, 1, 0));
  }

  const GeometryData frustum = createFrustumGeometry(4, 2, 2, 8, 4);
  ASSERT_EQ(frustum.positions.size(), 36u);
  expectSequentialIndices(frustum, 36);
  expectOutwardWinding(frustum);
  for (const glm::vec3& p : frustum.positions) {
    EXPECT_FLOAT_EQ(std::abs(p.x), p.y < 0 ? 2.0f : 1.0f);
    EXPECT_FLOAT_EQ(std::abs(p.z), p.y < 0 ? 4.0f : 2.0f);
  }
}

TEST(GeometryGenerators, CylinderClosesItsRingOnTheFirstSegment) {
  const GeometryData c = createCylinderGeometry(32, 3, 1);
  ASSERT_EQ(c.positions.size(), 130u);
  ASSERT_EQ(c.indices.size(), 384u);
  expectConsistentLists(c);
  expectOutwardWinding(c);
  const unsigned k = 2 + 4 * 31;
  const std::vector<unsigned> lastSegment(c.indices.end() - 12, c.indices.end());
  EXPECT_EQ(lastSegment, (std::vector<unsigned>{0, k, 2, 1, 4, k + 2, k + 1, 5, 3, 5, k + 1, k + 3}));
  for (size_t v = 2; v < c.positions.size(); ++v) {
    const glm::vec3 p = c.positions[v];
    EXPECT_NEAR(std::hypot(p.x, p.z), 1.0f, 1e-5f);
    EXPECT_FLOAT_EQ(std::abs(p.y), 1.5f);
  }
  EXPECT_FLOAT_EQ(c.uvs[2 + 4 * 31 + 1].x, 31.0f / 32.0f);  // side u runs (n-1)/n back to 0

  // A degenerate radius still gives finite normals and uvs.
  const GeometryData thin = createCylinderGeometry(4, 1, 0);
  for (size_t v = 0; v < thin.positions.size(); ++v) {
    EXPECT_NEAR(glm::length(thin.normals[v]), 1.0f, 1e-5f);
    EXPECT_TRUE(std::isfinite(thin.uvs[v].x) && std::isfinite(thin.uvs[v].y));
  }
}

TEST(GeometryGenerators, SphereRingsAndCapsMeetAtThePoles) {
  const GeometryData s = createSphereGeometry(64, 32, 1);
  ASSERT_EQ(s.positions.size(), 1986u);
  ASSERT_EQ(s.indices.size(), 11904u);
  expectConsistentLists(s);
  expectOutwardWinding(s);
  // The bottom cap follows the 64 top-cap triangles and starts at the last ring, vertex 1922.
  EXPECT_EQ(s.indices[192], 1922u);
  EXPECT_EQ(s.indices[193], 1923u);
  EXPECT_EQ(s.indices[194], 1u);
  EXPECT_EQ(s.indices[3 * 127 + 1], 1922u);  // last bottom triangle wraps to the ring's start
  for (const glm::vec3& p : s.positions) EXPECT_NEAR(glm::length(p), 1.0f, 1e-5f);
  EXPECT_NEAR(s.positions[1922].y, std::cos(31 * 3.1415927f / 32), 1e-5f);

  // Too few segments along for a ring: only the poles, no triangles.
  const GeometryData flat = createSphereGeometry(8, 1, 1);
  EXPECT_EQ(flat.positions.size(), 2u);
  EXPECT_TRUE(flat.indices.empty());
}

TEST(GeometryGenerators, GridCoversItsAreaWithHalfUnitCells) {
  const GeometryData g = createGridGeometry(10, 10);
  ASSERT_EQ(g.positions.size(), 2400u);
  expectSequentialIndices(g, 2400);
  expectConsistentLists(g);
  expectOutwardWinding(g);
  for (const glm::vec3& p : g.positions) {
    EXPECT_EQ(p.y, 0.0f);
    EXPECT_LE(std::abs(p.x), 5.0f);
    EXPECT_LE(std::abs(p.z), 5.0f);
  }
  EXPECT_EQ(g.positions[0], glm::vec3(-5, 0, -4.5f));
  EXPECT_EQ(g.uvs[0], glm::vec2(0, 0.1f));

  EXPECT_EQ(createGridGeometry(3, 1.2f).positions.size(), 6u * 6 * 3);  // partial cells round up
  EXPECT_TRUE(createGridGeometry(0, 5).positions.empty());
  EXPECT_TRUE(createGridGeometry(5, -1).indices.empty());
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
  colour = normalMatrix * normal * 0.5 + 0.5 + vec3(uv, 0.0) * float(textureMultiplikatorX + textureMultiplikatorY);
  gl_Position = vec4((modelMatrix * vec4(position, 1.0)).xy, 0.0, 1.0);
})";
const char* const kFragmentSource = R"(#version 430 core
in vec3 colour;
uniform vec3 materialCoefficients;
uniform float specularAlpha;
out vec4 fragColour;
void main() { fragColour = vec4(colour, 1.0) + vec4(materialCoefficients, specularAlpha) * 0.0; })";

class GeometryDrawTest : public GlContextTest {
 protected:
  void SetUp() override {
    GlContextTest::SetUp();
    shader = std::make_shared<Shader>(kVertexSource, kFragmentSource, true);
    material = std::make_shared<Material>(shader, glm::vec3(0.1f, 0.7f, 0.1f), 2.0f);
  }
  glm::mat3 uniformMat3(const char* name) {
    glm::mat3 m(0.0f);
    glGetUniformfv(shader->handle, glGetUniformLocation(shader->handle, name), glm::value_ptr(m));
    return m;
  }
  GLint uniformInt(const char* name) {
    GLint v = 0;
    glGetUniformiv(shader->handle, glGetUniformLocation(shader->handle, name), &v);
    return v;
  }
  std::shared_ptr<Shader> shader;
  std::shared_ptr<Material> material;
};

void expectMat3Near(const glm::mat3& a, const glm::mat3& b) {
  for (int c = 0; c < 3; ++c)
    for (int r = 0; r < 3; ++r) EXPECT_NEAR(a[c][r], b[c][r], 1e-5f) << c << "," << r;
}

}  // namespace

TEST_F(GeometryDrawTest, TexturedDrawTruncatesRepeatsAndBindsBothUnits) {
  GeometryData data = createBoxGeometry(1, 1, 1);
  // Rotation plus non-uniform scale, so the inverse differs from its transpose.
  const glm::mat4 model = glm::scale(glm::rotate(glm::mat4(1.0f), 0.7f, glm::vec3(0, 0, 1)), glm::vec3(1, 3, 1));
  Geometry geometry(model, data, material);
  EXPECT_EQ(geometry.indexCount, 36);
  GLuint textures[2];
  glGenTextures(2, textures);

  geometry.draw(textures[0], textures[1], 2.9f, -1.5f);
  EXPECT_EQ(uniformInt("textureMultiplikatorX"), 2);
  EXPECT_EQ(uniformInt("textureMultiplikatorY"), -1);
  expectMat3Near(uniformMat3("normalMatrix"), glm::mat3(glm::inverse(model)));
  GLint active = 0, bound = 0;
  glGetIntegerv(GL_ACTIVE_TEXTURE, &active);
  EXPECT_EQ(active, GL_TEXTURE1);
  glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
  EXPECT_EQ(static_cast<GLuint>(bound), textures[1]);
  glActiveTexture(GL_TEXTURE0);
  glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
  EXPECT_EQ(static_cast<GLuint>(bound), textures[0]);

  geometry.draw();  // the plain draw sends the transpose of the inverse
  expectMat3Near(uniformMat3("normalMatrix"), glm::mat3(glm::inverseTranspose(model)));
  glDeleteTextures(2, textures);
}

TEST_F(GeometryDrawTest, PlainDrawRastersThePositionsAndNormalsAtTheirLocations) {
  GLuint fbo = 0, colour = 0;
  glGenFramebuffers(1, &fbo);
  glGenRenderbuffers(1, &colour);
  glBindRenderbuffer(GL_RENDERBUFFER, colour);
  glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, 16, 16);
  glBindFramebuffer(GL_FRAMEBUFFER, fbo);
  glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, colour);
  ASSERT_EQ(glCheckFramebufferStatus(GL_FRAMEBUFFER), static_cast<GLenum>(GL_FRAMEBUFFER_COMPLETE));
  glViewport(0, 0, 16, 16);
  glDisable(GL_DEPTH_TEST);
  glDisable(GL_CULL_FACE);
  glClearColor(0, 0, 0, 0);
  glClear(GL_COLOR_BUFFER_BIT);

  // A box of half the viewport seen along z: the back face is drawn after the front face and
  // wins, so the centre shows the back normal (0, 0, -1) as colour (0.5, 0.5, 0).
  GeometryData data = createBoxGeometry(1, 1, 1);
  Geometry geometry(glm::mat4(1.0f), data, material);
  geometry.draw();
  unsigned char centre[4] = {}, corner[4] = {};
  glReadPixels(8, 8, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, centre);
  glReadPixels(0, 0, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, corner);
  EXPECT_NEAR(centre[0], 128, 2);
  EXPECT_NEAR(centre[1], 128, 2);
  EXPECT_NEAR(centre[2], 0, 2);
  EXPECT_EQ(corner[3], 0);

  glBindFramebuffer(GL_FRAMEBUFFER, 0);
  glDeleteRenderbuffers(1, &colour);
  glDeleteFramebuffers(1, &fbo);
}

TEST_F(GeometryDrawTest, TransformComposesOnTheLeftAndResetRestoresIdentity) {
  GeometryData data = createGridGeometry(1, 1);
  Geometry geometry(glm::mat4(1.0f), data, material);
  const glm::mat4 t = glm::translate(glm::mat4(1.0f), glm::vec3(1, 2, 3));
  const glm::mat4 r = glm::rotate(glm::mat4(1.0f), 1.0f, glm::vec3(0, 1, 0));
  geometry.transform(t);
  geometry.transform(t);
  EXPECT_EQ(geometry.modelMatrix, t * t);
  geometry.transform(r);
  EXPECT_EQ(geometry.modelMatrix, r * t * t);
  geometry.resetModelMatrix();
  EXPECT_EQ(geometry.modelMatrix, glm::mat4(1.0f));

  // An empty mesh draws nothing and raises no error.
  GeometryData empty = createGridGeometry(0, 0);
  Geometry nothing(glm::mat4(1.0f), empty, material);
  EXPECT_EQ(nothing.indexCount, 0);
  nothing.draw();
}
