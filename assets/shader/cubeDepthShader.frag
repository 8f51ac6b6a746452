#version 430 core
// Stores the distance to the light divided by the far plane, so 1 means "nothing nearer".
in vec4 worldPos;

uniform vec3 lightPos;    // world units
uniform float far_plane;  // world units

void main() { gl_FragDepth = length(worldPos.xyz - lightPos) / far_plane; }
