#pragma once
#include <GL/glew.h>
#include <memory>
#include <string>
#include <unordered_map>

class Shader;

// The two stage texts of a built-in program: vertex first, then fragment.
struct ShaderSources {
  std::string vertex;
  std::string fragment;
};

// The framework's own process-wide state: a fallback program current until the game picks one,
// a small built-in mesh, and a library of named programs kept for tools and experiments.
extern std::unique_ptr<Shader> defaultProgram;
extern GLuint builtinMeshVao;
extern GLuint builtinMeshVertexBuffer;
extern GLuint builtinMeshIndexBuffer;

// Needs a current context with a loaded GL 3.0; prints why and returns false otherwise.
bool initFramework();
// Releases the built-in mesh and the default program; the context must still exist.
void shutdownFramework();

// The ten built-in programs by exact name, decoded from their stored form at program load.
const std::unordered_map<std::string, ShaderSources>& builtinShaderLibrary();

// The built-in mesh's tables as uploaded (the positions already turned about y).
constexpr int kBuiltinMeshPoints = 512;
constexpr int kBuiltinMeshIndices = 1728;
const float* builtinMeshPositions();        // kBuiltinMeshPoints * 3 floats
const unsigned* builtinMeshIndexTable();    // kBuiltinMeshIndices indices
