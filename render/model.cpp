#include "render/model.h"

#include <assimp/postprocess.h>
#include <assimp/scene.h>

#include <assimp/Importer.hpp>
#include <cmath>
#include <glm/gtc/matrix_inverse.hpp>
#include <iostream>

#include "render/bind_filter.h"
#include "render/file_read.h"
#include "render/shader.h"
#include "render/texture.h"
#include "render/view_culling.h"

namespace {

// Per vertex, the average of its triangles' face normals; a vertex on no proper triangle (or one
// with endless coordinates) points straight up, so the lighting always stays finite.
std::vector<glm::vec3> faceNormalAverages(const std::vector<MeshVertex>& vertices,
                                          const std::vector<unsigned>& indices) {
  std::vector<glm::vec3> sums(vertices.size(), glm::vec3(0.0f));
  for (size_t t = 0; t + 2 < indices.size(); t += 3) {
    const unsigned a = indices[t], b = indices[t + 1], c = indices[t + 2];
    const glm::vec3 face =
        glm::cross(vertices[b].position - vertices[a].position, vertices[c].position - vertices[a].position);
    sums[a] += face;
    sums[b] += face;
    sums[c] += face;
  }
  for (glm::vec3& sum : sums) {
    const float length = glm::length(sum);
    sum = std::isfinite(length) && length > 0.0f ? sum / length : glm::vec3(0, 1, 0);
  }
  return sums;
}

void uploadMesh(Mesh& mesh) {
  glGenVertexArrays(1, &mesh.vao);
  glGenBuffers(1, &mesh.vbo);
  glGenBuffers(1, &mesh.ebo);
  glBindVertexArray(mesh.vao);
  glBindBuffer(GL_ARRAY_BUFFER, mesh.vbo);
  glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(mesh.vertices.size() * sizeof(MeshVertex)),
               mesh.vertices.data(), GL_STATIC_DRAW);
  glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, mesh.ebo);
  glBufferData(GL_ELEMENT_ARRAY_BUFFER, static_cast<GLsizeiptr>(mesh.indices.size() * sizeof(unsigned)),
               mesh.indices.data(), GL_STATIC_DRAW);
  const GLsizei stride = sizeof(MeshVertex);
  glEnableVertexAttribArray(0);
  glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, stride, reinterpret_cast<void*>(offsetof(MeshVertex, position)));
  glEnableVertexAttribArray(1);
  glVertexAttribPointer(1, 3, GL_FLOAT, GL_FALSE, stride, reinterpret_cast<void*>(offsetof(MeshVertex, normal)));
  glEnableVertexAttribArray(2);
  glVertexAttribPointer(2, 2, GL_FLOAT, GL_FALSE, stride, reinterpret_cast<void*>(offsetof(MeshVertex, texCoords)));
  glBindVertexArray(0);
  glBindBuffer(GL_ARRAY_BUFFER, 0);
}

}  // namespace

const unsigned kModelImportFlags = aiProcess_Triangulate | aiProcess_FlipUVs;

Model::Model(const char* path, glm::mat4 modelMatrix, std::shared_ptr<Shader> shader)
    : modelMatrix(modelMatrix), shader(std::move(shader)) {
  loadModel(path ? path : "");
  std::vector<glm::vec3> points;
  for (const Mesh& mesh : meshes)
    for (const MeshVertex& vertex : mesh.vertices) points.push_back(vertex.position);
  bounds = boundingSphereOf(points.data(), points.size());
}

Model::~Model() {
  for (Mesh& mesh : meshes) {
    glDeleteBuffers(1, &mesh.vbo);
    glDeleteBuffers(1, &mesh.ebo);
    glDeleteVertexArrays(1, &mesh.vao);
  }
  // Each name appears once here even when several meshes share it.
  for (const MeshTexture& texture : loadedTextures) glDeleteTextures(1, &texture.id);
}

void Model::loadModel(const std::string& path) {
  // The importer takes a folder for an empty model without a word: refuse it as a missing file.
  if (!fileReadable(path)) {
    std::cout << "ERROR::ASSIMP::Unable to open file \"" << path << "\"." << std::endl;
    return;
  }
  Assimp::Importer importer;
  const aiScene* scene = importer.ReadFile(path, kModelImportFlags);
  if (!scene || (scene->mFlags & AI_SCENE_FLAGS_INCOMPLETE) || !scene->mRootNode) {
    std::cout << "ERROR::ASSIMP::" << importer.GetErrorString() << std::endl;
    return;
  }
  const size_t slash = path.find_last_of('/');
  directory = slash == std::string::npos ? path : path.substr(0, slash);
  processNode(scene->mRootNode, scene);
}

void Model::processNode(const aiNode* node, const aiScene* scene) {
  // Node transformations are ignored: every mesh stays in the file's own space.
  for (unsigned i = 0; i < node->mNumMeshes; ++i) {
    const unsigned index = node->mMeshes[i];
    if (index < scene->mNumMeshes) meshes.push_back(processMesh(scene->mMeshes[index], scene));
  }
  for (unsigned i = 0; i < node->mNumChildren; ++i) processNode(node->mChildren[i], scene);
}

Mesh convertMesh(const aiMesh* source) {
  Mesh mesh;
  mesh.vertices.resize(source->mNumVertices);
  const aiVector3D* uvs = source->mTextureCoords[0];
  for (unsigned i = 0; i < source->mNumVertices; ++i) {
    MeshVertex& vertex = mesh.vertices[i];
    vertex.position = glm::vec3(source->mVertices[i].x, source->mVertices[i].y, source->mVertices[i].z);
    vertex.texCoords = uvs ? glm::vec2(uvs[i].x, uvs[i].y) : glm::vec2(0.0f);
  }
  // Only whole triangles go into the index list: a point or line face left by the triangulation
  // would shift every later triangle, and an index past the vertices would make the GPU read
  // past the vertex buffer.
  for (unsigned f = 0; f < source->mNumFaces; ++f) {
    const aiFace& face = source->mFaces[f];
    if (face.mNumIndices != 3) continue;
    if (face.mIndices[0] >= source->mNumVertices || face.mIndices[1] >= source->mNumVertices ||
        face.mIndices[2] >= source->mNumVertices)
      continue;
    mesh.indices.insert(mesh.indices.end(), face.mIndices, face.mIndices + 3);
  }
  // The file's normals as they are where usable (finite, not zero), otherwise ones made from the
  // triangles.
  const std::vector<glm::vec3> made = faceNormalAverages(mesh.vertices, mesh.indices);
  for (unsigned i = 0; i < source->mNumVertices; ++i) {
    glm::vec3 normal = made[i];
    if (source->mNormals) {
      const glm::vec3 given(source->mNormals[i].x, source->mNormals[i].y, source->mNormals[i].z);
      const float length = glm::length(given);
      if (std::isfinite(length) && length > 0.0f) normal = given;
    }
    mesh.vertices[i].normal = normal;
  }
  return mesh;
}

Mesh Model::processMesh(const aiMesh* source, const aiScene* scene) {
  Mesh mesh = convertMesh(source);
  if (source->mMaterialIndex < scene->mNumMaterials) {
    const aiMaterial* material = scene->mMaterials[source->mMaterialIndex];
    std::vector<MeshTexture> diffuse = loadMaterialTextures(material, aiTextureType_DIFFUSE, "texture_diffuse");
    std::vector<MeshTexture> specular = loadMaterialTextures(material, aiTextureType_SPECULAR, "texture_specular");
    mesh.textures.insert(mesh.textures.end(), diffuse.begin(), diffuse.end());
    mesh.textures.insert(mesh.textures.end(), specular.begin(), specular.end());
  }
  for (const MeshTexture& texture : mesh.textures) std::cout << texture.id << std::endl;

  uploadMesh(mesh);
  return mesh;
}

std::vector<MeshTexture> Model::loadMaterialTextures(const aiMaterial* material, int type,
                                                     const std::string& typeName) {
  std::vector<MeshTexture> result;
  const aiTextureType textureType = static_cast<aiTextureType>(type);
  const unsigned count = aiGetMaterialTextureCount(material, textureType);
  for (unsigned i = 0; i < count; ++i) {
    aiString path;
    if (aiGetMaterialTexture(material, textureType, i, &path) != AI_SUCCESS) continue;
    const std::string name(path.C_Str(), path.length);
    bool reused = false;
    for (const MeshTexture& loaded : loadedTextures) {
      if (loaded.path == name) {
        result.push_back(loaded);
        reused = true;
        break;
      }
    }
    if (reused) continue;
    MeshTexture texture;
    texture.id = loadImageTexture(name.c_str(), directory);
    texture.type = typeName;
    texture.path = name;
    result.push_back(texture);
    loadedTextures.push_back(texture);
  }
  return result;
}

void Model::drawMeshes(GLuint diffuseTexture, GLuint specularTexture, bool setModelMatrix) {
  if (!shader) return;
  const glm::mat3 normalMatrix = glm::mat3(glm::inverse(modelMatrix));  // untransposed, as the shaders expect
  bindFilter.useProgram(shader->handle);
  if (setModelMatrix) shader->setUniform("modelMatrix", modelMatrix);
  shader->setUniform("normalMatrix", normalMatrix);
  shader->setUniform("diffuseTexture", 0);
  shader->setUniform("specularTexture", 1);
  bindFilter.bindTexture2D(0, diffuseTexture);
  bindFilter.bindTexture2D(1, specularTexture);
  for (const Mesh& mesh : meshes) {
    bindFilter.activeTexture(0);
    drawMesh(mesh);
  }
  bindFilter.useProgram(0);
}

void Model::drawMesh(const Mesh& mesh) const {
  if (viewCulling.suppressDraws) return;
  glBindVertexArray(mesh.vao);
  glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(mesh.indices.size()), GL_UNSIGNED_INT, nullptr);
  glBindVertexArray(0);
}

void Model::draw(GLuint diffuseTexture, GLuint specularTexture) { drawMeshes(diffuseTexture, specularTexture, true); }

void Model::drawWithoutModelMatrix(GLuint diffuseTexture, GLuint specularTexture) {
  drawMeshes(diffuseTexture, specularTexture, false);
}

void Model::drawDepth(std::shared_ptr<MyShader> /*depthShader*/) {
  for (const Mesh& mesh : meshes) {
    bindFilter.activeTexture(0);
    drawMesh(mesh);
  }
}
