#pragma once
#include <cstddef>
#include <functional>
#include <glm/glm.hpp>
#include <memory>
#include <vector>

#include "render/frustum.h"

class Geometry;
class Model;
class MyShader;

// Draws one caster's triangles with the current depth program, its "modelMatrix" already set.
using DrawCasterTriangles = std::function<void(const std::shared_ptr<MyShader>&)>;

// How a list of casters usually behaves. An optimised shadow pass keeps what the still lists drew
// and redraws only around the moving ones; the mark is only a guess, since whatever moves is found
// by the survey's signature.
enum class CasterMotion { Still, Moving };

// Every shadow caster of a frame, as one table of lists, each list marked still or moving. The
// pass with nothing skipped walks all of it and the optimised passes walk its still and its moving
// lists, so the three can never disagree. A caster is only its bounds, its placement and its
// triangles: the table asks the culling filter about each one, so none can draw behind a
// survey's back.
class ShadowCasterTable {
 public:
  enum class Part { All, Still, Moving };

  void clear() { lists.clear(); }
  // Starts a list; the casters added after it belong to it.
  void beginList(CasterMotion motion);
  // A caster of the list begun last (of a still list when none was begun). Bounds in the caster's
  // own space; modelMatrix is where it stands this frame.
  void add(const BoundingSphere& localBounds, const glm::mat4& modelMatrix, DrawCasterTriangles triangles);
  // A mesh with its own bounds and model matrix; the geometry must outlive the frame's passes.
  void add(Geometry& geometry);
  // An imported model placed by the given matrix.
  void add(Model& model, const glm::mat4& modelMatrix);

  // Each caster of the part that the culling filter lets through gets "modelMatrix" and its
  // triangles; the others count as skipped. In a survey every caster is recorded, none drawn.
  void draw(const std::shared_ptr<MyShader>& program, Part part) const;
  std::size_t count(Part part) const;

 private:
  struct Caster {
    BoundingSphere bounds;
    glm::mat4 modelMatrix;
    DrawCasterTriangles triangles;
  };
  struct List {
    CasterMotion motion;
    std::vector<Caster> casters;
  };
  static bool inPart(const List& list, Part part);
  std::vector<List> lists;
};
