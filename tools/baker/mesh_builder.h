#pragma once
#include <array>
#include <string>
#include <vector>

// A triangle mesh with one position, normal and texture coordinate per vertex.
class BakedMesh {
 public:
  std::vector<std::array<float, 3>> positions;
  std::vector<std::array<float, 3>> normals;
  std::vector<std::array<float, 2>> uvs;
  std::vector<std::array<unsigned, 3>> triangles;  // counter-clockwise seen from outside
};

// A skull about 20 units tall, its crown along +z and its face looking along +y (the game turns
// models a quarter turn about x, which makes +z up and +y towards the approaching player).
BakedMesh buildSkull();
// A round brilliant cut about 5 units across, table up (+z), with flat facets.
BakedMesh buildDiamond();

// Writes v/vt/vn lines and faces; with a material library it also names one material.
bool writeObj(const std::string& path, const BakedMesh& mesh, const std::string& materialLibrary,
              const std::string& materialName);
