#pragma once

// The most the water shaders lift or sink a vertex of their flat grids, world units: a choppy
// pool's swell reaches 0.12 x (1 + 0.5) (waterShader.vert, type 2); a calm pool's 0.05 x 1.5 and
// flowing water's ripple 0.04 (waterShader2.vert) stay below it. The sheets' culling bounds grow
// by it.
constexpr float kWaterLargestLift = 0.18f;
