// Pixel format, palette and the one GL rendering context.
#pragma once

#include "platform/win32.h"

void ConfigurePixelFormat(HDC deviceContext);
void BuildPalette(HDC deviceContext);
void CreateRenderContext(void);
void ReleaseRenderContext(void);
void RefreshPalette(void);
