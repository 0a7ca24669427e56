// Reading Windows icon files (.ico): the directory and the bitmap images.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

// One image as the icon directory lists it.
struct IconEntry {
  int width;  // pixels; the directory's 0 means 256
  int height;
  int colourCount;  // as listed: 0 means 256 or more
  int bitCount;     // as listed; may be 0 in files that leave it to the bitmap
  uint32_t size;    // bytes of the image data
  uint32_t offset;  // where the image data starts in the file
};

// Reads the directory of an icon file. False, with the reason in `error`,
// when the bytes are not an icon file or an entry lies outside them.
bool ReadIconDirectory(const unsigned char* data, size_t size, std::vector<IconEntry>* entries,
                       std::string* error);

// The entry with the most bits per pixel (taken from its bitmap header), and
// of those the largest; -1 if no entry has a readable header.
int RichestIconEntry(const unsigned char* data, size_t size, const std::vector<IconEntry>& entries);

// Decodes one image to RGBA bytes, rows top to bottom. Handles uncompressed
// bitmaps of 1, 4 and 8 bits with a palette and of 24 and 32 bits; pixels set
// in the mask become transparent (32-bit images use their own alpha).
// False, with the reason in `error`, for anything else or for data that does
// not fit in the entry.
bool DecodeIconEntry(const unsigned char* data, size_t size, const IconEntry& entry,
                     std::vector<unsigned char>* rgba, int* width, int* height, std::string* error);
