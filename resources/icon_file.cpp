#include "resources/icon_file.h"

#include <string.h>

namespace {

uint32_t Read16(const unsigned char* p) {
  return p[0] | (uint32_t)p[1] << 8;
}
uint32_t Read32(const unsigned char* p) {
  return Read16(p) | Read16(p + 2) << 16;
}
int32_t ReadSigned32(const unsigned char* p) {
  return (int32_t)Read32(p);
}

constexpr size_t kDirectorySize = 6;
constexpr size_t kEntrySize = 16;
constexpr size_t kInfoHeaderSize = 40;  // BITMAPINFOHEADER
constexpr int kLargestSide = 256;

struct BitmapHeader {
  uint32_t headerSize;
  int width;
  int height;  // of the picture: half the bitmap's, which holds colour and mask
  int bitCount;
  uint32_t compression;
  uint32_t paletteSize;  // entries
};

bool Fail(std::string* error, const std::string& reason) {
  if (error) *error = reason;
  return false;
}

bool ReadBitmapHeader(const unsigned char* data, const IconEntry& entry, BitmapHeader* header,
                      std::string* error) {
  const unsigned char* image = data + entry.offset;
  if (entry.size >= 4 && memcmp(image, "\x89PNG", 4) == 0)
    return Fail(error, "PNG-compressed icon images are not supported");
  if (entry.size < kInfoHeaderSize) return Fail(error, "icon image is shorter than its header");
  header->headerSize = Read32(image);
  if (header->headerSize < kInfoHeaderSize || header->headerSize > entry.size)
    return Fail(error, "icon image has a bad header size " + std::to_string(header->headerSize));
  int32_t width = ReadSigned32(image + 4);
  int32_t height = ReadSigned32(image + 8);
  if (width <= 0 || width > kLargestSide || height <= 0 || height % 2 != 0 ||
      height / 2 > kLargestSide)
    return Fail(error, "icon image has a bad size " + std::to_string(width) + " x " +
                           std::to_string(height) + " (colour and mask bitmaps)");
  header->width = width;
  header->height = height / 2;
  if (Read16(image + 12) != 1) return Fail(error, "icon image has more than one plane");
  header->bitCount = (int)Read16(image + 14);
  header->compression = Read32(image + 16);
  uint32_t used = Read32(image + 32);
  switch (header->bitCount) {
    case 1:
    case 4:
    case 8: {
      uint32_t most = 1u << header->bitCount;
      if (used > most)
        return Fail(error, "icon image lists " + std::to_string(used) + " palette colours for " +
                               std::to_string(header->bitCount) + " bits per pixel");
      header->paletteSize = used ? used : most;
      break;
    }
    case 24:
    case 32:
      header->paletteSize = 0;
      break;
    default:
      return Fail(error, "icon image has an unsupported " + std::to_string(header->bitCount) +
                             " bits per pixel");
  }
  if (header->compression != 0)
    return Fail(error, "icon image is compressed (" + std::to_string(header->compression) + ")");
  return true;
}

}  // namespace

bool ReadIconDirectory(const unsigned char* data, size_t size, std::vector<IconEntry>* entries,
                       std::string* error) {
  entries->clear();
  if (!data || size < kDirectorySize) return Fail(error, "icon file is shorter than its header");
  if (Read16(data) != 0 || Read16(data + 2) != 1) return Fail(error, "not an icon file");
  size_t count = Read16(data + 4);
  if (count == 0) return Fail(error, "icon file holds no images");
  if (size < kDirectorySize + count * kEntrySize)
    return Fail(error,
                "icon file is shorter than its directory of " + std::to_string(count) + " images");
  for (size_t i = 0; i < count; ++i) {
    const unsigned char* p = data + kDirectorySize + i * kEntrySize;
    IconEntry entry;
    entry.width = p[0] ? p[0] : 256;
    entry.height = p[1] ? p[1] : 256;
    entry.colourCount = p[2];
    entry.bitCount = (int)Read16(p + 6);
    entry.size = Read32(p + 8);
    entry.offset = Read32(p + 12);
    if ((uint64_t)entry.offset + entry.size > size)
      return Fail(error, "icon image " + std::to_string(i) + " lies outside the file (" +
                             std::to_string(entry.size) + " bytes at " +
                             std::to_string(entry.offset) + " in " + std::to_string(size) + ")");
    entries->push_back(entry);
  }
  return true;
}

int RichestIconEntry(const unsigned char* data, size_t, const std::vector<IconEntry>& entries) {
  int best = -1;
  BitmapHeader bestHeader = {};
  for (size_t i = 0; i < entries.size(); ++i) {
    BitmapHeader header;
    if (!ReadBitmapHeader(data, entries[i], &header, nullptr)) continue;
    if (best < 0 || header.bitCount > bestHeader.bitCount ||
        (header.bitCount == bestHeader.bitCount &&
         header.width * header.height > bestHeader.width * bestHeader.height)) {
      best = (int)i;
      bestHeader = header;
    }
  }
  return best;
}

bool DecodeIconEntry(const unsigned char* data, size_t size, const IconEntry& entry,
                     std::vector<unsigned char>* rgba, int* width, int* height,
                     std::string* error) {
  if ((uint64_t)entry.offset + entry.size > size)
    return Fail(error, "icon image lies outside the file");
  BitmapHeader header;
  if (!ReadBitmapHeader(data, entry, &header, error)) return false;

  const unsigned char* image = data + entry.offset;
  const uint64_t colourRow = ((uint64_t)header.width * header.bitCount + 31) / 32 * 4;
  const uint64_t maskRow = ((uint64_t)header.width + 31) / 32 * 4;
  const uint64_t paletteAt = header.headerSize;
  const uint64_t colourAt = paletteAt + 4ull * header.paletteSize;
  const uint64_t maskAt = colourAt + colourRow * header.height;
  const uint64_t end = maskAt + maskRow * header.height;
  if (end > entry.size)
    return Fail(error, "icon image needs " + std::to_string(end) + " bytes but its entry holds " +
                           std::to_string(entry.size));

  const int w = header.width, h = header.height;
  rgba->assign((size_t)w * h * 4, 0);
  for (int y = 0; y < h; ++y) {
    // Bitmaps are stored bottom row first.
    const unsigned char* colour = image + colourAt + colourRow * (h - 1 - y);
    const unsigned char* mask = image + maskAt + maskRow * (h - 1 - y);
    for (int x = 0; x < w; ++x) {
      unsigned char* out = rgba->data() + ((size_t)y * w + x) * 4;
      if (header.bitCount <= 8) {
        int bit = x * header.bitCount;
        unsigned index =
            (colour[bit / 8] >> (8 - header.bitCount - bit % 8)) & ((1u << header.bitCount) - 1);
        if (index >= header.paletteSize)
          return Fail(error, "icon pixel uses colour " + std::to_string(index) +
                                 " of a palette of " + std::to_string(header.paletteSize));
        const unsigned char* quad = image + paletteAt + 4 * index;  // blue, green, red, 0
        out[0] = quad[2];
        out[1] = quad[1];
        out[2] = quad[0];
      } else {
        const unsigned char* p = colour + x * (header.bitCount / 8);
        out[0] = p[2];
        out[1] = p[1];
        out[2] = p[0];
      }
      bool transparent = (mask[x / 8] >> (7 - x % 8)) & 1;
      if (header.bitCount == 32)
        out[3] = transparent ? 0 : colour[x * 4 + 3];
      else
        out[3] = transparent ? 0 : 255;
    }
  }
  *width = w;
  *height = h;
  return true;
}
