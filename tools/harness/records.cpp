#include "app/app_state.h"
#include "app/idle.h"
#include "scene/scene.h"
#include "tools/harness/viewer_harness.h"
#include "trackball/trackball.h"

namespace {

// The records as the program starts, taken before anything changes them (they
// are constants until WinMain runs).
const AppStateRecord kStartAppState = AppState;
const TrackballStateRecord kStartTrackball = TrackballState;
const DisplayOptionsRecord kStartDisplayOptions = DisplayOptions;
const IdleCallback kStartIdleHook = IdleHook;

}  // namespace

void harness::ResetRecords() {
  AppState = kStartAppState;
  TrackballState = kStartTrackball;
  DisplayOptions = kStartDisplayOptions;
  IdleHook = kStartIdleHook;
}
