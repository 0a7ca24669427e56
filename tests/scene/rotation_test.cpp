// The accumulated rotation stays a rotation: the re-orthonormalisation, which
// steps count, and long runs of steps through the GL's own arithmetic.
#include "platform/win32.h"
#include <GL/gl.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "scene/scene.h"
#include "tests/scene/gl_context.h"
#include "trackball/trackball.h"

namespace {

// Largest deviation of the 3 x 3 part's columns from an orthonormal set:
// max |c_a . c_b - delta_ab|.
double OrthonormalityError(const float m[16]) {
  double worst = 0;
  for (int a = 0; a < 3; ++a) {
    for (int b = a; b < 3; ++b) {
      double dot = 0;
      for (int r = 0; r < 3; ++r) dot += double(m[4 * a + r]) * m[4 * b + r];
      worst = std::fmax(worst, std::fabs(dot - (a == b ? 1.0 : 0.0)));
    }
  }
  return worst;
}

double Determinant3(const float m[16]) {
  return double(m[0]) * (double(m[5]) * m[10] - double(m[9]) * m[6]) -
         double(m[4]) * (double(m[1]) * m[10] - double(m[9]) * m[2]) +
         double(m[8]) * (double(m[1]) * m[6] - double(m[5]) * m[2]);
}

void SetIdentity(float m[16]) {
  for (int i = 0; i < 16; ++i) m[i] = (i % 5 == 0) ? 1.0f : 0.0f;
}

TEST(OrthonormalizeRotation, RestoresADriftedRotationAndKeepsItsDirection) {
  // A rotation of 30 degrees about z, with every column scaled and skewed a little.
  const double c = std::cos(M_PI / 6), s = std::sin(M_PI / 6);
  float m[16] = {float(c * 1.03),
                 float(s * 1.03),
                 0.002f,
                 0,  //
                 float(-s * 0.98 + 0.01),
                 float(c * 0.98),
                 -0.003f,
                 0,
                 0.004f,
                 0.001f,
                 1.02f,
                 0,  //
                 0,
                 0,
                 0,
                 1};
  ASSERT_GT(OrthonormalityError(m), 0.02);
  OrthonormalizeRotation(m);
  EXPECT_LT(OrthonormalityError(m), 2e-7);
  EXPECT_NEAR(Determinant3(m), 1.0, 1e-6);
  // Gram-Schmidt keeps the first column's direction.
  const double scale = std::sqrt(c * c * 1.03 * 1.03 + s * s * 1.03 * 1.03 + 0.002 * 0.002);
  EXPECT_NEAR(m[0], c * 1.03 / scale, 1e-7);
  EXPECT_NEAR(m[1], s * 1.03 / scale, 1e-7);
  // The rest of the matrix is not touched.
  EXPECT_EQ(m[3], 0.0f);
  EXPECT_EQ(m[7], 0.0f);
  EXPECT_EQ(m[11], 0.0f);
  EXPECT_EQ(m[12], 0.0f);
  EXPECT_EQ(m[15], 1.0f);
}

TEST(OrthonormalizeRotation, LeavesDegenerateMatricesAsTheyAre) {
  // Nothing sensible can be made of these; they must not turn into NaN.
  float zero[16] = {};
  float parallel[16];  // column 1 equals column 0
  SetIdentity(parallel);
  parallel[4] = 1.0f;
  parallel[5] = 0.0f;
  float poisoned[16];
  SetIdentity(poisoned);
  poisoned[9] = NAN;
  for (float* original : {zero, parallel, poisoned}) {
    float m[16];
    std::memcpy(m, original, sizeof m);
    OrthonormalizeRotation(m);
    EXPECT_EQ(std::memcmp(m, original, sizeof m), 0);
  }
}

TEST(RotationStepTurns, OnlyRealRotationsCount) {
  const float axis[3] = {0.3f, 0.2f, 0.4f};
  const float zero[3] = {0, 0, 0};
  const float negativeZero[3] = {-0.0f, 0.0f, -0.0f};
  const float underflowing[3] = {1e-30f, 0, 0};  // squares to zero in single precision
  const float tiny[3] = {1e-15f, 0, 0};
  const float infinite[3] = {INFINITY, 0, 0};
  const float notANumber[3] = {0, NAN, 1};
  EXPECT_TRUE(RotationStepTurns(2.0f, axis));
  EXPECT_TRUE(RotationStepTurns(-0.001f, axis));
  EXPECT_TRUE(RotationStepTurns(2.0f, tiny));
  EXPECT_FALSE(RotationStepTurns(0.0f, axis));
  EXPECT_FALSE(RotationStepTurns(-0.0f, axis));
  EXPECT_FALSE(RotationStepTurns(2.0f, zero));
  EXPECT_FALSE(RotationStepTurns(0.0f, zero));
  EXPECT_FALSE(RotationStepTurns(2.0f, negativeZero));
  EXPECT_FALSE(RotationStepTurns(2.0f, underflowing));
  EXPECT_FALSE(RotationStepTurns(2.0f, infinite));
  EXPECT_FALSE(RotationStepTurns(2.0f, notANumber));
  EXPECT_FALSE(RotationStepTurns(NAN, axis));
  EXPECT_FALSE(RotationStepTurns(INFINITY, axis));
}

class RotationDrift : public SceneGL {
 protected:
  void SetUp() override {
    SceneGL::SetUp();
    InitScene();
    TrackballState.isRotating = 1;
  }
};

// The frame's own step (glRotatef and glMultMatrixf on the GL's matrix stack,
// read back in single precision), a million times: unmended, the columns end
// up percents off unit length.
TEST_F(RotationDrift, AMillionStepsStayOrthonormal) {
  const struct {
    float angle;
    float axis[3];
  } steps[] = {{2.0f, {0.3f, 0.2f, 0.4f}}, {0.37f, {-0.91f, 0.05f, 0.2f}}};
  for (const auto& step : steps) {
    SCOPED_TRACE(step.angle);
    SetIdentity(TrackballState.modelRotation);
    TrackballState.stepAngle = step.angle;
    std::memcpy(TrackballState.stepAxis, step.axis, sizeof step.axis);
    double worst = 0;
    for (int i = 0; i < 1000000; ++i) {
      ApplyRotationStep();
      if (i % 1000 == 0)
        worst = std::fmax(worst, OrthonormalityError(TrackballState.modelRotation));
    }
    worst = std::fmax(worst, OrthonormalityError(TrackballState.modelRotation));
    EXPECT_LT(worst, 1e-5);
    EXPECT_NEAR(Determinant3(TrackballState.modelRotation), 1.0, 1e-5);
  }
  GLint depth = 0;
  glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depth);
  EXPECT_EQ(depth, 1);
}

// Whole frames with a step in force, on a small target to keep them quick.
TEST_F(RotationDrift, ThousandsOfFramesStayOrthonormal) {
  CreateContext(48);
  InitScene();
  TrackballState.stepAngle = 7.0f;
  for (int i = 0; i < 3000; ++i) RenderFrame();
  EXPECT_EQ(Presents.count, 3000);
  EXPECT_LT(OrthonormalityError(TrackballState.modelRotation), 1e-6);
  EXPECT_NEAR(Determinant3(TrackballState.modelRotation), 1.0, 1e-6);
}

}  // namespace
