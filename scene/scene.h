// Scene set-up and frame rendering.
#pragma once

struct DisplayOptionsRecord {
  int fogOn;        // fog clear colour and GL_FOG for the frame
  int wireframe;    // polygons drawn as outlines
  float tuneLevel;  // stepped by 'j' and 'k' between 0.01 and 1.05; nothing draws with it
};

extern DisplayOptionsRecord DisplayOptions;

// Positions (x, y, z, w) of GL_LIGHT1 .. GL_LIGHT6; index 0 is GL_LIGHT1.
extern const float LightRig[6][4];

// Diffuse colours (red, green, blue) of the front and back faces.
extern float FrontDiffuseColor[3];
extern float BackDiffuseColor[3];

void InitScene(void);
void ApplyProjection(void);
void LoadCheckerTexture(void);
void RenderFrame(void);
void ApplyMaterials(void);
void DrawModel(void);
