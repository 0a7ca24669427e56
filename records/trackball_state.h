// The virtual trackball's record: the drag in progress, the last rotation
// step and the accumulated rotation of the model.
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
