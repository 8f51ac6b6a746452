#include "scene/frame_probe.h"

FrameProbe frameProbe;
