#pragma once
#include <GL/glew.h>
#include <glm/glm.hpp>
#include <string>
#include <unordered_map>

// A linked GL program built from two stage files under "assets/shader/" (or, for the framework's
// default program, from source texts in memory). Every failure is fatal: the message is printed
// and the process ends with status 1, so a constructed Shader always holds a linked program.
class Shader {
 public:
  Shader(std::string vertexFile, std::string fragmentFile);
  // For in-memory sources: the two strings are the stage texts themselves.
  Shader(std::string vertexSource, std::string fragmentSource, bool sourcesInMemory);
  // From the two stage files, each with these lines ("#define NAME VALUE") put right after its
  // first line (the "#version" line): one file, several variants of a program.
  struct Defines {
    std::string lines;
  };
  Shader(std::string vertexFile, std::string fragmentFile, Defines defines);
  ~Shader();
  Shader(const Shader&) = delete;
  Shader& operator=(const Shader&) = delete;

  // Cached per name: each name reaches the driver at most once, misses are cached as -1.
  GLint getUniformLocation(const std::string& name);

  // The caller makes the program current first; a name the program lacks is skipped silently.
  void setUniform(const std::string& name, int value);
  void setUniform(const std::string& name, float value);
  void setUniform(const std::string& name, const glm::vec2& value);
  void setUniform(const std::string& name, const glm::vec3& value);
  void setUniform(const std::string& name, const glm::mat3& value);
  void setUniform(const std::string& name, const glm::mat4& value);

  GLuint handle = 0;
  std::string vertexFile;
  std::string fragmentFile;
  bool sourcesInMemory = false;
  std::string defines;  // inserted after the first line of each stage file
  std::unordered_map<std::string, GLint> uniformLocations;

 private:
  GLuint linkProgram();
  bool compileStage(GLenum stageType, GLuint& shader, const std::string& fileOrSource);
};

// The lean program used by the two depth passes: an optional geometry stage, no status checks.
// Unreadable files print one message and leave every source empty, so the program simply draws
// nothing. Its program object is left to the context's destruction on purpose.
class MyShader {
 public:
  MyShader(std::string vertexFile, std::string fragmentFile);
  MyShader(std::string vertexFile, std::string fragmentFile, std::string geometryFile);

  void setMat4(const std::string& name, const glm::mat4& value);

  GLuint handle = 0;
  std::string vertexFile;
  std::string fragmentFile;
  std::string geometryFile;

 private:
  void build();
};

// Prefix of every stage file name.
extern const char* const kShaderDirectory;
