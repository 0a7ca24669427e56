// The order of the faces (first copy, filler, reversed copy, filler) and the known
// faces at the start of each strip and at the end of the mesh.

#include <gtest/gtest.h>

#include "tests/model/mesh_access.h"

namespace {

using namespace model_test;

// Exact equality of positions, telling +0.0 from -0.0.
void ExpectPosition(const Vec3& actual, float x, float y, float z) {
  EXPECT_EQ(Bits(actual[0]), Bits(x)) << actual[0] << " != " << x;
  EXPECT_EQ(Bits(actual[1]), Bits(y)) << actual[1] << " != " << y;
  EXPECT_EQ(Bits(actual[2]), Bits(z)) << actual[2] << " != " << z;
}

// Normal values: the Part allows a difference in the last place.
void ExpectNormal(const Vec3& actual, float x, float y, float z) {
  EXPECT_NEAR(actual[0], x, 1.5e-6);
  EXPECT_NEAR(actual[1], y, 1.5e-6);
  EXPECT_NEAR(actual[2], z, 1.5e-6);
}

void ExpectIndices(int face, int v0, int n) {
  for (int j = 0; j < 3; ++j) {
    EXPECT_EQ(Face(face).vertexIndex[j], v0 + j);
    EXPECT_EQ(Face(face).normalIndex[j], n);
    EXPECT_EQ(Face(face).texCoordIndex[j], -1);
  }
}

TEST(ModelEdgeFaces, Face0IsTheFirstTriangleOfStrip1) {
  ExpectIndices(0, 0, 0);
  ExpectPosition(Corner(0, 0), -1.260433f, 15.387393f, -3.796223f);
  ExpectPosition(Corner(0, 1), 0.0f, 15.707963f, -4.444444f);
  ExpectPosition(Corner(0, 2), 0.0f, 15.707963f, -4.0f);
  ExpectNormal(Normal(0), 0.246486f, -0.969146f, 0.0f);
  EXPECT_EQ(Bits(Normal(0)[2]), 0u) << "+0.0";
}

TEST(ModelEdgeFaces, Face1IsTheFirstFiller) {
  ExpectIndices(1, 3, 1);
  ExpectPosition(Corner(1, 0), -1.260433f, 15.387393f, -3.796223f);
  ExpectPosition(Corner(1, 1), 0.0f, 15.707963f, -4.0f);
  ExpectPosition(Corner(1, 2), -1.260433f, 15.387393f, -3.796223f);
  ExpectPosition(Normal(1), 0.0f, 0.0f, 0.0f);
}

TEST(ModelEdgeFaces, Face2IsFace0Reversed) {
  ExpectIndices(2, 6, 2);
  for (int j = 0; j < 3; ++j)
    ExpectPosition(Corner(2, j), Corner(0, 2 - j)[0], Corner(0, 2 - j)[1], Corner(0, 2 - j)[2]);
  ExpectNormal(Normal(2), -0.246486f, 0.969146f, 0.0f);
  EXPECT_EQ(Bits(Normal(2)[2]), 0u) << "+0.0";
}

TEST(ModelEdgeFaces, Face3528IsTheFirstTriangleOfStrip2) {
  for (int j = 0; j < 3; ++j) {
    EXPECT_EQ(Face(3528).vertexIndex[j], 3 * 3528 + j);
    EXPECT_EQ(Face(3528).texCoordIndex[j], -1);
  }
  ExpectPosition(Corner(3528, 0), 2.520866f, 15.387393f, 7.592446f);
  ExpectPosition(Corner(3528, 1), 0.0f, 15.707963f, 7.555556f);
  ExpectPosition(Corner(3528, 2), 0.0f, 15.707963f, 8.0f);
  ExpectNormal(FaceNormal(3528), 0.126151f, 0.992011f, 0.0f);
}

TEST(ModelEdgeFaces, Face7055IsAFillerAtHeightZero) {
  ExpectIndices(7055, 21165, 1);
  ExpectPosition(Corner(7055, 0), 0.0f, 0.0f, -4.0f);
  ExpectPosition(Corner(7055, 1), 0.0f, 0.0f, -4.444444f);
  ExpectPosition(Corner(7055, 2), 0.0f, 0.0f, -4.0f);
}

// Faces 4m .. 4m+3: (p, q, r)/n, (p, r, p)/zero, (r, q, p)/-n, (p, r, p)/zero.
TEST(ModelFaceOrder, FirstCopyFillerReversedCopyFiller) {
  ASSERT_EQ(ModelMesh.faceCount % 4, 0);
  for (int f = 0; f < ModelMesh.faceCount; f += 4) {
    const Vec3 p = Corner(f, 0), q = Corner(f, 1), r = Corner(f, 2);
    for (int filler : {f + 1, f + 3}) {
      EXPECT_EQ(Key(Corner(filler, 0)), Key(p)) << "face " << filler;
      EXPECT_EQ(Key(Corner(filler, 1)), Key(r)) << "face " << filler;
      EXPECT_EQ(Key(Corner(filler, 2)), Key(p)) << "face " << filler;
      EXPECT_EQ(Face(filler).normalIndex[0], 1) << "face " << filler;
    }
    EXPECT_EQ(Key(Corner(f + 2, 0)), Key(r)) << "face " << f + 2;
    EXPECT_EQ(Key(Corner(f + 2, 1)), Key(q)) << "face " << f + 2;
    EXPECT_EQ(Key(Corner(f + 2, 2)), Key(p)) << "face " << f + 2;

    const Vec3 n = FaceNormal(f), m = FaceNormal(f + 2);
    EXPECT_NE(Face(f).normalIndex[0], 1) << "face " << f;
    for (int c = 0; c < 3; ++c) {
      const float negated = n[c] == 0.0f ? 0.0f : -n[c];  // zero stays +0.0
      EXPECT_EQ(Bits(m[c]), Bits(negated)) << "face " << f + 2 << " component " << c;
    }
    if (::testing::Test::HasFailure()) return;  // one broken group is enough
  }
}

TEST(ModelFaceOrder, OddFacesAreTheOnlyFillers) {
  int fillers = 0, real = 0;
  for (int f = 0; f < ModelMesh.faceCount; ++f) {
    const bool zeroArea = Length(Cross(Corner(f, 0), Corner(f, 1), Corner(f, 2))) == 0.0;
    EXPECT_EQ(zeroArea, f % 2 == 1) << "face " << f;
    EXPECT_EQ(Face(f).normalIndex[0] == 1, f % 2 == 1) << "face " << f;
    (f % 2 ? fillers : real) += 1;
  }
  EXPECT_EQ(fillers, 3528);
  EXPECT_EQ(real, 3528);
}

}  // namespace
