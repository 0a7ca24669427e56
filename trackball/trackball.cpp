#include "trackball/trackball.h"

#include <math.h>

#include "records/idle.h"
#include "records/app_state.h"

// Maps a client point onto a unit vector of the virtual sphere centred in the
// window. The height profile is a cosine of the distance from the centre, so
// points on or beyond the unit circle land on the rim, just below z = 0.
void ProjectToSphere(int x, int y, int width, int height, float result[3]) {
  const float px = static_cast<float>(2 * x - width) / static_cast<float>(width);
  const float py = static_cast<float>(height - 2 * y) / static_cast<float>(height);
  float d = sqrtf(px * px + py * py);
  if (!(d < 1.0f)) d = 1.0f;
  const float pz = cosf(d * 1.5707964f);
  const float n = sqrtf(px * px + py * py + pz * pz);
  result[0] = px / n;
  result[1] = py / n;
  result[2] = pz / n;
}

void BeginDrag(int button, int x, int y) {
  if (button != TrackballLeftButton) return;
  TrackballState.isRotating = 1;
  TrackballState.isDragging = 1;
  TrackballState.spinAfterRelease = 0;
  TrackballState.pressX = x;
  TrackballState.pressY = y;
  ProjectToSphere(x, y, AppState.windowWidth, AppState.windowHeight, TrackballState.lastVector);
}

void DragMotion(int x, int y) {
  if (!TrackballState.isDragging) return;
  float v[3];
  ProjectToSphere(x, y, AppState.windowWidth, AppState.windowHeight, v);
  const float* last = TrackballState.lastVector;
  const float dx = v[0] - last[0];
  const float dy = v[1] - last[1];
  const float dz = v[2] - last[2];
  // The chord between the two vectors, times 90, taken as degrees.
  TrackballState.stepAngle = 90.0f * sqrtf(dx * dx + dy * dy + dz * dz);
  TrackballState.stepAxis[0] = last[1] * v[2] - last[2] * v[1];
  TrackballState.stepAxis[1] = last[2] * v[0] - last[0] * v[2];
  TrackballState.stepAxis[2] = last[0] * v[1] - last[1] * v[0];
  TrackballState.lastVector[0] = v[0];
  TrackballState.lastVector[1] = v[1];
  TrackballState.lastVector[2] = v[2];
  ScheduleRedraw();
}

void EndDrag(int button, int x, int y) {
  if (button != TrackballLeftButton || !TrackballState.isRotating) return;
  TrackballState.isDragging = 0;
  if (x == TrackballState.pressX && y == TrackballState.pressY) {
    // A click without motion, or a drag back to the press pixel: stop.
    TrackballState.stepAngle = 0.0f;
    TrackballState.spinAfterRelease = 0;
    TrackballState.isRotating = 0;
  } else {
    // Released elsewhere: keep turning by the last step in every frame.
    TrackballState.spinAfterRelease = 1;
  }
  ScheduleRedraw();
}
