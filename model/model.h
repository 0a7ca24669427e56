// The one model compiled into the program: a two-strip helicoid.
#pragma once

#include <stdint.h>

struct MeshFace {
  int32_t vertexIndex[3];    // corners 0, 1, 2 into the vertex array
  int32_t normalIndex[3];    // corners 0, 1, 2 into the normal array
  int32_t texCoordIndex[3];  // -1: none
};

struct ModelMeshRecord {
  const char* name;
  const MeshFace* faces;
  int32_t faceCount;
  const float* vertices;  // x, y, z per vertex
  int32_t vertexCount;
  const float* normals;  // x, y, z per normal
  int32_t normalCount;
  const void* texCoords;
  int32_t texCoordCount;
};

// The mesh record and the integer that follows it in the model's data.
struct ModelDataBlock {
  ModelMeshRecord mesh;
  int32_t trailer;
};

extern const ModelDataBlock ModelData;
extern const ModelMeshRecord& ModelMesh;  // ModelData.mesh
