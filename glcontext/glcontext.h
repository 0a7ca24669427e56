// Pixel format, palette and the one GL rendering context.
#pragma once

#include "platform/win32.h"

void ConfigurePixelFormat(HDC deviceContext);
void BuildPalette(HDC deviceContext);
void CreateRenderContext(void);
void ReleaseRenderContext(void);
void RefreshPalette(void);

// Shows an error box owned by the device context's window (if any) and ends
// the process with exit status 1 through the normal exit.
void FailWithMessage(HWND owner, const char* text);

// The level (0..255) of one colour of palette entry `index`, for a colour of
// `bits` bits at `shift`. A colour with no bits gets level 0.
BYTE PaletteLevel(int index, int bits, int shift);

// Fills `entries` (2^colorBits of them) for a palette-based format.
void FillPaletteEntries(const PIXELFORMATDESCRIPTOR& format, PALETTEENTRY* entries, int count);
