#include <string.h>

#include "lib/harness/viewer_harness.h"
#include "records/app_state.h"
#include "records/idle.h"
#include "scene/scene.h"
#include "trackball/trackball.h"

namespace {

// The records as the program starts, taken before anything changes them (they
// are constants until WinMain runs).
const AppStateRecord kStartAppState = AppState;
const TrackballStateRecord kStartTrackball = TrackballState;
const DisplayOptionsRecord kStartDisplayOptions = DisplayOptions;
const IdleCallback kStartIdleHook = IdleHook;
const IdleCallback kStartRedrawCallback = RedrawCallback;

struct DiffuseColors {
  float front[3];
  float back[3];
};
const DiffuseColors kStartDiffuse = {
    {FrontDiffuseColor[0], FrontDiffuseColor[1], FrontDiffuseColor[2]},
    {BackDiffuseColor[0], BackDiffuseColor[1], BackDiffuseColor[2]}};

}  // namespace

void harness::ResetRecords() {
  AppState = kStartAppState;
  TrackballState = kStartTrackball;
  DisplayOptions = kStartDisplayOptions;
  memcpy(FrontDiffuseColor, kStartDiffuse.front, sizeof FrontDiffuseColor);
  memcpy(BackDiffuseColor, kStartDiffuse.back, sizeof BackDiffuseColor);
  IdleHook = kStartIdleHook;
  RedrawCallback = kStartRedrawCallback;
}
