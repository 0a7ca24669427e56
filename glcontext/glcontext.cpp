#include "glcontext/glcontext.h"

#include <stdlib.h>
#include <string.h>

#include "records/app_state.h"

void FailWithMessage(HWND owner, const char* text) {
  MessageBoxA(owner, text, "Error", MB_OK | MB_ICONERROR);
  exit(1);
}

void ConfigurePixelFormat(HDC deviceContext) {
  PIXELFORMATDESCRIPTOR request;
  memset(&request, 0, sizeof request);
  request.nSize = sizeof request;
  request.nVersion = 1;
  request.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
  request.iPixelType = PFD_TYPE_RGBA;
  request.cColorBits = 8;
  request.cDepthBits = 16;
  request.iLayerType = PFD_MAIN_PLANE;

  const int format = ChoosePixelFormat(deviceContext, &request);
  if (format == 0) {
    FailWithMessage(WindowFromDC(deviceContext), "ChoosePixelFormat failed\n");
  }
  if (SetPixelFormat(deviceContext, format, &request) != TRUE) {
    FailWithMessage(WindowFromDC(deviceContext), "SetPixelFormat failed");
  }
}

BYTE PaletteLevel(int index, int bits, int shift) {
  if (bits <= 0 || shift < 0 || shift >= 16) return 0;  // a colour the format does not have
  if (bits > 8) bits = 8;
  const int mask = (1 << bits) - 1;
  return static_cast<BYTE>(((index >> shift) & mask) * 255 / mask);
}

void FillPaletteEntries(const PIXELFORMATDESCRIPTOR& format, PALETTEENTRY* entries, int count) {
  for (int i = 0; i < count; ++i) {
    entries[i].peRed = PaletteLevel(i, format.cRedBits, format.cRedShift);
    entries[i].peGreen = PaletteLevel(i, format.cGreenBits, format.cGreenShift);
    entries[i].peBlue = PaletteLevel(i, format.cBlueBits, format.cBlueShift);
    entries[i].peFlags = 0;
  }
}

void BuildPalette(HDC deviceContext) {
  PIXELFORMATDESCRIPTOR format;
  memset(&format, 0, sizeof format);
  DescribePixelFormat(deviceContext, GetPixelFormat(deviceContext), sizeof format, &format);
  if (!(format.dwFlags & PFD_NEED_PALETTE) && format.iPixelType != PFD_TYPE_COLORINDEX) return;

  // Palette-based displays have at most 8 bits of colour (256 entries); a
  // format that claims more is held to that rather than asking for millions.
  const int colorBits = format.cColorBits > 8 ? 8 : format.cColorBits;
  const int count = 1 << colorBits;
  const size_t bytes = sizeof(LOGPALETTE) + sizeof(PALETTEENTRY) * count;
  LOGPALETTE* block = static_cast<LOGPALETTE*>(malloc(bytes));
  if (block == NULL) return;  // palette stays null
  block->palVersion = 0x300;
  block->palNumEntries = static_cast<WORD>(count);
  FillPaletteEntries(format, block->palPalEntry, count);
  AppState.palette = CreatePalette(block);
  free(block);

  if (AppState.palette != NULL) {
    SelectPalette(deviceContext, AppState.palette, FALSE);
    RealizePalette(deviceContext);
  }
}

void CreateRenderContext(void) {
  HGLRC context = wglCreateContext(AppState.deviceContext);
  AppState.renderContext = context;
  wglMakeCurrent(AppState.deviceContext, context);
}

void ReleaseRenderContext(void) {
  if (AppState.renderContext == NULL) return;
  wglMakeCurrent(NULL, NULL);
  wglDeleteContext(AppState.renderContext);
  AppState.renderContext = NULL;  // no stale handle: GL is no longer ready
}

void RefreshPalette(void) {
  UnrealizeObject(AppState.palette);
  SelectPalette(AppState.deviceContext, AppState.palette, FALSE);
  RealizePalette(AppState.deviceContext);
}
