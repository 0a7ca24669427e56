// The geometry of the model: windings, orientation of the strips, bounding box,
// symmetries and the fit in the view.

#include <algorithm>
#include <cmath>
#include <functional>
#include <map>
#include <set>
#include <vector>

#include <gtest/gtest.h>

#include "tests/model/mesh_access.h"

namespace {

using namespace model_test;

constexpr double kPi = 3.14159265358979323846;
constexpr double kTop = 5 * kPi;  // the centre of the box is (0, 5*pi/2, 0)

TEST(ModelWinding, EveryRealFaceAgreesWithItsNormal) {
  int agree = 0;
  for (int f = 0; f < ModelMesh.faceCount; f += 2) {
    const auto cross = Cross(Corner(f, 0), Corner(f, 1), Corner(f, 2));
    const Vec3 n = FaceNormal(f);
    EXPECT_GT(Dot(cross, n), 0.0) << "face " << f;
    agree += Dot(cross, n) > 0.0;
    // The stored normal is the unit cross product of the stored corners, to the
    // 1.4e-6 the Part grants.
    const double len = Length(cross);
    for (int c = 0; c < 3; ++c) EXPECT_NEAR(n[c], cross[c] / len, 1.4e-6) << "face " << f;
  }
  EXPECT_EQ(agree, 3528);
}

TEST(ModelWinding, Strip1FirstCopiesFaceDownStrip2FirstCopiesFaceUp) {
  for (int f = 0; f < ModelMesh.faceCount; f += 4) {
    const float first = FaceNormal(f)[1], reversed = FaceNormal(f + 2)[1];
    if (StripOf(f) == 1) {
      EXPECT_LT(first, 0.0f) << "face " << f;
      EXPECT_GT(reversed, 0.0f) << "face " << f + 2;
    } else {
      EXPECT_GT(first, 0.0f) << "face " << f;
      EXPECT_LT(reversed, 0.0f) << "face " << f + 2;
    }
  }
}

TEST(ModelShape, BoundingBox) {
  Vec3 lo = Vertex(0), hi = Vertex(0);
  for (int v = 1; v < ModelMesh.vertexCount; ++v)
    for (int c = 0; c < 3; ++c) {
      lo[c] = std::min(lo[c], Vertex(v)[c]);
      hi[c] = std::max(hi[c], Vertex(v)[c]);
    }
  EXPECT_EQ(lo[0], -7.995890f);
  EXPECT_EQ(hi[0], 7.995890f);
  EXPECT_EQ(lo[1], 0.0f);
  EXPECT_EQ(hi[1], 15.707963f);
  EXPECT_EQ(lo[2], -8.0f);
  EXPECT_EQ(hi[2], 8.0f);
  const double height = double(hi[1]) - lo[1], width = double(hi[0]) - lo[0];
  EXPECT_NEAR(height / width, 0.98, 0.005);
  EXPECT_NEAR((double(lo[1]) + hi[1]) / 2, kTop / 2, 1e-6);
}

// The positions of one strip, or of both (strip 0).
std::vector<Vec3> Positions(int strip) {
  std::map<std::tuple<uint32_t, uint32_t, uint32_t>, Vec3> unique;
  for (int v = 0; v < ModelMesh.vertexCount; ++v)
    if (strip == 0 || StripOf(v / 3) == strip) unique.emplace(Key(Vertex(v)), Vertex(v));
  std::vector<Vec3> out;
  for (const auto& kv : unique) out.push_back(kv.second);
  return out;
}

// The index of the one position of `set` within `tolerance` of p in every coordinate,
// or -1 when there is none or more than one.
int MatchOf(const std::vector<Vec3>& set, const std::array<double, 3>& p, double tolerance) {
  int found = -1;
  for (int i = 0; i < int(set.size()); ++i) {
    if (std::fabs(set[i][0] - p[0]) <= tolerance && std::fabs(set[i][1] - p[1]) <= tolerance &&
        std::fabs(set[i][2] - p[2]) <= tolerance) {
      if (found >= 0) return -1;
      found = i;
    }
  }
  return found;
}

using HalfTurn = std::function<std::array<double, 3>(const Vec3&)>;

// The positions are six-place decimals held as floats, and 5*pi - y is not one: a
// mapped position may miss its image by a unit in the sixth place plus the float's
// spacing (about 1e-6 at 16); the nearest other position is more than 0.3 away.
constexpr double kTolerance = 2.5e-6;

// Each half turn maps `from` one to one onto `to`.
void ExpectMapsOnto(const HalfTurn& turn, const std::vector<Vec3>& from,
                    const std::vector<Vec3>& to) {
  ASSERT_EQ(from.size(), to.size());
  std::set<int> images;
  for (const Vec3& p : from) {
    const int i = MatchOf(to, turn(p), kTolerance);
    ASSERT_GE(i, 0) << "no image of (" << p[0] << ", " << p[1] << ", " << p[2] << ")";
    images.insert(i);
  }
  EXPECT_EQ(images.size(), to.size());
}

TEST(ModelShape, HalfTurnAboutTheVerticalAxisExchangesTheStrips) {
  const HalfTurn aboutY = [](const Vec3& p) {
    return std::array<double, 3>{-double(p[0]), double(p[1]), -double(p[2])};
  };
  ExpectMapsOnto(aboutY, Positions(0), Positions(0));
  ExpectMapsOnto(aboutY, Positions(1), Positions(2));
  ExpectMapsOnto(aboutY, Positions(2), Positions(1));
}

TEST(ModelShape, HalfTurnAboutTheXParallelLineMapsEachStripOntoItself) {
  const HalfTurn aboutX = [](const Vec3& p) {
    return std::array<double, 3>{double(p[0]), kTop - p[1], -double(p[2])};
  };
  ExpectMapsOnto(aboutX, Positions(0), Positions(0));
  ExpectMapsOnto(aboutX, Positions(1), Positions(1));
  ExpectMapsOnto(aboutX, Positions(2), Positions(2));
}

// The half turn about the z-parallel line is the product of the other two; since
// the one about y exchanges the strips and the one about x keeps them, this one
// exchanges them too.
TEST(ModelShape, HalfTurnAboutTheZParallelLineExchangesTheStrips) {
  const HalfTurn aboutZ = [](const Vec3& p) {
    return std::array<double, 3>{-double(p[0]), kTop - p[1], double(p[2])};
  };
  ExpectMapsOnto(aboutZ, Positions(0), Positions(0));
  ExpectMapsOnto(aboutZ, Positions(1), Positions(2));
  ExpectMapsOnto(aboutZ, Positions(2), Positions(1));
}

TEST(ModelShape, NoMirrorSymmetryInTheCoordinatePlanesThroughTheCentre) {
  const std::vector<Vec3> all = Positions(0);
  const std::vector<HalfTurn> mirrors = {
      [](const Vec3& p) {
        return std::array<double, 3>{-double(p[0]), p[1], p[2]};
      },
      [](const Vec3& p) {
        return std::array<double, 3>{p[0], kTop - p[1], p[2]};
      },
      [](const Vec3& p) {
        return std::array<double, 3>{p[0], p[1], -double(p[2])};
      },
  };
  for (const HalfTurn& mirror : mirrors) {
    int matched = 0;
    for (const Vec3& p : all) matched += MatchOf(all, mirror(p), kTolerance) >= 0;
    EXPECT_LT(matched, int(all.size()));
  }
}

TEST(ModelShape, EveryVertexLiesOnTheHelicoidFourToEightFromTheAxis) {
  for (int v = 0; v < ModelMesh.vertexCount; ++v) {
    const Vec3 p = Vertex(v);
    const double radius = std::hypot(double(p[0]), double(p[2]));
    EXPECT_GE(radius, 4.0 - 1e-6) << "vertex " << v;
    EXPECT_LE(radius, 8.0 + 1e-6) << "vertex " << v;
    // P(t, s) = (-s sin t, t, s cos t): the angle of the point equals its height,
    // modulo a half turn (s < 0). The rounded height moves the angle by up to 1e-6
    // radians, up to 8e-6 at radius 8.
    const double s = StripOf(v / 3) == 1 ? radius : -radius;
    EXPECT_NEAR(-s * std::sin(double(p[1])), p[0], 2e-5) << "vertex " << v;
    EXPECT_NEAR(s * std::cos(double(p[1])), p[2], 2e-5) << "vertex " << v;
  }
}

TEST(ModelPlacement, EveryVertexLiesBetween4AndRoot145FromTheTurningPoint) {
  double nearest = 1e9, farthest = 0;
  for (int v = 0; v < ModelMesh.vertexCount; ++v) {
    const Vec3 p = Vertex(v);
    const double d =
        std::sqrt(double(p[0]) * p[0] + (p[1] - 9.0) * (p[1] - 9.0) + double(p[2]) * p[2]);
    nearest = std::min(nearest, d);
    farthest = std::max(farthest, d);
  }
  EXPECT_GE(nearest, 4.0);
  EXPECT_LE(farthest, std::sqrt(145.0) + 1e-5);
  // Inside the orthographic view volume in every orientation.
  EXPECT_LT(farthest, 15.0);
}

}  // namespace
