// What a program hands the platform at start-up that Windows would find in
// the program's resource section: its icon pictures, by resource identifier.
// The platform itself knows no program and no identifier.
#pragma once

namespace platform {

// One picture of an icon: width * height * 4 bytes of RGBA, rows top to
// bottom, alive for the rest of the process.
struct IconPixels {
  int width;
  int height;
  const unsigned char* rgba;
};

// From now on LoadIconA(module, MAKEINTRESOURCE(id)) finds the icon, and a
// window whose class has it shows these pixels where the backend shows icons.
// A second call for the same id replaces the picture.
void AddIconResource(int id, const IconPixels& pixels);

}  // namespace platform
