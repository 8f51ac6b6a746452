#pragma once
#include <GL/glew.h>

#include <array>
#include <cstdint>
#include <glm/glm.hpp>
#include <vector>

#include "render/frustum.h"

// What the passes skip because it cannot change a pixel: objects wholly outside the volume a pass
// draws into, and program or texture binds that are already in place. With `enabled` off every
// object is drawn and every bind is made, so the two modes can be compared picture for picture.
class DrawCulling {
 public:
  bool enabled = true;

  // The volume of the pass now running; outside a pass nothing is culled.
  void beginVolume(const Frustum& volume);
  void endVolume();
  bool volumeActive() const { return active; }
  // True when an object with these local bounds may touch the current volume.
  bool visible(const BoundingSphere& localBounds, const glm::mat4& modelMatrix) const;

  // A draw of a hidden object in the scene pass still makes its binds and uniforms, since the
  // next object may rely on them; only the draw call itself is left out.
  bool suppressDraws = false;

  // Redundant-bind filter, working only inside a volume: begin and end forget every bind, and
  // code inside that binds behind its back must call forgetBinds or forgetUnit, so that a
  // remembered bind is never wrong. Outside a volume every call goes through.
  void useProgram(GLuint program);
  void activeTexture(int unit);
  // Binds a 2D texture on the given unit and leaves that unit active, like the two calls would.
  void bindTexture2D(int unit, GLuint texture);
  // Binds on whichever unit is active now.
  void bindTexture2DOnActiveUnit(GLuint texture);
  void forgetBinds();
  void forgetUnit(int unit);

  // A survey runs a pass's draws without drawing: every object inside the volume is folded into
  // a signature of what the pass would draw (its bounds and model matrix) and reported hidden.
  // Two surveys of one volume with equal signatures mean the pass would draw the same picture.
  void beginSurvey();
  std::uint64_t endSurvey();
  bool isSurveying() const { return surveying; }
  // The world boxes of the objects the last survey found inside its volume.
  const std::vector<std::array<glm::vec3, 8>>& surveyedBoxes() const { return boxes; }

  // Clears the window's colour and depth buffers. The shadow passes end with such a clear each,
  // five a frame after the frame's own, with nothing drawn into the window in between; on a
  // software rasteriser every clear of the multisampled window is a pass over all its memory. So
  // with `enabled` on, a clear is skipped while the window is known to be clear already with the
  // values this clear would write (clear colour and depth, under the write masks, to the same draw
  // buffer); only a clear of the whole window (every write mask on, no scissor test, no rasterizer
  // discard) makes it known to be clear. `windowDrawn` must be called before anything draws into
  // the window.
  void clearWindow();
  void windowDrawn() { windowClear = false; }
  long long skippedObjects = 0;  // objects left out since the counters were last zeroed
  long long skippedBinds = 0;
  long long skippedClears = 0;

 private:
  bool filtering() const { return enabled && active; }
  static constexpr GLuint kUnknown = 0xFFFFFFFFu;
  static constexpr int kUnits = 2;  // the diffuse and specular units the level draws use
  bool active = false;
  bool surveying = false;
  long long skippedBeforeSurvey = 0;
  mutable std::uint64_t signature = 0;
  mutable std::vector<std::array<glm::vec3, 8>> boxes;
  Frustum volume;
  GLuint program = kUnknown;
  int unit = -1;  // active texture unit, -1 unknown
  std::array<GLuint, kUnits> textures{kUnknown, kUnknown};
  // Everything that decides what a clear writes, and where.
  struct ClearState {
    GLint framebuffer = 0;
    GLint drawBuffer = 0;
    std::array<GLfloat, 4> colour{};
    GLdouble depth = 1.0;
    std::array<GLboolean, 4> colourMask{};
    GLboolean depthMask = GL_TRUE;
    GLboolean scissor = GL_FALSE;
    GLboolean discard = GL_FALSE;
  };
  static ClearState clearState();
  bool windowClear = false;
  ClearState clear;  // that of the last whole clear of the window
};

// The one filter all passes share (rendering runs on the main thread only).
extern DrawCulling drawCulling;
