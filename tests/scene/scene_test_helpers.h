// The one fixture of the scene tests and what they share, includes too.
#pragma once
#include <GL/glew.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <functional>
#include <glm/glm.hpp>
#include <glm/gtc/matrix_transform.hpp>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "app/camera.h"
#include "render/geometry.h"
#include "render/optimised_frames.h"
#include "render/shader.h"
#include "render/view_culling.h"
#include "support/gl_context.h"

// Every test leaves the frame switches as the game has them.
class SceneGlTest : public GlContextTest {
 protected:
  void TearDown() override {
    optimisedFrames = true;
    viewCulling.endVolume();
    GlContextTest::TearDown();
  }
};

// The 2D texture bound on a texture unit; leaves the active unit as it was.
inline GLuint boundTexture(int unit) {
  const GLint active = integer(GL_ACTIVE_TEXTURE);
  glActiveTexture(GL_TEXTURE0 + static_cast<GLenum>(unit));
  const GLint name = integer(GL_TEXTURE_BINDING_2D);
  glActiveTexture(static_cast<GLenum>(active));
  return static_cast<GLuint>(name);
}

inline glm::vec3 toNdc(const glm::mat4& m, const glm::vec3& p) {
  const glm::vec4 clip = m * glm::vec4(p, 1.0f);
  return glm::vec3(clip) / clip.w;
}

// Every depth texel of a texture: one layer of a 2D texture, or the six faces of a cube map.
inline std::vector<float> depthTexels(GLenum target, GLuint texture, int size = 1024) {
  const int layers = target == GL_TEXTURE_CUBE_MAP ? 6 : 1;
  std::vector<float> texels(static_cast<size_t>(layers * size * size), -1.0f);
  glBindTexture(target, texture);
  for (int layer = 0; layer < layers; ++layer)
    glGetTexImage(layers == 6 ? GL_TEXTURE_CUBE_MAP_POSITIVE_X + static_cast<GLenum>(layer) : target, 0,
                  GL_DEPTH_COMPONENT, GL_FLOAT, texels.data() + static_cast<size_t>(layer * size * size));
  glBindTexture(target, 0);
  return texels;
}

// A small colour + depth target to draw into and read back, independent of the hidden window.
struct OffscreenTarget {
  OffscreenTarget(int width, int height) {
    glGenFramebuffers(1, &framebuffer);
    glGenRenderbuffers(2, renderbuffers);
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    const GLenum formats[2] = {GL_RGBA8, GL_DEPTH_COMPONENT24}, points[2] = {GL_COLOR_ATTACHMENT0, GL_DEPTH_ATTACHMENT};
    for (int i = 0; i < 2; ++i) {
      glBindRenderbuffer(GL_RENDERBUFFER, renderbuffers[i]);
      glRenderbufferStorage(GL_RENDERBUFFER, formats[i], width, height);
      glFramebufferRenderbuffer(GL_FRAMEBUFFER, points[i], GL_RENDERBUFFER, renderbuffers[i]);
    }
    glViewport(0, 0, width, height);
  }
  ~OffscreenTarget() {
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glDeleteFramebuffers(1, &framebuffer);
    glDeleteRenderbuffers(2, renderbuffers);
  }
  std::array<unsigned char, 4> pixel(int x, int y) const {
    std::array<unsigned char, 4> rgba{};
    glBindFramebuffer(GL_READ_FRAMEBUFFER, framebuffer);
    glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
    return rgba;
  }
  GLuint framebuffer = 0;
  GLuint renderbuffers[2] = {0, 0};
};

// Positions only (attribute 0), drawn as GL_TRIANGLES (or as given).
struct TriangleMesh {
  explicit TriangleMesh(const std::vector<glm::vec3>& positions) : count(static_cast<GLsizei>(positions.size())) {
    glGenVertexArrays(1, &vertexArray);
    glGenBuffers(1, &buffer);
    glBindVertexArray(vertexArray);
    glBindBuffer(GL_ARRAY_BUFFER, buffer);
    glBufferData(GL_ARRAY_BUFFER, positions.size() * sizeof(glm::vec3), positions.data(), GL_STATIC_DRAW);
    glEnableVertexAttribArray(0);
    glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, sizeof(glm::vec3), nullptr);
    glBindVertexArray(0);
  }
  ~TriangleMesh() {
    glDeleteBuffers(1, &buffer);
    glDeleteVertexArrays(1, &vertexArray);
  }
  void draw(GLenum mode = GL_TRIANGLES) const {
    glBindVertexArray(vertexArray);
    glDrawArrays(mode, 0, count);
    glBindVertexArray(0);
  }
  GLuint vertexArray = 0;
  GLuint buffer = 0;
  GLsizei count;
};

// Two triangles covering x0..x1, y0..y1 at height z; twoSided adds the other winding, so that
// neither pass's face culling hides it.
inline std::vector<glm::vec3> rectangle(float x0, float x1, float y0, float y1, float z, bool twoSided = false) {
  std::vector<glm::vec3> r = {{x0, y0, z}, {x1, y0, z}, {x1, y1, z}, {x1, y1, z}, {x0, y1, z}, {x0, y0, z}};
  const std::vector<glm::vec3> back(r.rbegin(), r.rend());
  if (twoSided) r.insert(r.end(), back.begin(), back.end());
  return r;
}
