// The program's icon images, for platforms that set a window icon from pixels.
#pragma once

struct IconImage {
  int width;
  int height;
  const unsigned char* rgba;  // width * height * 4 bytes, rows top to bottom
};

// The richest image of icon group `id` (IDI_HELICOID is the program's icon), or false
// if the program has no such icon.
bool FindIconImage(int id, IconImage* image);

// Outside Windows: hands every icon of the program to the platform layer
// (platform/resources.h), as the resource section does on Windows. The
// program's start-up calls it before WinMain.
void RegisterIconResources(void);
