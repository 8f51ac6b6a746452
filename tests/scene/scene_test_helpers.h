#pragma once
#include <GL/glew.h>

#include <array>
#include <cstdint>
#include <fstream>
#include <glm/glm.hpp>
#include <string>
#include <vector>

#include "support/gl_context.h"

// The shared fixture, but the context stays up until the program ends: making a second one
// after the window library was terminated fails now and then under Xvfb.
class SceneGlTest : public GlContextTest {
 protected:
  static void TearDownTestSuite() {}
};

// The 2D texture bound on a texture unit; leaves the active unit as it was.
inline GLuint boundTexture(int unit) {
  GLint active = 0, name = 0;
  glGetIntegerv(GL_ACTIVE_TEXTURE, &active);
  glActiveTexture(GL_TEXTURE0 + static_cast<GLenum>(unit));
  glGetIntegerv(GL_TEXTURE_BINDING_2D, &name);
  glActiveTexture(static_cast<GLenum>(active));
  return static_cast<GLuint>(name);
}

// A small colour + depth target to draw into and read back, independent of the hidden window.
struct OffscreenTarget {
  OffscreenTarget(int width, int height) : width(width), height(height) {
    glGenFramebuffers(1, &framebuffer);
    glGenRenderbuffers(2, renderbuffers);
    glBindRenderbuffer(GL_RENDERBUFFER, renderbuffers[0]);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, width, height);
    glBindRenderbuffer(GL_RENDERBUFFER, renderbuffers[1]);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT24, width, height);
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, renderbuffers[0]);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, renderbuffers[1]);
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
  int width;
  int height;
  GLuint framebuffer = 0;
  GLuint renderbuffers[2] = {0, 0};
};

// Positions only (attribute 0), drawn as GL_TRIANGLES.
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
    glBindBuffer(GL_ARRAY_BUFFER, 0);
  }
  ~TriangleMesh() {
    glDeleteBuffers(1, &buffer);
    glDeleteVertexArrays(1, &vertexArray);
  }
  void draw() const {
    glBindVertexArray(vertexArray);
    glDrawArrays(GL_TRIANGLES, 0, count);
    glBindVertexArray(0);
  }
  GLuint vertexArray = 0;
  GLuint buffer = 0;
  GLsizei count;
};

// Two triangles covering x0..x1, y0..y1 at height z (in the mesh's own space).
inline std::vector<glm::vec3> rectangle(float x0, float x1, float y0, float y1, float z) {
  return {{x0, y0, z}, {x1, y0, z}, {x1, y1, z}, {x1, y1, z}, {x0, y1, z}, {x0, y0, z}};
}

// A 4 x 4 DXT1 file of one colour (5-6-5 bits), the smallest valid sky face.
inline void writeSolidDds(const std::string& path, std::uint16_t rgb565) {
  unsigned char file[4 + 124 + 8] = {'D', 'D', 'S', ' '};
  auto put32 = [&file](int offset, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) file[4 + offset + i] = static_cast<unsigned char>(value >> (8 * i));
  };
  put32(0, 124);  // header size
  put32(8, 4);    // height
  put32(12, 4);   // width
  put32(16, 8);   // linear size: one block
  put32(72, 32);  // pixel format size
  put32(76, 4);   // fourCC present
  file[4 + 80] = 'D';
  file[4 + 81] = 'X';
  file[4 + 82] = 'T';
  file[4 + 83] = '1';
  unsigned char* block = file + 4 + 124;
  block[0] = static_cast<unsigned char>(rgb565);
  block[1] = static_cast<unsigned char>(rgb565 >> 8);
  // colour 1 is black, so colour 0 > colour 1 (four-colour mode); every index 0 picks colour 0.
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(file), sizeof(file));
}
