// The GL 1.1 calls of the viewer, carried out over WebGL 2 (see gl11.h).
//
// State lives here, in the wasm. Matrices follow the GL's single-precision
// arithmetic. Lighting is the fixed-function model of OpenGL 1.1 evaluated
// per vertex in the vertex shader of library_webgl.js, from light and
// material products formed here once per batch. In line polygon mode each
// triangle's facing is decided here, as the GL decides it for the filled
// triangle, so that its edges take the front or the back colour.
#include "platform/webgl/gl11_state.h"

#include <GL/gl.h>
#include <emscripten.h>

#include <cmath>
#include <cstring>
#include <vector>

namespace webgl11 {

namespace {
Context* current = nullptr;
}  // namespace

Context* Current() {
  return current;
}

// P = A x B, column-major, each element summed in the GL's order.
Matrix Multiply(const Matrix& a, const Matrix& b) {
  Matrix p;
  for (int i = 0; i < 4; ++i) {
    const float ai0 = a.m[i], ai1 = a.m[4 + i], ai2 = a.m[8 + i], ai3 = a.m[12 + i];
    for (int j = 0; j < 4; ++j) {
      p.m[4 * j + i] =
          ai0 * b.m[4 * j] + ai1 * b.m[4 * j + 1] + ai2 * b.m[4 * j + 2] + ai3 * b.m[4 * j + 3];
    }
  }
  return p;
}

void Transform(const Matrix& a, const float v[4], float out[4]) {
  for (int i = 0; i < 4; ++i) {
    out[i] = a.m[i] * v[0] + a.m[4 + i] * v[1] + a.m[8 + i] * v[2] + a.m[12 + i] * v[3];
  }
}

std::vector<Matrix>* Stack(Context* c) {
  return c->matrixMode == GL_PROJECTION ? &c->projection : &c->modelview;
}

Matrix& Top(Context* c) {
  return Stack(c)->back();
}

void MultiplyCurrent(const Matrix& m) {
  if (current == nullptr) return;
  Matrix& top = Top(current);
  top = Multiply(top, m);
}

void Copy4(float* to, const float* from) {
  std::memcpy(to, from, 4 * sizeof(float));
}

namespace {

// Upper 3 x 3 of the inverse transpose of `m`, written into a 4 x 4: the
// cofactors over the determinant. A singular matrix gives the identity.
void NormalMatrix(const Matrix& m, float out[16]) {
  const float a = m.m[0], b = m.m[4], c = m.m[8];
  const float d = m.m[1], e = m.m[5], f = m.m[9];
  const float g = m.m[2], h = m.m[6], i = m.m[10];
  const float cof[9] = {e * i - f * h, f * g - d * i, d * h - e * g,   // row 0
                        c * h - b * i, a * i - c * g, b * g - a * h,   // row 1
                        b * f - c * e, c * d - a * f, a * e - b * d};  // row 2
  const float det = a * cof[0] + b * cof[1] + c * cof[2];
  std::memcpy(out, kIdentity.m, sizeof kIdentity.m);
  if (det == 0.0f || !std::isfinite(det)) return;
  // Inverse transpose = cofactor matrix / det; stored column-major.
  for (int row = 0; row < 3; ++row) {
    for (int col = 0; col < 3; ++col) out[4 * col + row] = cof[3 * row + col] / det;
  }
}

}  // namespace

void FillUniforms(Context* c) {
  DrawUniforms& u = c->uniforms;
  std::memset(&u, 0, sizeof u);
  std::memcpy(u.modelview, c->modelview.back().m, sizeof u.modelview);
  std::memcpy(u.projection, c->projection.back().m, sizeof u.projection);
  NormalMatrix(c->modelview.back(), u.normalMatrix);
  int count = 0;
  for (const Light& light : c->lights) {
    if (!light.enabled) continue;
    Copy4(u.lightPosition[count], light.position);
    for (int face = 0; face < 2; ++face) {
      const Material& m = c->materials[face];
      for (int k = 0; k < 4; ++k) {
        u.ambient[face][count][k] = m.ambient[k] * light.ambient[k];
        u.diffuse[face][count][k] = m.diffuse[k] * light.diffuse[k];
        u.specular[face][count][k] = m.specular[k] * light.specular[k];
      }
    }
    ++count;
  }
  for (int face = 0; face < 2; ++face) {
    const Material& m = c->materials[face];
    for (int k = 0; k < 3; ++k)
      u.sceneColor[face][k] = m.emission[k] + m.ambient[k] * c->modelAmbient[k];
    u.sceneColor[face][3] = m.diffuse[3];
    u.shininess[face] = m.shininess;
  }
  Copy4(u.currentColor, c->color);
  Copy4(u.fogColor, c->fogState.color);
  float mode = 0.0f;
  if (c->fog) mode = c->fogState.mode == GL_EXP ? 2.0f : 3.0f;
  u.fog[0] = mode;
  u.fog[1] = c->fogState.density;
  u.shading[0] = static_cast<float>(count);
  u.shading[1] = c->lighting ? 1.0f : 0.0f;
  u.shading[2] = c->twoSide ? 1.0f : 0.0f;
}

// The batch's triangles as their three edges, each vertex carrying the side
// that the filled triangle shows: counter-clockwise in window coordinates is
// the front.
void BuildEdges(Context* c, size_t triangles) {
  const Matrix clip = Multiply(c->projection.back(), c->modelview.back());
  c->edges.resize(triangles * 6 * kLineStride);
  float* out = c->edges.data();
  for (size_t t = 0; t < triangles; ++t) {
    const float* v = c->batch.data() + t * 3 * kFillStride;
    float x[3], y[3];
    for (int k = 0; k < 3; ++k) {
      const float p[4] = {v[k * kFillStride], v[k * kFillStride + 1], v[k * kFillStride + 2], 1.0f};
      float q[4];
      Transform(clip, p, q);
      x[k] = q[0] / q[3];
      y[k] = q[1] / q[3];
    }
    const float area = (x[1] - x[0]) * (y[2] - y[0]) - (x[2] - x[0]) * (y[1] - y[0]);
    const float side = area > 0.0f ? 1.0f : 0.0f;
    static const int kEdgeCorners[6] = {0, 1, 1, 2, 2, 0};
    for (int corner : kEdgeCorners) {
      std::memcpy(out, v + corner * kFillStride, kFillStride * sizeof(float));
      out[kFillStride] = side;
      out += kLineStride;
    }
  }
}

void SetEnabled(GLenum cap, bool on) {
  Context* c = current;
  if (c == nullptr) return;
  if (cap >= GL_LIGHT0 && cap < GL_LIGHT0 + kLights) {
    c->lights[cap - GL_LIGHT0].enabled = on;
    return;
  }
  static const struct {
    GLenum cap;
    bool Context::*flag;
  } kCapabilities[] = {{GL_LIGHTING, &Context::lighting},
                       {GL_FOG, &Context::fog},
                       {GL_DEPTH_TEST, &Context::depthTest},
                       {GL_TEXTURE_2D, &Context::texture2D},
                       {GL_CULL_FACE, &Context::cullFace}};
  for (const auto& known : kCapabilities) {
    if (known.cap == cap) c->*known.flag = on;
  }  // anything else is not part of the subset
}

// The material records that `face` names.
int FirstFace(GLenum face) {
  return face == GL_BACK ? 1 : 0;
}
int LastFace(GLenum face) {
  return face == GL_FRONT ? 0 : 1;
}
bool KnownFace(GLenum face) {
  return face == GL_FRONT || face == GL_BACK || face == GL_FRONT_AND_BACK;
}

// What a failed hxgl_create says, by its cause (library_webgl.js).
const char* SetUpFailure(int cause) {
  switch (cause) {
    case -1:
      return "the browser offers no WebGL 2 for the canvas";
    case -2:
      return "the drawing program's shaders do not compile (see the console)";
    case -3:
      return "the drawing program does not link (see the console)";
    case -4:
      return "the drawing framebuffer is incomplete (see the console)";
    default:
      return "the WebGL 2 set-up failed (see the console)";
  }
}

Context* CreateContext(int windowId, std::string* error) {
  const int driver = hxgl_create(windowId);
  if (driver <= 0) {
    *error = SetUpFailure(driver);
    return nullptr;
  }
  Context* c = new Context;
  c->driver = driver;
  // GL defaults: light 0 is white, the others black; all point down -z.
  for (int n = 0; n < kLights; ++n) {
    Light& light = c->lights[n];
    const float level = n == 0 ? 1.0f : 0.0f;
    const float ambient[4] = {0.0f, 0.0f, 0.0f, 1.0f};
    const float colour[4] = {level, level, level, 1.0f};
    const float position[4] = {0.0f, 0.0f, 1.0f, 0.0f};
    Copy4(light.ambient, ambient);
    Copy4(light.diffuse, colour);
    Copy4(light.specular, colour);
    Copy4(light.position, position);
  }
  return c;
}

void DeleteContext(Context* context) {
  if (context == nullptr) return;
  if (current == context) current = nullptr;
  hxgl_delete(context->driver);
  delete context;
}

void MakeCurrent(Context* context) {
  current = context;
}

void Present(Context* context) {
  if (context != nullptr) hxgl_present(context->driver);
}

}  // namespace webgl11
