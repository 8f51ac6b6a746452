#version 430 core
// Sends every triangle to the faces of the cube depth map whose view it reaches, in one pass.
layout(triangles) in;
layout(triangle_strip, max_vertices = 18) out;

uniform mat4 shadowMatrices[6];  // projection x view of the faces +x, -x, +y, -y, +z, -z
uniform int drawAllFaces;        // 1: emit to all six faces, as a reference for the skipping

out vec4 worldPos;

// A triangle wholly beyond one clip plane of a face would be clipped away there entirely; leaving
// it out changes no texel of that face.
bool outsideFace(vec4 a, vec4 b, vec4 c) {
  return (a.x > a.w && b.x > b.w && c.x > c.w) || (a.x < -a.w && b.x < -b.w && c.x < -c.w) ||
         (a.y > a.w && b.y > b.w && c.y > c.w) || (a.y < -a.w && b.y < -b.w && c.y < -c.w) ||
         (a.z > a.w && b.z > b.w && c.z > c.w) || (a.z < -a.w && b.z < -b.w && c.z < -c.w);
}

void main() {
  for (int face = 0; face < 6; ++face) {
    vec4 clip[3];
    for (int i = 0; i < 3; ++i) clip[i] = shadowMatrices[face] * gl_in[i].gl_Position;
    if (drawAllFaces == 0 && outsideFace(clip[0], clip[1], clip[2])) continue;
    gl_Layer = face;
    for (int i = 0; i < 3; ++i) {
      worldPos = gl_in[i].gl_Position;
      gl_Position = clip[i];
      EmitVertex();
    }
    EndPrimitive();
  }
}
