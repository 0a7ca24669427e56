// Virtual trackball: left-button drags become rotation steps of the model.
#pragma once

struct TrackballStateRecord {
  int isDragging;           // a left press was accepted and no accepted release followed
  int isRotating;           // every frame applies the step while set
  int spinAfterRelease;     // frames run back to back while set
  int pressX, pressY;       // client point of the last accepted press
  float lastVector[3];      // sphere vector of the last press or motion
  float stepAngle;          // degrees
  float stepAxis[3];        // not normalised
  float modelRotation[16];  // accumulated rotation, column-major
};

extern TrackballStateRecord TrackballState;

// Button code of the left mouse button for the drag handlers.
enum { TrackballLeftButton = 1 };

void ProjectToSphere(int x, int y, int width, int height, float result[3]);
void BeginDrag(int button, int x, int y);
void DragMotion(int x, int y);
void EndDrag(int button, int x, int y);
