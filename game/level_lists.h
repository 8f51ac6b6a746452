#pragma once
// The records that hold the level's objects: parallel lists of like objects, indexed together,
// with a count beside them. Element i of every list belongs to object i; nothing is ever removed.
#include <glm/glm.hpp>
#include <memory>
#include <vector>

#include "physics/physics_world.h"

class Geometry;
class Material;
class Model;
class Shader;

// Solids, loose boxes and backdrops. A texture value is a GL texture name.
struct ObjectList {
  int count = 0;
  std::vector<std::shared_ptr<Geometry>> geometries;  // null when the level is built without meshes
  std::vector<RigidBody*> bodies;                     // owned by the physics world; empty for backdrops
  std::vector<unsigned int> diffuseTextures;
  std::vector<unsigned int> specularTextures;
  std::vector<glm::vec2> textureRepeats;  // x then y, the geometry's texture multipliers
};

// Still water (type from the table) and flowing water (type 1, with two scroll offsets).
struct SheetList {
  int count = 0;
  std::vector<std::shared_ptr<Geometry>> geometries;
  std::vector<int> types;
  std::vector<unsigned int> textures;
  std::vector<std::shared_ptr<Shader>> shaders;
  std::vector<glm::vec2> firstOffsets;   // flow sheets only
  std::vector<glm::vec2> secondOffsets;  // flow sheets only
};

struct TorchList {
  int count = 0;
  std::vector<std::shared_ptr<Geometry>> geometries;  // the heads
  std::vector<unsigned int> textures;
};

// One stretch of the course: below floorHeight the player has fallen; the next limit takes
// over once the player's z reaches endZ.
struct FallLimitList {
  int count = 0;
  std::vector<float> floorHeights;  // world units
  std::vector<int> endZ;
};

// Section boundaries in ascending z, each with the first torch of the light window it selects.
struct SectionList {
  int count = 0;
  std::vector<int> z;
  std::vector<int> windows;
};

struct Boulder {
  RigidBody* body = nullptr;
  std::shared_ptr<Geometry> geometry;
  Pose startPose;
  Pose endPose;  // its z is where the boulder stops being driven
  double radius = 0.0;
  unsigned int diffuseTexture = 0;
  unsigned int specularTexture = 0;
};

struct Gate {
  RigidBody* body = nullptr;
  std::shared_ptr<Geometry> geometry;
  Pose startPose;
  Pose loweredPose;  // start height minus the gate's full height
  unsigned int diffuseTexture = 0;
  unsigned int specularTexture = 0;
};

// Skulls and diamonds: imported models with a pickup position and a collected mark.
struct ModelList {
  std::vector<std::shared_ptr<Model>> models;
  std::vector<glm::mat4> modelMatrices;
  std::vector<bool> collected;  // packed, one bit per item
  std::vector<glm::vec3> pickupPositions;
  std::vector<unsigned int> diffuseTextures;   // texture unit 0
  std::vector<unsigned int> specularTextures;  // texture unit 1
  std::vector<std::shared_ptr<Material>> materials;
  std::vector<std::shared_ptr<Shader>> shaders;
  int count = 0;
};
