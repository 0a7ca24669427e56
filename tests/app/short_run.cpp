// A short whole run of the viewer on the headless backend, small enough to run
// under valgrind: start, drag, spin, keys, a click that stops, Esc. Exits 0
// only if the run went as a user would see it.
#include <cstdio>

#include "app/app.h"
#include "records/app_state.h"
#include "platform/headless/headless.h"
#include "scene/scene.h"
#include "lib/harness/viewer_harness.h"
#include "trackball/trackball.h"

int main() {
  harness::ResetViewer();
  headless::SetScreenSize(107, 80);  // a 64 x 64 window
  headless::KeepFramePixels(true);   // the pixel copy runs too
  headless::SetFrameLimit(20);       // no step waits for more than 3 frames

  int spinningFrames = 0;
  float turnedAt = 1.0f;
  headless::Press(32, 32, 2);
  headless::Move(40, 36);
  headless::Move(48, 40);
  headless::Release(50, 41);  // away from the press point: spinning
  headless::Call([&] { spinningFrames = headless::PresentedFrames(); }, 3);
  headless::Type('f', 0);
  headless::Type('p', 1);
  headless::Type('j', 1);
  headless::Type('k', 1);
  headless::Press(10, 10, 1);
  headless::Release(10, 10);  // a click: stopped
  headless::Call([&] { turnedAt = TrackballState.modelRotation[0]; });
  headless::Type(27);

  const int status = harness::RunViewer();

  int failures = 0;
  auto expect = [&](bool ok, const char* what) {
    if (!ok) {
      std::fprintf(stderr, "short run: %s\n", what);
      ++failures;
    }
  };
  expect(status == 0, "exit code is not 0");
  expect(!headless::ScriptFailed(), "the input script failed");
  expect(spinningFrames >= 5, "too few frames");
  expect(turnedAt != 1.0f, "the drag did not turn the model");
  expect(TrackballState.isRotating == 0 && TrackballState.spinAfterRelease == 0,
         "the click did not stop the model");
  expect(DisplayOptions.fogOn == 1 && DisplayOptions.wireframe == 1, "keys were not applied");
  expect(AppState.renderContext == nullptr, "the context outlived the window");
  return failures == 0 ? 0 : 1;
}
