#version 430 core
// Sends every triangle to all six faces of the cube depth map in one pass.
layout(triangles) in;
layout(triangle_strip, max_vertices = 18) out;

uniform mat4 shadowMatrices[6];  // projection x view of the faces +x, -x, +y, -y, +z, -z

out vec4 worldPos;

void main() {
  for (int face = 0; face < 6; ++face) {
    gl_Layer = face;
    for (int i = 0; i < 3; ++i) {
      worldPos = gl_in[i].gl_Position;
      gl_Position = shadowMatrices[face] * worldPos;
      EmitVertex();
    }
    EndPrimitive();
  }
}
