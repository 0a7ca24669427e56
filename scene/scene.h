// Scene set-up and frame rendering.
#pragma once

#include "model/model.h"
#include "records/display_options.h"

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

// The frame of RenderFrame with `drawMesh` in place of DrawModel; RenderFrame
// is RenderFrameDrawing(DrawModel).
void RenderFrameDrawing(void (*drawMesh)(void));

// Emits `mesh` as one GL_TRIANGLES batch; DrawModel is DrawMesh(&ModelMesh).
void DrawMesh(const ModelMeshRecord* mesh);

// Multiplies the pending trackball step into modelRotation from the left
// (through the GL's matrix stack, as a frame does) and makes the result
// orthonormal again. A step that cannot turn anything leaves modelRotation
// untouched and makes no GL call.
void ApplyRotationStep(void);

// True when a step of `angleDegrees` about `axis` is a real rotation: a finite,
// non-zero angle about a finite axis whose squared length is not zero in
// single precision. (On Windows the GL divides by that length; Mesa and our
// browser subset leave the matrix as it is for axes shorter than 1e-4, so
// such a step turns nothing there either way.)
bool RotationStepTurns(float angleDegrees, const float axis[3]);

// Makes the upper-left 3 x 3 of a column-major 4 x 4 matrix orthonormal again
// by Gram-Schmidt on its columns, in double precision. The fourth row and
// column are left as they are. A matrix whose columns are degenerate or not
// finite is left unchanged.
void OrthonormalizeRotation(float matrix[16]);
