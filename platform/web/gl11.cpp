// The GL 1.1 calls of the viewer, carried out over WebGL 2 (see gl11.h).
//
// State lives here, in the wasm. Matrices follow the GL's single-precision
// arithmetic. Lighting is the fixed-function model of OpenGL 1.1 evaluated
// per vertex in the vertex shader of library_webgl.js, from light and
// material products formed here once per batch. In line polygon mode each
// triangle's facing is decided here, as the GL decides it for the filled
// triangle, so that its edges take the front or the back colour.
#include "platform/web/gl11.h"

#include <GL/gl.h>
#include <emscripten.h>

#include <cmath>
#include <cstring>
#include <vector>

// The WebGL side, in library_webgl.js.
extern "C" {
int hxgl_create(int windowId);
void hxgl_delete(int driver);
void hxgl_clear(int driver, float red, float green, float blue, float alpha, int color, int depth);
void hxgl_draw(int driver, const float* vertices, int vertexCount, int lines, const void* uniforms,
               int uniformBytes, int depthTest, double batchStart);
void hxgl_present(int driver);
}

namespace webgl11 {

namespace {

constexpr int kLights = 8;
constexpr int kModelviewDepth = 32;
constexpr int kProjectionDepth = 2;
// Floats per vertex: position and normal; line vertices add the side of
// their triangle (1 front, 0 back).
constexpr int kFillStride = 6;
constexpr int kLineStride = 7;

struct Matrix {
  float m[16];
};

const Matrix kIdentity = {{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}};

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
  float emission[4] = {0.0f, 0.0f, 0.0f, 1.0f};
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
  float fog[4];        // mode (0 off, 1 linear, 2 exp, 3 exp2), density, start, end
  float shading[4];    // light count, lighting on, two-sided
  float shininess[4];  // front, back
};

}  // namespace

struct Context {
  int driver = 0;
  GLenum matrixMode = GL_MODELVIEW;
  std::vector<Matrix> modelview{kIdentity};  // back() is the current matrix
  std::vector<Matrix> projection{kIdentity};

  Light lights[kLights] = {};
  Material materials[2];  // front, back
  float modelAmbient[4] = {0.2f, 0.2f, 0.2f, 1.0f};
  bool twoSide = false;
  bool lighting = false;
  bool fog = false;
  bool depthTest = false;
  bool texture2D = false;
  bool cullFace = false;

  GLenum fogMode = GL_EXP;
  float fogDensity = 1.0f;
  float fogStart = 0.0f;
  float fogEnd = 1.0f;
  float fogColor[4] = {0.0f, 0.0f, 0.0f, 0.0f};
  float clearColor[4] = {0.0f, 0.0f, 0.0f, 0.0f};
  GLenum polygonMode[2] = {GL_FILL, GL_FILL};
  float lineWidth = 1.0f;
  float color[4] = {1.0f, 1.0f, 1.0f, 1.0f};
  float normal[3] = {0.0f, 0.0f, 1.0f};

  // Texture state is kept and never drawn with.
  GLint textureEnvMode = GL_MODULATE;
  GLint minFilter = GL_NEAREST_MIPMAP_LINEAR;
  GLint magFilter = GL_LINEAR;
  GLint wrapS = GL_REPEAT;
  GLint wrapT = GL_REPEAT;
  int textureWidth = 0;
  int textureHeight = 0;
  GLint textureInternalFormat = 0;
  std::vector<unsigned char> texels;

  // Immediate mode: position and normal of every vertex since glBegin.
  bool inBegin = false;
  double batchStart = 0.0;
  std::vector<float> batch;
  size_t batchUsed = 0;
  std::vector<float> edges;  // the batch's triangles as lines, in line mode
  DrawUniforms uniforms;
};

namespace {

Context* current = nullptr;

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
  Copy4(u.fogColor, c->fogColor);
  float mode = 0.0f;
  if (c->fog) mode = c->fogMode == GL_LINEAR ? 1.0f : c->fogMode == GL_EXP ? 2.0f : 3.0f;
  u.fog[0] = mode;
  u.fog[1] = c->fogDensity;
  u.fog[2] = c->fogStart;
  u.fog[3] = c->fogEnd;
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
  switch (cap) {
    case GL_LIGHTING:
      c->lighting = on;
      break;
    case GL_FOG:
      c->fog = on;
      break;
    case GL_DEPTH_TEST:
      c->depthTest = on;
      break;
    case GL_TEXTURE_2D:
      c->texture2D = on;
      break;
    case GL_CULL_FACE:
      c->cullFace = on;
      break;
    default:
      break;  // not part of the subset
  }
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

}  // namespace

Context* CreateContext(int windowId, std::string* error) {
  const int driver = hxgl_create(windowId);
  if (driver == 0) {
    *error = "the browser offers no WebGL 2 for the canvas (see the console)";
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

using webgl11::current;

// ---- The GL entry points ----------------------------------------------------

extern "C" {

void glClearColor(GLclampf red, GLclampf green, GLclampf blue, GLclampf alpha) {
  if (current == nullptr) return;
  const float c[4] = {red, green, blue, alpha};
  for (int i = 0; i < 4; ++i) current->clearColor[i] = std::fmin(std::fmax(c[i], 0.0f), 1.0f);
}

void glClear(GLbitfield mask) {
  if (current == nullptr) return;
  const float* c = current->clearColor;
  hxgl_clear(current->driver, c[0], c[1], c[2], c[3], (mask & GL_COLOR_BUFFER_BIT) != 0,
             (mask & GL_DEPTH_BUFFER_BIT) != 0);
}

void glEnable(GLenum cap) {
  webgl11::SetEnabled(cap, true);
}

void glDisable(GLenum cap) {
  webgl11::SetEnabled(cap, false);
}

void glFlush(void) {}

void glMatrixMode(GLenum mode) {
  if (current != nullptr && (mode == GL_MODELVIEW || mode == GL_PROJECTION)) {
    current->matrixMode = mode;
  }
}

void glLoadIdentity(void) {
  if (current != nullptr) webgl11::Top(current) = webgl11::kIdentity;
}

void glPushMatrix(void) {
  if (current == nullptr) return;
  std::vector<webgl11::Matrix>* stack = webgl11::Stack(current);
  const size_t depth =
      current->matrixMode == GL_PROJECTION ? webgl11::kProjectionDepth : webgl11::kModelviewDepth;
  if (stack->size() < depth) stack->push_back(stack->back());  // a full stack: the GL ignores it
}

void glPopMatrix(void) {
  if (current == nullptr) return;
  std::vector<webgl11::Matrix>* stack = webgl11::Stack(current);
  if (stack->size() > 1) stack->pop_back();  // the last matrix cannot be popped
}

void glMultMatrixf(const GLfloat* m) {
  webgl11::Matrix matrix;
  std::memcpy(matrix.m, m, sizeof matrix.m);
  webgl11::MultiplyCurrent(matrix);
}

void glOrtho(GLdouble left, GLdouble right, GLdouble bottom, GLdouble top, GLdouble zNear,
             GLdouble zFar) {
  const float l = static_cast<float>(left), r = static_cast<float>(right);
  const float b = static_cast<float>(bottom), t = static_cast<float>(top);
  const float n = static_cast<float>(zNear), f = static_cast<float>(zFar);
  if (l == r || b == t || n == f) return;  // the GL refuses these
  webgl11::Matrix m = webgl11::kIdentity;
  m.m[0] = 2.0f / (r - l);
  m.m[12] = -(r + l) / (r - l);
  m.m[5] = 2.0f / (t - b);
  m.m[13] = -(t + b) / (t - b);
  m.m[10] = -2.0f / (f - n);
  m.m[14] = -(f + n) / (f - n);
  webgl11::MultiplyCurrent(m);
}

void glRotatef(GLfloat angle, GLfloat x, GLfloat y, GLfloat z) {
  const float length = std::sqrt(x * x + y * y + z * z);
  if (!(length > 1.0e-4f)) return;  // no axis: no rotation
  x /= length;
  y /= length;
  z /= length;
  const float s = static_cast<float>(std::sin(angle * M_PI / 180.0));
  const float c = static_cast<float>(std::cos(angle * M_PI / 180.0));
  const float oneC = 1.0f - c;
  webgl11::Matrix m = webgl11::kIdentity;
  // Element (row, column) is m[4 * column + row].
  m.m[0] = oneC * x * x + c;
  m.m[4] = oneC * x * y - z * s;
  m.m[8] = oneC * z * x + y * s;
  m.m[1] = oneC * x * y + z * s;
  m.m[5] = oneC * y * y + c;
  m.m[9] = oneC * y * z - x * s;
  m.m[2] = oneC * z * x - y * s;
  m.m[6] = oneC * y * z + x * s;
  m.m[10] = oneC * z * z + c;
  webgl11::MultiplyCurrent(m);
}

void glTranslatef(GLfloat x, GLfloat y, GLfloat z) {
  if (current == nullptr) return;
  float* m = webgl11::Top(current).m;
  for (int i = 0; i < 4; ++i) m[12 + i] = m[i] * x + m[4 + i] * y + m[8 + i] * z + m[12 + i];
}

void glGetFloatv(GLenum pname, GLfloat* params) {
  if (current == nullptr || params == nullptr) return;
  if (pname == GL_MODELVIEW_MATRIX) {
    std::memcpy(params, current->modelview.back().m, 16 * sizeof(float));
  } else if (pname == GL_PROJECTION_MATRIX) {
    std::memcpy(params, current->projection.back().m, 16 * sizeof(float));
  }
}

void glLightfv(GLenum light, GLenum pname, const GLfloat* params) {
  if (current == nullptr || light < GL_LIGHT0 || light >= GL_LIGHT0 + webgl11::kLights) return;
  webgl11::Light& l = current->lights[light - GL_LIGHT0];
  switch (pname) {
    case GL_POSITION:
      webgl11::Transform(current->modelview.back(), params, l.position);
      break;
    case GL_AMBIENT:
      webgl11::Copy4(l.ambient, params);
      break;
    case GL_DIFFUSE:
      webgl11::Copy4(l.diffuse, params);
      break;
    case GL_SPECULAR:
      webgl11::Copy4(l.specular, params);
      break;
    default:
      break;  // spot and attenuation keep their defaults: not part of the subset
  }
}

void glLightModeli(GLenum pname, GLint param) {
  if (current != nullptr && pname == GL_LIGHT_MODEL_TWO_SIDE) current->twoSide = param != 0;
}

void glMaterialfv(GLenum face, GLenum pname, const GLfloat* params) {
  if (current == nullptr || !webgl11::KnownFace(face)) return;
  for (int f = webgl11::FirstFace(face); f <= webgl11::LastFace(face); ++f) {
    webgl11::Material& m = current->materials[f];
    switch (pname) {
      case GL_AMBIENT:
        webgl11::Copy4(m.ambient, params);
        break;
      case GL_DIFFUSE:
        webgl11::Copy4(m.diffuse, params);
        break;
      case GL_AMBIENT_AND_DIFFUSE:
        webgl11::Copy4(m.ambient, params);
        webgl11::Copy4(m.diffuse, params);
        break;
      case GL_SPECULAR:
        webgl11::Copy4(m.specular, params);
        break;
      case GL_EMISSION:
        webgl11::Copy4(m.emission, params);
        break;
      case GL_SHININESS:
        if (params[0] >= 0.0f && params[0] <= 128.0f) m.shininess = params[0];
        break;
      default:
        break;
    }
  }
}

void glMaterialf(GLenum face, GLenum pname, GLfloat param) {
  if (pname == GL_SHININESS) glMaterialfv(face, pname, &param);
}

void glFogi(GLenum pname, GLint param) {
  if (current == nullptr || pname != GL_FOG_MODE) return;
  if (param == GL_LINEAR || param == GL_EXP || param == GL_EXP2) current->fogMode = param;
}

void glFogf(GLenum pname, GLfloat param) {
  if (current == nullptr) return;
  if (pname == GL_FOG_DENSITY && param >= 0.0f) current->fogDensity = param;
  if (pname == GL_FOG_START) current->fogStart = param;
  if (pname == GL_FOG_END) current->fogEnd = param;
}

void glFogfv(GLenum pname, const GLfloat* params) {
  if (current == nullptr) return;
  if (pname == GL_FOG_COLOR) {
    for (int i = 0; i < 4; ++i) current->fogColor[i] = std::fmin(std::fmax(params[i], 0.0f), 1.0f);
  } else {
    glFogf(pname, params[0]);
  }
}

void glPolygonMode(GLenum face, GLenum mode) {
  if (current == nullptr || !webgl11::KnownFace(face)) return;
  if (mode != GL_FILL && mode != GL_LINE) return;  // points are not part of the subset
  for (int f = webgl11::FirstFace(face); f <= webgl11::LastFace(face); ++f) {
    current->polygonMode[f] = mode;
  }
}

void glLineWidth(GLfloat width) {
  if (current != nullptr && width > 0.0f) current->lineWidth = width;
}

void glBegin(GLenum mode) {
  if (current == nullptr || current->inBegin || mode != GL_TRIANGLES) return;
  current->inBegin = true;
  current->batchStart = emscripten_get_now();
  current->batchUsed = 0;
}

void glNormal3f(GLfloat x, GLfloat y, GLfloat z) {
  if (current == nullptr) return;
  current->normal[0] = x;
  current->normal[1] = y;
  current->normal[2] = z;
}

void glVertex3f(GLfloat x, GLfloat y, GLfloat z) {
  webgl11::Context* c = current;
  if (c == nullptr || !c->inBegin) return;
  if (c->batchUsed + webgl11::kFillStride > c->batch.size()) {
    c->batch.resize(c->batch.empty() ? 6 * 4096 : 2 * c->batch.size());
  }
  float* v = c->batch.data() + c->batchUsed;
  v[0] = x;
  v[1] = y;
  v[2] = z;
  v[3] = c->normal[0];
  v[4] = c->normal[1];
  v[5] = c->normal[2];
  c->batchUsed += webgl11::kFillStride;
}

void glEnd(void) {
  webgl11::Context* c = current;
  if (c == nullptr || !c->inBegin) return;
  c->inBegin = false;
  // An unfinished last triangle is dropped, as the GL drops it.
  const size_t triangles = c->batchUsed / (3 * webgl11::kFillStride);
  if (triangles == 0) return;
  webgl11::FillUniforms(c);
  const bool lines = c->polygonMode[0] == GL_LINE;
  if (lines) {
    webgl11::BuildEdges(c, triangles);
    hxgl_draw(c->driver, c->edges.data(), static_cast<int>(triangles * 6), 1, &c->uniforms,
              sizeof c->uniforms, c->depthTest, c->batchStart);
  } else {
    hxgl_draw(c->driver, c->batch.data(), static_cast<int>(triangles * 3), 0, &c->uniforms,
              sizeof c->uniforms, c->depthTest, c->batchStart);
  }
}

void glTexEnvi(GLenum target, GLenum pname, GLint param) {
  if (current != nullptr && target == GL_TEXTURE_ENV && pname == GL_TEXTURE_ENV_MODE) {
    current->textureEnvMode = param;
  }
}

void glTexParameteri(GLenum target, GLenum pname, GLint param) {
  if (current == nullptr || target != GL_TEXTURE_2D) return;
  switch (pname) {
    case GL_TEXTURE_MIN_FILTER:
      current->minFilter = param;
      break;
    case GL_TEXTURE_MAG_FILTER:
      current->magFilter = param;
      break;
    case GL_TEXTURE_WRAP_S:
      current->wrapS = param;
      break;
    case GL_TEXTURE_WRAP_T:
      current->wrapT = param;
      break;
    default:
      break;
  }
}

// The image is kept as given (rows padded to 4 bytes, the GL's default
// unpack alignment); it is never drawn with.
void glTexImage2D(GLenum target, GLint level, GLint internalFormat, GLsizei width, GLsizei height,
                  GLint border, GLenum format, GLenum type, const GLvoid* pixels) {
  if (current == nullptr || target != GL_TEXTURE_2D || level != 0 || border != 0) return;
  if (width < 0 || height < 0 || type != GL_UNSIGNED_BYTE) return;
  if (format != GL_RGBA && format != GL_RGB) return;
  const size_t row = (static_cast<size_t>(width) * (format == GL_RGBA ? 4 : 3) + 3) & ~size_t{3};
  current->textureWidth = width;
  current->textureHeight = height;
  current->textureInternalFormat = internalFormat;
  const unsigned char* bytes = static_cast<const unsigned char*>(pixels);
  if (bytes == nullptr) {
    current->texels.assign(row * height, 0);
  } else {
    current->texels.assign(bytes, bytes + row * height);
  }
}

}  // extern "C"
