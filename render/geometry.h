#pragma once
#include <GL/glew.h>

#include <glm/glm.hpp>
#include <memory>

#include "render/frustum.h"
#include <vector>

class Material;
class MyShader;

// Mesh data built on the CPU by a generator and consumed by the Geometry constructor.
// Positions, normals and uvs have one entry per vertex; indices form a counter-clockwise
// triangle list seen from outside.
struct GeometryData {
  std::vector<glm::vec3> positions;
  std::vector<unsigned> indices;
  std::vector<glm::vec3> normals;
  std::vector<glm::vec2> uvs;
};

// A procedural mesh on the GPU: three separate static buffers at attribute locations 0 (position),
// 1 (normal) and 2 (texture coordinate), 32-bit indices, a model matrix and a shared material.
// Owns its four buffers and its vertex array; the context must be current when it is destroyed.
class Geometry {
 public:
  Geometry(glm::mat4 modelMatrix, const GeometryData& data, std::shared_ptr<Material> material);
  ~Geometry();
  Geometry(const Geometry&) = delete;
  Geometry& operator=(const Geometry&) = delete;

  // Material only: "normalMatrix" is the transpose of the inverse; no texture is bound.
  void draw();
  // Binds the texture on whichever unit is active, after the material's uniforms.
  void draw(GLuint texture);
  // The level's usual draw: diffuse on unit 0, specular on unit 1 (left selected afterwards);
  // the repeat factors reach the shader truncated toward zero.
  void draw(GLuint diffuseTexture, GLuint specularTexture, float repeatX, float repeatY);
  // Shadow passes: the depth program is already current; only "modelMatrix" is set.
  void drawDepth(std::shared_ptr<MyShader> depthShader);

  // modelMatrix becomes m * modelMatrix.
  void transform(glm::mat4 m);
  void resetModelMatrix();

  GLuint vao = 0;
  GLuint positionBuffer = 0;
  GLuint normalBuffer = 0;
  GLuint uvBuffer = 0;
  GLuint indexBuffer = 0;
  int indexCount = 0;
  std::shared_ptr<Material> material;
  glm::mat4 modelMatrix = glm::mat4(1.0f);
  BoundingSphere bounds;  // around the vertices in the mesh's own space, made once from the data

 private:
  void drawElements() const;
  // Program current and material uniforms set; false when there is no program to draw with.
  bool useMaterialProgram();
  // The set-up both textured draws share; returns whether the object lies outside the pass.
  bool setUpTexturedDraw();
  // Draws, or counts the object as skipped when it lies outside the pass.
  void drawUnlessHidden(bool hidden) const;
};

// Generators. Every mesh is centred on its own origin; sizes are full extents.
GeometryData createBoxGeometry(float width, float height, float depth);
GeometryData createIndexedBoxGeometry(float width, float height, float depth);
// A wedge whose top slopes from the back edge (y = height/2) down to the front edge.
GeometryData createRampGeometry(float width, float height, float depth);
// A box whose bottom and top rectangles have their own sizes (truncated pyramid).
GeometryData createFrustumGeometry(float bottomWidth, float topWidth, float height, float bottomDepth, float topDepth);
// Axis along y; segments around the axis.
GeometryData createCylinderGeometry(unsigned segments, float height, float radius);
// Poles on the y axis; segmentsAround around it, segmentsAlong from pole to pole.
GeometryData createSphereGeometry(unsigned segmentsAround, unsigned segmentsAlong, float radius);
// Flat grid in the plane y = 0 of 0.5 x 0.5 cells, no shared vertices; empty for sizes <= 0.
GeometryData createGridGeometry(float width, float depth);
