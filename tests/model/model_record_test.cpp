// The mesh record, its sizes and the six invariants of the mesh, over the whole mesh.

#include <cmath>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <type_traits>

#include <gtest/gtest.h>

#include "tests/model/mesh_access.h"

namespace {

using namespace model_test;

// The record layout: fields in order, 32-bit counts.
static_assert(std::is_standard_layout<ModelMeshRecord>::value, "plain record");
static_assert(offsetof(ModelMeshRecord, name) < offsetof(ModelMeshRecord, faces), "order");
static_assert(offsetof(ModelMeshRecord, faces) < offsetof(ModelMeshRecord, faceCount), "order");
static_assert(offsetof(ModelMeshRecord, faceCount) < offsetof(ModelMeshRecord, vertices), "order");
static_assert(offsetof(ModelMeshRecord, vertices) < offsetof(ModelMeshRecord, vertexCount),
              "order");
static_assert(offsetof(ModelMeshRecord, vertexCount) < offsetof(ModelMeshRecord, normals), "order");
static_assert(offsetof(ModelMeshRecord, normals) < offsetof(ModelMeshRecord, normalCount), "order");
static_assert(offsetof(ModelMeshRecord, normalCount) < offsetof(ModelMeshRecord, texCoords),
              "order");
static_assert(offsetof(ModelMeshRecord, texCoords) < offsetof(ModelMeshRecord, texCoordCount),
              "order");
static_assert(sizeof(MeshFace) == 9 * sizeof(int32_t), "nine 32-bit integers");
static_assert(offsetof(MeshFace, normalIndex) == 3 * sizeof(int32_t), "order");
static_assert(offsetof(MeshFace, texCoordIndex) == 6 * sizeof(int32_t), "order");
static_assert(offsetof(ModelDataBlock, trailer) == sizeof(ModelMeshRecord),
              "the trailing integer follows the record directly");

TEST(ModelRecord, FieldsHoldTheModel) {
  EXPECT_EQ(&ModelMesh, &ModelData.mesh);
  ASSERT_NE(ModelMesh.name, nullptr);
  EXPECT_STREQ(ModelMesh.name, "0_0");
  EXPECT_NE(ModelMesh.faces, nullptr);
  EXPECT_NE(ModelMesh.vertices, nullptr);
  EXPECT_NE(ModelMesh.normals, nullptr);
  EXPECT_EQ(ModelMesh.texCoords, nullptr);
  EXPECT_EQ(ModelMesh.texCoordCount, 0);
  EXPECT_EQ(ModelData.trailer, 1);
}

TEST(ModelRecord, Counts) {
  EXPECT_EQ(ModelMesh.faceCount, 7056);
  EXPECT_EQ(ModelMesh.vertexCount, 21168);
  EXPECT_EQ(ModelMesh.vertexCount, 3 * ModelMesh.faceCount);
  // normalCount is the generator's choice of sharing; only its lower limit is fixed:
  // the zero vector plus at least one entry per direction used.
  EXPECT_GE(ModelMesh.normalCount, 3);
}

TEST(ModelInvariants, IndicesInBounds) {  // invariant 1
  int maxVertex = -1, maxNormal = -1;
  for (int i = 0; i < ModelMesh.faceCount; ++i) {
    for (int j = 0; j < 3; ++j) {
      const int v = Face(i).vertexIndex[j], n = Face(i).normalIndex[j];
      ASSERT_GE(v, 0) << "face " << i;
      ASSERT_LT(v, ModelMesh.vertexCount) << "face " << i;
      ASSERT_GE(n, 0) << "face " << i;
      ASSERT_LT(n, ModelMesh.normalCount) << "face " << i;
      if (v > maxVertex) maxVertex = v;
      if (n > maxNormal) maxNormal = n;
    }
  }
  EXPECT_EQ(maxVertex, 21167);
  EXPECT_EQ(maxNormal, ModelMesh.normalCount - 1) << "every normal entry is used";
}

TEST(ModelInvariants, NoTextureCoordinates) {  // invariant 2
  int minusOnes = 0;
  for (int i = 0; i < ModelMesh.faceCount; ++i)
    for (int j = 0; j < 3; ++j) {
      EXPECT_EQ(Face(i).texCoordIndex[j], -1) << "face " << i;
      minusOnes += Face(i).texCoordIndex[j] == -1;
    }
  EXPECT_EQ(minusOnes, 21168);
}

TEST(ModelInvariants, FacesOwnTheirVertices) {  // invariant 3
  for (int i = 0; i < ModelMesh.faceCount; ++i)
    for (int j = 0; j < 3; ++j) ASSERT_EQ(Face(i).vertexIndex[j], 3 * i + j) << "face " << i;
}

TEST(ModelInvariants, OneNormalPerFace) {  // invariant 4
  for (int i = 0; i < ModelMesh.faceCount; ++i) {
    ASSERT_EQ(Face(i).normalIndex[1], Face(i).normalIndex[0]) << "face " << i;
    ASSERT_EQ(Face(i).normalIndex[2], Face(i).normalIndex[0]) << "face " << i;
  }
}

TEST(ModelInvariants, UnitNormalsAndZeroAtEntryOne) {  // invariant 5
  ASSERT_GE(ModelMesh.normalCount, 2);
  const Vec3 zero = Normal(1);
  EXPECT_EQ(Bits(zero[0]), 0u);
  EXPECT_EQ(Bits(zero[1]), 0u);
  EXPECT_EQ(Bits(zero[2]), 0u);
  for (int i = 0; i < ModelMesh.normalCount; ++i) {
    if (i == 1) continue;
    const Vec3 n = Normal(i);
    const double len = std::sqrt(double(n[0]) * n[0] + double(n[1]) * n[1] + double(n[2]) * n[2]);
    EXPECT_NEAR(len, 1.0, 1e-6) << "normal " << i;
  }
}

// x is the nearest float to a decimal with six places, and a zero is +0.0.
::testing::AssertionResult SixDecimals(float x) {
  char text[64];
  std::snprintf(text, sizeof text, "%.6f", double(x));
  if (std::strtof(text, nullptr) != x)
    return ::testing::AssertionFailure() << x << " is not the float of a six-place decimal";
  if (x == 0.0f && std::signbit(x)) return ::testing::AssertionFailure() << "-0.0";
  return ::testing::AssertionSuccess();
}

TEST(ModelInvariants, CoordinatesAreSixPlaceDecimals) {  // invariant 6
  for (int i = 0; i < 3 * ModelMesh.vertexCount; ++i)
    ASSERT_TRUE(SixDecimals(ModelMesh.vertices[i])) << "vertex float " << i;
  for (int i = 0; i < 3 * ModelMesh.normalCount; ++i)
    ASSERT_TRUE(SixDecimals(ModelMesh.normals[i])) << "normal float " << i;
}

TEST(ModelPositions, ThousandDistinctFiveHundredPerStripNoneShared) {
  std::set<std::tuple<uint32_t, uint32_t, uint32_t>> all, strip[2];
  for (int v = 0; v < ModelMesh.vertexCount; ++v) {
    all.insert(Key(Vertex(v)));
    strip[StripOf(v / 3) - 1].insert(Key(Vertex(v)));
  }
  EXPECT_EQ(all.size(), 1000u);
  EXPECT_EQ(strip[0].size(), 500u);
  EXPECT_EQ(strip[1].size(), 500u);
  for (const auto& p : strip[0]) EXPECT_EQ(strip[1].count(p), 0u);
}

TEST(ModelNormals, EveryEntryIsUsedAndEntriesComeInFirstUseOrder) {
  int next = 0;  // the entry a face may use for the first time
  for (int i = 0; i < ModelMesh.faceCount; ++i) {
    const int n = Face(i).normalIndex[0];
    ASSERT_LE(n, next) << "face " << i << " skips an entry";
    if (n == next) ++next;
  }
  EXPECT_EQ(next, ModelMesh.normalCount);
}

}  // namespace
