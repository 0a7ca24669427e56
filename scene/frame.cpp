// Drawing of one frame: options, the pending rotation step, lights,
// materials and the mesh, then the presentation.
#include "platform/win32.h"
#include <GL/gl.h>

#include "records/app_state.h"
#include "scene/scene.h"
#include "records/trackball_state.h"

float FrontDiffuseColor[3] = {0.7f, 0.3f, 0.4f};
float BackDiffuseColor[3] = {0.2f, 0.5f, 0.3f};

namespace {

const float kMaterialAmbient[4] = {0.05f, 0.05f, 0.05f, 1.0f};
const float kMaterialSpecular[4] = {0.23f, 0.23f, 0.25f, 1.0f};
const float kMaterialShininess = 40.0f;
const float kDiffuseAlpha = 0.6f;

}  // namespace

void RenderFrame(void) {
  RenderFrameDrawing(DrawModel);
}

void RenderFrameDrawing(void (*drawMesh)(void)) {
  if (DisplayOptions.fogOn) {
    glClearColor(0.5f, 0.25f, 0.25f, 1.0f);
    glEnable(GL_FOG);
  } else {
    glClearColor(0.15f, 0.15f, 0.15f, 1.0f);
    glDisable(GL_FOG);
  }
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);

  if (TrackballState.isRotating) ApplyRotationStep();

  if (DisplayOptions.wireframe) glPolygonMode(GL_FRONT_AND_BACK, GL_LINE);

  // The light positions go in under the base modelview matrix, so the lights
  // stay fixed relative to the viewer while the model turns under them.
  glEnable(GL_LIGHTING);
  glLightfv(GL_LIGHT1, GL_POSITION, LightRig[0]);
  glLightfv(GL_LIGHT2, GL_POSITION, LightRig[1]);
  glEnable(GL_LIGHT2);
  glLightfv(GL_LIGHT3, GL_POSITION, LightRig[2]);
  glLightfv(GL_LIGHT4, GL_POSITION, LightRig[3]);
  glLightfv(GL_LIGHT5, GL_POSITION, LightRig[4]);
  glLightfv(GL_LIGHT6, GL_POSITION, LightRig[5]);

  glEnable(GL_DEPTH_TEST);

  glPushMatrix();
  glMultMatrixf(TrackballState.modelRotation);
  ApplyMaterials();
  // The model turns about its own point (0, 9, 0), which lands at the origin.
  glTranslatef(0.0f, -9.0f, 0.0f);
  drawMesh();
  glPopMatrix();

  glDisable(GL_TEXTURE_2D);
  glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
  glDisable(GL_CULL_FACE);
  glDisable(GL_LIGHTING);
  glDisable(GL_DEPTH_TEST);

  glFlush();
  SwapBuffers(AppState.deviceContext);
}

void ApplyRotationStep(void) {
  const float angle = TrackballState.stepAngle;
  const float* axis = TrackballState.stepAxis;
  if (!RotationStepTurns(angle, axis)) return;

  // modelRotation <- R * modelRotation, R being glRotatef's matrix.
  glPushMatrix();
  glLoadIdentity();
  glRotatef(angle, axis[0], axis[1], axis[2]);
  glMultMatrixf(TrackballState.modelRotation);
  glGetFloatv(GL_MODELVIEW_MATRIX, TrackballState.modelRotation);
  glPopMatrix();

  // Single-precision products drift off a rotation over many frames; pull
  // the result back onto one.
  OrthonormalizeRotation(TrackballState.modelRotation);
}

void ApplyMaterials(void) {
  const float frontDiffuse[4] = {FrontDiffuseColor[0], FrontDiffuseColor[1], FrontDiffuseColor[2],
                                 kDiffuseAlpha};
  const float backDiffuse[4] = {BackDiffuseColor[0], BackDiffuseColor[1], BackDiffuseColor[2],
                                kDiffuseAlpha};
  glMaterialfv(GL_FRONT, GL_AMBIENT, kMaterialAmbient);
  glMaterialfv(GL_FRONT, GL_DIFFUSE, frontDiffuse);
  glMaterialfv(GL_FRONT, GL_SPECULAR, kMaterialSpecular);
  glMaterialf(GL_FRONT, GL_SHININESS, kMaterialShininess);
  glMaterialfv(GL_BACK, GL_AMBIENT, kMaterialAmbient);
  glMaterialfv(GL_BACK, GL_DIFFUSE, backDiffuse);
  glMaterialfv(GL_BACK, GL_SPECULAR, kMaterialSpecular);
  glMaterialf(GL_BACK, GL_SHININESS, kMaterialShininess);
}

void DrawModel(void) {
  DrawMesh(&ModelMesh);
}

void DrawMesh(const ModelMeshRecord* mesh) {
  const MeshFace* faces = mesh->faces;
  const float* vertices = mesh->vertices;
  const float* normals = mesh->normals;
  const int32_t faceCount = mesh->faceCount;

  glLineWidth(1.0f);
  glBegin(GL_TRIANGLES);
  // The model's indices all lie inside its arrays, so they are used as given.
  for (int32_t i = 0; i < faceCount; ++i) {
    const MeshFace& face = faces[i];
    for (int j = 0; j < 3; ++j) {
      const float* normal = normals + 3 * face.normalIndex[j];
      const float* vertex = vertices + 3 * face.vertexIndex[j];
      glNormal3f(normal[0], normal[1], normal[2]);
      glVertex3f(vertex[0], vertex[1], vertex[2]);
    }
  }
  glEnd();
}
