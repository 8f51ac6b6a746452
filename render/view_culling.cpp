#include "render/view_culling.h"

#include "render/bind_filter.h"
#include "render/optimised_frames.h"
#include "render/shadow_survey.h"

bool optimisedFrames = true;
ViewCulling viewCulling;

void ViewCulling::beginVolume(const Frustum& v) {
  volume = v;
  active = true;
  bindFilter.beginPass();
}

void ViewCulling::endVolume() {
  active = false;
  bindFilter.endPass();
}

bool ViewCulling::visible(const BoundingSphere& localBounds, const glm::mat4& modelMatrix) const {
  if (!optimisedFrames || !active) return true;
  const bool inside = volume.touches(transformSphere(localBounds, modelMatrix));
  if (!shadowSurvey.active()) return inside;
  if (inside) shadowSurvey.record(localBounds, modelMatrix);
  return false;
}
