#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "render/shader.h"
#include "support/gl_context.h"

namespace {

struct ProgramFiles {
  const char* name;
  bool drawsMeshes;                   // positions, normals and texture coordinates at locations 0, 1, 2
  std::vector<std::string> uniforms;  // every one must be active (used), not merely declared
};

std::vector<std::string> indexedLights(int count) {
  std::vector<std::string> names;
  for (int i = 0; i < count; ++i)
    for (const char* member : {"color", "position", "attenuation"})
      names.push_back("pointLights[" + std::to_string(i) + "]." + member);
  return names;
}

std::vector<std::string> join(std::vector<std::string> a, const std::vector<std::string>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

const std::vector<std::string> kSurface = {"modelMatrix",    "viewProjMatrix",       "camera_world",  "dirL.color",
                                           "dirL.direction", "materialCoefficients", "specularAlpha", "diffuseTexture"};
const std::vector<std::string> kSingleLight = {"pointL.color", "pointL.position", "pointL.attenuation"};

std::vector<ProgramFiles> programs() {
  return {
      {"texture", true, join(kSurface, kSingleLight)},
      {"materialShader", true,
       join(join(kSurface, indexedLights(5)),
            {"specularTexture", "textureMultiplikatorX", "textureMultiplikatorY", "depthMap", "lightSpaceMatrix",
             "lightPos", "cubeDepthMap1", "cubeDepthMap2", "cubeDepthMap3", "cubeDepthMap4", "pointLightFarPlane"})},
      {"groundShader", true,
       join(join(kSurface, indexedLights(4)),
            {"specularTexture", "textureMultiplikatorX", "textureMultiplikatorY", "dimension"})},
      // Still water maps its texture in world space: the texture coordinate input goes unused.
      {"waterShader", false, join(join(kSurface, indexedLights(4)), {"dt", "type"})},
      {"waterShader2", true, join(join(kSurface, indexedLights(4)), {"dt", "type", "offset1", "offset2"})},
      {"lightShader", true, join(kSurface, kSingleLight)},
      {"skyboxShader", false, {"view", "projection", "skybox"}},
      {"modelShader", true, join(kSurface, {"specularTexture"})},
      {"particleShader", false, {"viewProjectionMatrix", "modelMatrix", "cameraRight", "cameraUp", "sprite"}},
      {"textureSimple", false, {"modelMatrix", "viewProjMatrix", "diffuseTexture"}},
      {"quadShader", false, {"depthMap", "nearPlane", "farPlane"}},
      {"depthShader", false, {"lightSpaceMatrix", "modelMatrix"}},
      {"cubeDepthShader",
       false,
       {"modelMatrix", "shadowMatrices[0]", "shadowMatrices[1]", "shadowMatrices[2]", "shadowMatrices[3]",
        "shadowMatrices[4]", "shadowMatrices[5]", "far_plane", "lightPos"}},
  };
}

std::string readStage(const std::string& file) {
  std::ifstream in(std::string(kShaderDirectory) + file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string shaderLog(GLuint shader) {
  GLint length = 0;
  glGetShaderiv(shader, GL_INFO_LOG_LENGTH, &length);
  std::string log(static_cast<size_t>(std::max(length, 1)), '\0');
  glGetShaderInfoLog(shader, static_cast<GLsizei>(log.size()), nullptr, &log[0]);
  return log.c_str();
}

class ShaderFiles : public GlContextTest {
 protected:
  // Compiles and links the stages by hand so that a broken file fails this test with its log
  // (the game's Shader would end the whole test program instead). Returns 0 on failure.
  GLuint build(const std::string& name) {
    const bool hasGeometry = !readStage(name + ".geom").empty();
    std::vector<std::pair<GLenum, std::string>> stages = {{GL_VERTEX_SHADER, name + ".vert"},
                                                          {GL_FRAGMENT_SHADER, name + ".frag"}};
    if (hasGeometry) stages.push_back({GL_GEOMETRY_SHADER, name + ".geom"});
    const GLuint program = glCreateProgram();
    std::vector<GLuint> objects;
    bool ok = true;
    for (const auto& [type, file] : stages) {
      const std::string source = readStage(file);
      EXPECT_EQ(source.rfind("#version 430 core", 0), 0u) << file;
      const GLuint shader = glCreateShader(type);
      const char* text = source.c_str();
      glShaderSource(shader, 1, &text, nullptr);
      glCompileShader(shader);
      GLint status = GL_FALSE;
      glGetShaderiv(shader, GL_COMPILE_STATUS, &status);
      EXPECT_EQ(status, GL_TRUE) << file << ":\n" << shaderLog(shader);
      EXPECT_EQ(shaderLog(shader), "") << file << " compiles with messages";
      ok = ok && status == GL_TRUE;
      glAttachShader(program, shader);
      objects.push_back(shader);
    }
    glLinkProgram(program);
    GLint linked = GL_FALSE;
    glGetProgramiv(program, GL_LINK_STATUS, &linked);
    EXPECT_EQ(linked, GL_TRUE) << name << " does not link";
    for (GLuint shader : objects) glDeleteShader(shader);
    if (!ok || linked != GL_TRUE) {
      glDeleteProgram(program);
      return 0;
    }
    return program;
  }
};

TEST_F(ShaderFiles, EveryProgramCompilesLinksAndUsesItsUniforms) {
  for (const ProgramFiles& p : programs()) {
    SCOPED_TRACE(p.name);
    const GLuint program = build(p.name);
    if (program == 0) continue;
    for (const std::string& uniform : p.uniforms)
      EXPECT_NE(glGetUniformLocation(program, uniform.c_str()), -1) << p.name << " lacks " << uniform;
    glDeleteProgram(program);
  }
}

// Meshes and models bind positions, normals and texture coordinates to 0, 1 and 2; the sky
// and the depth passes use location 0 alone, the particles their own instanced layout.
TEST_F(ShaderFiles, VertexInputsSitAtTheSharedLocations) {
  for (const ProgramFiles& p : programs()) {
    SCOPED_TRACE(p.name);
    const GLuint program = build(p.name);
    if (program == 0) continue;
    GLint inputs = 0;
    glGetProgramInterfaceiv(program, GL_PROGRAM_INPUT, GL_ACTIVE_RESOURCES, &inputs);
    bool seen[3] = {false, false, false};
    for (GLint i = 0; i < inputs; ++i) {
      const GLenum props[2] = {GL_LOCATION, GL_TYPE};
      GLint values[2] = {-1, 0};
      glGetProgramResourceiv(program, GL_PROGRAM_INPUT, static_cast<GLuint>(i), 2, props, 2, nullptr, values);
      if (values[0] < 0 || values[0] > 2) continue;
      seen[values[0]] = true;
      if (std::string(p.name) == "particleShader") {
        const GLenum expected[3] = {GL_FLOAT_VEC3, GL_FLOAT_VEC2, GL_FLOAT_VEC4};
        EXPECT_EQ(static_cast<GLenum>(values[1]), expected[values[0]]) << "location " << values[0];
      } else {
        const GLenum expected[3] = {GL_FLOAT_VEC3, GL_FLOAT_VEC3, GL_FLOAT_VEC2};
        EXPECT_EQ(static_cast<GLenum>(values[1]), expected[values[0]]) << "location " << values[0];
      }
    }
    EXPECT_TRUE(seen[0]) << "no position at location 0";
    if (p.drawsMeshes) {
      EXPECT_TRUE(seen[1] && seen[2]) << "normal or texture coordinate missing";
    }
    glDeleteProgram(program);
  }
}

GLint linkStatus(GLuint program) {
  GLint linked = GL_FALSE;
  if (glIsProgram(program)) glGetProgramiv(program, GL_LINK_STATUS, &linked);
  return linked;
}

// The game's own classes load the same files: eleven Shader programs and two MyShader ones. Only
// a program that linked and finds its first uniform counts as built.
TEST_F(ShaderFiles, GameClassesBuildAllThirteenPrograms) {
  int built = 0;
  for (const ProgramFiles& p : programs()) {
    const std::string name = p.name;
    GLint linked = GL_FALSE;
    GLint firstUniform = -1;
    if (name == "depthShader" || name == "cubeDepthShader") {
      const bool cubeMap = name == "cubeDepthShader";
      MyShader depth =
          cubeMap ? MyShader(name + ".vert", name + ".frag", name + ".geom") : MyShader(name + ".vert", name + ".frag");
      linked = linkStatus(depth.handle);
      firstUniform = glGetUniformLocation(depth.handle, p.uniforms.front().c_str());
      if (cubeMap && linked == GL_TRUE) {
        // The last face matrix reaches the program through the class's own setter.
        glUseProgram(depth.handle);
        depth.setMat4("shadowMatrices[5]", glm::mat4(2.0f));
        glm::mat4 read(0.0f);
        glGetUniformfv(depth.handle, glGetUniformLocation(depth.handle, "shadowMatrices[5]"), &read[0][0]);
        glUseProgram(0);
        EXPECT_EQ(read, glm::mat4(2.0f));
      }
      glDeleteProgram(depth.handle);  // the game leaves them to the context; the test cleans up
    } else {
      auto shader = std::make_shared<Shader>(name + ".vert", name + ".frag");
      linked = linkStatus(shader->handle);
      firstUniform = shader->getUniformLocation(p.uniforms.front());
    }
    EXPECT_EQ(linked, GL_TRUE) << name;
    EXPECT_NE(firstUniform, -1) << name << " lacks " << p.uniforms.front();
    if (linked == GL_TRUE && firstUniform != -1) ++built;
  }
  EXPECT_EQ(built, 13);
}

}  // namespace
