#include <gtest/gtest.h>

#include <cstring>

#include "glcontext/glcontext.h"
#include "tests/lib/viewer_support.h"

namespace {

PIXELFORMATDESCRIPTOR Format(int colorBits, int r, int rs, int g, int gs, int b, int bs) {
  PIXELFORMATDESCRIPTOR f;
  std::memset(&f, 0, sizeof f);
  f.cColorBits = colorBits;
  f.cRedBits = r;
  f.cRedShift = rs;
  f.cGreenBits = g;
  f.cGreenShift = gs;
  f.cBlueBits = b;
  f.cBlueShift = bs;
  return f;
}

TEST(Palette, ThreeThreeTwoLevels) {
  PALETTEENTRY e[256];
  std::memset(e, 0xAB, sizeof e);
  FillPaletteEntries(Format(8, 3, 0, 3, 3, 2, 6), e, 256);
  const int redGreen[8] = {0, 36, 72, 109, 145, 182, 218, 255};
  const int blue[4] = {0, 85, 170, 255};
  for (int i = 0; i < 256; ++i) {
    ASSERT_EQ(e[i].peRed, redGreen[i & 7]) << i;
    ASSERT_EQ(e[i].peGreen, redGreen[(i >> 3) & 7]) << i;
    ASSERT_EQ(e[i].peBlue, blue[(i >> 6) & 3]) << i;
    ASSERT_EQ(e[i].peFlags, 0) << i;
  }
  EXPECT_EQ(e[1].peRed, 36);
  EXPECT_EQ(e[8].peGreen, 36);
  EXPECT_EQ(e[64].peBlue, 85);
  EXPECT_EQ(e[255].peRed + e[255].peGreen + e[255].peBlue, 3 * 255);
}

TEST(Palette, ColourWithNoBitsGetsLevelZero) {
  // A colour-index format reports no colour bits: no division by a zero mask.
  PALETTEENTRY e[16];
  FillPaletteEntries(Format(4, 0, 0, 0, 0, 0, 0), e, 16);
  for (const PALETTEENTRY& p : e) {
    EXPECT_EQ(p.peRed, 0);
    EXPECT_EQ(p.peGreen, 0);
    EXPECT_EQ(p.peBlue, 0);
  }
  EXPECT_EQ(PaletteLevel(200, 0, 3), 0);
  EXPECT_EQ(PaletteLevel(255, 1, 7), 255);
  EXPECT_EQ(PaletteLevel(255, 3, 200), 0) << "an absurd shift reads no bits";
}

TEST(RenderContext, ReleasingWithoutOneCallsNothing) {
  ResetViewer();
  ReleaseRenderContext();
  EXPECT_EQ(headless::CallCount("wglMakeCurrent"), 0);
  EXPECT_EQ(headless::CallCount("wglDeleteContext"), 0);
}

}  // namespace
