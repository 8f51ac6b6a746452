#include "game/level_layout.h"

#include <glm/gtc/matrix_transform.hpp>

#include "game/level.h"
#include "render/random.h"

namespace {

constexpr int B = 0;  // box, full extents
constexpr int C = 2;  // cylinder: segments, height, radius
constexpr int R = 3;  // ramp, full extents, high edge at -z
constexpr CourseMaterial N = CourseMaterial::Noise;
constexpr CourseMaterial T = CourseMaterial::Tiles;
constexpr CourseMaterial W = CourseMaterial::Wood;
constexpr CourseTexture n3 = CourseTexture::Noise3;
constexpr CourseTexture n5 = CourseTexture::Noise5;
constexpr CourseTexture n6 = CourseTexture::Noise6;
constexpr CourseTexture s1 = CourseTexture::TexSpec1;
constexpr CourseTexture s4 = CourseTexture::TexSpec4;
constexpr CourseTexture t2 = CourseTexture::Tex2Spec;
constexpr CourseTexture ws = CourseTexture::WoodSpecular;
constexpr CourseTexture own = CourseTexture::MaterialOwn;

}  // namespace

const std::vector<SolidRow>& courseSolids() {
  static const std::vector<SolidRow> rows = {
      // Start: platform, back wall, drop ramp, first skull's platform.
      {B, {0, 120, -20}, {20, 2, 20}, N, n6, s1, {3, 3}},
      {R, {0, 110, 0}, {60, 20, 10}, T, n6, s1, {9, 6}},
      {B, {0, 110, 10}, {20, 2, 20}, N, n6, s1, {3, 3}},
      {R, {0, 100, 30}, {20, 20, 20}, T, n6, s1, {3, 6}},
      // Skull plinths.
      {B, {0, 111, 10}, {3, 0.5f, 3}, T, n3, s1, {1, 1}},
      {B, {-4, 96, 65}, {3, 0.5f, 3}, T, n3, s1, {1, 1}},
      {B, {4, 61, 185}, {3, 0.5f, 3}, T, n3, s1, {1, 1}},
      // Walls: behind the start, both sides of the course, under the drop ramp.
      {B, {0, 140, -35}, {60, 40, 1}, T, n3, t2, {5, 5}},
      {B, {30, 90, 170}, {1, 120, 400}, T, n3, t2, {20, 10}},
      {B, {-30, 90, 170}, {1, 120, 400}, T, n3, t2, {20, 10}},
      {B, {0, 80, 3}, {60, 40, 1}, T, n3, s1, {1, 1}},
      // Pillars by the gate and at z 20.
      {C, {20, 130, -5}, {32, 50, 10}, N, n5, s1, {1, 5}},
      {C, {-20, 130, -5}, {32, 50, 10}, N, n5, s1, {1, 5}},
      {C, {14, 120, 20}, {32, 50, 4}, N, n5, s1, {1, 5}},
      {C, {-14, 120, 20}, {32, 50, 4}, N, n5, s1, {1, 5}},
      {C, {14, 70, 20}, {32, 50, 5}, N, n5, s1, {1, 5}},
      {C, {-14, 70, 20}, {32, 50, 5}, N, n5, s1, {1, 5}},
      // z 45 to 140: two platforms, pillars, four ramps down with walls below.
      {B, {0, 95, 55}, {20, 2, 20}, N, n6, s1, {3, 3}},
      {B, {0, 95, 75}, {20, 2, 20}, N, n6, s1, {3, 3}},
      {R, {0, 90, 90}, {20, 10, 10}, T, n6, s1, {3, 6}},
      {C, {25, 100, 65}, {32, 50, 4}, N, n5, s1, {2, 5}},
      {C, {-25, 100, 65}, {32, 50, 4}, N, n5, s1, {2, 5}},
      {C, {25, 100, 85}, {32, 50, 4}, N, n5, s1, {2, 6}},
      {C, {-25, 100, 85}, {32, 50, 4}, N, n5, s1, {2, 6}},
      {C, {25, 50, 65}, {32, 50, 5}, N, n5, s1, {1, 5}},
      {C, {-25, 50, 65}, {32, 50, 5}, N, n5, s1, {1, 5}},
      {C, {25, 50, 85}, {32, 50, 5}, N, n5, s1, {1, 5}},
      {C, {-25, 50, 85}, {32, 50, 5}, N, n5, s1, {1, 5}},
      {R, {0, 80, 105}, {20, 10, 10}, T, n6, s1, {3, 3}},
      {R, {0, 70, 120}, {20, 10, 10}, T, n6, s1, {3, 3}},
      {R, {0, 60, 135}, {20, 10, 5}, T, n6, s1, {3, 3}},
      // z 145 to 205: three platforms at 61.
      {B, {0, 60, 155}, {20, 2, 20}, N, n6, s1, {3, 3}},
      {B, {0, 60, 175}, {20, 2, 20}, N, n6, s1, {3, 3}},
      {B, {0, 60, 195}, {20, 2, 20}, N, n6, s1, {3, 3}},
      {B, {0, 80, 95}, {20, 20, 1}, T, n3, s1, {1, 1}},
      {B, {0, 70, 110}, {20, 20, 1}, T, n3, s1, {1, 1}},
      {B, {0, 60, 125}, {20, 20, 1}, T, n3, s1, {1, 1}},
      {B, {0, 50, 135}, {20, 20, 1}, T, n3, s1, {1, 1}},
      {B, {0, 45, 200}, {20, 30, 2}, T, n3, s1, {1, 1}},
      // Six columns: block, cube, block.
      {B, {13.5f, 45, 146}, {6, 50, 6}, N, n3, s1, {1, 10}},
      {B, {13.5f, 73, 146}, {6.5f, 6, 6.5f}, N, n5, s4, {1, 1}},
      {B, {13.5f, 95, 146}, {6, 50, 6}, N, n3, s1, {1, 10}},
      {B, {-13.5f, 45, 146}, {6, 50, 6}, N, n3, s1, {1, 10}},
      {B, {-13.5f, 73, 146}, {6.5f, 6, 6.5f}, N, n5, s4, {1, 1}},
      {B, {-13.5f, 95, 146}, {6, 50, 6}, N, n3, s1, {1, 10}},
      {B, {-20, 45, 164}, {6, 50, 6}, N, n3, s1, {1, 10}},
      {B, {-20, 73, 164}, {6.5f, 6, 6.5f}, N, n5, s4, {1, 1}},
      {B, {-20, 95, 164}, {6, 50, 6}, N, n3, s1, {1, 10}},
      {B, {20, 45, 186}, {6, 50, 6}, N, n3, s1, {1, 10}},
      {B, {20, 73, 186}, {6.5f, 6, 6.5f}, N, n5, s4, {1, 1}},
      {B, {20, 95, 186}, {6, 50, 6}, N, n3, s1, {1, 10}},
      {B, {13.5f, 45, 204}, {6, 50, 6}, N, n3, s1, {1, 10}},
      {B, {13.5f, 73, 204}, {6.5f, 6, 6.5f}, N, n5, s4, {1, 1}},
      {B, {13.5f, 95, 204}, {6, 50, 6}, N, n3, s1, {1, 10}},
      {B, {-13.5f, 45, 204}, {6, 50, 6}, N, n3, s1, {1, 10}},
      {B, {-13.5f, 73, 204}, {6.5f, 6, 6.5f}, N, n5, s4, {1, 1}},
      {B, {-13.5f, 95, 204}, {6, 50, 6}, N, n3, s1, {1, 10}},
      // z 210 to 390: drums, ramps, platforms and the water area.
      {C, {0, 55, 210}, {32, 5, 3}, T, n5, s1, {1, 1}},
      {R, {0, 50, 230}, {20, 10, 25}, T, n6, s1, {3, 6}},
      {C, {0, 45, 250}, {32, 5, 3}, T, n5, s1, {1, 1}},
      {B, {0, 40, 240}, {20, 20, 1}, T, n3, s1, {1, 1}},
      {R, {0, 40, 265}, {20, 10, 20}, T, n6, s1, {3, 6}},
      {B, {0, 40, 290}, {20, 2, 20}, N, n6, s1, {3, 3}},
      {B, {0, 40, 310}, {20, 6, 20}, N, n6, s1, {3, 3}},
      {C, {0, 40, 330}, {32, 5, 3}, T, n5, s1, {1, 1}},
      {C, {0, 40, 340}, {32, 5, 3}, T, n5, s1, {1, 1}},
      {B, {0, 40, 355}, {10, 5, 7}, W, n6, s1, {1, 1}},
      {C, {-5, 40, 365}, {32, 4, 3}, T, n5, s1, {1, 1}},
      {C, {5, 40, 375}, {32, 3, 3}, T, n5, s1, {1, 1}},
      {C, {0, 40, 385}, {32, 5, 3}, T, n5, s1, {1, 1}},
      {B, {0, 30, 300}, {60, 2, 40}, N, n3, s1, {1, 1}},
      {B, {0, 30, 340}, {60, 2, 40}, N, n3, s1, {1, 1}},
      {B, {0, 30, 380}, {60, 2, 40}, N, n3, s1, {1, 1}},
      {B, {30, 40, 340}, {3, 40, 120}, N, n3, s1, {1, 1}},
      {B, {-30, 40, 340}, {3, 40, 120}, N, n3, s1, {1, 1}},
      {B, {-20, 50, 290}, {20, 60, 20}, N, n3, s1, {1, 1}},
      {B, {20, 50, 290}, {20, 60, 20}, N, n3, s1, {1, 1}},
      {B, {0, 30, 290}, {20, 20, 20}, N, n3, s1, {1, 1}},
      // Finish: gateway blocks and lintel, step, ramp, beam, platform on its block, last ramp.
      {B, {-30, 41, 395}, {40, 40, 20}, N, n3, s1, {1, 1}},
      {B, {30, 41, 395}, {40, 40, 20}, N, n3, s1, {1, 1}},
      {B, {0, 30, 400}, {20, 10, 4}, N, n3, s1, {1, 1}},
      {B, {0, 71, 395}, {100, 20, 20}, N, n3, s1, {1, 1}},
      {R, {0, 36, 405}, {20, 10, 20}, T, n6, s1, {3, 6}},
      {B, {0, 36, 425}, {2, 2, 20}, W, own, ws, {1, 1}},
      {B, {0, 35, 445}, {60, 2, 20}, W, n6, s1, {6, 3}},
      {B, {0, 26, 410}, {20, 20, 1}, T, n3, s1, {1, 1}},
      {B, {0, 25, 445}, {58, 20, 19}, T, n3, s1, {1, 1}},
      {R, {0, 30, 460}, {60, 10, 20}, T, n3, s1, {3, 6}},
  };
  return rows;
}

const std::vector<glm::vec3>& courseLooseBoxes() {
  static const std::vector<glm::vec3> rows = {
      // First stack, on the platform at z 55.
      {-8.5f, 97, 60},
      {-6.5f, 97, 60},
      {-4.5f, 97, 60.2f},
      {-2.5f, 97, 60},
      {-0.5f, 97, 60},
      {-8.5f, 99, 60},
      {-6.2f, 99, 59.8f},
      {-4.2f, 99, 60},
      {-2.5f, 99, 60},
      {-8.4f, 101, 59.8f},
      {-6.5f, 101, 60},
      {-4.2f, 101, 60},
      // Second stack, on the platform at z 175.
      {-8, 62, 175},
      {-6, 62, 175},
      {-4, 62, 175.2f},
      {-2, 62, 175},
      {0, 62, 175},
      {-8, 64, 175},
      {-6, 64, 175},
      {-4, 64, 177},
      {-6, 66, 175},
      {-4, 66, 175},
      {-2, 66, 175},
      // Third stack, on the platform at z 195.
      {8, 62, 190},
      {6, 62, 190},
      {4, 62, 192},
      {2, 62, 190},
      {0, 62, 190},
      {8, 64, 190},
      {6, 64, 188},
      {4, 64, 190},
      {6, 66, 190},
      {4, 66, 190},
      {2, 66, 190},
  };
  return rows;
}

const std::vector<WaterRow>& courseWaterSheets() {
  static const std::vector<WaterRow> rows = {
      {{0, 33.5f, 340}, 60, 120, 1},
      {{-20, 38, 308}, 30, 25, 1},
      {{20, 38, 308}, 30, 25, 2},
  };
  return rows;
}

const std::vector<FlowRow>& courseFlowSheets() {
  // All at x 0, height 38, 70 wide.
  static const std::vector<FlowRow> rows = {
      {325, 10, {0, 15}, {0, 5}},     {335, 10, {0, 5}, {0, 5}},  {346.5f, 13, {0, 5}, {0, 15}},
      {358.5f, 13, {0, 15}, {-5, 5}}, {367, 10, {-5, 5}, {5, 5}}, {377, 10, {5, 5}, {0, 5}},
      {387, 15, {0, 7.5f}, {0, 15}},
  };
  return rows;
}

const std::vector<glm::vec3>& courseTorches() {
  // The first stands below the backdrop: its light is the one that follows the player.
  static const std::vector<glm::vec3> rows = {
      {0, 0, 0},      {15, 115, 10}, {-15, 115, 10}, {15, 100, 55},  {-15, 100, 75}, {20, 90, 100},
      {-20, 80, 120}, {20, 65, 155}, {-20, 65, 175}, {-20, 55, 230}, {20, 45, 265},  {-15, 45, 330},
      {15, 45, 365},  {20, 45, 415}, {-20, 45, 415}, {20, 45, 440},  {-20, 45, 440},
  };
  return rows;
}

const std::vector<SectionRow>& courseSections() {
  static const std::vector<SectionRow> rows = {{0, 1},   {50, 2},  {70, 3},  {90, 4},   {110, 5},
                                               {150, 6}, {200, 7}, {250, 8}, {300, 11}, {440, 13}};
  return rows;
}

const std::vector<FallLimitRow>& courseFallLimits() {
  static const std::vector<FallLimitRow> rows = {{95, 40}, {80, 80}, {55, 160}, {35, 400}, {25, 600}};
  return rows;
}

const std::vector<glm::vec3>& skullPositions() {
  static const std::vector<glm::vec3> rows = {{0, 111.5f, 10}, {-4, 96.5f, 65}, {4, 61.5f, 185}};
  return rows;
}

const std::vector<glm::vec3>& diamondPositions() {
  static const std::vector<glm::vec3> rows = {
      {0, 109, 25},     {0, 107, 28},     {0, 105, 31},     {0, 103, 34},     {-3.5f, 96, 45},  {-3.5f, 96, 49},
      {-3.5f, 96, 52},  {-3.5f, 96, 55},  {3.5f, 96, 65},   {3.5f, 96, 69},   {3.5f, 96, 72},   {3.5f, 96, 75},
      {-3.5f, 61, 157}, {-3.5f, 61, 160}, {-3.5f, 61, 164}, {-3.5f, 61, 167}, {3.5f, 61, 170},  {3.5f, 61, 173},
      {3.5f, 61, 176},  {3.5f, 61, 179},  {-3.5f, 61, 190}, {-3.5f, 61, 193}, {-3.5f, 61, 196}, {-3.5f, 61, 199},
      {0, 53.5f, 227},  {0, 52.5f, 231},  {0, 51.5f, 235},  {0, 51, 239},     {0, 45.5f, 257},  {0, 44.5f, 261},
      {0, 43.5f, 265},  {0, 42.5f, 269},
  };
  return rows;
}

void Level::build(PlayerController* controller, const std::shared_ptr<Material>& ground2,
                  const std::shared_ptr<Material>& tiles, const std::shared_ptr<Material>& wood,
                  const std::shared_ptr<Material>& /*ground1*/, const std::shared_ptr<Material>& water,
                  const std::shared_ptr<Material>& water2, const std::shared_ptr<Shader>& waterProgram,
                  const std::shared_ptr<Shader>& water2Program, const std::shared_ptr<Material>& light,
                  const std::shared_ptr<Material>& noise, unsigned int noise3, unsigned int noise5, unsigned int noise6,
                  unsigned int texSpec1, unsigned int texSpec2, unsigned int /*texSpec3*/, unsigned int texSpec4,
                  unsigned int tex2Spec, unsigned int /*tex2Spec2*/, unsigned int tilesSpecular,
                  unsigned int woodSpecular) {
  // 1. Run set-up.
  startPosition = glm::dvec3(0.0, 120.0, 0.0);
  playerController = controller;
  fallIndex = 0;
  finishHeight = 35.0f;
  finishZ = 445.0f;

  // 2-4. The ground far below, the boulder over the start platform, the gate in front of it.
  addBackdrop({0, 25, 200}, ground2, {1, 1});
  createBoulder({0, 125, -20}, {0, 125, 390}, 64, 32, 10, tiles, tilesSpecular);
  createGate({0, 125, -5}, {20, 20, 1}, noise, noise3, texSpec4);

  // 5. The placed solids.
  auto materialOf = [&](CourseMaterial m) -> const std::shared_ptr<Material>& {
    return m == CourseMaterial::Noise ? noise : m == CourseMaterial::Tiles ? tiles : wood;
  };
  auto textureOf = [&](CourseTexture t, const std::shared_ptr<Material>& material) -> unsigned int {
    switch (t) {
      case CourseTexture::Noise3:
        return noise3;
      case CourseTexture::Noise5:
        return noise5;
      case CourseTexture::Noise6:
        return noise6;
      case CourseTexture::TexSpec1:
        return texSpec1;
      case CourseTexture::TexSpec2:
        return texSpec2;
      case CourseTexture::TexSpec4:
        return texSpec4;
      case CourseTexture::Tex2Spec:
        return tex2Spec;
      case CourseTexture::TilesSpecular:
        return tilesSpecular;
      case CourseTexture::WoodSpecular:
        return woodSpecular;
      case CourseTexture::MaterialOwn:
        return materialTextureName(material);
    }
    return 0;
  };
  for (const SolidRow& row : courseSolids()) {
    const std::shared_ptr<Material>& material = materialOf(row.material);
    addSolid(row.position, row.size, material, row.shape, textureOf(row.diffuse, material),
             textureOf(row.specular, material), row.repeat);
  }

  // 6. The box stacks.
  for (const glm::vec3& position : courseLooseBoxes())
    addLooseBox(position, {2, 2, 2}, tiles, 0, noise3, texSpec2, {1, 1});

  // 7-9. Water, its flow and its lights.
  for (const WaterRow& row : courseWaterSheets())
    addWaterSheet(row.position, row.width, row.depth, row.type, waterProgram, water);
  for (const FlowRow& row : courseFlowSheets())
    addFlowSheet({0, 38, row.z}, 70, row.depth, row.firstOffset, row.secondOffset, water2Program, water2);
  const glm::vec3 waterColour(0.5f, 0.5f, 1.0f);
  const glm::vec3 waterAttenuation(1.0f, 0.07f, 0.017f);
  setWaterLights({waterColour, {15, 37, 325}, waterAttenuation}, {waterColour, {-15, 37, 335}, waterAttenuation},
                 {waterColour, {15, 37, 350}, waterAttenuation}, {waterColour, {-15, 37, 368.5f}, waterAttenuation});

  // 10-13. Torches, the first light window, sections and fall limits.
  for (const glm::vec3& position : courseTorches()) addTorch(position, light, tiles);
  selectLightWindow(0);
  for (const SectionRow& row : courseSections()) addSection(row.z, row.window);
  for (const FallLimitRow& row : courseFallLimits()) addFallLimit(row.floorHeight, row.endZ);
}

void Level::placeCollectibles(const std::shared_ptr<Model>& skullModel, unsigned int skullDiffuse,
                              unsigned int skullSpecular, const std::shared_ptr<Material>& skullMaterial,
                              const std::shared_ptr<Model>& diamondModel,
                              const std::shared_ptr<Material>& diamondMaterial,
                              const std::shared_ptr<Shader>& materialProgram, unsigned int noise7, unsigned int noise8,
                              unsigned int noise9) {
  // The models lie on their backs: a quarter turn about x stands them up.
  const glm::mat4 upright = glm::rotate(glm::mat4(1.0f), -glm::half_pi<float>(), glm::vec3(1.0f, 0.0f, 0.0f));
  for (const glm::vec3& p : skullPositions()) {
    const glm::mat4 matrix =
        glm::translate(glm::mat4(1.0f), p) * upright * glm::scale(glm::mat4(1.0f), glm::vec3(0.1f));
    addSkull(skullModel, matrix, p, skullDiffuse, skullSpecular, skullMaterial, materialProgram);
  }

  const unsigned int colours[3] = {noise7, noise8, noise9};  // red, green, blue
  for (const glm::vec3& p : diamondPositions()) {
    const unsigned int diffuse = colours[nextRandom() % 3];
    const unsigned int specular = colours[nextRandom() % 3];
    const glm::mat4 matrix =
        glm::translate(glm::mat4(1.0f), p) * upright * glm::scale(glm::mat4(1.0f), glm::vec3(0.2f));
    addDiamond(diamondModel, matrix, p, diffuse, specular, diamondMaterial, materialProgram);
  }
}
