// What the scene set-up leaves in a new context.
#include "platform/win32.h"
#include <GL/gl.h>

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "records/app_state.h"
#include "scene/scene.h"
#include "tests/scene/gl_context.h"
#include "trackball/trackball.h"

namespace {

class SceneSetup : public SceneGL {};

void ExpectLight(GLenum light, GLenum parameter, const float expected[4]) {
  float value[4] = {-1, -1, -1, -1};
  glGetLightfv(light, parameter, value);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(value[i], expected[i]) << "parameter " << parameter;
}

// The column-major matrix of glOrtho(l, r, b, t, n, f).
std::vector<float> Ortho(double l, double r, double b, double t, double n, double f) {
  std::vector<float> m(16, 0.0f);
  m[0] = static_cast<float>(2.0 / (r - l));
  m[5] = static_cast<float>(2.0 / (t - b));
  m[10] = static_cast<float>(-2.0 / (f - n));
  m[12] = static_cast<float>(-(r + l) / (r - l));
  m[13] = static_cast<float>(-(t + b) / (t - b));
  m[14] = static_cast<float>(-(f + n) / (f - n));
  m[15] = 1.0f;
  return m;
}

std::vector<float> Identity() {
  return Ortho(-1, 1, -1, 1, 1, -1);
}

std::vector<float> Matrix(GLenum which) {
  std::vector<float> m(16);
  glGetFloatv(which, m.data());
  return m;
}

void ExpectMatrixNear(const std::vector<float>& actual, const std::vector<float>& expected) {
  for (int i = 0; i < 16; ++i) EXPECT_NEAR(actual[i], expected[i], 1e-7) << "element " << i;
}

TEST_F(SceneSetup, EnablesSixLightsLeavesLightTwoLightingAndFogOff) {
  InitScene();
  EXPECT_TRUE(glIsEnabled(GL_LIGHT0));
  EXPECT_TRUE(glIsEnabled(GL_LIGHT1));
  EXPECT_FALSE(glIsEnabled(GL_LIGHT2));
  for (GLenum light = GL_LIGHT3; light <= GL_LIGHT6; ++light) {
    EXPECT_TRUE(glIsEnabled(light)) << "light " << light - GL_LIGHT0;
  }
  EXPECT_FALSE(glIsEnabled(GL_LIGHT7));
  EXPECT_FALSE(glIsEnabled(GL_LIGHTING));
  EXPECT_FALSE(glIsEnabled(GL_FOG));
  EXPECT_FALSE(glIsEnabled(GL_DEPTH_TEST));
  EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
}

// Every light's position and colours as the viewer's lighting design gives
// them; light 0 keeps the GL's default colours.
struct LightTable {
  float position[4], ambient[4], diffuse[4], specular[4];
};
const LightTable kLights[7] = {
    {{0.7f, 0.7f, 1.25f, 0}, {0, 0, 0, 1}, {1, 1, 1, 1}, {1, 1, 1, 1}},
    {{-10, 14, 4, 0}, {0.35f, 0.35f, 0.65f, 1}, {0.2f, 0.2f, 0.5f, 1}, {0.2f, 0.2f, 0.65f, 1}},
    {{5, -6, -2, 0}, {0.65f, 0.75f, 0.45f, 1}, {0.4f, 0.3f, 0.3f, 1}, {0.65f, 0.85f, 0.85f, 1}},
    {{0, -3, 4, 0}, {0.65f, 0.65f, 0.35f, 1}, {0.4f, 0.4f, 0.05f, 1}, {0.65f, 0.65f, 0.85f, 1}},
    {{0, -2, -5, 0}, {0.55f, 0.55f, 0.55f, 1}, {0.4f, 0.5f, 0.3f, 1}, {0.2f, 0.7f, 0.35f, 1}},
    {{0, 0, -8, 0}, {0.05f, 0.6f, 0.05f, 1}, {0, 0.5f, 0, 1}, {0.05f, 0.6f, 0.08f, 1}},
    {{-20, -10, -2, 0}, {0.4f, 0.4f, 0.4f, 1}, {0.4f, 0.4f, 0.05f, 1}, {0.65f, 0.55f, 0.55f, 1}},
};

// Light 2 is configured although it stays off until the first frame. A frame
// of a turned model sends the positions again, under the viewer's own matrix.
TEST_F(SceneSetup, EveryLightReadsBackAsDesignedAlsoAfterAFrame) {
  InitScene();
  for (int frame = 0; frame < 2; ++frame) {
    if (frame == 1) {
      const float quarterTurnAboutX[16] = {1, 0, 0, 0, 0, 0, 1, 0, 0, -1, 0, 0, 0, 0, 0, 1};
      std::memcpy(TrackballState.modelRotation, quarterTurnAboutX, sizeof quarterTurnAboutX);
      RenderFrame();
    }
    for (int n = 0; n < 7; ++n) {
      SCOPED_TRACE(testing::Message() << "frame " << frame << ", light " << n);
      const LightTable& l = kLights[n];
      ExpectLight(GL_LIGHT0 + n, GL_POSITION, l.position);
      ExpectLight(GL_LIGHT0 + n, GL_AMBIENT, l.ambient);
      ExpectLight(GL_LIGHT0 + n, GL_DIFFUSE, l.diffuse);
      ExpectLight(GL_LIGHT0 + n, GL_SPECULAR, l.specular);
    }
  }
  GLint twoSided = 0;
  glGetIntegerv(GL_LIGHT_MODEL_TWO_SIDE, &twoSided);
  EXPECT_EQ(twoSided, 1);
}

TEST_F(SceneSetup, FogParameters) {
  InitScene();
  GLint mode = 0;
  glGetIntegerv(GL_FOG_MODE, &mode);
  EXPECT_EQ(mode, GL_EXP2);
  float density = 0;
  glGetFloatv(GL_FOG_DENSITY, &density);
  EXPECT_EQ(density, 0.24300002f);
  EXPECT_NE(density, 0.243f);  // one unit in the last place above
  float color[4] = {};
  glGetFloatv(GL_FOG_COLOR, color);
  EXPECT_EQ(color[0], 0.4f);
  EXPECT_EQ(color[1], 0.4f);
  EXPECT_EQ(color[2], 0.5f);
  EXPECT_EQ(color[3], 1.0f);
}

TEST_F(SceneSetup, ProjectionFollowsTheStoredWindowSize) {
  InitScene();
  ExpectMatrixNear(Matrix(GL_PROJECTION_MATRIX), Ortho(-15, 15, -15, 15, -25, 25));
  GLint mode = 0;
  glGetIntegerv(GL_MATRIX_MODE, &mode);
  EXPECT_EQ(mode, GL_MODELVIEW);
  ExpectMatrixNear(Matrix(GL_MODELVIEW_MATRIX), Identity());

  // A stored 200 x 100 widens the view; the projection is replaced, not multiplied.
  AppState.windowWidth = 200;
  AppState.windowHeight = 100;
  ApplyProjection();
  ExpectMatrixNear(Matrix(GL_PROJECTION_MATRIX), Ortho(-30, 30, -15, 15, -25, 25));
  glGetIntegerv(GL_MATRIX_MODE, &mode);
  EXPECT_EQ(mode, GL_MODELVIEW);
}

TEST_F(SceneSetup, ProjectionWithoutAUsableStoredSizeIsSquare) {
  // Zero or negative sizes would give an infinite, NaN or mirrored view.
  const int sizes[][2] = {{0, 0}, {864, 0}, {0, 864}, {-200, 100}, {200, -100}};
  for (const auto& size : sizes) {
    SCOPED_TRACE(testing::Message() << size[0] << " x " << size[1]);
    AppState.windowWidth = size[0];
    AppState.windowHeight = size[1];
    ApplyProjection();
    ExpectMatrixNear(Matrix(GL_PROJECTION_MATRIX), Ortho(-15, 15, -15, 15, -25, 25));
  }
}

TEST_F(SceneSetup, CheckerTextureTexels) {
  InitScene();
  GLint width = 0, height = 0, format = 0;
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &height);
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_INTERNAL_FORMAT, &format);
  ASSERT_EQ(width, 256);
  ASSERT_EQ(height, 256);
  EXPECT_EQ(format, GL_RGB);

  std::vector<unsigned char> texels(256 * 256 * 4);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels.data());
  struct Probe {
    int i, j, level;
  };
  const Probe probes[] = {{0, 0, 16},    {0, 32, 255},  {32, 0, 255},  {32, 32, 16},
                          {31, 31, 16},  {255, 0, 255}, {0, 255, 255}, {255, 255, 16},
                          {63, 64, 255}, {64, 64, 16}};
  for (const Probe& p : probes) {
    SCOPED_TRACE(testing::Message() << "texel (" << p.i << ", " << p.j << ")");
    const unsigned char* t = &texels[4 * (256 * p.i + p.j)];
    EXPECT_EQ(t[0], p.level);
    EXPECT_EQ(t[1], p.level);
    EXPECT_EQ(t[2], p.level);
    EXPECT_EQ(t[3], 255);
  }

  GLint value = 0;
  // The image went into the default texture; no texture object was made.
  glGetIntegerv(GL_TEXTURE_BINDING_2D, &value);
  EXPECT_EQ(value, 0);
  const struct {
    GLenum name;
    GLint value;
  } parameters[] = {{GL_TEXTURE_MIN_FILTER, GL_NEAREST},
                    {GL_TEXTURE_MAG_FILTER, GL_NEAREST},
                    {GL_TEXTURE_WRAP_S, GL_REPEAT},
                    {GL_TEXTURE_WRAP_T, GL_REPEAT}};
  for (const auto& p : parameters) {
    glGetTexParameteriv(GL_TEXTURE_2D, p.name, &value);
    EXPECT_EQ(value, p.value) << "parameter " << p.name;
  }
  glGetTexEnviv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, &value);
  EXPECT_EQ(value, GL_MODULATE);
}

TEST_F(SceneSetup, ResetsAnyRotationToTheIdentity) {
  for (int i = 0; i < 16; ++i) TrackballState.modelRotation[i] = 0.25f * (i + 1);
  InitScene();
  for (int i = 0; i < 16; ++i) {
    EXPECT_EQ(TrackballState.modelRotation[i], (i % 5 == 0) ? 1.0f : 0.0f) << "element " << i;
  }
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

}  // namespace
