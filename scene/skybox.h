#pragma once
#include <GL/glew.h>

#include <string>

class Camera;
class Shader;

// The sky: a cube map on a cube of half-size 1 around the camera, drawn after the level where
// nothing else was drawn. Owns its vertex array, buffer and cube map texture.
class Skybox {
 public:
  // Loads posx, negx, posy, negy, posz, negz ".dds" from the directory (path prefix with its
  // trailing slash). A face that cannot be read is reported and left empty.
  explicit Skybox(const std::string& faceDirectory = "assets/textures/cubemap3/");
  ~Skybox();
  Skybox(const Skybox&) = delete;
  Skybox& operator=(const Skybox&) = delete;

  // Draws with whatever program is current; the depth test passes at the far plane only for this
  // draw and is back to GL_LESS afterwards.
  void draw();
  // The frame loop's sky step: "view" without its translation, "projection", the draw, and no
  // program current afterwards.
  void drawWithProgram(Shader& skyboxProgram, const Camera& camera);

  GLuint vertexArray = 0;
  GLuint vertexBuffer = 0;
  GLuint cubeMapTexture = 0;

  static constexpr int kVertexCount = 36;

 private:
  void loadCubeMap(const std::string& faceDirectory);
};
