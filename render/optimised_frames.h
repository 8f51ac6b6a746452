#pragma once

// The one switch of every shortcut the passes take because it cannot change a pixel: culling what
// lies outside a pass (view_culling.h), skipping binds already in place (bind_filter.h), keeping
// shadow maps whose casters did not move (shadow_survey.h), skipping clears of a window still
// clear (window_clears.h) and drawing the opaque objects near to far (scene/draw_order.h). Off,
// everything is drawn, bound and cleared in the level's order, so the two can be compared picture
// for picture. On in the game.
extern bool optimisedFrames;
