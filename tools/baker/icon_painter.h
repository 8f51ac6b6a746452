#pragma once
#include "tools/baker/image.h"

// The menu icon: the player's capsule running towards the viewer in front of the boulder, on the
// sand under the sky, inside a rounded frame. Painted with the game's own textures so that it
// looks like the game at a glance. RGBA, clear outside the frame; the same picture at any size.
Image paintIcon(int size);
