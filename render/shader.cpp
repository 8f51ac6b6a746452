#include "render/shader.h"

#include <glm/gtc/type_ptr.hpp>
#include <iostream>
#include <vector>

#include "app/fatal.h"
#include "render/file_read.h"

const char* const kShaderDirectory = "assets/shader/";

Shader::Shader(std::string vertexFile, std::string fragmentFile)
    : vertexFile(std::move(vertexFile)), fragmentFile(std::move(fragmentFile)) {
  uniformLocations.max_load_factor(1.0f);
  handle = linkProgram();
}

Shader::Shader(std::string vertexSource, std::string fragmentSource, bool inMemory)
    : vertexFile(std::move(vertexSource)), fragmentFile(std::move(fragmentSource)), sourcesInMemory(inMemory) {
  uniformLocations.max_load_factor(1.0f);
  handle = linkProgram();
}

Shader::Shader(std::string vertexFile, std::string fragmentFile, Defines extra)
    : vertexFile(std::move(vertexFile)), fragmentFile(std::move(fragmentFile)), defines(std::move(extra.lines)) {
  uniformLocations.max_load_factor(1.0f);
  handle = linkProgram();
}

Shader::~Shader() {
  glUseProgram(0);
  glDeleteProgram(handle);
  handle = 0;
}

bool Shader::compileStage(GLenum stageType, GLuint& shader, const std::string& fileOrSource) {
  std::string source;
  if (sourcesInMemory) {
    source = fileOrSource;
  } else {
    const std::string path = kShaderDirectory + fileOrSource;
    if (!readWholeFile(path, source)) exitWithMessage("Couldn't open shader file: " + path);
    // "#version" must stay the first line; the defines go right after it.
    if (!defines.empty()) {
      const size_t firstLineEnd = source.find('\n');
      source.insert(firstLineEnd == std::string::npos ? source.size() : firstLineEnd + 1,
                    firstLineEnd == std::string::npos ? "\n" + defines : defines);
    }
  }

  shader = glCreateShader(stageType);
  if (shader == 0) exitWithMessage("Failed to create " + std::to_string(stageType));

  const char* text = source.c_str();
  glShaderSource(shader, 1, &text, nullptr);
  glCompileShader(shader);

  GLint status = GL_FALSE;
  glGetShaderiv(shader, GL_COMPILE_STATUS, &status);
  if (status != GL_FALSE && glIsShader(shader)) return true;

  GLint logLength = 0;
  glGetShaderiv(shader, GL_INFO_LOG_LENGTH, &logLength);
  std::vector<char> log(static_cast<size_t>(logLength > 0 ? logLength : 1), '\0');
  glGetShaderInfoLog(shader, static_cast<GLsizei>(log.size()), nullptr, log.data());
  std::cout << "Failed to compile shader: " << fileOrSource << std::endl;
  glDeleteShader(shader);
  exitWithMessage(log.data());
}

GLuint Shader::linkProgram() {
  GLuint vs = 0, fs = 0;
  compileStage(GL_VERTEX_SHADER, vs, vertexFile);
  compileStage(GL_FRAGMENT_SHADER, fs, fragmentFile);

  GLuint program = glCreateProgram();
  glAttachShader(program, vs);
  glAttachShader(program, fs);
  glLinkProgram(program);

  GLint status = GL_FALSE;
  glGetProgramiv(program, GL_LINK_STATUS, &status);
  if (status != GL_FALSE) {
    // Stage objects are only needed for the link; dropping them keeps nothing half-owned.
    glDetachShader(program, vs);
    glDetachShader(program, fs);
    glDeleteShader(vs);
    glDeleteShader(fs);
    return program;
  }

  GLint logLength = 0;
  glGetProgramiv(program, GL_INFO_LOG_LENGTH, &logLength);
  std::vector<char> log(static_cast<size_t>(logLength > 0 ? logLength : 1), '\0');
  glGetProgramInfoLog(program, static_cast<GLsizei>(log.size()), nullptr, log.data());
  std::cout << "Failed to link shader program:" << std::endl;
  glDeleteProgram(program);
  glDeleteShader(vs);
  glDeleteShader(fs);
  exitWithMessage(log.data());
}

GLint Shader::getUniformLocation(const std::string& name) {
  auto found = uniformLocations.find(name);
  if (found != uniformLocations.end()) return found->second;
  const GLint location = glGetUniformLocation(handle, name.c_str());
  uniformLocations.emplace(name, location);
  return location;
}

void Shader::setUniform(const std::string& name, int value) {
  const GLint location = getUniformLocation(name);
  if (location != -1) glUniform1i(location, value);
}

void Shader::setUniform(const std::string& name, float value) {
  const GLint location = getUniformLocation(name);
  if (location != -1) glUniform1f(location, value);
}

void Shader::setUniform(const std::string& name, const glm::vec2& value) {
  const GLint location = getUniformLocation(name);
  if (location != -1) glUniform2f(location, value.x, value.y);
}

void Shader::setUniform(const std::string& name, const glm::vec3& value) {
  const GLint location = getUniformLocation(name);
  if (location != -1) glUniform3f(location, value.x, value.y, value.z);
}

void Shader::setUniform(const std::string& name, const glm::mat3& value) {
  const GLint location = getUniformLocation(name);
  if (location != -1) glUniformMatrix3fv(location, 1, GL_FALSE, glm::value_ptr(value));
}

void Shader::setUniform(const std::string& name, const glm::mat4& value) {
  const GLint location = getUniformLocation(name);
  if (location != -1) glUniformMatrix4fv(location, 1, GL_FALSE, glm::value_ptr(value));
}

MyShader::MyShader(std::string vertex, std::string fragment)
    : vertexFile(std::move(vertex)), fragmentFile(std::move(fragment)) {
  build();
}

MyShader::MyShader(std::string vertex, std::string fragment, std::string geometry)
    : vertexFile(std::move(vertex)), fragmentFile(std::move(fragment)), geometryFile(std::move(geometry)) {
  build();
}

namespace {

// Reads a whole stage file; false when it cannot be opened or read.
bool readStage(const std::string& name, std::string& out) { return readWholeFile(kShaderDirectory + name, out); }

GLuint compileUnchecked(GLenum stageType, const std::string& source) {
  GLuint shader = glCreateShader(stageType);
  const char* text = source.c_str();
  glShaderSource(shader, 1, &text, nullptr);
  glCompileShader(shader);
  return shader;
}

}  // namespace

void MyShader::build() {
  const bool threeStages = !geometryFile.empty();
  // Sources are taken only once every file was read, so a failure leaves all of them empty.
  std::string vs, fs, gs;
  bool ok = readStage(vertexFile, vs) && readStage(fragmentFile, fs) && (!threeStages || readStage(geometryFile, gs));
  if (!ok) {
    std::cout << "ERROR:: Shader konnte nicht geladen werden" << std::endl;
    vs.clear();
    fs.clear();
    gs.clear();
  }

  GLuint stages[3] = {compileUnchecked(GL_VERTEX_SHADER, vs), compileUnchecked(GL_FRAGMENT_SHADER, fs), 0};
  if (threeStages) stages[2] = compileUnchecked(GL_GEOMETRY_SHADER, gs);

  handle = glCreateProgram();
  for (GLuint stage : stages)
    if (stage) glAttachShader(handle, stage);
  glLinkProgram(handle);
  for (GLuint stage : stages)
    if (stage) glDeleteShader(stage);
}

void MyShader::setMat4(const std::string& name, const glm::mat4& value) {
  glUniformMatrix4fv(glGetUniformLocation(handle, name.c_str()), 1, GL_FALSE, glm::value_ptr(value));
}
