#include "records/trackball_state.h"

// The initial step (2 degrees about (0.3, 0.2, 0.4)) only takes effect once a
// press sets isRotating; InitScene makes modelRotation the identity.
TrackballStateRecord TrackballState = {
    0,  // isDragging
    0,  // isRotating
    1,  // spinAfterRelease
    0,
    0,                   // pressX, pressY
    {0.0f, 0.0f, 0.0f},  // lastVector
    2.0f,                // stepAngle
    {0.3f, 0.2f, 0.4f},  // stepAxis
    {},                  // modelRotation
};
