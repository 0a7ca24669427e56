// What a frame draws, presents and leaves behind, on the real model.
#include "platform/win32.h"
#include <GL/gl.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "records/app_state.h"
#include "model/model.h"
#include "scene/scene.h"
#include "tests/scene/gl_context.h"
#include "trackball/trackball.h"

namespace {

const Rgb kGrey = {38, 38, 38};       // 0.15
const Rgb kFogClear = {128, 64, 64};  // (0.5, 0.25, 0.25)
const Rgb kFogColor = {102, 102, 128};

// Where the unrotated model lands on the 864-pixel square: x from -8 to 8 and
// y from -9 to 5 pi - 9, at 864 / 30 pixels per unit, rows counted from the top.
struct Box {
  int left, top, right, bottom;  // inclusive
};
const double kPixelsPerUnit = 864.0 / 30.0;
const Box kModelBox = {int((15 - 8) * kPixelsPerUnit), int((15 - (5 * M_PI - 9)) * kPixelsPerUnit),
                       int((15 + 8) * kPixelsPerUnit), int((15 + 9) * kPixelsPerUnit)};

struct Picture {
  int modelPixels = 0;  // pixels that are not background
  int outsideBox = 0;   // ... of them outside the model's box
  int blackPixels = 0;  // ... of them black: an unlit model
  int fogPixels = 0;    // ... of them within reach of the fog colour
};

Picture Analyse(const std::vector<unsigned char>& pixels, int size, const Rgb& background) {
  Picture picture;
  const int margin = 2;
  for (int y = 0; y < size; ++y) {
    for (int x = 0; x < size; ++x) {
      const Rgb p = PixelAt(pixels, size, x, y);
      if (Near(p, background, 2)) continue;
      ++picture.modelPixels;
      if (x < kModelBox.left - margin || x > kModelBox.right + margin ||
          y < kModelBox.top - margin || y > kModelBox.bottom + margin) {
        ++picture.outsideBox;
      }
      if (p[0] < 8 && p[1] < 8 && p[2] < 8) ++picture.blackPixels;
      if (Near(p, kFogColor, 12)) ++picture.fogPixels;
    }
  }
  return picture;
}

int BoxArea() {
  return (kModelBox.right - kModelBox.left + 1) * (kModelBox.bottom - kModelBox.top + 1);
}

// The rotation of angleDegrees about axis (any length), in double precision.
void RotationAbout(double angleDegrees, const double axis[3], double out[16]) {
  const double length = std::sqrt(axis[0] * axis[0] + axis[1] * axis[1] + axis[2] * axis[2]);
  const double u[3] = {axis[0] / length, axis[1] / length, axis[2] / length};
  const double a = angleDegrees * M_PI / 180.0, c = std::cos(a), s = std::sin(a);
  const double cross[3][3] = {{0, -u[2], u[1]}, {u[2], 0, -u[0]}, {-u[1], u[0], 0}};
  for (int i = 0; i < 16; ++i) out[i] = 0;
  for (int r = 0; r < 3; ++r) {
    for (int col = 0; col < 3; ++col) {
      out[4 * col + r] = (r == col ? c : 0.0) + s * cross[r][col] + (1 - c) * u[r] * u[col];
    }
  }
  out[15] = 1;
}

void Multiply(const double a[16], const double b[16], double out[16]) {
  for (int r = 0; r < 4; ++r) {
    for (int c = 0; c < 4; ++c) {
      double sum = 0;
      for (int k = 0; k < 4; ++k) sum += a[4 * k + r] * b[4 * c + k];
      out[4 * c + r] = sum;
    }
  }
}

class Frame : public SceneGL {
 protected:
  void SetUp() override {
    SceneGL::SetUp();
    InitScene();
  }

  Picture Draw(const Rgb& background) {
    RenderFrame();
    return Analyse(Pixels(), kSize, background);
  }

  void SetRotation(const double m[16]) {
    for (int i = 0; i < 16; ++i) TrackballState.modelRotation[i] = float(m[i]);
  }
};

TEST_F(Frame, BackgroundIsGreyWithoutFogAndRedWithFog) {
  const Picture plain = Draw(kGrey);
  std::vector<unsigned char> pixels = Pixels();
  EXPECT_TRUE(Near(PixelAt(pixels, kSize, 0, 0), kGrey, 1));
  EXPECT_TRUE(Near(PixelAt(pixels, kSize, kSize - 1, kSize - 1), kGrey, 1));
  EXPECT_FALSE(glIsEnabled(GL_FOG));

  DisplayOptions.fogOn = 1;
  const Picture fogged = Draw(kFogClear);
  pixels = Pixels();
  EXPECT_TRUE(Near(PixelAt(pixels, kSize, 0, 0), kFogClear, 1));
  EXPECT_TRUE(Near(PixelAt(pixels, kSize, kSize - 1, 0), kFogClear, 1));
  EXPECT_TRUE(glIsEnabled(GL_FOG));
  // The same model, its parts far from the view's middle plane fogged.
  EXPECT_EQ(fogged.modelPixels, plain.modelPixels);
  EXPECT_LT(plain.fogPixels, plain.modelPixels / 100);
  EXPECT_GT(fogged.fogPixels, fogged.modelPixels / 10);

  DisplayOptions.fogOn = 0;
  Draw(kGrey);
  EXPECT_TRUE(Near(PixelAt(Pixels(), kSize, 0, 0), kGrey, 1));
  EXPECT_FALSE(glIsEnabled(GL_FOG));
}

TEST_F(Frame, LitModelFillsItsProjection) {
  const Picture picture = Draw(kGrey);
  EXPECT_EQ(Presents.count, 1);
  // The strips cover about 30 % of their bounding box in this view.
  EXPECT_GT(picture.modelPixels, BoxArea() / 4);
  EXPECT_EQ(picture.outsideBox, 0);
  EXPECT_LT(picture.blackPixels, picture.modelPixels / 100);
}

TEST_F(Frame, WireframeDrawsOutlinesUntilSwitchedOff) {
  const Picture filled = Draw(kGrey);
  DisplayOptions.wireframe = 1;
  const Picture outlines = Draw(kGrey);
  // The mesh is dense (cells of about 9 x 13 pixels, seen partly edge-on), so
  // its outlines still cover about two thirds of the filled area.
  EXPECT_GT(outlines.modelPixels, filled.modelPixels / 3);
  EXPECT_LT(outlines.modelPixels, filled.modelPixels * 3 / 4);
  EXPECT_EQ(outlines.outsideBox, 0);
  EXPECT_LT(outlines.blackPixels, outlines.modelPixels / 100);

  // Every frame ends in fill mode, so the next plain frame is filled again.
  DisplayOptions.wireframe = 0;
  const Picture again = Draw(kGrey);
  EXPECT_EQ(again.modelPixels, filled.modelPixels);
}

TEST_F(Frame, LeavesTheDocumentedStateAndMaterialsBehind) {
  // Enter with a non-trivial modelview and a deeper stack than set-up leaves.
  glPushMatrix();
  glTranslatef(1.0f, 2.0f, 3.0f);
  float entry[16];
  glGetFloatv(GL_MODELVIEW_MATRIX, entry);
  TrackballState.isRotating = 1;

  for (int fog = 0; fog <= 1; ++fog) {
    SCOPED_TRACE(fog);
    DisplayOptions.fogOn = fog;
    DisplayOptions.wireframe = 1;
    RenderFrame();
    EXPECT_FALSE(glIsEnabled(GL_LIGHTING));
    EXPECT_FALSE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_FALSE(glIsEnabled(GL_CULL_FACE));
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
    EXPECT_TRUE(glIsEnabled(GL_LIGHT2));
    EXPECT_EQ(bool(glIsEnabled(GL_FOG)), bool(fog));
    GLint polygonMode[2] = {0, 0};
    glGetIntegerv(GL_POLYGON_MODE, polygonMode);
    EXPECT_EQ(polygonMode[0], GL_FILL);
    EXPECT_EQ(polygonMode[1], GL_FILL);
    GLint depth = 0, matrixMode = 0;
    glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depth);
    glGetIntegerv(GL_MATRIX_MODE, &matrixMode);
    EXPECT_EQ(depth, 2);
    EXPECT_EQ(matrixMode, GL_MODELVIEW);
    float after[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, after);
    EXPECT_EQ(std::memcmp(after, entry, sizeof entry), 0);
  }

  // The materials of the two faces, and the two-sided lighting they rely on.
  const struct {
    GLenum face, parameter;
    float value[4];
  } materials[] = {{GL_FRONT, GL_AMBIENT, {0.05f, 0.05f, 0.05f, 1}},
                   {GL_FRONT, GL_DIFFUSE, {0.7f, 0.3f, 0.4f, 0.6f}},
                   {GL_FRONT, GL_SPECULAR, {0.23f, 0.23f, 0.25f, 1}},
                   {GL_FRONT, GL_SHININESS, {40}},
                   {GL_BACK, GL_AMBIENT, {0.05f, 0.05f, 0.05f, 1}},
                   {GL_BACK, GL_DIFFUSE, {0.2f, 0.5f, 0.3f, 0.6f}},
                   {GL_BACK, GL_SPECULAR, {0.23f, 0.23f, 0.25f, 1}},
                   {GL_BACK, GL_SHININESS, {40}}};
  for (const auto& m : materials) {
    SCOPED_TRACE(testing::Message() << "face " << m.face << ", parameter " << m.parameter);
    float value[4] = {};
    glGetMaterialfv(m.face, m.parameter, value);
    const int count = m.parameter == GL_SHININESS ? 1 : 4;
    for (int i = 0; i < count; ++i) EXPECT_EQ(value[i], m.value[i]);
  }
  GLint twoSided = 0;
  glGetIntegerv(GL_LIGHT_MODEL_TWO_SIDE, &twoSided);
  EXPECT_EQ(twoSided, 1);
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(Frame, EveryFrameTurnsByTheStepFromTheLeft) {
  const double startAxis[3] = {1, 2, -0.5};
  double expected[16];
  RotationAbout(40, startAxis, expected);
  SetRotation(expected);
  // An axis of no particular length: the GL normalises it.
  TrackballState.isRotating = 1;
  TrackballState.stepAngle = 12.5f;
  TrackballState.stepAxis[0] = 0.3f;
  TrackballState.stepAxis[1] = -2.0f;
  TrackballState.stepAxis[2] = 0.9f;
  const double stepAxis[3] = {0.3f, -2.0f, 0.9f};
  double step[16];
  RotationAbout(12.5, stepAxis, step);

  for (int frame = 1; frame <= 3; ++frame) {
    SCOPED_TRACE(frame);
    RenderFrame();
    double next[16];
    Multiply(step, expected, next);
    std::memcpy(expected, next, sizeof next);
    for (int i = 0; i < 16; ++i) {
      EXPECT_NEAR(TrackballState.modelRotation[i], expected[i], 1e-6) << "element " << i;
    }
  }
}

// No frame changes the rotation unless a real step is in force: not while
// isRotating is 0, nor for a step of no angle, about no axis, or not finite.
TEST_F(Frame, RotationHoldsWithoutARealStep) {
  const double axis[3] = {-0.2, 1, 0.7};
  double start[16];
  RotationAbout(75, axis, start);
  SetRotation(start);
  float before[16];
  std::memcpy(before, TrackballState.modelRotation, sizeof before);

  TrackballState.stepAngle = 5.0f;  // pending, but not in force
  for (int i = 0; i < 3; ++i) RenderFrame();
  EXPECT_EQ(std::memcmp(TrackballState.modelRotation, before, sizeof before), 0);

  TrackballState.isRotating = 1;
  const struct {
    float angle;
    float axis[3];
  } steps[] = {{0.0f, {0.3f, 0.2f, 0.4f}},
               {2.0f, {0.0f, 0.0f, 0.0f}},
               {0.0f, {0.0f, 0.0f, 0.0f}},
               {2.0f, {1e-30f, 0.0f, -1e-30f}},
               {NAN, {0.3f, 0.2f, 0.4f}}};
  for (const auto& step : steps) {
    SCOPED_TRACE(testing::Message() << step.angle << " about " << step.axis[0]);
    TrackballState.stepAngle = step.angle;
    std::memcpy(TrackballState.stepAxis, step.axis, sizeof step.axis);
    RenderFrame();
    EXPECT_EQ(std::memcmp(TrackballState.modelRotation, before, sizeof before), 0);
  }
  EXPECT_EQ(Presents.count, 8);
  GLint depth = 0;
  glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depth);
  EXPECT_EQ(depth, 1);
}

ModelMeshRecord gEmptyMesh;

TEST_F(Frame, EmptyMeshStillClearsAndPresents) {
  AppState.deviceContext = reinterpret_cast<HDC>(0x1234);
  ASSERT_GT(Draw(kGrey).modelPixels, 0);

  for (int32_t count : {0, -5}) {
    SCOPED_TRACE(count);
    gEmptyMesh = ModelMesh;
    gEmptyMesh.faceCount = count;
    gEmptyMesh.faces = nullptr;  // not to be read
    DisplayOptions.fogOn = 1;
    RenderFrameDrawing([] { DrawMesh(&gEmptyMesh); });
    const Picture picture = Analyse(Pixels(), kSize, kFogClear);
    EXPECT_EQ(picture.modelPixels, 0);
    EXPECT_FALSE(glIsEnabled(GL_LIGHTING));
    EXPECT_FALSE(glIsEnabled(GL_DEPTH_TEST));
  }
  EXPECT_EQ(Presents.count, 3);
  EXPECT_EQ(Presents.lastDeviceContext, reinterpret_cast<HDC>(0x1234));
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

}  // namespace
