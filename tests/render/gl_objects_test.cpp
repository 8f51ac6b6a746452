// The render classes in one real context: what each uploads, leaves bound and prints.
#include <gtest/gtest.h>
#include <stb_image_write.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <glm/gtc/matrix_inverse.hpp>
#include <glm/gtc/matrix_transform.hpp>
#include <glm/gtc/type_ptr.hpp>
#include <numeric>
#include <set>
#include <sstream>

#include "render/framework.h"
#include "render/geometry.h"
#include "render/material.h"
#include "render/model.h"
#include "render/shader.h"
#include "render/text_renderer.h"
#include "render/texture.h"
#include "support/dds_bytes.h"
#include "support/gl_context.h"

namespace fs = std::filesystem;

namespace {

// Positions, normals and texture coordinates at 0, 1, 2, and the surface uniforms of the game's programs.
const char* const kVertex = R"(#version 430 core
layout(location = 0) in vec3 position; layout(location = 1) in vec3 normal; layout(location = 2) in vec2 uv;
uniform mat4 modelMatrix; uniform mat3 normalMatrix; uniform int textureMultiplikatorX, textureMultiplikatorY;
out vec3 shade;
void main() {
  shade = normalMatrix * normal + vec3(uv, 0.0) * float(textureMultiplikatorX + textureMultiplikatorY);
  gl_Position = modelMatrix * vec4(position, 1.0);
})";
const char* const kFragment = R"(#version 430 core
in vec3 shade; uniform vec3 materialCoefficients; uniform float specularAlpha;
uniform sampler2D diffuseTexture, specularTexture; out vec4 colour;
void main() { colour = (texture(diffuseTexture, shade.xy) + texture(specularTexture, shade.xy)) *
                vec4(materialCoefficients, specularAlpha); })";

// A parameter of the bound texture, or with a level, of that level.
GLint textureInteger(GLenum name, GLint level = -1) {
  GLint value = 0;
  level < 0 ? glGetTexParameteriv(GL_TEXTURE_2D, name, &value)
            : glGetTexLevelParameteriv(GL_TEXTURE_2D, level, name, &value);
  return value;
}

template <class T>
T uniform(GLuint program, const char* name, T value) {
  glGetUniformfv(program, glGetUniformLocation(program, name), glm::value_ptr(value));
  return value;
}

GLint uniformInteger(GLuint program, const char* name) {
  GLint value = -1;
  glGetUniformiv(program, glGetUniformLocation(program, name), &value);
  return value;
}

std::vector<unsigned char> readBack(GLenum format, size_t size) {
  std::vector<unsigned char> out(size);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glGetTexImage(GL_TEXTURE_2D, 0, format, GL_UNSIGNED_BYTE, out.data());
  glPixelStorei(GL_PACK_ALIGNMENT, 4);
  return out;
}

// Tests that write files work in a fresh folder (with "assets/textures" for the DDS reader's fixed
// prefix) and come back to the build folder afterwards.
class RenderGl : public GlContextTest {
 protected:
  void SetUp() override {
    GlContextTest::SetUp();
    char pattern[] = "/tmp/kellvane-render-XXXXXX";
    root = mkdtemp(pattern);
    fs::create_directories(root / "assets/textures");
  }
  void TearDown() override {
    fs::current_path(build);
    fs::remove_all(root);
    GlContextTest::TearDown();
  }
  fs::path root, build = fs::current_path();
};

}  // namespace

// The whole chain of the baked files is checked where they are read back; here the reader's own rules.
TEST_F(RenderGl, DdsFilesAreSizedInBlocksUploadedCompressedAndRefusedSilentlyWhenUnusable) {
  fs::current_path(root);
  const struct {
    std::string bytes;
    std::vector<uint32_t> formatSizeWidthHeight;  // all 0: refused
  } cases[] = {{ddsBytes(256, 256, "DXT5", 65536, 65536), {GL_COMPRESSED_RGBA_S3TC_DXT5_EXT, 65536, 256, 256}},
               {ddsBytes(5, 3, "DXT1", 16, 16), {GL_COMPRESSED_RGBA_S3TC_DXT1_EXT, 16, 5, 3}},
               {ddsBytes(1, 1, "DXT3", 16, 16), {GL_COMPRESSED_RGBA_S3TC_DXT3_EXT, 16, 1, 1}},
               {ddsBytes(4, 4, "DXT1", 8, 8, "DDSX"), {0, 0, 0, 0}},
               {ddsBytes(4, 4, "DXT1", 0xFFFFFFFFu, 8), {0, 0, 0, 0}}};
  testing::internal::CaptureStdout();
  for (const auto& c : cases) {
    std::ofstream("assets/textures/t.dds", std::ios::binary) << c.bytes;
    const DdsImage image = loadDds("assets/textures/t.dds");
    EXPECT_EQ(std::vector<uint32_t>({image.format, image.byteSize, image.width, image.height}),
              c.formatSizeWidthHeight);
    EXPECT_EQ(image.pixels != nullptr, c.formatSizeWidthHeight[0] != 0);
    delete[] image.pixels;
    Texture texture{std::string("t.dds")};
    EXPECT_EQ(texture.valid && texture.handle, c.formatSizeWidthHeight[0] != 0);
    if (texture.valid) {
      EXPECT_EQ(std::vector<GLint>({integer(GL_TEXTURE_BINDING_2D), textureInteger(GL_TEXTURE_INTERNAL_FORMAT, 0),
                                    textureInteger(GL_TEXTURE_MIN_FILTER), textureInteger(GL_TEXTURE_WRAP_T)}),
                std::vector<GLint>({static_cast<GLint>(texture.handle), static_cast<GLint>(c.formatSizeWidthHeight[0]),
                                    GL_LINEAR_MIPMAP_LINEAR, GL_REPEAT}));
    }
  }
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
}

TEST_F(RenderGl, ImagesAndPixelsUploadWithTheirOwnChannelCountRowsInFileOrder) {
  // Odd widths: rows of one and three bytes per pixel are not 4-byte aligned.
  std::vector<unsigned char> rgba(3 * 2 * 4), rgb(5 * 3 * 3), grey(7 * 5),
      noise(kPixelTextureSize * kPixelTextureSize * 3);
  for (auto* bytes : {&rgba, &rgb, &grey, &noise})
    for (size_t i = 0; i < bytes->size(); ++i) (*bytes)[i] = static_cast<unsigned char>(i * bytes->size() % 251);
  for (const auto& [file, width, channels, format, pixels] : {std::tuple{"four.png", 3, 4, GL_RGBA, &rgba},
                                                              {"three.png", 5, 3, GL_RGB, &rgb},
                                                              {"one.png", 7, 1, GL_RED, &grey}}) {
    const int height = static_cast<int>(pixels->size()) / width / channels;
    ASSERT_TRUE(stbi_write_png((root / file).c_str(), width, height, channels, pixels->data(), width * channels));
    Texture texture(file, root.string());
    EXPECT_TRUE(texture.valid && textureInteger(GL_TEXTURE_INTERNAL_FORMAT, 0) == format &&
                readBack(format, pixels->size()) == *pixels)
        << file;
  }
  EXPECT_EQ(integer(GL_UNPACK_ALIGNMENT), 4);  // the caller's unpack alignment is back
  // Pixels from memory: level 0 sampled linearly, the chain down to 1 x 1, nothing left bound.
  Texture generated(noise.data());
  EXPECT_TRUE(generated.valid && integer(GL_TEXTURE_BINDING_2D) == 0);
  glBindTexture(GL_TEXTURE_2D, generated.handle);
  EXPECT_TRUE(textureInteger(GL_TEXTURE_MIN_FILTER) == GL_LINEAR && textureInteger(GL_TEXTURE_WIDTH, 8) == 1 &&
              readBack(GL_RGB, noise.size()) == noise);
  // A file that does not decode keeps its created, empty name, which the model goes on with.
  std::ofstream(root / "broken.png") << "not a png";
  testing::internal::CaptureStdout();
  const GLuint name = loadImageTexture("broken.png", root.string());
  EXPECT_FALSE(Texture("broken.png", root.string()).valid);
  const std::string message = "Texture failed to load at path: broken.png\n";
  EXPECT_EQ(testing::internal::GetCapturedStdout(), message + message);
  EXPECT_NE(name, 0u);
  glDeleteTextures(1, &name);
}

TEST_F(RenderGl, ModelsShareALoadedTextureAndBindTheCallersTextures) {
  fs::current_path(root);
  // Two objects whose materials name the same diffuse image; the second adds a specular map.
  std::ofstream("shared.obj") << "mtllib shared.mtl\no first\nv 0 0 0\nv 1 0 0\nv 0 1 0\nv 1 1 0\nvt 0.25 0.75\n"
                                 "vn 0 0 1\nusemtl one\nf 1/1/1 2/1/1 4/1/1 3/1/1\no second\nv 0 0 1\nv 1 0 1\n"
                                 "v 0 1 1\nusemtl two\nf 5/1/1 6/1/1 7/1/1\n";
  std::ofstream("shared.mtl") << "newmtl one\nmap_Kd skin.png\nnewmtl two\nmap_Kd skin.png\nmap_Ks shine.png\n";
  std::ofstream("bare.obj") << "v 0 0 0\nv 2 0 0\nv 0 0 -2\nf 1 2 3\n";  // no texture coordinates, no normals
  const unsigned char pixels[16] = {255, 0, 0, 255, 0, 255, 0, 255, 0, 0, 255, 255, 9, 9, 9, 255};
  ASSERT_TRUE(stbi_write_png("skin.png", 2, 2, 4, pixels, 8) && stbi_write_png("shine.png", 2, 2, 4, pixels, 8));
  auto shader = std::make_shared<Shader>(kVertex, kFragment, true);
  const glm::mat4 matrix = glm::scale(glm::translate(glm::mat4(1.0f), glm::vec3(0, 111.5f, 10)), glm::vec3(0.1f));
  testing::internal::CaptureStdout();
  Model model((root / "shared.obj").c_str(), matrix, shader);
  const std::string printed = testing::internal::GetCapturedStdout();
  EXPECT_EQ(model.directory, root.string());
  ASSERT_TRUE(model.meshes.size() == 2 && model.loadedTextures.size() == 2);
  const Mesh &first = model.meshes[0], &second = model.meshes[1];
  ASSERT_TRUE(first.textures.size() == 1 && second.textures.size() == 2);
  EXPECT_EQ(first.textures[0].id, second.textures[0].id);
  EXPECT_TRUE(second.textures[1].type == "texture_specular" && second.textures[1].path == "shine.png");
  const std::string skin = std::to_string(first.textures[0].id), shine = std::to_string(second.textures[1].id);
  EXPECT_EQ(printed, skin + "\n" + skin + "\n" + shine + "\n");
  // The quad was triangulated and its v flipped on import; vertices are 32 bytes, uv at 24.
  EXPECT_TRUE(first.indices.size() == 6 && first.vertices[0].texCoords == glm::vec2(0.25f, 0.25f));
  GLint stride = 0;
  void* uvOffset = nullptr;
  glBindVertexArray(first.vao);
  glGetVertexAttribiv(2, GL_VERTEX_ATTRIB_ARRAY_STRIDE, &stride);
  glGetVertexAttribPointerv(2, GL_VERTEX_ATTRIB_ARRAY_POINTER, &uvOffset);
  glBindVertexArray(0);
  EXPECT_TRUE(stride == 32 && reinterpret_cast<uintptr_t>(uvOffset) == 24u);

  GLuint textures[2];
  glGenTextures(2, textures);
  model.draw(textures[0], textures[1]);
  EXPECT_EQ(
      std::vector<GLint>({integer(GL_CURRENT_PROGRAM), integer(GL_ACTIVE_TEXTURE), integer(GL_TEXTURE_BINDING_2D)}),
      std::vector<GLint>({0, GL_TEXTURE0, static_cast<GLint>(textures[0])}));
  EXPECT_EQ(uniformInteger(shader->handle, "specularTexture"), 1);
  EXPECT_EQ(uniform(shader->handle, "modelMatrix", glm::mat4(0.0f)), matrix);
  glUseProgram(shader->handle);
  shader->setUniform("modelMatrix", glm::mat4(2.0f));
  model.drawWithoutModelMatrix(textures[0], textures[1]);  // the spinning draw: the caller's matrix stays
  EXPECT_EQ(uniform(shader->handle, "modelMatrix", glm::mat4(0.0f)), glm::mat4(2.0f));
  glDeleteTextures(2, textures);
  Model bare("bare.obj", glm::mat4(1.0f), shader);
  EXPECT_EQ(bare.directory, "bare.obj");  // a bare path is its own directory
  ASSERT_EQ(bare.meshes.size(), 1u);
  for (const MeshVertex& v : bare.meshes[0].vertices) EXPECT_EQ(v.texCoords, glm::vec2(0.0f));
  std::ofstream("broken.obj") << "v 0 0 0\nf 1 2 9\n";  // a face past the vertex list
  testing::internal::CaptureStdout();
  Model broken("broken.obj", glm::mat4(1.0f), shader);
  const std::string message = testing::internal::GetCapturedStdout();
  EXPECT_TRUE(message.rfind("ERROR::ASSIMP::", 0) == 0 && message.size() > 16 && broken.meshes.empty()) << message;
  broken.draw(0, 0);  // draws nothing, raises no error
}

TEST_F(RenderGl, GeometryAndMaterialsSendTheirMatricesRepeatsCoefficientsAndTextures) {
  auto shader = std::make_shared<Shader>(kVertex, kFragment, true);
  // Rotation plus non-uniform scale, so the inverse and its transpose differ.
  const glm::mat4 model = glm::scale(glm::rotate(glm::mat4(1.0f), 0.7f, glm::vec3(0, 0, 1)), glm::vec3(1, 3, 1));
  Geometry geometry(model, createBoxGeometry(1, 1, 1), std::make_shared<Material>(shader, glm::vec3(0.1f), 2.0f));
  EXPECT_EQ(geometry.indexCount, 36);
  glBindVertexArray(geometry.vao);
  const GLuint buffers[3] = {geometry.positionBuffer, geometry.normalBuffer, geometry.uvBuffer};
  for (GLint location = 0, bound = 0; location < 3; ++location) {
    glGetVertexAttribiv(location, GL_VERTEX_ATTRIB_ARRAY_BUFFER_BINDING, &bound);
    EXPECT_EQ(static_cast<GLuint>(bound), buffers[location]) << location;
  }
  glBindVertexArray(0);
  GLuint textures[2];
  glGenTextures(2, textures);
  geometry.draw(textures[0], textures[1], 2.9f, -1.5f);
  EXPECT_TRUE(uniformInteger(shader->handle, "textureMultiplikatorX") == 2 &&
              uniformInteger(shader->handle, "textureMultiplikatorY") == -1)
      << "truncated toward zero";
  EXPECT_EQ(uniform(shader->handle, "normalMatrix", glm::mat3(0.0f)), glm::mat3(glm::inverse(model)));
  EXPECT_EQ(std::vector<GLint>({integer(GL_ACTIVE_TEXTURE), integer(GL_TEXTURE_BINDING_2D)}),
            std::vector<GLint>({GL_TEXTURE1, static_cast<GLint>(textures[1])}));
  glActiveTexture(GL_TEXTURE0);
  EXPECT_EQ(static_cast<GLuint>(integer(GL_TEXTURE_BINDING_2D)), textures[0]);
  geometry.draw();  // the plain draw sends the transpose of the inverse
  const glm::mat3 sent = uniform(shader->handle, "normalMatrix", glm::mat3(0.0f)),
                  wanted = glm::inverseTranspose(model);
  for (int c = 0; c < 9; ++c) EXPECT_NEAR(sent[c / 3][c % 3], wanted[c / 3][c % 3], 1e-5f);
  const glm::mat4 t = glm::translate(glm::mat4(1.0f), glm::vec3(1, 2, 3));
  geometry.resetModelMatrix();
  geometry.transform(t);
  geometry.transform(glm::rotate(t, 1.0f, glm::vec3(0, 1, 0)));
  EXPECT_EQ(geometry.modelMatrix, glm::rotate(t, 1.0f, glm::vec3(0, 1, 0)) * t);  // composes on the left

  // A textured material: an unusable texture leaves the texture state alone, a usable one goes on
  // unit 0; the coefficients and the sampler's unit 0 are set either way.
  std::vector<unsigned char> pixels(kPixelTextureSize * kPixelTextureSize * 3, 90);
  auto usable = std::make_shared<Texture>(pixels.data());
  std::weak_ptr<Texture> released = usable;
  glBindTexture(GL_TEXTURE_2D, textures[0]);
  for (auto texture :
       {std::make_shared<Texture>(std::string("no such file.dds")), std::shared_ptr<Texture>(), usable}) {
    glActiveTexture(GL_TEXTURE3);
    shader->setUniform("diffuseTexture", 5);
    std::make_shared<TextureMaterial>(shader, glm::vec3(0.2f, 0.75f, 0.65f), 0.4f, texture)->setUniforms();
    EXPECT_EQ(uniform(shader->handle, "materialCoefficients", glm::vec4(-1.0f)), glm::vec4(0.2f, 0.75f, 0.65f, -1));
    EXPECT_EQ(uniform(shader->handle, "specularAlpha", glm::vec4(-1.0f)), glm::vec4(0.4f, -1, -1, -1));
    EXPECT_EQ(std::vector<GLint>({uniformInteger(shader->handle, "diffuseTexture"), integer(GL_ACTIVE_TEXTURE)}),
              std::vector<GLint>({0, texture == usable ? GL_TEXTURE0 : GL_TEXTURE3}));
    glActiveTexture(GL_TEXTURE0);
    EXPECT_EQ(static_cast<GLuint>(integer(GL_TEXTURE_BINDING_2D)), texture == usable ? usable->handle : textures[0]);
  }
  usable.reset();
  EXPECT_TRUE(released.expired()) << "the material let go of its texture";
  EXPECT_EQ(shader.use_count(), 2) << "and of its program: ours and the geometry's material's are left";
  glDeleteTextures(2, textures);
}

namespace {

// Counts the driver's uniform location queries while it lives, through the loader's entry point.
struct UniformQueries {
  UniformQueries() : real(__glewGetUniformLocation) { active = this, __glewGetUniformLocation = &counting; }
  ~UniformQueries() { __glewGetUniformLocation = real; }
  static GLint GLAPIENTRY counting(GLuint program, const GLchar* name) {
    active->names.emplace_back(name);
    return active->real(program, name);
  }
  std::vector<std::string> names;  // in the order they were asked for
  PFNGLGETUNIFORMLOCATIONPROC real;
  static inline UniformQueries* active = nullptr;
};

// Stage files are read from the shader folder; the tests keep theirs in a folder of their own there.
std::string stageFile(const std::string& name, const std::string& text) {
  fs::create_directories(std::string(kShaderDirectory) + "test-stages");
  std::ofstream(std::string(kShaderDirectory) + "test-stages/" + name) << text;
  return "test-stages/" + name;
}

}  // namespace

TEST_F(RenderGl, ShadersCacheUniformLocationsPerProgramReleaseThemselvesAndEndTheProgramOnBrokenStages) {
  const std::string vs = stageFile("ok.vert", kVertex), fs = stageFile("ok.frag", kFragment);
  GLuint handle = 0;
  {
    Shader shader(vs, fs), other(vs, fs);
    glUseProgram(handle = shader.handle);
    UniformQueries queries;
    EXPECT_TRUE(shader.getUniformLocation("specularAlpha") >= 0 && shader.getUniformLocation("missing") == -1);
    shader.setUniform("missing", 1.0f);  // skipped, no GL error
    shader.setUniform("specularAlpha", 0.25f);
    EXPECT_GE(other.getUniformLocation("specularAlpha"), 0);
    // A miss is kept too; each program has its own cache.
    EXPECT_EQ(queries.names, (std::vector<std::string>{"specularAlpha", "missing", "specularAlpha"}));
    EXPECT_EQ(uniform(handle, "specularAlpha", glm::vec4(0.0f)).x, 0.25f);
  }
  EXPECT_EQ(integer(GL_CURRENT_PROGRAM), 0) << "destroying the current program leaves none current";
  EXPECT_FALSE(glIsProgram(handle));
  GTEST_FLAG_SET(death_test_style, "threadsafe");  // the child makes its own context
  // The messages go to standard output; the child sends them to standard error for the death test.
  const std::string broken = stageFile("broken.frag", "#version 430 core\nvoid main() { nonsense; }");
  EXPECT_EXIT((dup2(2, 1), Shader(vs, broken)), ::testing::ExitedWithCode(1),
              "Failed to compile shader: .*broken.frag");
  // Both stages compile, but the fragment stage reads an input no vertex stage writes.
  const std::string unlinked =
      stageFile("unlinked.frag", "#version 430 core\nin vec3 never;\nout vec4 c;\nvoid main() { c = vec4(never, 1); }");
  EXPECT_EXIT((dup2(2, 1), Shader(vs, unlinked)), ::testing::ExitedWithCode(1), "Failed to link shader program:");
}

// The game's own programs, built by its classes: every uniform the game sets is used (not merely
// declared), and the mesh inputs sit at the locations the vertex arrays bind ("-": not used).
TEST_F(RenderGl, EveryGameProgramUsesItsUniformsAndTakesItsInputsWhereTheMeshesPutThem) {
  const std::string mesh =
                        "position normal uv | modelMatrix viewProjMatrix camera_world dirL.color dirL.direction "
                        "materialCoefficients specularAlpha diffuseTexture ",
                    one = "pointL.color pointL.position pointL.attenuation ",
                    four = "pointLights[0].color pointLights[3].attenuation pointLights[3].position ",
                    repeat = "textureMultiplikatorX textureMultiplikatorY specularTexture ";
  for (const std::string& program : std::initializer_list<std::string>{
           "texture " + mesh + one, "lightShader " + mesh + one, "modelShader " + mesh + "specularTexture",
           "materialShader " + mesh + four + repeat +
               "pointLights[4].attenuation depthMap lightSpaceMatrix lightPos cubeDepthMap1 cubeDepthMap4 "
               "pointLightFarPlane",
           "groundShader " + mesh + four + repeat + "dimension",
           "waterShader2 " + mesh + four + "dt type offset1 offset2",
           // still water maps its texture in world space
           "waterShader position normal - |" + mesh.substr(mesh.find('|') + 1) + four + "dt type",
           "skyboxShader position | view projection skybox", "quadShader position - uv | depthMap nearPlane farPlane",
           "particleShader corner uv instanceColor | viewProjectionMatrix modelMatrix cameraRight cameraUp sprite",
           "textureSimple position - uv | modelMatrix viewProjMatrix diffuseTexture",
           "depthShader position | lightSpaceMatrix modelMatrix",
           "cubeDepthShader position | modelMatrix shadowMatrices[0] shadowMatrices[5] far_plane lightPos"}) {
    std::istringstream words(program);
    std::string name, word;
    words >> name;
    SCOPED_TRACE(name);
    for (const char* suffix : {".vert", ".frag", ".geom"}) {  // stages of the one GL version the game asks for
      std::ifstream stage(std::string(kShaderDirectory) + name + suffix);
      std::string first;
      std::getline(stage, first);
      EXPECT_TRUE(first == "#version 430 core" || (first.empty() && suffix[1] == 'g')) << suffix;
    }
    std::unique_ptr<Shader> shader;
    GLuint handle = 0;
    if (name == "depthShader") {
      handle = MyShader(name + ".vert", name + ".frag").handle;
    } else if (name == "cubeDepthShader") {
      MyShader cube(name + ".vert", name + ".frag", name + ".geom");
      glUseProgram(handle = cube.handle);
      cube.setMat4("shadowMatrices[5]", glm::mat4(2.0f));  // through the class's own setter
      EXPECT_EQ(uniform(handle, "shadowMatrices[5]", glm::mat4(0.0f)), glm::mat4(2.0f));
      glUseProgram(0);
    } else {
      handle = (shader = std::make_unique<Shader>(name + ".vert", name + ".frag"))->handle;
    }
    for (GLint location = 0, type = 0; words >> word && word != "|"; ++location, type = 0) {
      const GLenum property = GL_TYPE;
      const GLuint index = glGetProgramResourceIndex(handle, GL_PROGRAM_INPUT, word.c_str());
      if (index != GL_INVALID_INDEX)
        glGetProgramResourceiv(handle, GL_PROGRAM_INPUT, index, 1, &property, 1, nullptr, &type);
      EXPECT_EQ(glGetAttribLocation(handle, word.c_str()), word == "-" ? -1 : location) << word;
      EXPECT_EQ(type, word == "-"               ? 0
                      : word == "uv"            ? GL_FLOAT_VEC2
                      : word == "instanceColor" ? GL_FLOAT_VEC4
                                                : GL_FLOAT_VEC3)
          << word;
    }
    while (words >> word) EXPECT_NE(glGetUniformLocation(handle, word.c_str()), -1) << word;
    if (!shader) glDeleteProgram(handle);  // the game leaves its depth programs to the context
  }
}

TEST(BuiltinMesh, IndicesCoverEveryPatchCellAndThePointsAreTurnedHalfARevolution) {
  const unsigned* idx = builtinMeshIndexTable();
  EXPECT_EQ(std::vector<unsigned>(idx, idx + 6), (std::vector<unsigned>{0, 5, 4, 0, 1, 5}));
  EXPECT_EQ(std::vector<unsigned>(idx + kBuiltinMeshIndices - 6, idx + kBuiltinMeshIndices),
            (std::vector<unsigned>{506, 511, 510, 506, 507, 511}));
  const std::set<unsigned> used(idx, idx + kBuiltinMeshIndices);
  EXPECT_TRUE(used.size() == 512u && *used.rbegin() == 511u) << "every point of every 4 x 4 patch is used";
  for (int t = 0; t < kBuiltinMeshIndices / 3; ++t) EXPECT_EQ(idx[3 * t] / 16, idx[3 * t + 2] / 16) << "triangle " << t;
  // The first patch starts at the top, (0, 1, 0) before and after the turn; the equator's point at
  // phi 0 (band 1, last row, first column), x = 1 before, must come out at x = -1.
  const float* p = builtinMeshPositions() + 3 * (16 * 8 + 4 * 3);
  EXPECT_NEAR(builtinMeshPositions()[1], 1.0f, 1e-6f);
  EXPECT_NEAR(glm::distance(glm::vec3(p[0], p[1], p[2]), glm::vec3(-1, 0, 0)), 0.0f, 1e-5f);
}

TEST(BuiltinLibrary, TenNamedProgramsDecodeToFourteenStageTexts) {
  const auto& lib = builtinShaderLibrary();
  std::set<std::string> names, distinct;
  for (const auto& [name, sources] : lib) {
    EXPECT_EQ(sources.vertex.rfind("#version", 0), 0u) << name;
    names.insert(name), distinct.insert(sources.vertex), distinct.insert(sources.fragment);
  }
  EXPECT_EQ(names,
            (std::set<std::string>{"color", "cookTorrance", "environmentMap", "phongGouraud", "phongGouraudBonus",
                                   "phongPhong", "phongPhongBonus", "specularMap", "texture", "textureBonus"}));
  EXPECT_EQ(distinct.size(), 14u);
  for (const auto& [a, b] : {std::pair{"cookTorrance", "phongPhong"},
                             {"phongPhongBonus", "phongPhong"},
                             {"environmentMap", "texture"},
                             {"specularMap", "texture"},
                             {"textureBonus", "texture"}})
    EXPECT_EQ(lib.at(a).vertex, lib.at(b).vertex) << a << " shares " << b << "'s vertex stage";
  EXPECT_EQ(lib.at("phongGouraud").fragment, lib.at("phongGouraudBonus").fragment);
}

TEST_F(RenderGl, FrameworkMakesARedDefaultProgramCurrentUnlessOneIsAndShutdownReleasesIt) {
  Shader mine(std::string(kVertex), std::string(kFragment), true);
  glUseProgram(mine.handle);
  ASSERT_TRUE(initFramework());
  EXPECT_TRUE(defaultProgram == nullptr && integer(GL_CURRENT_PROGRAM) == static_cast<GLint>(mine.handle));
  shutdownFramework();
  glUseProgram(0);
  ASSERT_TRUE(initFramework());
  ASSERT_NE(defaultProgram, nullptr);
  EXPECT_EQ(static_cast<GLuint>(integer(GL_CURRENT_PROGRAM)), defaultProgram->handle);
  // A full-window triangle drawn with it is red. Its points reach location 0 through a buffer of
  // the test's own; the mesh's index buffer stays with the mesh's vertex array.
  GLuint buffer = 0;
  const float triangle[] = {-1, -1, 0, 3, -1, 0, -1, 3, 0};
  glGenBuffers(1, &buffer);
  glBindVertexArray(builtinMeshVao);
  GLint size = 0;
  glGetBufferParameteriv(GL_ELEMENT_ARRAY_BUFFER, GL_BUFFER_SIZE, &size);
  EXPECT_TRUE(static_cast<GLuint>(integer(GL_ELEMENT_ARRAY_BUFFER_BINDING)) == builtinMeshIndexBuffer && size == 6912);
  glBindBuffer(GL_ARRAY_BUFFER, buffer);
  glBufferData(GL_ARRAY_BUFFER, sizeof(triangle), triangle, GL_STATIC_DRAW);
  glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, 0, nullptr);
  glDisable(GL_DEPTH_TEST), glDisable(GL_CULL_FACE);
  glClear(GL_COLOR_BUFFER_BIT);
  glDrawArrays(GL_TRIANGLES, 0, 3);
  unsigned char pixel[4] = {};
  glReadPixels(8, 8, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, pixel);
  EXPECT_TRUE(pixel[0] == 255 && pixel[1] == 0 && pixel[2] == 0) << int(pixel[0]) << " " << int(pixel[1]);
  glDeleteBuffers(1, &buffer);
  const GLuint program = defaultProgram->handle;
  shutdownFramework();
  EXPECT_TRUE(!defaultProgram && !glIsProgram(program) && !builtinMeshVao && !integer(GL_CURRENT_PROGRAM));
  glfwMakeContextCurrent(nullptr);
  testing::internal::CaptureStdout();
  EXPECT_FALSE(initFramework());
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "No context available. Exiting.\n");
  glfwMakeContextCurrent(window);
}

// A line of text in the baked atlas: its pixels land inside the rectangles the layout gives, every
// glyph shows, and the GL state the scene left is as it was.
TEST_F(RenderGl, TextLandsWhereTheLayoutSaysAndLeavesTheStateAsItWas) {
  TextRenderer text;
  ASSERT_TRUE(text.ready) << "the baked atlas (build/assets/textures/font.*) is missing";
  const int width = 320, height = 96;
  GLuint target = 0, framebuffer = 0;
  glGenTextures(1, &target), glGenFramebuffers(1, &framebuffer);
  glBindTexture(GL_TEXTURE_2D, target);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
  glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
  glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, target, 0);
  glViewport(0, 0, width, height);
  glClearColor(0.0f, 0.0f, 1.0f, 1.0f);  // blue, the text red
  glClear(GL_COLOR_BUFFER_BIT);
  Shader other(std::string(kVertex), std::string(kFragment), true);
  glUseProgram(other.handle);
  glEnable(GL_DEPTH_TEST), glEnable(GL_CULL_FACE), glDisable(GL_BLEND), glBlendFunc(GL_ONE, GL_ZERO);
  glActiveTexture(GL_TEXTURE3);
  glPolygonMode(GL_FRONT_AND_BACK, GL_LINE);
  const std::string line = "Skulls 2/3 gj!";
  const glm::vec2 corner(37.0f, 21.0f);
  text.draw({}, {{line, corner, 1.5f, glm::vec4(1.0f, 0.0f, 0.0f, 1.0f)}}, width, height);
  EXPECT_EQ(std::vector<GLint>({integer(GL_CURRENT_PROGRAM), integer(GL_ACTIVE_TEXTURE), integer(GL_POLYGON_MODE),
                                integer(GL_BLEND_SRC_RGB), glIsEnabled(GL_DEPTH_TEST), glIsEnabled(GL_CULL_FACE),
                                glIsEnabled(GL_BLEND)}),
            std::vector<GLint>({static_cast<GLint>(other.handle), GL_TEXTURE3, GL_LINE, GL_ONE, 1, 1, 0}));
  glPolygonMode(GL_FRONT_AND_BACK, GL_FILL), glDisable(GL_DEPTH_TEST), glDisable(GL_CULL_FACE), glUseProgram(0);
  glActiveTexture(GL_TEXTURE0);
  std::vector<unsigned char> pixels(width * height * 4);
  glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
  glDeleteFramebuffers(1, &framebuffer), glDeleteTextures(1, &target);

  const std::vector<GlyphQuad> quads = text.atlas.layout(line, corner, 1.5f);
  ASSERT_EQ(quads.size(), line.size() - 2) << "the two spaces have no rectangle";
  std::vector<int> redIn(quads.size() + 1, 0);  // the last: outside every glyph's rectangle
  long changedOutside = 0;
  for (int i = 0; i < width * height; ++i) {
    const glm::vec2 p(i % width + 0.5f, height - 1 - i / width + 0.5f);  // read back bottom-up
    size_t in = 0;
    while (in < quads.size() && glm::any(glm::greaterThan(glm::abs(p - (quads[in].min + quads[in].max) / 2.0f),
                                                          (quads[in].max - quads[in].min) / 2.0f + 1.0f)))
      ++in;
    const unsigned char* c = &pixels[4 * i];
    redIn[in] += c[0] > 128;
    changedOutside += in == quads.size() && (c[0] != 0 || c[1] != 0 || c[2] != 255);
  }
  EXPECT_EQ(changedOutside, 0) << "nothing is drawn outside the glyphs' rectangles";
  for (size_t i = 0; i < quads.size(); ++i) EXPECT_GT(redIn[i], 3) << "glyph " << i << " is drawn";
  EXPECT_GT(std::accumulate(redIn.begin(), redIn.end() - 1, 0), 300) << "solid glyphs, not their outlines";
  // The layout itself: left to right from the corner, the line's top at the corner.
  EXPECT_TRUE(quads.front().min.x >= corner.x && quads.front().min.x < corner.x + 6.0f);
  for (size_t i = 1; i < quads.size(); ++i) EXPECT_GT(quads[i].min.x, quads[i - 1].min.x);
  EXPECT_NEAR(quads.back().max.x, corner.x + text.atlas.width(line, 1.5f), 6.0f);
  EXPECT_TRUE(quads.front().min.y >= corner.y && quads.front().max.y <= corner.y + text.atlas.lineHeight(1.5f));
}
