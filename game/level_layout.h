#pragma once
// The course as data: every piece that the level builder places, in placement order.
#include <glm/glm.hpp>
#include <vector>

// Which of the builder's materials a placed piece uses.
enum class CourseMaterial { Noise, Tiles, Wood };
// Which of the builder's textures a piece uses; MaterialOwn is the texture its material holds.
enum class CourseTexture {
  Noise3,
  Noise5,
  Noise6,
  TexSpec1,
  TexSpec2,
  TexSpec4,
  Tex2Spec,
  TilesSpecular,
  WoodSpecular,
  MaterialOwn
};

// One directly placed solid. Shape 0 box, 2 cylinder (size = segments, height, radius), 3 ramp.
struct SolidRow {
  int shape;
  glm::vec3 position;
  glm::vec3 size;
  CourseMaterial material;
  CourseTexture diffuse;
  CourseTexture specular;
  glm::vec2 repeat;
};

struct WaterRow {
  glm::vec3 position;
  int width, depth, type;
};

struct FlowRow {
  float z;
  int depth;
  glm::vec2 firstOffset, secondOffset;
};

struct SectionRow {
  int z, window;
};

struct FallLimitRow {
  float floorHeight;
  int endZ;
};

const std::vector<SolidRow>& courseSolids();
const std::vector<glm::vec3>& courseLooseBoxes();  // 2 x 2 x 2 each
const std::vector<WaterRow>& courseWaterSheets();
const std::vector<FlowRow>& courseFlowSheets();
const std::vector<glm::vec3>& courseTorches();
const std::vector<SectionRow>& courseSections();
const std::vector<FallLimitRow>& courseFallLimits();
const std::vector<glm::vec3>& skullPositions();
const std::vector<glm::vec3>& diamondPositions();
