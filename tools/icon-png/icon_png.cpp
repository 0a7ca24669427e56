// Writes the program icon (group 101, its richest 32 x 32 image) as a square
// PNG of the given size, each icon pixel becoming a block of pixels, so the
// desktop's icons are the very picture the window shows.
//
//   helicoid-icon-png SIZE OUTPUT.png     (SIZE: a multiple of 32, 32 to 1024)
//   helicoid-icon-png --maskable SIZE OUTPUT.png     (SIZE: 57 to 1024)
//
// A maskable icon (the web app's) may be cut to any shape that holds the
// circle of 80 % of its side about its centre: the whole icon is drawn inside
// that circle, at the largest whole scale, on its own background colour (its
// top left pixel).
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "resources/icon.h"
#include "resources/resource_ids.h"
#include "lib/png/png_writer.h"

int main(int argc, char** argv) {
  const bool maskable = argc == 4 && strcmp(argv[1], "--maskable") == 0;
  if (argc != 3 && !maskable) {
    fprintf(stderr, "usage: helicoid-icon-png [--maskable] SIZE OUTPUT.png\n");
    return 2;
  }
  const char* sizeText = argv[argc - 2];
  const char* output = argv[argc - 1];
  IconImage icon;
  if (!FindIconImage(IDI_HELICOID, &icon)) {
    fprintf(stderr, "helicoid-icon-png: the program has no icon 101\n");
    return 1;
  }
  char* end = nullptr;
  const long size = strtol(sizeText, &end, 10);
  // The square of side s fits the circle of diameter 0.8 n when s * sqrt(2) <= 0.8 n.
  const int maskScale = static_cast<int>(0.8 * size / std::sqrt(2.0)) / icon.width;
  const bool valid = maskable ? maskScale >= 1 : size % icon.width == 0 && size >= icon.width;
  if (*end != '\0' || !valid || size > 1024 || icon.width != icon.height) {
    if (maskable) {
      fprintf(stderr, "helicoid-icon-png: size %s is not from %d to 1024\n", sizeText,
              static_cast<int>(std::ceil(icon.width * std::sqrt(2.0) / 0.8)));
    } else {
      fprintf(stderr, "helicoid-icon-png: size %s is not a multiple of %d from %d to 1024\n",
              sizeText, icon.width, icon.width);
    }
    return 2;
  }
  const int n = static_cast<int>(size);
  const int scale = maskable ? maskScale : n / icon.width;
  const int margin = (n - scale * icon.width) / 2;
  std::vector<unsigned char> rgba(static_cast<size_t>(n) * n * 4);
  for (int y = 0; y < n; ++y) {
    for (int x = 0; x < n; ++x) {
      const int iconX = x - margin, iconY = y - margin;
      const int span = scale * icon.width;
      const bool inside = iconX >= 0 && iconY >= 0 && iconX < span && iconY < span;
      const unsigned char* from =
          inside ? icon.rgba + ((iconY / scale) * icon.width + iconX / scale) * 4 : icon.rgba;
      memcpy(&rgba[(static_cast<size_t>(y) * n + x) * 4], from, 4);
    }
  }
  FILE* file = fopen(output, "wb");
  if (file == nullptr) {
    fprintf(stderr, "helicoid-icon-png: cannot write %s: %s\n", output, strerror(errno));
    return 1;
  }
  std::string error;
  bool written = png::WritePng(file, n, n, rgba, &error);
  if (fclose(file) != 0 && written) {
    written = false;
    error = strerror(errno);
  }
  if (!written) {
    fprintf(stderr, "helicoid-icon-png: cannot write %s: %s\n", output, error.c_str());
    remove(output);
    return 1;
  }
  return 0;
}
