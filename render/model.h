#pragma once
#include <GL/glew.h>

#include <glm/glm.hpp>
#include <memory>
#include <string>
#include <vector>

#include "render/frustum.h"

class Shader;
class MyShader;
struct aiMaterial;
struct aiMesh;
struct aiNode;
struct aiScene;

// One interleaved vertex as uploaded: 32 bytes, position at 0, normal at 12, uv at 24.
struct MeshVertex {
  glm::vec3 position;
  glm::vec3 normal;
  glm::vec2 texCoords;
};
static_assert(sizeof(MeshVertex) == 32, "MeshVertex must stay tightly packed");

// A texture named by a model's material: GL name, "texture_diffuse" or "texture_specular", and
// the path exactly as the material writes it.
struct MeshTexture {
  GLuint id = 0;
  std::string type;
  std::string path;
};

// One imported mesh on the GPU. A plain record: the Model that built it owns and deletes its
// vertex array and buffers.
struct Mesh {
  std::vector<MeshVertex> vertices;
  std::vector<unsigned> indices;
  std::vector<MeshTexture> textures;  // diffuse maps first, then specular maps
  GLuint vao = 0;
  GLuint vbo = 0;
  GLuint ebo = 0;
};

// What the import asks Assimp for: triangles, and uvs flipped to GL's bottom-up rows.
extern const unsigned kModelImportFlags;

// One imported mesh as vertices and triangles, without GL objects or textures. Faces that are no
// whole triangle inside the vertex list are dropped. A vertex keeps the file's normal where that is
// finite and not zero; otherwise it gets the unit average of its triangles' normals (straight up
// when it lies on no proper triangle).
Mesh convertMesh(const aiMesh* source);

// A polygon model read through Assimp (triangulated, uvs flipped) and flattened into meshes in
// the file's own space. A file that cannot be imported prints "ERROR::ASSIMP::" and its reason;
// the model then has no meshes and draws nothing. The draws bind the caller's two textures.
class Model {
 public:
  Model(const char* path, glm::mat4 modelMatrix, std::shared_ptr<Shader> shader);
  ~Model();
  Model(const Model&) = delete;
  Model& operator=(const Model&) = delete;

  // Sets "modelMatrix" and "normalMatrix", diffuse on unit 0 and specular on unit 1; leaves no
  // program current afterwards.
  void draw(GLuint diffuseTexture, GLuint specularTexture);
  // As draw, for a caller that has already set "modelMatrix" (the spinning diamonds).
  void drawWithoutModelMatrix(GLuint diffuseTexture, GLuint specularTexture);
  // Binds and draws the meshes only; the caller made the depth program current.
  void drawDepth(std::shared_ptr<MyShader> depthShader);

  std::vector<Mesh> meshes;
  std::string directory;
  std::vector<MeshTexture> loadedTextures;  // every texture loaded for this model, reused by path
  glm::mat4 modelMatrix = glm::mat4(1.0f);
  std::shared_ptr<Shader> shader;
  BoundingSphere bounds;  // around every mesh's vertices in the file's space, made once at import

 private:
  void loadModel(const std::string& path);
  void processNode(const aiNode* node, const aiScene* scene);
  Mesh processMesh(const aiMesh* mesh, const aiScene* scene);
  std::vector<MeshTexture> loadMaterialTextures(const aiMaterial* material, int type, const std::string& typeName);
  void drawMeshes(GLuint diffuseTexture, GLuint specularTexture, bool setModelMatrix);
  void drawMesh(const Mesh& mesh) const;
};
