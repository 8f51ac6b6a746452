#include "scene/shadow_casters.h"

#include "render/geometry.h"
#include "render/model.h"
#include "render/shader.h"
#include "render/view_culling.h"

void ShadowCasterTable::beginList(CasterMotion motion) { lists.push_back({motion, {}}); }

void ShadowCasterTable::add(const BoundingSphere& localBounds, const glm::mat4& modelMatrix,
                            DrawCasterTriangles triangles) {
  if (lists.empty()) beginList(CasterMotion::Still);
  lists.back().casters.push_back({localBounds, modelMatrix, std::move(triangles)});
}

void ShadowCasterTable::add(Geometry& geometry) {
  // drawDepth sets the same model matrix again and finds the mesh visible, as the table did.
  add(geometry.bounds, geometry.modelMatrix,
      [&geometry](const std::shared_ptr<MyShader>& program) { geometry.drawDepth(program); });
}

void ShadowCasterTable::add(Model& model, const glm::mat4& modelMatrix) {
  add(model.bounds, modelMatrix, [&model](const std::shared_ptr<MyShader>& program) { model.drawDepth(program); });
}

bool ShadowCasterTable::inPart(const List& list, Part part) {
  if (part == Part::All) return true;
  return (part == Part::Still) == (list.motion == CasterMotion::Still);
}

void ShadowCasterTable::draw(const std::shared_ptr<MyShader>& program, Part part) const {
  for (const List& list : lists) {
    if (!inPart(list, part)) continue;
    for (const Caster& caster : list.casters) {
      if (!viewCulling.visible(caster.bounds, caster.modelMatrix)) {
        ++viewCulling.skippedObjects;
        continue;
      }
      if (program) program->setMat4("modelMatrix", caster.modelMatrix);
      if (caster.triangles) caster.triangles(program);
    }
  }
}

std::size_t ShadowCasterTable::count(Part part) const {
  std::size_t n = 0;
  for (const List& list : lists)
    if (inPart(list, part)) n += list.casters.size();
  return n;
}
