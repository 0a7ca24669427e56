// helicoid-model-gen: carries out the construction of the helicoid ahead of time and
// writes the model's constant arrays as C++ source (model/model_data.cpp).
//
// Usage: helicoid-model-gen [output-file]   (no argument: standard output)
//
// The output depends on nothing but this program: every number is formatted with
// "%.6f" (correctly rounded from the double) and held as the nearest float, so the
// file is the same on every run.

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <tuple>
#include <vector>

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr int kLevels = 50;  // k = 0 .. 49
constexpr int kRadii = 10;   // j = 0 .. 9

// A coordinate: the six-decimal text and the float it stands for.
struct Coord {
  std::string text;  // "-1.260433", "0.000000" (never "-0.000000")
  float value;
};

// Rounds to six decimals; a zero is held as +0.0.
Coord RoundSix(double x) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.6f", x);
  Coord c;
  c.text = buf;
  if (c.text == "-0.000000") c.text = "0.000000";
  c.value = std::strtof(c.text.c_str(), nullptr);
  if (c.value == 0.0f) {
    c.value = 0.0f;
    c.text = "0.000000";
  }
  return c;
}

Coord Negate(const Coord& c) {
  if (c.value == 0.0f) return c;
  Coord n;
  n.text = c.text[0] == '-' ? c.text.substr(1) : "-" + c.text;
  n.value = -c.value;
  return n;
}

struct Point {
  Coord x, y, z;
};

using Vec = Point;  // normals have the same form

Point GridPoint(int k, double s) {
  const double t = k * 5.0 * kPi / 49.0;
  return {RoundSix(-s * std::sin(t)), RoundSix(t), RoundSix(s * std::cos(t))};
}

// The unit vector along (q - p) x (r - p), from the stored corners, in double.
Vec UnitNormal(const Point& p, const Point& q, const Point& r) {
  const double ux = double(q.x.value) - double(p.x.value);
  const double uy = double(q.y.value) - double(p.y.value);
  const double uz = double(q.z.value) - double(p.z.value);
  const double vx = double(r.x.value) - double(p.x.value);
  const double vy = double(r.y.value) - double(p.y.value);
  const double vz = double(r.z.value) - double(p.z.value);
  const double cx = uy * vz - uz * vy;
  const double cy = uz * vx - ux * vz;
  const double cz = ux * vy - uy * vx;
  const double len = std::sqrt(cx * cx + cy * cy + cz * cz);
  if (!(len > 0.0)) {
    std::fprintf(stderr, "helicoid-model-gen: degenerate triangle\n");
    std::exit(1);
  }
  return {RoundSix(cx / len), RoundSix(cy / len), RoundSix(cz / len)};
}

Vec NegateVec(const Vec& n) {
  return {Negate(n.x), Negate(n.y), Negate(n.z)};
}

uint32_t Bits(float f) {
  uint32_t u;
  std::memcpy(&u, &f, sizeof u);
  return u;
}

struct Mesh {
  std::vector<Point> vertices;
  std::vector<Vec> normals;
  std::vector<int> faceNormal;  // one normal entry per face
  std::map<std::tuple<uint32_t, uint32_t, uint32_t>, int> normalIndex;

  // Coinciding normals (equal floats) share the entry of their first use.
  int NormalEntry(const Vec& n) {
    const auto key = std::make_tuple(Bits(n.x.value), Bits(n.y.value), Bits(n.z.value));
    const auto it = normalIndex.find(key);
    if (it != normalIndex.end()) return it->second;
    const int index = int(normals.size());
    normals.push_back(n);
    normalIndex.emplace(key, index);
    return index;
  }

  void AddFace(const Point& c0, const Point& c1, const Point& c2, const Vec& n) {
    vertices.push_back(c0);
    vertices.push_back(c1);
    vertices.push_back(c2);
    faceNormal.push_back(NormalEntry(n));
  }

  // One triangle (p, q, r) becomes four faces: itself, a filler, the reversed
  // copy and a filler.
  void AddTriangle(const Point& p, const Point& q, const Point& r) {
    const Vec zero = {RoundSix(0.0), RoundSix(0.0), RoundSix(0.0)};
    const Vec n = UnitNormal(p, q, r);
    AddFace(p, q, r, n);
    AddFace(p, r, p, zero);
    AddFace(r, q, p, NegateVec(n));
    AddFace(p, r, p, zero);
  }
};

Mesh Build() {
  Mesh mesh;
  const double firstRadius[2] = {4.0, -8.0};  // strip 1, strip 2
  for (double s0 : firstRadius) {
    Point grid[kLevels][kRadii];
    for (int k = 0; k < kLevels; ++k)
      for (int j = 0; j < kRadii; ++j) grid[k][j] = GridPoint(k, s0 + 4.0 * j / 9.0);
    for (int k = kLevels - 2; k >= 0; --k) {
      for (int j = 0; j < kRadii - 1; ++j) {
        const Point& a = grid[k][j];
        const Point& b = grid[k + 1][j];
        const Point& c = grid[k][j + 1];
        const Point& d = grid[k + 1][j + 1];
        mesh.AddTriangle(a, d, b);
        mesh.AddTriangle(c, d, a);
      }
    }
  }
  return mesh;
}

std::string F(const Coord& c) {
  return c.text + "f";
}

void Write(const Mesh& mesh, std::FILE* out) {
  const int faceCount = int(mesh.faceNormal.size());
  const int vertexCount = int(mesh.vertices.size());
  const int normalCount = int(mesh.normals.size());

  std::fprintf(out,
               "// The two-strip helicoid as constant data: %d faces, %d vertices, %d normals.\n"
               "// Generated by helicoid-model-gen (model/generate_model.cpp). Do not edit.\n"
               "// clang-format off\n"
               "\n"
               "#include \"model/model.h\"\n"
               "\n"
               "namespace {\n"
               "\n",
               faceCount, vertexCount, normalCount);

  std::fprintf(out, "// Corners of every face, face after face (x, y, z per corner).\n");
  std::fprintf(out, "constexpr float kVertices[%d * 3] = {\n", vertexCount);
  for (int f = 0; f < faceCount; ++f) {
    std::string line = " ";
    for (int c = 0; c < 3; ++c) {
      const Point& p = mesh.vertices[3 * f + c];
      line += " " + F(p.x) + ", " + F(p.y) + ", " + F(p.z) + ",";
    }
    std::fprintf(out, "%s\n", line.c_str());
  }
  std::fprintf(out, "};\n\n");

  std::fprintf(out, "// Normals in the order of first use; entry 1 is the zero vector.\n");
  std::fprintf(out, "constexpr float kNormals[%d * 3] = {\n", normalCount);
  for (const Vec& n : mesh.normals)
    std::fprintf(out, "  %s, %s, %s,\n", F(n.x).c_str(), F(n.y).c_str(), F(n.z).c_str());
  std::fprintf(out, "};\n\n");

  std::fprintf(out, "// vertexIndex, normalIndex, texCoordIndex.\n");
  std::fprintf(out, "constexpr MeshFace kFaces[%d] = {\n", faceCount);
  for (int f = 0; f < faceCount; ++f) {
    const int n = mesh.faceNormal[f];
    std::fprintf(out, "  {{%d, %d, %d}, {%d, %d, %d}, {-1, -1, -1}},\n", 3 * f, 3 * f + 1,
                 3 * f + 2, n, n, n);
  }
  std::fprintf(out, "};\n\n");

  std::fprintf(out,
               "}  // namespace\n"
               "\n"
               "// The mesh record, and directly after it the integer 1, which nothing reads.\n"
               "constexpr ModelDataBlock ModelData = {\n"
               "    {\"0_0\", kFaces, %d, kVertices, %d, kNormals, %d, nullptr, 0},\n"
               "    1,\n"
               "};\n"
               "\n"
               "constexpr const ModelMeshRecord& ModelMesh = ModelData.mesh;\n",
               faceCount, vertexCount, normalCount);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 2) {
    std::fprintf(stderr, "usage: helicoid-model-gen [output-file]\n");
    return 2;
  }
  const Mesh mesh = Build();
  std::FILE* out = argc == 2 ? std::fopen(argv[1], "wb") : stdout;
  if (!out) {
    std::perror(argv[1]);
    return 1;
  }
  Write(mesh, out);
  const bool failed = std::ferror(out) != 0;
  if (argc == 2 && std::fclose(out) != 0) return 1;
  if (failed) return 1;
  std::fprintf(stderr, "helicoid-model-gen: %zu faces, %zu vertices, %zu normals\n",
               mesh.faceNormal.size(), mesh.vertices.size(), mesh.normals.size());
  return 0;
}
