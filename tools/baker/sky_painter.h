#pragma once
#include "tools/baker/image.h"

// The sky seen in one direction (need not be unit length): RGB 0..1 into rgb.
void skyColour(double dx, double dy, double dz, double rgb[3]);

// The world direction that a cube map texel stands for, as the GL samples cube maps: face
// 0..5 is +x, -x, +y, -y, +z, -z; s runs along the row, t down the rows (row 0 is t = 0).
void cubeFaceDirection(int face, double s, double t, double dir[3]);

// One RGBA face of the sky cube map, every texel coloured from its own direction, so that
// neighbouring faces agree along their shared edges.
Image paintSkyFace(int face, int size);
