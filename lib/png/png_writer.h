// PNG output of an RGBA picture.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace png {

// Writes `rgba` (rows top to bottom, 4 bytes a pixel) as an 8-bit RGB PNG.
// The alpha channel is dropped: the viewer's frames are opaque. On failure
// returns false with the reason in *error.
bool WritePng(FILE* file, int width, int height, const std::vector<unsigned char>& rgba,
              std::string* error);

}  // namespace png
