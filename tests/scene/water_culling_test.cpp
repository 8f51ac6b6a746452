// The water shaders lift the flat grids' vertices: the bounds the culling uses must hold every
// lifted vertex, or a sheet seen only by its swell is left out of the picture. The lifts are taken
// from the game's own vertex stages, run over the whole sheet by transform feedback.

#include <fstream>
#include <sstream>

#include "game/level.h"
#include "scene/scene_test_helpers.h"

namespace {

// Where the stage file puts each of `points` (the sheet's own space) in the world.
std::vector<glm::vec4> lifted(const char* file, const Geometry& sheet, int type, const std::vector<glm::vec3>& points) {
  std::stringstream text;
  text << std::ifstream(std::string(kShaderDirectory) + file).rdbuf();
  const std::string source = text.str();
  const char* sources[1] = {source.c_str()};
  const char* captured[1] = {"gl_Position"};
  const GLuint stage = glCreateShader(GL_VERTEX_SHADER), program = glCreateProgram();
  glShaderSource(stage, 1, sources, nullptr);
  glCompileShader(stage);
  glAttachShader(program, stage);
  glTransformFeedbackVaryings(program, 1, captured, GL_INTERLEAVED_ATTRIBS);
  glLinkProgram(program);
  glDeleteShader(stage);
  GLint linked = GL_FALSE;
  glGetProgramiv(program, GL_LINK_STATUS, &linked);
  EXPECT_EQ(linked, GL_TRUE) << file;
  glUseProgram(program);
  const glm::mat4 identity(1.0f);
  glUniformMatrix4fv(glGetUniformLocation(program, "modelMatrix"), 1, GL_FALSE, &sheet.modelMatrix[0][0]);
  glUniformMatrix4fv(glGetUniformLocation(program, "viewProjMatrix"), 1, GL_FALSE, &identity[0][0]);
  glUniform1i(glGetUniformLocation(program, "type"), type);
  TriangleMesh cloud(points);
  std::vector<glm::vec4> world(points.size());
  GLuint feedback = 0;
  glGenBuffers(1, &feedback);
  glBindBufferBase(GL_TRANSFORM_FEEDBACK_BUFFER, 0, feedback);
  glBufferData(GL_TRANSFORM_FEEDBACK_BUFFER, world.size() * sizeof(glm::vec4), nullptr, GL_STATIC_READ);
  glEnable(GL_RASTERIZER_DISCARD);
  glBeginTransformFeedback(GL_POINTS);
  cloud.draw(GL_POINTS);
  glEndTransformFeedback();
  glDisable(GL_RASTERIZER_DISCARD);
  glGetBufferSubData(GL_TRANSFORM_FEEDBACK_BUFFER, 0, world.size() * sizeof(glm::vec4), world.data());
  glDeleteBuffers(1, &feedback);
  glUseProgram(0);
  glDeleteProgram(program);
  return world;
}

// A volume whose only bounding plane faces along `normal` and passes just behind `point`.
Frustum onlyBeyond(const glm::vec3& point, const glm::vec3& normal) {
  Frustum volume;
  volume.planes.fill(glm::vec4(0, 0, 0, 1));  // everything inside
  volume.planes[0] = glm::vec4(normal, -glm::dot(normal, point) + 1e-4f);
  return volume;
}

}  // namespace

TEST_F(SceneGlTest, EveryVertexTheWaterShadersLiftLiesInsideTheSheetsCullingBounds) {
  Level level;  // water and flowing water need no bodies
  // Near the origin, where the bounds' allowance for float rounding is least; 12 units square
  // holds every phase of both of a choppy pool's waves.
  level.addWaterSheet({0, 0, 0}, 12, 12, 2, nullptr, nullptr);
  level.addFlowSheet({0, 1, 2}, 12, 12, {0.1f, 0}, {0, 0.1f}, nullptr, nullptr);
  const struct {
    const char* file;
    const Geometry* sheet;
  } sheets[] = {{"waterShader.vert", level.waterSheets.geometries[0].get()},
                {"waterShader2.vert", level.flowSheets.geometries[0].get()}};
  float highestLift = 0.0f;
  for (const auto& s : sheets) {
    SCOPED_TRACE(s.file);
    const std::array<glm::vec3, 8> box = worldBoxCorners(s.sheet->bounds, s.sheet->modelMatrix);
    const BoundingSphere sphere = transformSphere(s.sheet->bounds, s.sheet->modelMatrix);
    glm::vec3 low = box[0], high = box[0];
    for (const glm::vec3& corner : box) low = glm::min(low, corner), high = glm::max(high, corner);
    std::vector<glm::vec3> points;  // 300 x 300 over the sheet, edges included
    for (int i = 0; i <= 300; ++i)
      for (int j = 0; j <= 300; ++j) points.push_back({-6.0f + i * 0.04f, 0.0f, -6.0f + j * 0.04f});
    const float height = s.sheet->modelMatrix[3].y;
    glm::vec3 top(0.0f, height, 0.0f), bottom = top;
    long outside = 0;
    for (const glm::vec4& p : lifted(s.file, *s.sheet, 2, points)) {
      const glm::vec3 w(p);
      outside += glm::any(glm::lessThan(w, low - 1e-4f)) || glm::any(glm::greaterThan(w, high + 1e-4f)) ||
                 glm::distance(w, sphere.centre) > sphere.radius + 1e-4f;
      if (w.y > top.y) top = w;
      if (w.y < bottom.y) bottom = w;
    }
    EXPECT_EQ(outside, 0) << "lifted points outside the box or the sphere";
    highestLift = std::max({highestLift, top.y - height, height - bottom.y});
    for (const glm::vec3& extreme : {top, bottom}) {
      viewCulling.beginVolume(onlyBeyond(extreme, glm::normalize(extreme - sphere.centre)));
      EXPECT_TRUE(viewCulling.visible(s.sheet->bounds, s.sheet->modelMatrix)) << "lifted to " << extreme.y;
      viewCulling.endVolume();
    }
  }
  // The bounds grow by no more than the highest swell needs: a looser box only culls less.
  const BoundingSphere& still = sheets[0].sheet->bounds;
  EXPECT_NEAR(still.halfSize.y, highestLift, 2e-3f);
}
