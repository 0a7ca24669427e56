// Helpers for running the whole viewer on the headless backend.
#pragma once

#include <array>

#include "app/app.h"
#include "records/app_state.h"
#include "platform/headless/headless.h"
#include "scene/scene.h"
#include "lib/harness/viewer_harness.h"
#include "trackball/trackball.h"

// Puts the platform and the viewer's process-wide records back to their start.
// No script of these tests waits more than a few frames for its next step, so
// a run fails after 50 frames without one: a viewer that keeps drawing when it
// should wait fails at once instead of after a million frames.
void ResetViewer();

using harness::RunViewer;

std::array<float, 16> Rotation();
bool IsIdentity(const std::array<float, 16>& m);
