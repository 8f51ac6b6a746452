// Level::draw's fixed order and its texture-reuse rule, seen from the driver's side: every draw
// call and texture bind the scene pass makes is recorded with the state it found.
#include <dlfcn.h>

#include "game/level.h"
#include "render/material.h"
#include "render/model.h"
#include "render/texture.h"
#include "scene/scene_test_helpers.h"

namespace {

struct DrawSeen {
  GLuint vertexArray = 0;
  GLuint unit0 = 0, unit1 = 0;  // 2D textures bound there
  int bindsBefore = 0;          // texture binds since the draw before
};

struct Recorder {
  bool on = false;
  int binds = 0;
  std::vector<DrawSeen> draws;
} recorder;

}  // namespace

// This test program's own definitions come before the driver's: they record, then pass the call on.
extern "C" {

void GLAPIENTRY glDrawElements(GLenum mode, GLsizei count, GLenum type, const void* indices) {
  using Fn = void(GLAPIENTRY*)(GLenum, GLsizei, GLenum, const void*);
  static const auto driver = reinterpret_cast<Fn>(dlsym(RTLD_NEXT, "glDrawElements"));
  if (recorder.on) {
    recorder.draws.push_back(
        {static_cast<GLuint>(integer(GL_VERTEX_ARRAY_BINDING)), boundTexture(0), boundTexture(1), recorder.binds});
    recorder.binds = 0;
  }
  driver(mode, count, type, indices);
}

void GLAPIENTRY glBindTexture(GLenum target, GLuint texture) {
  using Fn = void(GLAPIENTRY*)(GLenum, GLuint);
  static const auto driver = reinterpret_cast<Fn>(dlsym(RTLD_NEXT, "glBindTexture"));
  if (recorder.on && target == GL_TEXTURE_2D) ++recorder.binds;
  driver(target, texture);
}

}  // extern "C"

namespace {

class LevelDrawing : public SceneGlTest {
 protected:
  // A texture of its own (the level's lists hold bare GL names).
  GLuint texture() {
    textures.push_back(std::make_shared<Texture>(pixels.data()));
    return textures.back()->handle;
  }
  // As the level's factories make torches and water, the material holds the list's texture.
  std::shared_ptr<Geometry> mesh(GLuint name = 0) {
    std::shared_ptr<Material> material = plain;
    for (const auto& t : textures)
      if (t->handle == name) material = std::make_shared<TextureMaterial>(program, glm::vec3(0.1f), 2.0f, t);
    return std::make_shared<Geometry>(glm::mat4(1.0f), createBoxGeometry(1, 1, 1), material);
  }
  void addObject(ObjectList& list, GLuint diffuse, GLuint specular) {
    list.geometries.push_back(mesh());
    list.diffuseTextures.push_back(diffuse);
    list.specularTextures.push_back(specular);
    list.textureRepeats.emplace_back(1.0f, 1.0f);
    ++list.count;
  }
  void addItem(ModelList& list, const std::shared_ptr<Model>& model, bool collected, GLuint diffuse, GLuint specular) {
    list.models.push_back(model);
    list.modelMatrices.push_back(glm::mat4(1.0f));
    list.collected.push_back(collected);
    list.pickupPositions.emplace_back(0.0f);
    list.diffuseTextures.push_back(diffuse);
    list.specularTextures.push_back(specular);
    list.materials.push_back(plain);
    list.shaders.push_back(program);
    ++list.count;
  }
  void addSheet(SheetList& list, GLuint name) {
    list.geometries.push_back(mesh(name));
    list.types.push_back(1);
    list.textures.push_back(name);
    list.shaders.push_back(program);
    list.firstOffsets.emplace_back(0.0f);
    list.secondOffsets.emplace_back(0.0f);
    ++list.count;
  }

  std::vector<unsigned char> pixels = std::vector<unsigned char>(256 * 256 * 3, 128);
  std::vector<std::shared_ptr<Texture>> textures;
  std::shared_ptr<Shader> program = std::make_shared<Shader>(
      "#version 430 core\nlayout(location = 0) in vec3 position;\nuniform mat4 modelMatrix;\n"
      "void main() { gl_Position = modelMatrix * vec4(position, 1); }",
      "#version 430 core\nout vec4 color;\nvoid main() { color = vec4(1); }", true);
  std::shared_ptr<Material> plain = std::make_shared<Material>(program, glm::vec3(0.1f, 0.7f, 0.1f), 2.0f);
};

}  // namespace

TEST_F(LevelDrawing, ListsComeInTheFixedOrderAndEachDrawFindsItsOwnTextures) {
  Level level;
  const GLuint a = texture(), c = texture(), torch = texture(), water = texture(), other = texture();
  struct Expected {
    GLuint vertexArray, unit0, unit1;  // unit1 0: not looked at
  };
  std::vector<Expected> expected;
  // Solids, loose boxes, backdrops (two alike, then another), the boulder, the gate.
  for (ObjectList* list : {&level.solids, &level.solids, &level.looseBoxes}) {
    const GLuint diffuse = texture(), specular = texture();
    addObject(*list, diffuse, specular);
    expected.push_back({list->geometries.back()->vao, diffuse, specular});
  }
  for (GLuint backdrop : {a, a, c}) {
    addObject(level.backdrops, backdrop, backdrop);
    expected.push_back({level.backdrops.geometries.back()->vao, backdrop, backdrop});
  }
  for (auto* object : {&level.boulder.geometry, &level.gate.geometry}) *object = mesh();
  for (auto* moving : {&level.boulder.diffuseTexture, &level.boulder.specularTexture, &level.gate.diffuseTexture,
                       &level.gate.specularTexture})
    *moving = texture();
  expected.push_back({level.boulder.geometry->vao, level.boulder.diffuseTexture, level.boulder.specularTexture});
  expected.push_back({level.gate.geometry->vao, level.gate.diffuseTexture, level.gate.specularTexture});
  // Skulls (the first one collected), then diamonds: each of a model's meshes is one draw.
  auto skull = std::make_shared<Model>("assets/objects/Diamond/diamond.obj", glm::mat4(1.0f), program);
  auto diamond = std::make_shared<Model>("assets/objects/Diamond/diamond.obj", glm::mat4(1.0f), program);
  ASSERT_FALSE(skull->meshes.empty());
  addItem(level.skulls, skull, true, texture(), texture());
  const GLuint skullDiffuse = texture(), skullSpecular = texture();
  addItem(level.skulls, skull, false, skullDiffuse, skullSpecular);
  for (const Mesh& m : skull->meshes) expected.push_back({m.vao, skullDiffuse, skullSpecular});
  for (int i = 0; i < 2; ++i) {
    const GLuint diffuse = texture(), specular = texture();
    addItem(level.diamonds, diamond, false, diffuse, specular);
    for (const Mesh& m : diamond->meshes) expected.push_back({m.vao, diffuse, specular});
  }
  // Torches, still water, flowing water: one texture each, the same for two in a row; the last
  // flowing sheet shares the first backdrop's texture.
  for (int i = 0; i < 2; ++i) {
    level.torches.geometries.push_back(mesh(torch));
    level.torches.textures.push_back(torch);
    ++level.torches.count;
    expected.push_back({level.torches.geometries.back()->vao, torch, 0});
  }
  for (int i = 0; i < 2; ++i) {
    addSheet(level.waterSheets, water);
    expected.push_back({level.waterSheets.geometries.back()->vao, water, 0});
  }
  for (GLuint flow : {water, a}) {
    addSheet(level.flowSheets, flow);
    expected.push_back({level.flowSheets.geometries.back()->vao, flow, 0});
  }

  for (int frame = 0; frame < 2; ++frame) {
    SCOPED_TRACE(frame == 0 ? "first frame" : "second frame");
    // What ran before the level (the sky, the flames) may have bound anything on unit 0.
    glActiveTexture(GL_TEXTURE0);
    ::glBindTexture(GL_TEXTURE_2D, other);
    recorder = Recorder{};
    recorder.on = true;
    level.draw();
    recorder.on = false;
    ASSERT_EQ(recorder.draws.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {  // unit 1 is looked at where a draw names a texture for it
      const DrawSeen& seen = recorder.draws[i];
      EXPECT_EQ(glm::uvec3(seen.vertexArray, seen.unit0, expected[i].unit1 ? seen.unit1 : 0u),
                glm::uvec3(expected[i].vertexArray, expected[i].unit0, expected[i].unit1))
          << "draw " << i << ": its vertex array, diffuse on unit 0 and specular on unit 1";
    }
    // The second backdrop has the first one's texture: it binds nothing of its own.
    EXPECT_EQ(recorder.draws[4].bindsBefore, 0) << "reused";
    EXPECT_GT(recorder.draws[5].bindsBefore, 0) << "another texture";
  }
  glUseProgram(0);
}
