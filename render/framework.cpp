#include "render/framework.h"

#include <GLFW/glfw3.h>
#include <array>
#include <cmath>
#include <iostream>

#include "render/shader.h"

std::unique_ptr<Shader> defaultProgram;
GLuint builtinMeshVao = 0;
GLuint builtinMeshVertexBuffer = 0;
GLuint builtinMeshIndexBuffer = 0;

namespace {

// Attribute 0 positions with z negated and no transform, in one colour ("fragColor", red unless set).
const char* const kDefaultVertexSource =
    "#version 330 core\n"
    "layout(location = 0) in vec3 position;\n"
    "void main() {\n"
    "\tgl_Position = vec4(position.xy, -position.z, 1);\n"
    "}";
const char* const kDefaultFragmentSource =
    "#version 330 core \n"
    "uniform vec3 fragColor = vec3(1, 0, 0); \n"
    "out vec4 color; \n"
    "void main() {  \n"
    "\tcolor = vec4(fragColor, 1); \n"
    "}";

constexpr int kPatches = 32;

// 32 bicubic-looking patches of 4 x 4 points: the faces of a rounded shell, eight around and four
// from top to bottom, each patch a small grid on the unit sphere. Made once, like a table.
struct MeshTables {
  std::array<float, kBuiltinMeshPoints * 3> positions{};
  std::array<unsigned, kBuiltinMeshIndices> indices{};

  MeshTables() {
    const float pi = 3.14159265f;
    for (int p = 0; p < kPatches; ++p) {
      const int around = p % 8, band = p / 8;
      for (int row = 0; row < 4; ++row) {
        for (int column = 0; column < 4; ++column) {
          const float theta = (band + row / 3.0f) * pi / 4.0f;           // from the top
          const float phi = (around + column / 3.0f) * 2.0f * pi / 8.0f;  // around y
          const float x = std::sin(theta) * std::cos(phi);
          const float y = std::cos(theta);
          const float z = std::sin(theta) * std::sin(phi);
          float* out = &positions[3 * (16 * p + 4 * row + column)];
          // Stored turned half a revolution about y.
          out[0] = -x;
          out[1] = y;
          out[2] = -z;
        }
      }
      int n = p * 54;
      for (int row = 0; row < 3; ++row) {
        for (int column = 0; column < 3; ++column) {
          const unsigned i = 16u * p + 4u * row + column;
          const unsigned cell[6] = {i, i + 5, i + 4, i, i + 1, i + 5};
          for (unsigned index : cell) indices[n++] = index;
        }
      }
    }
  }
};

const MeshTables& meshTables() {
  static const MeshTables tables;
  return tables;
}

}  // namespace

const float* builtinMeshPositions() { return meshTables().positions.data(); }
const unsigned* builtinMeshIndexTable() { return meshTables().indices.data(); }

bool initFramework() {
  if (glfwGetCurrentContext() == nullptr) {
    std::cout << "No context available. Exiting." << std::endl;
    return false;
  }
  if (!GLEW_VERSION_3_0) {
    std::cout << "GLEW not available. Exiting." << std::endl;
    return false;
  }

  GLint current = 0;
  glGetIntegerv(GL_CURRENT_PROGRAM, &current);
  if (current == 0) {
    defaultProgram = std::make_unique<Shader>(kDefaultVertexSource, kDefaultFragmentSource, true);
    glUseProgram(defaultProgram->handle);
  }

  const MeshTables& tables = meshTables();
  glGenVertexArrays(1, &builtinMeshVao);
  glBindVertexArray(builtinMeshVao);
  glGenBuffers(1, &builtinMeshVertexBuffer);
  glBindBuffer(GL_ARRAY_BUFFER, builtinMeshVertexBuffer);
  glBufferData(GL_ARRAY_BUFFER, sizeof(tables.positions), tables.positions.data(), GL_STATIC_DRAW);
  glEnableVertexAttribArray(0);
  glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, 0, nullptr);
  glGenBuffers(1, &builtinMeshIndexBuffer);
  glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, builtinMeshIndexBuffer);
  glBufferData(GL_ELEMENT_ARRAY_BUFFER, sizeof(tables.indices), tables.indices.data(), GL_STATIC_DRAW);
  glBindVertexArray(0);
  glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
  return true;
}

void shutdownFramework() {
  glDeleteBuffers(1, &builtinMeshVertexBuffer);
  builtinMeshVertexBuffer = 0;
  glDeleteBuffers(1, &builtinMeshIndexBuffer);
  builtinMeshIndexBuffer = 0;
  glDeleteVertexArrays(1, &builtinMeshVao);
  builtinMeshVao = 0;
  defaultProgram.reset();
}
