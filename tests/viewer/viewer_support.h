// Helpers for running the whole viewer on the headless backend.
#pragma once

#include <array>

#include "app/app.h"
#include "app/app_state.h"
#include "platform/headless.h"
#include "scene/scene.h"
#include "trackball/trackball.h"

// Puts the platform and the viewer's process-wide records back to their start.
void ResetViewer();

// Runs WinMain as the platform's start-up would and returns its result.
int RunViewer();

std::array<float, 16> Rotation();
bool IsIdentity(const std::array<float, 16>& m);
