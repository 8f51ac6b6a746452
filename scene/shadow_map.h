#pragma once
#include <GL/glew.h>

#include <array>
#include <cstdint>
#include <functional>
#include <glm/glm.hpp>
#include <memory>
#include <vector>

#include "render/frustum.h"
#include "scene/shadow_casters.h"
#include "scene/shadow_save_under.h"

class MyShader;
class Shader;

// A depth-only render target for one light: a 2D map for the sun or a cube map around a torch.
// The map owns its framebuffer and texture and deletes them when destroyed, so it has to go
// while the context is still current.
class ShadowMap {
 public:
  ShadowMap() = default;
  ~ShadowMap();
  // Deletes the framebuffer and texture now (shutdown, while the context is current); the
  // destructor then has nothing left to do.
  void release();
  ShadowMap(const ShadowMap&) = delete;
  ShadowMap& operator=(const ShadowMap&) = delete;

  // Depth texture 2D, linear filter, border 1 outside (so nothing outside the box is shadowed).
  void setUp2D();
  // Cube depth texture, nearest filter, all six faces attached as one layered target.
  void setUpCube();
  // Replaces the six face matrices: +x, -x, +y, -y, +z, -z, each projection * lookAt.
  void computeCubeMatrices(const glm::vec3& position, float nearPlane, float farPlane);

  // Sun pass: front faces culled (less acne on lit sides), the depth program current with its
  // "lightSpaceMatrix", this map bound and its depth cleared.
  // clearDepth false keeps what the map holds (the optimised passes put back what they need).
  void beginPass(MyShader& depthProgram, const glm::mat4& lightSpaceMatrix, bool clearDepth = true);
  // Torch pass: this map bound and cleared, then "shadowMatrices[0..5]", "far_plane" and
  // "lightPos" set on the program, which is left current. Culling is left as it is.
  void beginCubePass(MyShader& cubeDepthProgram, const glm::vec3& lightPosition, float farPlane,
                     bool clearDepth = true);
  // Back to the window: default framebuffer, full viewport, colour and depth cleared, back faces
  // culled again.
  static void endPass(int windowWidth, int windowHeight);
  // How the last pass went: nothing to do, only around the moving casters, or the whole map.
  enum class Pass { Kept, AroundMoving, Whole };
  // One pass of this map. With culling off it begins (clearing) and draws every caster. With it on
  // it lists the casters inside `volume` (the light and its view folded in as `lightKey`) and does
  // the least that gives the same texels: nothing when nothing there changed; when only moving
  // casters changed, it puts back the blocks saved from under them, saves the blocks under their
  // new places and draws them; otherwise it clears and draws the still casters, saves, and draws
  // the moving ones. `layerMatrices` are the map's projection x view, one per layer; `begin`
  // binds the map for drawing, clearing it when asked to. A change of wireframe, face culling or
  // depth test since the last pass counts as a change of every still caster.
  Pass draw(const std::shared_ptr<MyShader>& program, const ShadowCasterTable& casters, const Frustum& volume,
            std::uint64_t lightKey, const std::vector<glm::mat4>& layerMatrices,
            const std::function<void(bool clearDepth)>& begin);

  int width = 1024;  // texels
  int height = 1024;
  GLuint framebuffer = 0;
  GLuint depthTexture = 0;
  // How the scene reads the map: the texture keeps the filters of its set-up, and this sampler
  // object, bound on the map's unit for the scene pass, makes each lookup a depth comparison
  // filtered over 2 x 2 texels. A software rasteriser does that far cheaper than shader code can.
  GLuint compareSampler = 0;
  GLenum textureTarget = GL_TEXTURE_2D;  // GL_TEXTURE_CUBE_MAP after the cube set-up
  std::vector<glm::mat4> shadowMatrices;
  // Where the face matrices were made from: the cube of this half size around the centre is all
  // that the six faces can see (world units).
  glm::vec3 cubeCentre{0.0f};
  float cubeHalfExtent = 0.0f;
  // Six square 90-degree faces see exactly that cube. Before any face matrices exist, or with
  // faces that are not square, there is no such cube: the volume then holds everything.
  bool seesCube() const { return !shadowMatrices.empty() && width == height; }
  Frustum cubeVolume() const;
  // What the map holds after an optimised pass: signatures of the still and of the moving casters
  // it drew, and the still casters' texels from under the moving ones. Not kept (keepsStill
  // false) after a pass with culling off or when the blocks did not fit the store.
  bool keepsStill = false;
  std::uint64_t stillSignature = 0;
  std::uint64_t movingSignature = 0;
  SaveUnder underMoving;
  Pass lastPass = Pass::Whole;

 private:
  // Both set-ups end with the map's comparing sampler, wrapping as its texture does.
  void makeCompareSampler(GLenum wrap);
};

// The sun's shadow: a fixed eye above and behind the start, looking down the course at 45 degrees.
constexpr glm::vec3 kSunShadowEye{0.0f, 220.0f, 200.0f};         // start position + (0, 100, 200)
constexpr float kCubeNearPlane = 1.0f;                           // world units
constexpr float kCubeFarPlane = 50.0f;                           // world units; also "pointLightFarPlane"
constexpr glm::vec3 kPointShadowPosition{15.0f, 120.0f, 10.0f};  // "pointLightPos": the first ground light

// Orthographic box x -50..50, y -300..300, depth 50..250 along the view.
glm::mat4 sunLightProjection();
glm::mat4 sunLightView();
// lightProjection * view, recomputed every frame by the frame loop.
glm::mat4 sunLightSpaceMatrix();

// Which maps are drawn each frame: all five, the sun's only, or none (the light settings). A map
// that is not drawn is not read either: the scene's program is built without its lookups.
enum class ShadowsDrawn { All, Sun, None };

// Every frame's shadow work in order: the sun pass, the four cube matrices from the torch
// positions, the four cube passes, the end of the passes. torchPositions are active light slots
// 1 to 4. The passes that `drawn` leaves out are skipped, their stage marks kept.
void renderShadowPasses(ShadowMap& sunMap, std::array<ShadowMap, 4>& cubeMaps,
                        const std::shared_ptr<MyShader>& depthProgram,
                        const std::shared_ptr<MyShader>& cubeDepthProgram, const glm::mat4& lightSpaceMatrix,
                        const std::array<glm::vec3, 4>& torchPositions, int windowWidth, int windowHeight,
                        const ShadowCasterTable& casters, ShadowsDrawn drawn = ShadowsDrawn::All);

// The scene pass's shadow inputs on "materialShader": makes it current, sets "lightSpaceMatrix",
// "lightPos", "pointLightPos", "pointLightFarPlane", and binds the sun map on unit 2 and the cube
// maps on units 3 to 6, each with its comparing sampler. Leaves the program current and unit 0
// active.
void bindSceneShadows(Shader& materialProgram, const glm::mat4& lightSpaceMatrix, const ShadowMap& sunMap,
                      const std::array<ShadowMap, 4>& cubeMaps);
// Ends the scene pass's use of units 2 to 6: their comparing samplers are unbound, so that a
// texture bound there later is sampled as its own parameters say, not as a depth comparison.
void unbindSceneShadows();
