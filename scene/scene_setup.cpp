// One-time GL state of the scene: fog, projection, lights and the checker
// texture. Runs once, right after the rendering context is made current.
#include "platform/win32.h"
#include <GL/gl.h>

#include <stdlib.h>

#include "records/app_state.h"
#include "scene/scene.h"
#include "records/trackball_state.h"

// Directional lights 1..6; every frame sends these positions again.
const float LightRig[6][4] = {
    {-10.0f, 14.0f, 4.0f, 0.0f},    // GL_LIGHT1
    {5.0f, -6.0f, -2.0f, 0.0f},     // GL_LIGHT2
    {0.0f, -3.0f, 4.0f, 0.0f},      // GL_LIGHT3
    {0.0f, -2.0f, -5.0f, 0.0f},     // GL_LIGHT4
    {0.0f, 0.0f, -8.0f, 0.0f},      // GL_LIGHT5
    {-20.0f, -10.0f, -2.0f, 0.0f},  // GL_LIGHT6
};

namespace {

// One unit in the last place above the single nearest to 0.243.
const float kFogDensity = 0.24300002f;
const float kFogColor[4] = {0.4f, 0.4f, 0.5f, 1.0f};

// Light 0 gets only a position; its colours stay the GL defaults.
const float kLight0Position[4] = {0.7f, 0.7f, 1.25f, 0.0f};

struct LightColors {
  float ambient[4];
  float diffuse[4];
  float specular[4];
};

// Colours of lights 1..6, in the order of LightRig.
const LightColors kRigColors[6] = {
    {{0.35f, 0.35f, 0.65f, 1.0f}, {0.2f, 0.2f, 0.5f, 1.0f}, {0.2f, 0.2f, 0.65f, 1.0f}},
    {{0.65f, 0.75f, 0.45f, 1.0f}, {0.4f, 0.3f, 0.3f, 1.0f}, {0.65f, 0.85f, 0.85f, 1.0f}},
    {{0.65f, 0.65f, 0.35f, 1.0f}, {0.4f, 0.4f, 0.05f, 1.0f}, {0.65f, 0.65f, 0.85f, 1.0f}},
    {{0.55f, 0.55f, 0.55f, 1.0f}, {0.4f, 0.5f, 0.3f, 1.0f}, {0.2f, 0.7f, 0.35f, 1.0f}},
    {{0.05f, 0.6f, 0.05f, 1.0f}, {0.0f, 0.5f, 0.0f, 1.0f}, {0.05f, 0.6f, 0.08f, 1.0f}},
    {{0.4f, 0.4f, 0.4f, 1.0f}, {0.4f, 0.4f, 0.05f, 1.0f}, {0.65f, 0.55f, 0.55f, 1.0f}},
};

const int kCheckerSize = 256;

}  // namespace

void InitScene(void) {
  glFogi(GL_FOG_MODE, GL_EXP2);
  glFogf(GL_FOG_DENSITY, kFogDensity);
  glFogfv(GL_FOG_COLOR, kFogColor);

  ApplyProjection();

  glLightModeli(GL_LIGHT_MODEL_TWO_SIDE, 1);

  glLightfv(GL_LIGHT0, GL_POSITION, kLight0Position);
  glEnable(GL_LIGHT0);
  for (int n = 0; n < 6; ++n) {
    const GLenum light = GL_LIGHT1 + n;
    glLightfv(light, GL_POSITION, LightRig[n]);
    glLightfv(light, GL_AMBIENT, kRigColors[n].ambient);
    glLightfv(light, GL_DIFFUSE, kRigColors[n].diffuse);
    glLightfv(light, GL_SPECULAR, kRigColors[n].specular);
    // Light 2 is configured here but switched on by the first frame.
    if (light != GL_LIGHT2) glEnable(light);
  }

  LoadCheckerTexture();

  float* rotation = TrackballState.modelRotation;
  for (int i = 0; i < 16; ++i) rotation[i] = (i % 5 == 0) ? 1.0f : 0.0f;
}

void ApplyProjection(void) {
  const int32_t width = AppState.windowWidth;
  const int32_t height = AppState.windowHeight;
  // The stored size is always positive and square; a size that is not
  // positive would make the quotient infinite, NaN or a mirror, so it falls
  // back to the square aspect.
  float aspect = 1.0f;
  if (width > 0 && height > 0) aspect = static_cast<float>(static_cast<double>(width) / height);

  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glOrtho(static_cast<double>(aspect) * -15.0, static_cast<double>(aspect) * 15.0, -15.0, 15.0,
          -25.0, 25.0);
  glMatrixMode(GL_MODELVIEW);
}

void LoadCheckerTexture(void) {
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);

  unsigned char* image = static_cast<unsigned char*>(malloc(kCheckerSize * kCheckerSize * 4));
  if (image == NULL) return;  // the texture is never applied, so nothing is lost

  // An 8 x 8 board of 32-texel squares, dark at texel (0, 0).
  for (int i = 0; i < kCheckerSize; ++i) {
    for (int j = 0; j < kCheckerSize; ++j) {
      unsigned char* texel = image + 4 * (kCheckerSize * i + j);
      const unsigned char level = ((i ^ j) & 32) ? 255 : 16;
      texel[0] = level;
      texel[1] = level;
      texel[2] = level;
      texel[3] = 255;
    }
  }

  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, kCheckerSize, kCheckerSize, 0, GL_RGBA, GL_UNSIGNED_BYTE,
               image);
  free(image);
}
