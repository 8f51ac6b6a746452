#include "tools/baker/mesh_builder.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <iostream>
#include <map>

namespace {

constexpr double kPi = 3.14159265358979323846;

struct Vec {
  double x, y, z;
};
Vec operator+(Vec a, Vec b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
Vec operator-(Vec a, Vec b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
Vec operator*(Vec a, double s) { return {a.x * s, a.y * s, a.z * s}; }
double dot(Vec a, Vec b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
Vec cross(Vec a, Vec b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
double length(Vec a) { return std::sqrt(dot(a, a)); }
Vec normalized(Vec a) {
  const double l = length(a);
  return l > 0 ? a * (1.0 / l) : Vec{0, 0, 1};
}

double smoothUnion(double a, double b, double k) {
  const double h = std::clamp(0.5 + 0.5 * (b - a) / k, 0.0, 1.0);
  return b + (a - b) * h - k * h * (1 - h);
}
double smoothSubtract(double a, double cut, double k) { return -smoothUnion(-a, cut, k); }
// Distance (approximately) to an ellipsoid with radii r centred at c.
double ellipsoid(Vec p, Vec c, Vec r) {
  const Vec q = {(p.x - c.x) / r.x, (p.y - c.y) / r.y, (p.z - c.z) / r.z};
  return (length(q) - 1.0) * std::min(r.x, std::min(r.y, r.z));
}
double box(Vec p, Vec c, Vec half) {
  const Vec d = {std::fabs(p.x - c.x) - half.x, std::fabs(p.y - c.y) - half.y, std::fabs(p.z - c.z) - half.z};
  const Vec outside = {std::max(d.x, 0.0), std::max(d.y, 0.0), std::max(d.z, 0.0)};
  return length(outside) + std::min(std::max(d.x, std::max(d.y, d.z)), 0.0);
}

// The skull as a signed distance (negative inside), in skull space: x to its right, y up,
// z out of the face. Units are those of the model file.
double skullDistance(Vec p) {
  const Vec mirrored = {std::fabs(p.x), p.y, p.z};
  double d = ellipsoid(p, {0, 3, -1}, {7.2, 7.6, 8.6});                                 // cranium
  d = smoothUnion(d, ellipsoid(p, {0, -2.5, 3.5}, {5.0, 4.5, 4.2}), 2.0);               // upper face
  d = smoothUnion(d, ellipsoid(mirrored, {4.3, -1.8, 3.6}, {1.8, 1.4, 2.4}), 1.2);      // cheekbones
  d = smoothUnion(d, box(p, {0, -6.6, 4.3}, {3.3, 1.0, 2.0}) - 0.8, 1.2);               // upper jaw
  double jaw = box(p, {0, -9.6, 3.2}, {3.6, 1.2, 2.6}) - 0.9;                           // lower jaw
  jaw = smoothUnion(jaw, box(mirrored, {3.9, -7.5, 0.4}, {0.6, 2.6, 1.4}) - 0.5, 1.0);  // its rising branches
  d = smoothUnion(d, jaw, 0.6);
  // A dark gap between the two rows of teeth, then the teeth as little rounded blocks.
  d = smoothSubtract(d, box(p, {0, -8.1, 6.2}, {3.0, 0.28, 1.6}), 0.2);
  for (int i = -3; i <= 3; ++i) {
    const double x = i * 0.85, z = 6.1 - 0.08 * i * i;
    d = std::min(d, box(p, {x, -7.55, z}, {0.36, 0.45, 0.5}) - 0.08);
    d = std::min(d, box(p, {x, -8.65, z - 0.15}, {0.36, 0.45, 0.5}) - 0.08);
  }
  d = smoothSubtract(d, ellipsoid(mirrored, {2.6, -0.6, 7.0}, {1.85, 1.65, 3.2}), 0.7);  // eye sockets
  // Nose: an upside-down heart shape, two lobes meeting at the top.
  const double nose = std::min(ellipsoid(mirrored, {0.45, -3.6, 7.4}, {0.75, 1.35, 2.4}),
                               ellipsoid(p, {0, -3.0, 7.6}, {0.5, 1.2, 2.2}));
  d = smoothSubtract(d, nose, 0.4);
  return d;
}

Vec skullGradient(Vec p) {
  const double e = 0.05;
  return normalized({skullDistance({p.x + e, p.y, p.z}) - skullDistance({p.x - e, p.y, p.z}),
                     skullDistance({p.x, p.y + e, p.z}) - skullDistance({p.x, p.y - e, p.z}),
                     skullDistance({p.x, p.y, p.z + e}) - skullDistance({p.x, p.y, p.z - e})});
}

// Skull space to file space: (x, y, z) -> (-x, z, y), a proper rotation, so windings keep.
std::array<float, 3> toFile(Vec v) {
  return {static_cast<float>(-v.x), static_cast<float>(v.z), static_cast<float>(v.y)};
}

}  // namespace

BakedMesh buildSkull() {
  // Marching tetrahedra over a regular grid: each cube is cut into six tetrahedra that share
  // its main diagonal, and each tetrahedron yields up to two triangles. Vertices on a grid edge
  // are shared between neighbours, so the mesh is closed and smooth.
  const double cell = 0.55;  // file units; finer cells only add file size
  const Vec lo = {-8.5, -11.5, -10.5};
  const int nx = 32, ny = 37, nz = 37;
  auto index = [&](int i, int j, int k) { return (static_cast<long>(k) * (ny + 1) + j) * (nx + 1) + i; };
  std::vector<double> field(static_cast<size_t>((nx + 1) * (ny + 1) * (nz + 1)));
  for (int k = 0; k <= nz; ++k)
    for (int j = 0; j <= ny; ++j)
      for (int i = 0; i <= nx; ++i) field[index(i, j, k)] = skullDistance(lo + Vec{i * cell, j * cell, k * cell});
  auto cornerPos = [&](long id) {
    const int i = static_cast<int>(id % (nx + 1)), j = static_cast<int>((id / (nx + 1)) % (ny + 1)),
              k = static_cast<int>(id / ((nx + 1) * (ny + 1)));
    return lo + Vec{i * cell, j * cell, k * cell};
  };

  BakedMesh mesh;
  std::vector<Vec> skullPositions;
  std::map<std::pair<long, long>, unsigned> edgeVertex;
  auto vertexOn = [&](long a, long b) {
    const auto key = std::make_pair(std::min(a, b), std::max(a, b));
    const auto found = edgeVertex.find(key);
    if (found != edgeVertex.end()) return found->second;
    const double fa = field[a], fb = field[b];
    const Vec p = cornerPos(a) + (cornerPos(b) - cornerPos(a)) * (fa / (fa - fb));
    const unsigned id = static_cast<unsigned>(skullPositions.size());
    skullPositions.push_back(p);
    edgeVertex.emplace(key, id);
    return id;
  };
  auto emit = [&](unsigned a, unsigned b, unsigned c) {
    if (a == b || b == c || a == c) return;
    // Orient by the field: the face normal must point the way the distance grows.
    const Vec pa = skullPositions[a], pb = skullPositions[b], pc = skullPositions[c];
    const Vec n = cross(pb - pa, pc - pa);
    if (dot(n, skullGradient((pa + pb + pc) * (1.0 / 3))) < 0) std::swap(b, c);
    mesh.triangles.push_back({a, b, c});
  };

  static const int cubeCorner[8][3] = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0},
                                       {0, 0, 1}, {1, 0, 1}, {1, 1, 1}, {0, 1, 1}};
  static const int tetrahedra[6][4] = {{0, 6, 1, 2}, {0, 6, 2, 3}, {0, 6, 3, 7},
                                       {0, 6, 7, 4}, {0, 6, 4, 5}, {0, 6, 5, 1}};
  for (int k = 0; k < nz; ++k) {
    for (int j = 0; j < ny; ++j) {
      for (int i = 0; i < nx; ++i) {
        long ids[8];
        for (int c = 0; c < 8; ++c) ids[c] = index(i + cubeCorner[c][0], j + cubeCorner[c][1], k + cubeCorner[c][2]);
        for (const auto& tet : tetrahedra) {
          std::vector<long> inside, outside;
          for (int c : tet) (field[ids[c]] < 0 ? inside : outside).push_back(ids[c]);
          if (inside.size() == 1) {
            emit(vertexOn(inside[0], outside[0]), vertexOn(inside[0], outside[1]), vertexOn(inside[0], outside[2]));
          } else if (inside.size() == 3) {
            emit(vertexOn(outside[0], inside[0]), vertexOn(outside[0], inside[1]), vertexOn(outside[0], inside[2]));
          } else if (inside.size() == 2) {
            const unsigned a = vertexOn(inside[0], outside[0]), b = vertexOn(inside[0], outside[1]);
            const unsigned c = vertexOn(inside[1], outside[1]), d = vertexOn(inside[1], outside[0]);
            emit(a, b, c);
            emit(a, c, d);
          }
        }
      }
    }
  }

  for (const Vec& p : skullPositions) {
    mesh.positions.push_back(toFile(p));
    mesh.normals.push_back(toFile(skullGradient(p)));
    // Spherical mapping around the skull's centre; v = 1 at the crown.
    const Vec d = normalized(p - Vec{0, -1, 0});
    mesh.uvs.push_back({static_cast<float>(0.5 + std::atan2(d.x, d.z) / (2 * kPi)),
                        static_cast<float>(0.5 + std::asin(std::clamp(d.y, -1.0, 1.0)) / kPi)});
  }
  return mesh;
}

BakedMesh buildDiamond() {
  const double girdle = 2.5, table = 0.55 * girdle;                // radii
  const double crownTop = 0.85, girdleLow = -0.12, culet = -2.15;  // heights along +z
  const int n = 16;
  std::vector<Vec> tableRing, upper, lower;
  for (int i = 0; i < n; ++i) {
    const double a = 2 * kPi * i / n;
    upper.push_back({girdle * std::cos(a), girdle * std::sin(a), 0.0});
    lower.push_back({girdle * std::cos(a), girdle * std::sin(a), girdleLow});
  }
  for (int i = 0; i < n / 2; ++i) {
    const double a = 2 * kPi * (i + 0.5) / (n / 2);
    tableRing.push_back({table * std::cos(a), table * std::sin(a), crownTop});
  }

  BakedMesh mesh;
  // Every facet gets its own vertices and its flat normal: a cut stone has sharp edges.
  auto facet = [&](Vec a, Vec b, Vec c) {
    Vec normal = normalized(cross(b - a, c - a));
    const Vec centroid = (a + b + c) * (1.0 / 3);
    if (dot(normal, centroid - Vec{0, 0, -0.3}) < 0) {  // the stone is convex: face outwards
      std::swap(b, c);
      normal = normal * -1.0;
    }
    for (const Vec& v : {a, b, c}) {
      const unsigned id = static_cast<unsigned>(mesh.positions.size());
      (void)id;
      mesh.positions.push_back({static_cast<float>(v.x), static_cast<float>(v.y), static_cast<float>(v.z)});
      mesh.normals.push_back(
          {static_cast<float>(normal.x), static_cast<float>(normal.y), static_cast<float>(normal.z)});
      mesh.uvs.push_back({static_cast<float>(0.5 + std::atan2(v.y, v.x) / (2 * kPi)),
                          static_cast<float>((v.z - culet) / (crownTop - culet))});
    }
    const unsigned base = static_cast<unsigned>(mesh.positions.size()) - 3;
    mesh.triangles.push_back({base, base + 1, base + 2});
  };

  const Vec tableCentre = {0, 0, crownTop};
  for (int i = 0; i < n / 2; ++i) facet(tableCentre, tableRing[i], tableRing[(i + 1) % (n / 2)]);
  for (int i = 0; i < n / 2; ++i) {
    const Vec t0 = tableRing[(i + n / 2 - 1) % (n / 2)], t1 = tableRing[i];
    // Around table corner i: a kite (two triangles) down to the girdle, and star facets.
    facet(t1, upper[2 * i + 1], upper[2 * i]);
    facet(t1, upper[(2 * i + 2) % n], upper[2 * i + 1]);
    facet(t0, t1, upper[2 * i]);
  }
  for (int i = 0; i < n; ++i) {
    const int j = (i + 1) % n;
    facet(upper[i], lower[i], lower[j]);
    facet(upper[i], lower[j], upper[j]);
    // Pavilion: the main facets meet at the culet; halfway down a ring of breaks adds sparkle.
    const Vec mid = (lower[i] + lower[j]) * 0.5 * 0.45 + Vec{0, 0, (girdleLow + culet) * 0.55};
    facet(lower[i], mid, lower[j]);
    facet(lower[i], Vec{0, 0, culet}, mid);
    facet(mid, Vec{0, 0, culet}, lower[j]);
  }
  return mesh;
}

bool writeObj(const std::string& path, const BakedMesh& mesh, const std::string& materialLibrary,
              const std::string& materialName) {
  std::FILE* file = std::fopen(path.c_str(), "w");
  if (!file) {
    std::cout << "kellvane-assets: could not write " << path << std::endl;
    return false;
  }
  std::fprintf(file, "# Kellvane, generated by kellvane-assets\n");
  if (!materialLibrary.empty()) std::fprintf(file, "mtllib %s\n", materialLibrary.c_str());
  for (const auto& p : mesh.positions) std::fprintf(file, "v %.3f %.3f %.3f\n", p[0], p[1], p[2]);
  for (const auto& t : mesh.uvs) std::fprintf(file, "vt %.4f %.4f\n", t[0], t[1]);
  for (const auto& n : mesh.normals) std::fprintf(file, "vn %.3f %.3f %.3f\n", n[0], n[1], n[2]);
  if (!materialName.empty()) std::fprintf(file, "usemtl %s\n", materialName.c_str());
  for (const auto& t : mesh.triangles) {
    std::fprintf(file, "f %u/%u/%u %u/%u/%u %u/%u/%u\n", t[0] + 1, t[0] + 1, t[0] + 1, t[1] + 1, t[1] + 1, t[1] + 1,
                 t[2] + 1, t[2] + 1, t[2] + 1);
  }
  const bool ok = std::fclose(file) == 0;
  if (!ok) std::cout << "kellvane-assets: could not write " << path << std::endl;
  return ok;
}
