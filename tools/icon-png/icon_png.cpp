// Writes the program icon (group 101, its richest 32 x 32 image) as a square
// PNG of the given size, each icon pixel becoming a block of pixels, so the
// desktop's icons are the very picture the window shows.
//
//   helicoid-icon-png SIZE OUTPUT.png     (SIZE: a multiple of 32, 32 to 1024)
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "resources/icon.h"
#include "resources/resource_ids.h"
#include "lib/png/png_writer.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    fprintf(stderr, "usage: helicoid-icon-png SIZE OUTPUT.png\n");
    return 2;
  }
  IconImage icon;
  if (!FindIconImage(IDI_HELICOID, &icon)) {
    fprintf(stderr, "helicoid-icon-png: the program has no icon 101\n");
    return 1;
  }
  char* end = nullptr;
  const long size = strtol(argv[1], &end, 10);
  if (*end != '\0' || size < icon.width || size > 1024 || size % icon.width != 0 ||
      icon.width != icon.height) {
    fprintf(stderr, "helicoid-icon-png: size %s is not a multiple of %d from %d to 1024\n", argv[1],
            icon.width, icon.width);
    return 2;
  }
  const int n = static_cast<int>(size);
  const int scale = n / icon.width;
  std::vector<unsigned char> rgba(static_cast<size_t>(n) * n * 4);
  for (int y = 0; y < n; ++y) {
    for (int x = 0; x < n; ++x) {
      const unsigned char* from = icon.rgba + ((y / scale) * icon.width + x / scale) * 4;
      memcpy(&rgba[(static_cast<size_t>(y) * n + x) * 4], from, 4);
    }
  }
  FILE* file = fopen(argv[2], "wb");
  if (file == nullptr) {
    fprintf(stderr, "helicoid-icon-png: cannot write %s: %s\n", argv[2], strerror(errno));
    return 1;
  }
  std::string error;
  bool written = snapshot::WritePng(file, n, n, rgba, &error);
  if (fclose(file) != 0 && written) {
    written = false;
    error = strerror(errno);
  }
  if (!written) {
    fprintf(stderr, "helicoid-icon-png: cannot write %s: %s\n", argv[2], error.c_str());
    remove(argv[2]);
    return 1;
  }
  return 0;
}
