#include "game/level.h"

#include <algorithm>
#include <glm/gtc/matrix_transform.hpp>

#include "physics/physics_world.h"
#include "render/geometry.h"
#include "render/material.h"
#include "render/texture.h"
#include "scene/water_swell.h"

namespace {

enum Shape { kBox = 0, kSphere = 1, kCylinder = 2, kRamp = 3, kStandRamp = 4 };

Pose poseAt(const glm::vec3& position) {
  Pose pose;
  pose.position = position;
  return pose;
}

glm::mat4 translation(const glm::vec3& position) { return glm::translate(glm::mat4(1.0f), position); }

}  // namespace

unsigned int materialTextureName(const std::shared_ptr<Material>& material) {
  const auto* textured = dynamic_cast<const TextureMaterial*>(material.get());
  if (!textured || !textured->diffuseTexture) return 0;
  return textured->diffuseTexture->handle;
}

void Level::addSolid(const glm::vec3& position, const glm::vec3& size, const std::shared_ptr<Material>& material,
                     int shape, unsigned int diffuseTexture, unsigned int specularTexture, const glm::vec2& repeat) {
  // An unknown shape would leave the lists of differing lengths: refuse it before appending.
  if (shape < kBox || shape > kStandRamp) return;

  const Pose pose = poseAt(position);
  RigidBody* body = nullptr;
  GeometryData mesh;
  switch (shape) {
    case kBox:
      body = world->createDynamicBody(pose, CollisionShape::box(size * 0.5f), glm::vec3(0.0f));
      if (makeMeshes) mesh = createBoxGeometry(size.x, size.y, size.z);
      break;
    case kSphere:
      body = world->createDynamicBody(pose, CollisionShape::sphere(size.z), glm::vec3(0.0f));
      if (makeMeshes) mesh = createSphereGeometry(static_cast<unsigned>(size.x), static_cast<unsigned>(size.y), size.z);
      break;
    case kCylinder:
      // The prism's flat sides lie at the radius, its corners a little further out.
      body = world->createPrismBody(pose, size.z, size.y);
      if (makeMeshes) mesh = createCylinderGeometry(static_cast<unsigned>(size.x), size.y, size.z);
      break;
    case kRamp:
      body = world->createWedgeBody(pose, size.x, size.y, size.z);
      if (makeMeshes) mesh = createRampGeometry(size.x, size.y, size.z);
      break;
    case kStandRamp:
      body = world->createWedgeBody(pose, size.x, size.y, size.z);
      if (makeMeshes) mesh = createFrustumGeometry(size.x, size.x / 2.0f, size.y, size.z, size.z / 2.0f);
      break;
  }
  body->setKinematic(true);

  solids.textureRepeats.push_back(repeat);
  solids.geometries.push_back(makeMeshes ? std::make_shared<Geometry>(translation(position), mesh, material) : nullptr);
  solids.bodies.push_back(body);
  solids.diffuseTextures.push_back(diffuseTexture);
  solids.specularTextures.push_back(specularTexture);
  ++solids.count;
}

void Level::addLooseBox(const glm::vec3& position, const glm::vec3& size, const std::shared_ptr<Material>& material,
                        int shape, unsigned int diffuseTexture, unsigned int specularTexture, const glm::vec2& repeat) {
  if (shape != kBox) return;

  RigidBody* body = world->createDynamicBody(poseAt(position), CollisionShape::box(size * 0.5f), glm::vec3(0.0f));
  looseBoxes.textureRepeats.push_back(repeat);
  if (makeMeshes) {
    GeometryData mesh = createIndexedBoxGeometry(size.x, size.y, size.z);
    looseBoxes.geometries.push_back(std::make_shared<Geometry>(translation(position), mesh, material));
  } else {
    looseBoxes.geometries.push_back(nullptr);
  }
  looseBoxes.bodies.push_back(body);
  looseBoxes.diffuseTextures.push_back(diffuseTexture);
  looseBoxes.specularTextures.push_back(specularTexture);
  ++looseBoxes.count;
}

void Level::addFallLimit(float floorHeight, int endZ) {
  fallLimits.floorHeights.push_back(floorHeight);
  fallLimits.endZ.push_back(endZ);
  ++fallLimits.count;
}

void Level::addBackdrop(const glm::vec3& position, const std::shared_ptr<Material>& material, const glm::vec2& repeat) {
  if (makeMeshes) {
    // An 800 x 800 quad in the geometry's own y = 0 plane, facing up.
    GeometryData quad;
    quad.positions = {{-400, 0, -400}, {-400, 0, 400}, {400, 0, 400}, {-400, 0, -400}, {400, 0, 400}, {400, 0, -400}};
    quad.normals.assign(6, glm::vec3(0.0f, 1.0f, 0.0f));
    quad.uvs = {{0, 0}, {0, 1}, {1, 1}, {0, 0}, {1, 1}, {1, 0}};
    quad.indices = {0, 1, 2, 3, 4, 5};
    backdrops.geometries.push_back(std::make_shared<Geometry>(translation(position), quad, material));
  } else {
    backdrops.geometries.push_back(nullptr);
  }
  const unsigned int texture = materialTextureName(material);
  backdrops.diffuseTextures.push_back(texture);
  backdrops.specularTextures.push_back(texture);
  backdrops.textureRepeats.push_back(repeat);
  ++backdrops.count;
}

void Level::addWaterSheet(const glm::vec3& position, int width, int depth, int type,
                          const std::shared_ptr<Shader>& shader, const std::shared_ptr<Material>& material) {
  waterSheets.textures.push_back(materialTextureName(material));
  waterSheets.shaders.push_back(shader);
  waterSheets.types.push_back(type);
  if (makeMeshes) {
    GeometryData grid = createGridGeometry(static_cast<float>(width), static_cast<float>(depth));
    waterSheets.geometries.push_back(std::make_shared<Geometry>(translation(position), grid, material));
    waterSheets.geometries.back()->bounds = liftedBounds(waterSheets.geometries.back()->bounds, kWaterLargestLift);
  } else {
    waterSheets.geometries.push_back(nullptr);
  }
  ++waterSheets.count;
}

void Level::addFlowSheet(const glm::vec3& position, int width, int depth, const glm::vec2& firstOffset,
                         const glm::vec2& secondOffset, const std::shared_ptr<Shader>& shader,
                         const std::shared_ptr<Material>& material) {
  flowSheets.textures.push_back(materialTextureName(material));
  flowSheets.shaders.push_back(shader);
  flowSheets.types.push_back(1);
  if (makeMeshes) {
    GeometryData grid = createGridGeometry(static_cast<float>(width), static_cast<float>(depth));
    flowSheets.geometries.push_back(std::make_shared<Geometry>(translation(position), grid, material));
    flowSheets.geometries.back()->bounds = liftedBounds(flowSheets.geometries.back()->bounds, kWaterLargestLift);
  } else {
    flowSheets.geometries.push_back(nullptr);
  }
  flowSheets.firstOffsets.push_back(firstOffset);
  flowSheets.secondOffsets.push_back(secondOffset);
  ++flowSheets.count;
}

void Level::addTorch(const glm::vec3& position, const std::shared_ptr<Material>& headMaterial,
                     const std::shared_ptr<Material>& standMaterial) {
  torches.textures.push_back(materialTextureName(headMaterial));
  if (makeMeshes) {
    GeometryData head = createSphereGeometry(64, 32, 1.0f);
    torches.geometries.push_back(std::make_shared<Geometry>(translation(position), head, headMaterial));
  } else {
    torches.geometries.push_back(nullptr);
  }
  torchLights.emplace_back(torchColour, position, attHigh);
  ++torches.count;

  // The stand: a tapered cap, a thick block and a foot, all textured like the start platform.
  const unsigned int standTexture = solids.count > 0 ? solids.diffuseTextures[0] : 0;
  const glm::vec2 repeat(1.0f, 1.0f);
  const glm::vec3& p = position;
  addSolid({p.x, p.y - 2.0f, p.z}, {4, 2, 4}, standMaterial, kStandRamp, standTexture, standTexture, repeat);
  addSolid({p.x, p.y - 4.0f, p.z}, {5, 4, 5}, standMaterial, kBox, standTexture, standTexture, repeat);
  addSolid({p.x, p.y - 6.5f, p.z}, {4, 2, 4}, standMaterial, kBox, standTexture, standTexture, repeat);
}

void Level::createBoulder(const glm::vec3& start, const glm::vec3& end, float firstSegments, float secondSegments,
                          float radius, const std::shared_ptr<Material>& material, unsigned int specularTexture) {
  boulder.startPose = poseAt(start);
  boulder.endPose = poseAt(end);
  boulder.body = world->createSlidingBody(boulder.startPose, CollisionShape::sphere(radius));
  if (makeMeshes) {
    GeometryData sphere = createSphereGeometry(static_cast<unsigned>(static_cast<int>(firstSegments)),
                                               static_cast<unsigned>(static_cast<int>(secondSegments)), radius);
    boulder.geometry = std::make_shared<Geometry>(translation(start), sphere, material);
  }
  boulder.radius = static_cast<double>(radius);
  boulder.diffuseTexture = materialTextureName(material);
  boulder.specularTexture = specularTexture;
}

void Level::createGate(const glm::vec3& position, const glm::vec3& size, const std::shared_ptr<Material>& material,
                       unsigned int diffuseTexture, unsigned int specularTexture) {
  gate.startPose = poseAt(position);
  gate.loweredPose = poseAt(position - glm::vec3(0.0f, size.y, 0.0f));
  gate.body = world->createSlidingBody(gate.startPose, CollisionShape::box(size * 0.5f));
  gate.body->setGravityEnabled(false);  // it sinks only as fast as the intro drives it
  if (makeMeshes) {
    GeometryData box = createIndexedBoxGeometry(size.x, size.y, size.z);
    gate.geometry = std::make_shared<Geometry>(translation(position), box, material);
  }
  gate.diffuseTexture = diffuseTexture;
  gate.specularTexture = specularTexture;
}

namespace {

void appendItem(ModelList& list, const std::shared_ptr<Model>& model, const glm::mat4& modelMatrix,
                const glm::vec3& pickupPosition, unsigned int diffuseTexture, unsigned int specularTexture,
                const std::shared_ptr<Material>& material, const std::shared_ptr<Shader>& shader) {
  list.models.push_back(model);
  list.modelMatrices.push_back(modelMatrix);
  list.collected.push_back(false);
  list.pickupPositions.push_back(pickupPosition);
  list.diffuseTextures.push_back(diffuseTexture);
  list.specularTextures.push_back(specularTexture);
  list.materials.push_back(material);
  list.shaders.push_back(shader);
  ++list.count;
}

}  // namespace

void Level::addSkull(const std::shared_ptr<Model>& model, const glm::mat4& modelMatrix, const glm::vec3& pickupPosition,
                     unsigned int diffuseTexture, unsigned int specularTexture,
                     const std::shared_ptr<Material>& material, const std::shared_ptr<Shader>& shader) {
  appendItem(skulls, model, modelMatrix, pickupPosition, diffuseTexture, specularTexture, material, shader);
}

void Level::addDiamond(const std::shared_ptr<Model>& model, const glm::mat4& modelMatrix,
                       const glm::vec3& pickupPosition, unsigned int diffuseTexture, unsigned int specularTexture,
                       const std::shared_ptr<Material>& material, const std::shared_ptr<Shader>& shader) {
  appendItem(diamonds, model, modelMatrix, pickupPosition, diffuseTexture, specularTexture, material, shader);
}

void Level::setWaterLights(const PointLight& first, const PointLight& second, const PointLight& third,
                           const PointLight& fourth) {
  waterLights = {first, second, third, fourth};
}

void Level::addSection(int z, int window) {
  sections.z.push_back(z);
  sections.windows.push_back(window);
  ++sections.count;
}

void Level::releaseRenderHandles() {
  auto clear = [](auto& handles) { std::fill(handles.begin(), handles.end(), nullptr); };
  for (ObjectList* list : {&solids, &looseBoxes, &backdrops}) clear(list->geometries);
  for (SheetList* list : {&waterSheets, &flowSheets}) {
    clear(list->geometries);
    clear(list->shaders);
  }
  clear(torches.geometries);
  boulder.geometry.reset();
  gate.geometry.reset();
  for (ModelList* list : {&skulls, &diamonds}) {
    clear(list->models);
    clear(list->materials);
    clear(list->shaders);
  }
}
