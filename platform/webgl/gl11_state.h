// Inside our GL 1.1 subset: the state of a context and what its two files
// share. gl11.cpp holds contexts, matrices, the uniforms of a batch and the
// edges of line mode; gl11_calls.cpp the gl* entry points.
#pragma once

#include <GL/gl.h>

#include <cstddef>
#include <vector>

#include "platform/webgl/gl11.h"

// The WebGL side, in library_webgl.js.
extern "C" {
// A handle, or below 0 the cause of the failure: -1 no WebGL 2, -2 a shader
// does not compile, -3 the program does not link, -4 the framebuffer is
// incomplete.
int hxgl_create(int windowId);
void hxgl_delete(int driver);
void hxgl_clear(int driver, float red, float green, float blue, float alpha, int color, int depth);
void hxgl_draw(int driver, const float* vertices, int vertexCount, int lines, const void* uniforms,
               int uniformBytes, int depthTest, double batchStart);
void hxgl_present(int driver);
}

namespace webgl11 {

inline constexpr int kLights = 8;
inline constexpr int kModelviewDepth = 32;
inline constexpr int kProjectionDepth = 2;
// Floats per vertex: position and normal; line vertices add the side of
// their triangle (1 front, 0 back).
inline constexpr int kFillStride = 6;
inline constexpr int kLineStride = 7;

struct Matrix {
  float m[16];
};

inline const Matrix kIdentity = {{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}};

struct Light {
  bool enabled;
  float ambient[4];
  float diffuse[4];
  float specular[4];
  float position[4];  // eye coordinates, as transformed when it was set
};

struct Material {
  float ambient[4] = {0.2f, 0.2f, 0.2f, 1.0f};
  float diffuse[4] = {0.8f, 0.8f, 0.8f, 1.0f};
  float specular[4] = {0.0f, 0.0f, 0.0f, 1.0f};
  float emission[4] = {0.0f, 0.0f, 0.0f, 1.0f};  // the GL's default; the viewer sets none
  float shininess = 0.0f;
};

// The uniform block of the drawing program (std140: every member is a
// vec4 or an array of them).
struct alignas(16) DrawUniforms {
  float modelview[16];
  float projection[16];
  float normalMatrix[16];     // upper 3 x 3: inverse transpose of the modelview's
  float lightPosition[8][4];  // the enabled lights, packed
  float ambient[2][8][4];     // products of material and light, front then back
  float diffuse[2][8][4];
  float specular[2][8][4];
  float sceneColor[2][4];  // emission + ambient x model ambient; alpha: diffuse alpha
  float currentColor[4];   // used while lighting is off
  float fogColor[4];
  float fog[4];        // mode (0 off, 2 exp, 3 exp2), density
  float shading[4];    // light count, lighting on, two-sided
  float shininess[4];  // front, back
};

struct Context {
  int driver = 0;
  GLenum matrixMode = GL_MODELVIEW;
  std::vector<Matrix> modelview{kIdentity};  // back() is the current matrix
  std::vector<Matrix> projection{kIdentity};

  Light lights[kLights] = {};
  Material materials[2];  // front, back
  float modelAmbient[4] = {0.2f, 0.2f, 0.2f, 1.0f};
  bool twoSide = false, lighting = false, fog = false;
  bool depthTest = false, texture2D = false, cullFace = false;

  struct Fog {
    GLenum mode = GL_EXP;
    float density = 1.0f;
    float color[4] = {0.0f, 0.0f, 0.0f, 0.0f};
  } fogState;
  float clearColor[4] = {0.0f, 0.0f, 0.0f, 0.0f};
  GLenum polygonMode[2] = {GL_FILL, GL_FILL};
  float lineWidth = 1.0f;
  float color[4] = {1.0f, 1.0f, 1.0f, 1.0f};
  float normal[3] = {0.0f, 0.0f, 1.0f};

  // Texture state is kept and never drawn with.
  struct Texture {
    GLint envMode = GL_MODULATE;
    // GL_TEXTURE_MIN_FILTER, _MAG_FILTER, _WRAP_S, _WRAP_T.
    GLint parameters[4] = {GL_NEAREST_MIPMAP_LINEAR, GL_LINEAR, GL_REPEAT, GL_REPEAT};
    int width = 0, height = 0;
    GLint internalFormat = 0;
    std::vector<unsigned char> texels;
  } texture;

  // Immediate mode: position and normal of every vertex since glBegin.
  bool inBegin = false;
  double batchStart = 0.0;
  std::vector<float> batch;
  size_t batchUsed = 0;
  std::vector<float> edges;  // the batch's triangles as lines, in line mode
  DrawUniforms uniforms;
};

// The current context, or null.
Context* Current();

// P = A x B, column-major, each element summed in the GL's order.
Matrix Multiply(const Matrix& a, const Matrix& b);
void Transform(const Matrix& a, const float v[4], float out[4]);
// The stack that glMatrixMode chose, and its top.
std::vector<Matrix>* Stack(Context* c);
Matrix& Top(Context* c);
// Multiplies the current context's current matrix by `m` from the right.
void MultiplyCurrent(const Matrix& m);
void Copy4(float* to, const float* from);
// The uniform block of the batch about to be drawn.
void FillUniforms(Context* c);
// The batch's `triangles` as lines, each vertex with the side the filled
// triangle shows.
void BuildEdges(Context* c, size_t triangles);
void SetEnabled(GLenum cap, bool on);
// The material records that `face` names, and whether it names any.
int FirstFace(GLenum face);
int LastFace(GLenum face);
bool KnownFace(GLenum face);

}  // namespace webgl11
