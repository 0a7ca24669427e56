// The gl* entry points of our GL 1.1 subset: each works on the current
// context (gl11_state.h) and does nothing while none is current.
#include <emscripten.h>

#include <cmath>
#include <cstring>

#include "platform/webgl/gl11_state.h"

using webgl11::Context;

using webgl11::Current;

namespace {

// The ambient, diffuse or specular colour of a light or a material, or null
// for another name.
template <typename LightOrMaterial>
float* ColourOf(LightOrMaterial& record, GLenum pname) {
  if (pname == GL_AMBIENT) return record.ambient;
  if (pname == GL_DIFFUSE) return record.diffuse;
  if (pname == GL_SPECULAR) return record.specular;
  return nullptr;
}

}  // namespace

// ---- The GL entry points ----------------------------------------------------

extern "C" {

void glClearColor(GLclampf red, GLclampf green, GLclampf blue, GLclampf alpha) {
  if (Current() == nullptr) return;
  const float c[4] = {red, green, blue, alpha};
  for (int i = 0; i < 4; ++i) Current()->clearColor[i] = std::fmin(std::fmax(c[i], 0.0f), 1.0f);
}

void glClear(GLbitfield mask) {
  if (Current() == nullptr) return;
  const float* c = Current()->clearColor;
  hxgl_clear(Current()->driver, c[0], c[1], c[2], c[3], (mask & GL_COLOR_BUFFER_BIT) != 0,
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
  if (Current() != nullptr && (mode == GL_MODELVIEW || mode == GL_PROJECTION)) {
    Current()->matrixMode = mode;
  }
}

void glLoadIdentity(void) {
  if (Current() != nullptr) webgl11::Top(Current()) = webgl11::kIdentity;
}

void glPushMatrix(void) {
  if (Current() == nullptr) return;
  std::vector<webgl11::Matrix>* stack = webgl11::Stack(Current());
  const size_t depth =
      Current()->matrixMode == GL_PROJECTION ? webgl11::kProjectionDepth : webgl11::kModelviewDepth;
  if (stack->size() < depth) stack->push_back(stack->back());  // a full stack: the GL ignores it
}

void glPopMatrix(void) {
  if (Current() == nullptr) return;
  std::vector<webgl11::Matrix>* stack = webgl11::Stack(Current());
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
  if (Current() == nullptr) return;
  float* m = webgl11::Top(Current()).m;
  for (int i = 0; i < 4; ++i) m[12 + i] = m[i] * x + m[4 + i] * y + m[8 + i] * z + m[12 + i];
}

void glGetFloatv(GLenum pname, GLfloat* params) {
  if (Current() == nullptr || params == nullptr) return;
  if (pname == GL_MODELVIEW_MATRIX) {
    std::memcpy(params, Current()->modelview.back().m, 16 * sizeof(float));
  } else if (pname == GL_PROJECTION_MATRIX) {
    std::memcpy(params, Current()->projection.back().m, 16 * sizeof(float));
  }
}

void glLightfv(GLenum light, GLenum pname, const GLfloat* params) {
  if (Current() == nullptr || light < GL_LIGHT0 || light >= GL_LIGHT0 + webgl11::kLights) return;
  webgl11::Light& l = Current()->lights[light - GL_LIGHT0];
  if (pname == GL_POSITION) {
    webgl11::Transform(Current()->modelview.back(), params, l.position);
  } else if (float* colour = ColourOf(l, pname)) {
    webgl11::Copy4(colour, params);
  }  // spot and attenuation keep their defaults: not part of the subset
}

void glLightModeli(GLenum pname, GLint param) {
  if (Current() != nullptr && pname == GL_LIGHT_MODEL_TWO_SIDE) Current()->twoSide = param != 0;
}

void glMaterialfv(GLenum face, GLenum pname, const GLfloat* params) {
  if (Current() == nullptr || !webgl11::KnownFace(face)) return;
  for (int f = webgl11::FirstFace(face); f <= webgl11::LastFace(face); ++f) {
    webgl11::Material& m = Current()->materials[f];
    if (pname == GL_SHININESS) {
      if (params[0] >= 0.0f && params[0] <= 128.0f) m.shininess = params[0];
    } else if (float* colour = ColourOf(m, pname)) {
      webgl11::Copy4(colour, params);
    }
  }
}

void glMaterialf(GLenum face, GLenum pname, GLfloat param) {
  if (pname == GL_SHININESS) glMaterialfv(face, pname, &param);
}

void glFogi(GLenum pname, GLint param) {
  if (Current() == nullptr || pname != GL_FOG_MODE) return;
  if (param == GL_EXP || param == GL_EXP2) Current()->fogState.mode = param;
}

void glFogf(GLenum pname, GLfloat param) {
  if (Current() == nullptr) return;
  if (pname == GL_FOG_DENSITY && param >= 0.0f) Current()->fogState.density = param;
}

void glFogfv(GLenum pname, const GLfloat* params) {
  if (Current() == nullptr) return;
  if (pname == GL_FOG_COLOR) {
    for (int i = 0; i < 4; ++i)
      Current()->fogState.color[i] = std::fmin(std::fmax(params[i], 0.0f), 1.0f);
  } else {
    glFogf(pname, params[0]);
  }
}

void glPolygonMode(GLenum face, GLenum mode) {
  if (Current() == nullptr || !webgl11::KnownFace(face)) return;
  if (mode != GL_FILL && mode != GL_LINE) return;  // points are not part of the subset
  for (int f = webgl11::FirstFace(face); f <= webgl11::LastFace(face); ++f) {
    Current()->polygonMode[f] = mode;
  }
}

void glLineWidth(GLfloat width) {
  if (Current() != nullptr && width > 0.0f) Current()->lineWidth = width;
}

void glBegin(GLenum mode) {
  if (Current() == nullptr || Current()->inBegin || mode != GL_TRIANGLES) return;
  Current()->inBegin = true;
  Current()->batchStart = emscripten_get_now();
  Current()->batchUsed = 0;
}

void glNormal3f(GLfloat x, GLfloat y, GLfloat z) {
  if (Current() == nullptr) return;
  Current()->normal[0] = x;
  Current()->normal[1] = y;
  Current()->normal[2] = z;
}

void glVertex3f(GLfloat x, GLfloat y, GLfloat z) {
  webgl11::Context* c = Current();
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
  webgl11::Context* c = Current();
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
  if (Current() != nullptr && target == GL_TEXTURE_ENV && pname == GL_TEXTURE_ENV_MODE) {
    Current()->texture.envMode = param;
  }
}

void glTexParameteri(GLenum target, GLenum pname, GLint param) {
  if (Current() == nullptr || target != GL_TEXTURE_2D) return;
  static const GLenum kNames[] = {GL_TEXTURE_MIN_FILTER, GL_TEXTURE_MAG_FILTER, GL_TEXTURE_WRAP_S,
                                  GL_TEXTURE_WRAP_T};
  for (int i = 0; i < 4; ++i) {
    if (kNames[i] == pname) Current()->texture.parameters[i] = param;
  }
}

// The image is kept as given (rows padded to 4 bytes, the GL's default
// unpack alignment); it is never drawn with.
void glTexImage2D(GLenum target, GLint level, GLint internalFormat, GLsizei width, GLsizei height,
                  GLint border, GLenum format, GLenum type, const GLvoid* pixels) {
  if (Current() == nullptr || target != GL_TEXTURE_2D || level != 0 || border != 0) return;
  if (width < 0 || height < 0 || type != GL_UNSIGNED_BYTE) return;
  if (format != GL_RGBA && format != GL_RGB) return;
  const size_t row = (static_cast<size_t>(width) * (format == GL_RGBA ? 4 : 3) + 3) & ~size_t{3};
  Current()->texture.width = width;
  Current()->texture.height = height;
  Current()->texture.internalFormat = internalFormat;
  const unsigned char* bytes = static_cast<const unsigned char*>(pixels);
  if (bytes == nullptr) {
    Current()->texture.texels.assign(row * height, 0);
  } else {
    Current()->texture.texels.assign(bytes, bytes + row * height);
  }
}

}  // extern "C"
