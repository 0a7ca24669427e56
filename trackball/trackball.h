// Virtual trackball: left-button drags become rotation steps of the model.
#pragma once

#include "records/trackball_state.h"

// Button code of the left mouse button for the drag handlers.
enum { TrackballLeftButton = 1 };

void ProjectToSphere(int x, int y, int width, int height, float result[3]);
void BeginDrag(int button, int x, int y);
void DragMotion(int x, int y);
void EndDrag(int button, int x, int y);
