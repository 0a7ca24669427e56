#include <gtest/gtest.h>

#include <cmath>

#include "tests/lib/viewer_support.h"

namespace {

class Trackball : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetViewer();
    RedrawCallback = IdleRender;  // as WinMain hands it down
    AppState.windowWidth = 800;
    AppState.windowHeight = 800;
  }
};

void ExpectVector(const float v[3], double x, double y, double z, double tolerance) {
  EXPECT_NEAR(v[0], x, tolerance);
  EXPECT_NEAR(v[1], y, tolerance);
  EXPECT_NEAR(v[2], z, tolerance);
}

TEST_F(Trackball, ProjectsWindowPointsOntoTheSphere) {
  float v[3];
  const double third = 1.0 / std::sqrt(3.0);
  const double twoThirds = std::sqrt(2.0 / 3.0);

  ProjectToSphere(400, 400, 800, 800, v);
  ExpectVector(v, 0, 0, 1, 1e-7);
  ProjectToSphere(600, 400, 800, 800, v);
  ExpectVector(v, third, 0, twoThirds, 1e-6);
  ProjectToSphere(400, 200, 800, 800, v);
  ExpectVector(v, 0, third, twoThirds, 1e-6);

  // On and beyond the unit circle the point lands on the rim, a hair below z = 0.
  ProjectToSphere(800, 400, 800, 800, v);
  ExpectVector(v, 1, 0, -4.4e-8, 1e-8);
  EXPECT_LT(v[2], 0.0f);
  ProjectToSphere(-100, 400, 800, 800, v);
  ExpectVector(v, -1, 0, -3.5e-8, 1e-8);
  EXPECT_LT(v[2], 0.0f);

  // Far outside, as captured points can be, the result is still a unit vector.
  for (int x : {-32768, -30, 0, 799, 32767}) {
    for (int y : {-32768, -20, 0, 799, 32767}) {
      ProjectToSphere(x, y, 800, 800, v);
      ASSERT_TRUE(std::isfinite(v[0]) && std::isfinite(v[1]) && std::isfinite(v[2]));
      EXPECT_NEAR(v[0] * v[0] + v[1] * v[1] + v[2] * v[2], 1.0, 1e-6) << x << "," << y;
    }
  }
}

TEST_F(Trackball, MotionMakesTheStepFromTheChordAndCrossProduct) {
  BeginDrag(TrackballLeftButton, 400, 400);
  EXPECT_EQ(IdleHook, nullptr) << "a press requests no frame";
  EXPECT_EQ(TrackballState.isDragging, 1);
  EXPECT_EQ(TrackballState.isRotating, 1);
  EXPECT_EQ(TrackballState.spinAfterRelease, 0);
  EXPECT_FLOAT_EQ(TrackballState.stepAngle, 2.0f) << "the step in force survives a press";

  DragMotion(600, 400);
  const double chord = std::sqrt(2.0 - 2.0 * std::sqrt(2.0 / 3.0));
  EXPECT_NEAR(TrackballState.stepAngle, 90.0 * chord, 1e-4);
  EXPECT_NEAR(TrackballState.stepAngle, 54.5, 0.05);
  ExpectVector(TrackballState.stepAxis, 0, 1 / std::sqrt(3.0), 0, 1e-6);
  ExpectVector(TrackballState.lastVector, 1 / std::sqrt(3.0), 0, std::sqrt(2.0 / 3.0), 1e-6);
  EXPECT_EQ(IdleHook, IdleRender);

  // Four-pixel moves from the centre: about 0.9 degrees about y, then about -x.
  BeginDrag(TrackballLeftButton, 400, 400);
  DragMotion(404, 400);
  EXPECT_NEAR(TrackballState.stepAngle, 0.9, 0.05);
  ExpectVector(TrackballState.stepAxis, 0, 0.01, 0, 1e-3);
  BeginDrag(TrackballLeftButton, 400, 400);
  DragMotion(400, 396);
  EXPECT_NEAR(TrackballState.stepAngle, 0.9, 0.05);
  ExpectVector(TrackballState.stepAxis, -0.01, 0, 0, 1e-3);

  // A move to the same point: no angle and the zero axis.
  DragMotion(400, 396);
  EXPECT_EQ(TrackballState.stepAngle, 0.0f);
  ExpectVector(TrackballState.stepAxis, 0, 0, 0, 0);
}

TEST_F(Trackball, ReleaseSpinsOrStopsByWhereItHappens) {
  // Motion with the button up changes nothing and requests no frame.
  DragMotion(500, 500);
  EXPECT_EQ(IdleHook, nullptr);
  EXPECT_FLOAT_EQ(TrackballState.stepAngle, 2.0f);

  // A release with no drag before it is ignored altogether.
  EndDrag(TrackballLeftButton, 10, 10);
  EXPECT_EQ(IdleHook, nullptr);
  EXPECT_EQ(TrackballState.spinAfterRelease, 1);

  // Away from the press point: spinning by the last step.
  BeginDrag(TrackballLeftButton, 100, 100);
  DragMotion(130, 100);
  const float angle = TrackballState.stepAngle;
  IdleHook = nullptr;
  EndDrag(TrackballLeftButton, 130, 100);
  EXPECT_EQ(TrackballState.isDragging, 0);
  EXPECT_EQ(TrackballState.isRotating, 1);
  EXPECT_EQ(TrackballState.spinAfterRelease, 1);
  EXPECT_EQ(TrackballState.stepAngle, angle);
  EXPECT_EQ(IdleHook, IdleRender);

  // Back on the exact press pixel: stopped; one pixel off: still spinning.
  BeginDrag(TrackballLeftButton, 100, 100);
  DragMotion(150, 120);
  DragMotion(100, 100);
  EndDrag(TrackballLeftButton, 100, 100);
  EXPECT_EQ(TrackballState.stepAngle, 0.0f);
  EXPECT_EQ(TrackballState.isRotating, 0);
  EXPECT_EQ(TrackballState.spinAfterRelease, 0);

  BeginDrag(TrackballLeftButton, 100, 100);
  DragMotion(150, 120);
  EndDrag(TrackballLeftButton, 101, 100);
  EXPECT_EQ(TrackballState.spinAfterRelease, 1);

  // Only the left button counts.
  BeginDrag(TrackballLeftButton + 1, 5, 5);
  EXPECT_EQ(TrackballState.pressX, 100);
  EndDrag(TrackballLeftButton + 1, 100, 100);
  EXPECT_EQ(TrackballState.isRotating, 1);
}

}  // namespace
