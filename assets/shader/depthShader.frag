#version 430 core
// Only the depth buffer is written; the rasteriser fills it.
void main() {}
