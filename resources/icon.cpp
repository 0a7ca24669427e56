#include "resources/icon.h"

#include <stdio.h>

#include <string>
#include <vector>

#include "resources/icon_file.h"
#include "resources/resource_ids.h"

// The bytes of resources/helicoid.ico, embedded at build time: the same file
// that the Windows program carries as its icon resource.
extern const unsigned char kHelicoidIconFile[];
extern const size_t kHelicoidIconFileSize;

bool FindIconImage(int id, IconImage* image) {
  if (id != IDI_HELICOID || !image) return false;
  // Decoded once; the pixels then live for the rest of the process.
  static std::vector<unsigned char> pixels;
  static int width = 0, height = 0;
  static bool decoded = false, failed = false;
  if (failed) return false;
  if (!decoded) {
    std::vector<IconEntry> entries;
    std::string error;
    int richest = -1;
    if (ReadIconDirectory(kHelicoidIconFile, kHelicoidIconFileSize, &entries, &error))
      richest = RichestIconEntry(kHelicoidIconFile, kHelicoidIconFileSize, entries);
    if (richest < 0 && error.empty()) error = "no readable image";
    if (richest < 0 || !DecodeIconEntry(kHelicoidIconFile, kHelicoidIconFileSize, entries[richest],
                                        &pixels, &width, &height, &error)) {
      fprintf(stderr, "helicoid: the built-in icon cannot be read: %s\n", error.c_str());
      failed = true;
      return false;
    }
    decoded = true;
  }
  image->width = width;
  image->height = height;
  image->rgba = pixels.data();
  return true;
}
