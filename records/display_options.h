// What a frame draws besides the model: fog, wireframe, and the tuning value.
#pragma once

struct DisplayOptionsRecord {
  int fogOn;        // fog clear colour and GL_FOG for the frame
  int wireframe;    // polygons drawn as outlines
  float tuneLevel;  // stepped by 'j' and 'k' between 0.01 and 1.05; nothing draws with it
};

extern DisplayOptionsRecord DisplayOptions;
