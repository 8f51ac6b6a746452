#include <GL/glew.h>

#include <algorithm>
#include <vector>

#include "game/level.h"
#include "render/bind_filter.h"
#include "render/geometry.h"
#include "render/material.h"
#include "render/model.h"
#include "render/shader.h"
#include "render/view_culling.h"
#include "scene/draw_order.h"
#include "scene/shadow_casters.h"

namespace {

void drawTexturedItem(const ObjectList& list, int i) {
  const glm::vec2& repeat = list.textureRepeats[i];
  list.geometries[i]->draw(list.diffuseTextures[i], list.specularTextures[i], repeat.x, repeat.y);
}

void drawTextured(const ObjectList& list) {
  for (int i = 0; i < list.count; ++i)
    if (list.geometries[i]) drawTexturedItem(list, i);
}

// The solids and the loose boxes near to far (see draw_order.h). Each of their draws sets its own
// program, material, matrices, repeat factors and both textures, so the order changes nothing but
// which fragments the depth test lets through. What the next draws find bound, though, is what the
// level's order left: so for each program the draw that used it last in that order is made again
// afterwards, in that order, with its draw call left out.
void drawTexturedNearToFar(const ObjectList& first, const ObjectList& second) {
  struct Item {
    const ObjectList* list;
    int index;
  };
  std::vector<Item> items;
  std::vector<WorldBox> boxes;
  for (const ObjectList* list : {&first, &second})
    for (int i = 0; i < list->count; ++i) {
      const Geometry* geometry = list->geometries[i].get();
      if (!geometry) continue;
      items.push_back({list, i});
      boxes.push_back(worldBoxOf(geometry->bounds, geometry->modelMatrix));
    }
  auto drawItem = [](const Item& item) { drawTexturedItem(*item.list, item.index); };
  for (int i : nearToFarOrder(boxes, sceneDrawOrder.eye)) drawItem(items[static_cast<size_t>(i)]);

  auto programOf = [](const Item& item) -> const void* {
    const Geometry& geometry = *item.list->geometries[item.index];
    return geometry.material ? geometry.material->shader.get() : nullptr;
  };
  std::vector<bool> lastOfItsProgram(items.size(), false);
  std::vector<const void*> seen;
  for (size_t i = items.size(); i-- > 0;) {
    const void* program = programOf(items[i]);
    if (std::find(seen.begin(), seen.end(), program) != seen.end()) continue;
    seen.push_back(program);
    lastOfItsProgram[i] = true;
  }
  const long long skipped = viewCulling.skippedObjects;
  viewCulling.suppressDraws = true;
  for (size_t i = 0; i < items.size(); ++i)
    if (lastOfItsProgram[i]) drawItem(items[i]);
  viewCulling.suppressDraws = false;
  viewCulling.skippedObjects = skipped;  // nothing more was left out
}

// Lists drawn with texture reuse skip binding a texture equal to the one bound last; the
// textures still bound then stay in use.
void drawSingleTextureReusing(Geometry& geometry, unsigned int texture, unsigned int& remembered) {
  if (texture == remembered)
    geometry.draw();
  else
    geometry.draw(texture);
  remembered = texture;
}

void listCasters(ShadowCasterTable& table, const ObjectList& list) {
  for (int i = 0; i < list.count; ++i)
    if (list.geometries[i]) table.add(*list.geometries[i]);
}

void listCasters(ShadowCasterTable& table, const ModelList& items) {
  for (int i = 0; i < items.count; ++i)
    if (!items.collected[i] && items.models[i]) table.add(*items.models[i], items.modelMatrices[i]);
}

// A model outside the camera still makes its binds and uniforms (the next draw may rely on them);
// only its draw calls are left out.
void hideDrawsUnlessVisible(const Model& model, const glm::mat4& modelMatrix) {
  viewCulling.suppressDraws = !viewCulling.visible(model.bounds, modelMatrix);
  if (viewCulling.suppressDraws) ++viewCulling.skippedObjects;
}

}  // namespace

void Level::draw() {
  if (sceneDrawOrder.nearToFar) {
    drawTexturedNearToFar(solids, looseBoxes);
  } else {
    drawTextured(solids);
    drawTextured(looseBoxes);
  }

  unsigned int remembered = 0;  // the texture bound last by a reuse list, 0 at the start of a frame
  for (int i = 0; i < backdrops.count; ++i) {
    if (!backdrops.geometries[i]) continue;
    const unsigned int texture = backdrops.diffuseTextures[i];
    if (texture == remembered) {
      backdrops.geometries[i]->draw();
    } else {
      const glm::vec2& repeat = backdrops.textureRepeats[i];
      backdrops.geometries[i]->draw(texture, backdrops.specularTextures[i], repeat.x, repeat.y);
    }
    remembered = texture;
  }

  if (boulder.geometry) boulder.geometry->draw(boulder.diffuseTexture, boulder.specularTexture, 1.0f, 1.0f);
  if (gate.geometry) gate.geometry->draw(gate.diffuseTexture, gate.specularTexture, 1.0f, 1.0f);

  for (int i = 0; i < skulls.count; ++i) {
    if (skulls.collected[i] || !skulls.models[i]) continue;
    bindFilter.useProgram(skulls.shaders[i]->handle);
    skulls.materials[i]->setUniforms();
    bindFilter.forgetUnit(0);
    skulls.models[i]->modelMatrix = skulls.modelMatrices[i];
    hideDrawsUnlessVisible(*skulls.models[i], skulls.modelMatrices[i]);
    skulls.models[i]->draw(skulls.diffuseTextures[i], skulls.specularTextures[i]);
    viewCulling.suppressDraws = false;
    remembered = skulls.diffuseTextures[i];
  }
  for (int i = 0; i < diamonds.count; ++i) {
    if (diamonds.collected[i] || !diamonds.models[i]) continue;
    bindFilter.useProgram(diamonds.shaders[i]->handle);
    diamonds.shaders[i]->setUniform("modelMatrix", diamonds.modelMatrices[i]);
    diamonds.materials[i]->setUniforms();
    bindFilter.forgetUnit(0);
    hideDrawsUnlessVisible(*diamonds.models[i], diamonds.modelMatrices[i]);
    diamonds.models[i]->drawWithoutModelMatrix(diamonds.diffuseTextures[i], diamonds.specularTextures[i]);
    viewCulling.suppressDraws = false;
    remembered = diamonds.diffuseTextures[i];
  }

  for (int i = 0; i < torches.count; ++i)
    if (torches.geometries[i]) drawSingleTextureReusing(*torches.geometries[i], torches.textures[i], remembered);

  if (waterSheets.count > 0 && waterSheets.shaders[0]) {
    Shader& program = *waterSheets.shaders[0];
    bindFilter.useProgram(program.handle);
    for (int i = 0; i < waterSheets.count; ++i) {
      if (!waterSheets.geometries[i]) continue;
      program.setUniform("type", waterSheets.types[i]);
      drawSingleTextureReusing(*waterSheets.geometries[i], waterSheets.textures[i], remembered);
    }
  }
  if (flowSheets.count > 0 && flowSheets.shaders[0]) {
    Shader& program = *flowSheets.shaders[0];
    bindFilter.useProgram(program.handle);
    for (int i = 0; i < flowSheets.count; ++i) {
      if (!flowSheets.geometries[i]) continue;
      program.setUniform("type", flowSheets.types[i]);
      program.setUniform("offset1", flowSheets.firstOffsets[i]);
      program.setUniform("offset2", flowSheets.secondOffsets[i]);
      drawSingleTextureReusing(*flowSheets.geometries[i], flowSheets.textures[i], remembered);
    }
  }

  printEndScreen();
}

void Level::listShadowCasters(ShadowCasterTable& table) {
  table.beginList(CasterMotion::Still);
  listCasters(table, solids);
  table.beginList(CasterMotion::Moving);
  listCasters(table, looseBoxes);
  if (boulder.geometry) table.add(*boulder.geometry);
  if (gate.geometry) table.add(*gate.geometry);
  table.beginList(CasterMotion::Still);
  listCasters(table, skulls);
  table.beginList(CasterMotion::Moving);
  listCasters(table, diamonds);
}
