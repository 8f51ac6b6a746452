#include "scene/skybox.h"

#include <iostream>

#include "app/camera.h"
#include "render/shader.h"
#include "render/texture.h"

namespace {

// Two counter-clockwise triangles per face as seen from inside the cube, so culling back faces
// keeps the inside.
const float kSkyPositions[Skybox::kVertexCount * 3] = {
    // z = -1
    -1, 1, -1, -1, -1, -1, 1, -1, -1, 1, -1, -1, 1, 1, -1, -1, 1, -1,
    // x = -1
    -1, -1, 1, -1, -1, -1, -1, 1, -1, -1, 1, -1, -1, 1, 1, -1, -1, 1,
    // x = 1
    1, -1, -1, 1, -1, 1, 1, 1, 1, 1, 1, 1, 1, 1, -1, 1, -1, -1,
    // z = 1
    -1, -1, 1, -1, 1, 1, 1, 1, 1, 1, 1, 1, 1, -1, 1, -1, -1, 1,
    // y = 1
    -1, 1, -1, 1, 1, -1, 1, 1, 1, 1, 1, 1, -1, 1, 1, -1, 1, -1,
    // y = -1
    -1, -1, -1, -1, -1, 1, 1, -1, -1, 1, -1, -1, -1, -1, 1, 1, -1, 1};

// In cube map face order: +x, -x, +y, -y, +z, -z.
const char* const kFaceFiles[6] = {"posx.dds", "negx.dds", "posy.dds", "negy.dds", "posz.dds", "negz.dds"};

}  // namespace

Skybox::Skybox(const std::string& faceDirectory) {
  glGenVertexArrays(1, &vertexArray);
  glGenBuffers(1, &vertexBuffer);
  glBindVertexArray(vertexArray);
  glBindBuffer(GL_ARRAY_BUFFER, vertexBuffer);
  glBufferData(GL_ARRAY_BUFFER, sizeof(kSkyPositions), kSkyPositions, GL_STATIC_DRAW);
  glEnableVertexAttribArray(0);
  glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, 3 * sizeof(float), nullptr);
  glBindVertexArray(0);
  glBindBuffer(GL_ARRAY_BUFFER, 0);
  loadCubeMap(faceDirectory);
}

Skybox::~Skybox() {
  if (cubeMapTexture) glDeleteTextures(1, &cubeMapTexture);
  if (vertexBuffer) glDeleteBuffers(1, &vertexBuffer);
  if (vertexArray) glDeleteVertexArrays(1, &vertexArray);
  cubeMapTexture = vertexBuffer = vertexArray = 0;
}

void Skybox::loadCubeMap(const std::string& faceDirectory) {
  glGenTextures(1, &cubeMapTexture);
  glBindTexture(GL_TEXTURE_CUBE_MAP, cubeMapTexture);
  for (GLenum face = 0; face < 6; ++face) {
    const std::string path = faceDirectory + kFaceFiles[face];
    DdsImage image = loadDds(path.c_str());
    glTexParameteri(GL_TEXTURE_CUBE_MAP, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_CUBE_MAP, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_CUBE_MAP, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_CUBE_MAP, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_CUBE_MAP, GL_TEXTURE_WRAP_R, GL_CLAMP_TO_EDGE);
    if (image.byteSize == 0) {
      std::cout << "ERROR::Skybox Textur konnte nicht geladen werden: " << std::endl << path << std::endl;
      // An empty face would be an upload with format 0, which GL rejects with an error; the sky
      // simply stays incomplete instead.
      continue;
    }
    glCompressedTexImage2D(GL_TEXTURE_CUBE_MAP_POSITIVE_X + face, 0, image.format, static_cast<GLsizei>(image.width),
                           static_cast<GLsizei>(image.height), 0, static_cast<GLsizei>(image.byteSize), image.pixels);
    delete[] image.pixels;
  }
  glBindTexture(GL_TEXTURE_CUBE_MAP, 0);
}

void Skybox::draw() {
  // The sky's vertex stage puts every vertex at depth 1; LEQUAL lets it pass where the cleared
  // depth (1) is still untouched.
  glDepthFunc(GL_LEQUAL);
  glBindVertexArray(vertexArray);
  // The sampler "skybox" reads unit 0; level drawing may leave another unit active.
  glActiveTexture(GL_TEXTURE0);
  glBindTexture(GL_TEXTURE_CUBE_MAP, cubeMapTexture);
  glDrawArrays(GL_TRIANGLES, 0, kVertexCount);
  glBindVertexArray(0);
  glBindTexture(GL_TEXTURE_CUBE_MAP, 0);
  glDepthFunc(GL_LESS);
}

void Skybox::drawWithProgram(Shader& skyboxProgram, const Camera& camera) {
  static const std::string viewName = "view";
  static const std::string projectionName = "projection";
  glUseProgram(skyboxProgram.handle);
  // Rotation only: the sky stays centred on the camera however far it travels.
  skyboxProgram.setUniform(viewName, glm::mat4(glm::mat3(camera.view)));
  skyboxProgram.setUniform(projectionName, camera.projection);
  draw();
  glUseProgram(0);
}
