#include "app/idle.h"

#include <stddef.h>

#include "scene/scene.h"
#include "trackball/trackball.h"

IdleCallback IdleHook = NULL;

void IdleRender(void) {
  // Out of the slot before drawing, unless frames are to run back to back.
  if (TrackballState.spinAfterRelease == 0) IdleHook = NULL;
  RenderFrame();
}

void ScheduleRedraw(void) {
  if (IdleHook == NULL) IdleHook = IdleRender;
}
