#pragma once
#include <glm/glm.hpp>

#include "render/frustum.h"

// Objects wholly outside the volume a pass draws into are not drawn. Only inside a volume, and
// only in optimised frames.
class ViewCulling {
 public:
  // The volume of the pass now running; beginning and ending one also starts and ends the bind
  // filter's memory (bind_filter.h), since whatever ran outside may have bound anything.
  void beginVolume(const Frustum& volume);
  void endVolume();
  // True when an object with these local bounds may touch the current volume. While a shadow
  // survey runs (shadow_survey.h), every object is reported hidden and those inside are surveyed.
  bool visible(const BoundingSphere& localBounds, const glm::mat4& modelMatrix) const;

  // A draw of a hidden object in the scene pass still makes its binds and uniforms, since the
  // next object may rely on them; only the draw call itself is left out.
  bool suppressDraws = false;
  long long skippedObjects = 0;  // objects left out since the counter was last zeroed

 private:
  bool active = false;
  Frustum volume;
};

// The one the passes share (rendering runs on the main thread only).
extern ViewCulling viewCulling;
