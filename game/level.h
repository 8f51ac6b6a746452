#pragma once
#include <array>
#include <glm/glm.hpp>
#include <memory>
#include <string>
#include <vector>

#include "game/level_lists.h"
#include "scene/light.h"

class PhysicsWorld;
class PlayerController;
class MyShader;
class ShadowCasterTable;

// Why the latest run was lost.
enum class RunLoss { None, Caught, Fell };

// The one level object: every list of the course and the state of the run. Factories append to
// the lists, the builder fills them once, the rules run once per frame.
class Level {
 public:
  PhysicsWorld* world = nullptr;              // set by start-up before the builder runs
  glm::dvec3 startPosition{0.0, 120.0, 0.0};  // where a reset puts the player's controller
  PlayerController* playerController = nullptr;

  ObjectList solids;      // kinematic pieces: never fall, never pushed
  ObjectList looseBoxes;  // free dynamic boxes
  FallLimitList fallLimits;
  ObjectList backdrops;  // no bodies
  SheetList waterSheets;
  SheetList flowSheets;
  TorchList torches;
  std::vector<PointLight> torchLights;  // one per torch, in creation order
  std::array<PointLight, 4> waterLights;
  Boulder boulder;
  Gate gate;
  ModelList skulls;    // 5 points each
  ModelList diamonds;  // 1 point each

  // Run state.
  bool debugMode = false;  // the `debug` setting: fly, no chase rules
  int sectionIndex = 0;    // next section boundary; 0 is the intro
  SectionList sections;
  bool failed = false;
  bool finished = false;
  double clock = 0.0;          // seconds since the last reset, intro included
  double resetDeadline = 0.0;  // clock value at which a lost run restarts
  bool deadlineArmed = false;
  bool scorePrinted = false;
  int points = 0;  // this run's collected points, counted at the finish
  // Runs lost since start-up and the latest cause; they outlive the reset, which for a fall comes
  // in the same update, so that the player can be told what happened.
  int losses = 0;
  RunLoss lastLoss = RunLoss::None;
  // The four end-screen lines as printed, kept for the window's finish screen.
  std::array<std::string, 4> endScreen;
  float finishHeight = 35.0f;  // world units
  float finishZ = 445.0f;      // world units
  int fallIndex = 0;
  bool boulderRolling = true;

  // Lights: slot 0 follows the player, slots 1 to 4 are four consecutive torches.
  std::array<PointLight, 5> activeLights;
  glm::vec3 torchColour{3.5f, 2.28f, 1.0f};
  glm::vec3 attStart{1.0f, 0.7f, 1.8f};  // short reach right after a start
  glm::vec3 attLow{1.0f, 0.09f, 0.032f};
  glm::vec3 attHigh{1.0f, 0.07f, 0.017f};
  glm::vec3 attCurrent{1.0f, 0.7f, 1.8f};  // given to all five slots every frame
  float flickerTimer = 0.0f;               // seconds into the current half period
  float flickerHalfPeriod = 2.0f;          // seconds
  int flickerPhase = 1;
  int flickerSteps = 120;  // frames of the ignition, and the phase range of the breathing
  bool flickerFalling = false;

  // Off only for headless runs of the rules: the factories then make bodies but no meshes, so
  // no GL context is needed, and every geometry in the lists is null.
  bool makeMeshes = true;

  // Factories. Positions and sizes in world units.
  // shape: 0 box (full size), 1 sphere (segments, segments, radius), 2 cylinder (segments,
  // height, radius), 3 ramp, 4 stand ramp. Any other shape adds nothing.
  void addSolid(const glm::vec3& position, const glm::vec3& size, const std::shared_ptr<Material>& material, int shape,
                unsigned int diffuseTexture, unsigned int specularTexture, const glm::vec2& repeat);
  // As a box solid, but the body stays dynamic. Any shape but 0 adds nothing.
  void addLooseBox(const glm::vec3& position, const glm::vec3& size, const std::shared_ptr<Material>& material,
                   int shape, unsigned int diffuseTexture, unsigned int specularTexture, const glm::vec2& repeat);
  void addFallLimit(float floorHeight, int endZ);
  void addBackdrop(const glm::vec3& position, const std::shared_ptr<Material>& material, const glm::vec2& repeat);
  void addWaterSheet(const glm::vec3& position, int width, int depth, int type, const std::shared_ptr<Shader>& shader,
                     const std::shared_ptr<Material>& material);
  void addFlowSheet(const glm::vec3& position, int width, int depth, const glm::vec2& firstOffset,
                    const glm::vec2& secondOffset, const std::shared_ptr<Shader>& shader,
                    const std::shared_ptr<Material>& material);
  void addTorch(const glm::vec3& position, const std::shared_ptr<Material>& headMaterial,
                const std::shared_ptr<Material>& standMaterial);
  void createBoulder(const glm::vec3& startPosition, const glm::vec3& endPosition, float firstSegments,
                     float secondSegments, float radius, const std::shared_ptr<Material>& material,
                     unsigned int specularTexture);
  void createGate(const glm::vec3& position, const glm::vec3& size, const std::shared_ptr<Material>& material,
                  unsigned int diffuseTexture, unsigned int specularTexture);
  void addSkull(const std::shared_ptr<Model>& model, const glm::mat4& modelMatrix, const glm::vec3& pickupPosition,
                unsigned int diffuseTexture, unsigned int specularTexture, const std::shared_ptr<Material>& material,
                const std::shared_ptr<Shader>& shader);
  void addDiamond(const std::shared_ptr<Model>& model, const glm::mat4& modelMatrix, const glm::vec3& pickupPosition,
                  unsigned int diffuseTexture, unsigned int specularTexture, const std::shared_ptr<Material>& material,
                  const std::shared_ptr<Shader>& shader);
  void setWaterLights(const PointLight& first, const PointLight& second, const PointLight& third,
                      const PointLight& fourth);
  void addSection(int z, int window);

  // The whole course (game/level_layout.cpp). The texture arguments are GL texture names.
  void build(PlayerController* controller, const std::shared_ptr<Material>& ground2,
             const std::shared_ptr<Material>& tiles, const std::shared_ptr<Material>& wood,
             const std::shared_ptr<Material>& ground1, const std::shared_ptr<Material>& water,
             const std::shared_ptr<Material>& water2, const std::shared_ptr<Shader>& waterProgram,
             const std::shared_ptr<Shader>& water2Program, const std::shared_ptr<Material>& light,
             const std::shared_ptr<Material>& noise, unsigned int noise3, unsigned int noise5, unsigned int noise6,
             unsigned int texSpec1, unsigned int texSpec2, unsigned int texSpec3, unsigned int texSpec4,
             unsigned int tex2Spec, unsigned int tex2Spec2, unsigned int tilesSpecular, unsigned int woodSpecular);
  // The three skulls and the 32 diamonds. Each diamond draws its diffuse and then its specular
  // texture from the shared random generator among noise 7, 8 and 9.
  void placeCollectibles(const std::shared_ptr<Model>& skullModel, unsigned int skullDiffuse,
                         unsigned int skullSpecular, const std::shared_ptr<Material>& skullMaterial,
                         const std::shared_ptr<Model>& diamondModel, const std::shared_ptr<Material>& diamondMaterial,
                         const std::shared_ptr<Shader>& materialProgram, unsigned int noise7, unsigned int noise8,
                         unsigned int noise9);

  // The per-frame rules; position is the player controller's centre, dt the frame in seconds.
  void update(const glm::dvec3& position, float dt);
  // Restarts the run: gate up, boulder back, items back, intro again.
  void reset();
  // Slot 0 takes torch 0, slots 1 to 4 torches first to first + 3; a window past the end of the
  // torch list changes nothing.
  void selectLightWindow(int first);

  // Lets go of every mesh, model, material and program (the lists keep their lengths, with null
  // entries), keeping the bodies and the run state: for a level that outlives the GL context.
  void releaseRenderHandles();

  // Scene pass in the fixed order, ending with the end screen.
  void draw();
  // Appends the level's shadow casters: the pieces and the skulls stand still; the loose boxes
  // (knocked about by the boulder and the player), the boulder, the sinking gate and the turning
  // diamonds may move in any frame.
  void listShadowCasters(ShadowCasterTable& table);

  // Collectibles (game/collectibles.cpp).
  void pickUp(const glm::dvec3& position, float dt);
  // Prints the four end-screen lines once per finished run.
  void printEndScreen();
  // Items of this run picked up so far, and the points they are worth.
  int collectedCount(const ModelList& items) const;
  int collectedPoints() const;

 private:
  void advanceFlicker(float dt);
  void noteLoss(RunLoss cause);
  void syncTransforms();
};

// The GL name of the texture a material holds, or 0 for a material without one.
unsigned int materialTextureName(const std::shared_ptr<Material>& material);

// Whole seconds of bonus for a run of the given length: 60 minus the time, truncated, never
// below 0.
int timeBonus(double seconds);
