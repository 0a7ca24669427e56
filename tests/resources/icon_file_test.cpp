// The program icon: the committed file is what the generator draws, the
// window icon on Linux is decoded from those same bytes, and the decoder
// refuses broken files with a reason instead of reading past them.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "resources/icon.h"
#include "resources/icon_file.h"

namespace {

using Bytes = std::vector<unsigned char>;

Bytes ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

Bytes CommittedIcon() {
  return ReadFile(HELICOID_ICON_FILE);
}

void Put32(Bytes* bytes, size_t at, uint32_t value) {
  for (int i = 0; i < 4; ++i) (*bytes)[at + i] = (value >> (8 * i)) & 0xff;
}

struct Decoded {
  bool ok = false;
  std::string error;
  std::vector<unsigned char> rgba;
  int width = 0, height = 0;
};

Decoded DecodeEntry(const Bytes& file, size_t index) {
  Decoded d;
  std::vector<IconEntry> entries;
  d.ok = ReadIconDirectory(file.data(), file.size(), &entries, &d.error);
  if (!d.ok) return d;
  if (index >= entries.size()) {
    d.ok = false;
    d.error = "no such entry";
    return d;
  }
  d.ok = DecodeIconEntry(file.data(), file.size(), entries[index], &d.rgba, &d.width, &d.height,
                         &d.error);
  return d;
}

std::set<uint32_t> Colours(const std::vector<unsigned char>& rgba) {
  std::set<uint32_t> colours;
  for (size_t i = 0; i + 3 < rgba.size(); i += 4)
    colours.insert(rgba[i] << 16 | rgba[i + 1] << 8 | rgba[i + 2]);
  return colours;
}

// Offsets in the committed file: the directory (6 bytes), two entries of 16,
// then the 16-colour image and the 256-colour image.
constexpr size_t kEntry0 = 6, kEntry1 = 22;
size_t ImageOffset(const Bytes& file, size_t entry) {
  return file[entry + 12] | file[entry + 13] << 8 | file[entry + 14] << 16 | file[entry + 15] << 24;
}

TEST(ProgramIcon, CommittedFileIsWhatTheGeneratorDraws) {
  const std::string drawn = std::string(::testing::TempDir()) + "helicoid-icon-test.ico";
  const std::string command =
      std::string(HELICOID_EMULATOR) + " \"" + HELICOID_MAKE_ICON + "\" \"" + drawn + "\"";
  ASSERT_EQ(std::system(command.c_str()), 0) << command;
  Bytes fresh = ReadFile(drawn);
  std::remove(drawn.c_str());
  EXPECT_FALSE(fresh.empty());
  EXPECT_TRUE(fresh == CommittedIcon())
      << "resources/helicoid.ico differs from what helicoid-make-icon draws; regenerate it";
}

TEST(ProgramIcon, GroupHoldsA16AndA256Colour32x32Image) {
  Bytes file = CommittedIcon();
  std::vector<IconEntry> entries;
  std::string error;
  ASSERT_TRUE(ReadIconDirectory(file.data(), file.size(), &entries, &error)) << error;
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].width, 32);
  EXPECT_EQ(entries[0].height, 32);
  EXPECT_EQ(entries[0].colourCount, 16);
  EXPECT_EQ(entries[0].bitCount, 4);
  EXPECT_EQ(entries[1].width, 32);
  EXPECT_EQ(entries[1].height, 32);
  EXPECT_EQ(entries[1].colourCount, 0);  // 256
  EXPECT_EQ(entries[1].bitCount, 8);
  EXPECT_EQ(RichestIconEntry(file.data(), file.size(), entries), 1);

  Decoded low = DecodeEntry(file, 0), high = DecodeEntry(file, 1);
  ASSERT_TRUE(low.ok) << low.error;
  ASSERT_TRUE(high.ok) << high.error;
  EXPECT_LE(Colours(low.rgba).size(), 16u);
  EXPECT_GT(Colours(high.rgba).size(), 16u);
  // Both are the same picture: they differ only by their palettes.
  ASSERT_EQ(low.rgba.size(), high.rgba.size());
  double difference = 0;
  for (size_t i = 0; i < low.rgba.size(); ++i) difference += std::abs(low.rgba[i] - high.rgba[i]);
  EXPECT_LT(difference / low.rgba.size(), 12.0);
}

TEST(ProgramIcon, WindowIconIsThe256ColourImage) {
  IconImage image = {};
  ASSERT_TRUE(FindIconImage(101, &image));
  ASSERT_EQ(image.width, 32);
  ASSERT_EQ(image.height, 32);
  ASSERT_NE(image.rgba, nullptr);
  Decoded high = DecodeEntry(CommittedIcon(), 1);
  ASSERT_TRUE(high.ok) << high.error;
  EXPECT_TRUE(std::vector<unsigned char>(image.rgba, image.rgba + 32 * 32 * 4) == high.rgba);

  // Dark grey corners, opaque everywhere, the picture in the middle.
  const unsigned char* top_left = image.rgba;
  const unsigned char* bottom_right = image.rgba + (32 * 32 - 1) * 4;
  for (const unsigned char* p : {top_left, bottom_right}) {
    EXPECT_EQ(p[0], 38);
    EXPECT_EQ(p[1], 38);
    EXPECT_EQ(p[2], 38);
  }
  for (int i = 0; i < 32 * 32; ++i) ASSERT_EQ(image.rgba[i * 4 + 3], 255) << "pixel " << i;
  const unsigned char* middle = image.rgba + (16 * 32 + 16) * 4;
  EXPECT_FALSE(middle[0] == 38 && middle[1] == 38 && middle[2] == 38);

  IconImage again = {};
  ASSERT_TRUE(FindIconImage(101, &again));
  EXPECT_EQ(again.rgba, image.rgba);  // decoded once, kept
  IconImage other = {};
  EXPECT_FALSE(FindIconImage(100, &other));
  EXPECT_FALSE(FindIconImage(101, nullptr));
}

TEST(IconDecoding, RowsAreStoredBottomUpAndTheMaskMakesPixelsTransparent) {
  Bytes file = CommittedIcon();
  const size_t image = ImageOffset(file, kEntry1);
  const size_t palette = image + 40, colour = palette + 256 * 4, mask = colour + 32 * 32;
  // Give the first stored (bottom) row's first pixel a colour of its own.
  file[colour] = 7;
  file[palette + 7 * 4 + 0] = 1;  // blue
  file[palette + 7 * 4 + 1] = 2;  // green
  file[palette + 7 * 4 + 2] = 3;  // red
  file[mask + 31 * 4] |= 0x80;    // last stored (top) row, first pixel
  Decoded d = DecodeEntry(file, 1);
  ASSERT_TRUE(d.ok) << d.error;
  const unsigned char* bottom_left = d.rgba.data() + 31 * 32 * 4;
  EXPECT_EQ(bottom_left[0], 3);
  EXPECT_EQ(bottom_left[1], 2);
  EXPECT_EQ(bottom_left[2], 1);
  EXPECT_EQ(bottom_left[3], 255);
  EXPECT_EQ(d.rgba[3], 0);  // top left, masked
  EXPECT_EQ(d.rgba[7], 255);
}

TEST(IconDecoding, TrueColourImagesKeepTheirOwnAlpha) {
  // A hand-made file: one 2 x 2 image of 32 bits per pixel.
  Bytes file(6 + 16 + 40 + 2 * 2 * 4 + 2 * 4, 0);
  file[2] = 1;  // icon
  file[4] = 1;  // one image
  file[6] = 2;
  file[7] = 2;
  file[10] = 1;
  file[12] = 32;
  Put32(&file, 14, (uint32_t)(file.size() - 22));
  Put32(&file, 18, 22);
  Put32(&file, 22, 40);
  Put32(&file, 26, 2);
  Put32(&file, 30, 4);
  file[34] = 1;
  file[36] = 32;
  const unsigned char pixels[16] = {10, 20, 30, 40, 11, 21, 31, 41,    // bottom row: B G R A
                                    12, 22, 32, 42, 13, 23, 33, 255};  // top row
  std::copy(pixels, pixels + 16, file.begin() + 62);
  Decoded d = DecodeEntry(file, 0);
  ASSERT_TRUE(d.ok) << d.error;
  ASSERT_EQ(d.width, 2);
  ASSERT_EQ(d.height, 2);
  const std::vector<unsigned char> want = {32, 22, 12, 42, 33, 23, 13, 255,
                                           30, 20, 10, 40, 31, 21, 11, 41};
  EXPECT_EQ(d.rgba, want);
}

// Every broken file is refused with a reason that names the fault.
TEST(IconDecoding, BrokenFilesAreRefusedWithAReason) {
  struct Case {
    const char* what;
    std::function<void(Bytes*)> breakIt;
    const char* reason;
  };
  const Case cases[] = {
      {"empty file", [](Bytes* f) { f->clear(); }, "shorter than its header"},
      {"a cursor file", [](Bytes* f) { (*f)[2] = 2; }, "not an icon file"},
      {"no images", [](Bytes* f) { (*f)[4] = 0; }, "holds no images"},
      {"directory cut short", [](Bytes* f) { f->resize(30); }, "shorter than its directory"},
      {"more images listed than there are", [](Bytes* f) { (*f)[4] = 200; },
       "shorter than its directory"},
      {"image beyond the end", [](Bytes* f) { Put32(f, kEntry1 + 12, (uint32_t)f->size() - 100); },
       "outside the file"},
      {"offset that wraps around", [](Bytes* f) { Put32(f, kEntry1 + 12, 0xfffffff0u); },
       "outside the file"},
      {"size that wraps around", [](Bytes* f) { Put32(f, kEntry1 + 8, 0xffffff00u); },
       "outside the file"},
      {"file cut in the mask", [](Bytes* f) { f->resize(f->size() - 10); }, "outside the file"},
      {"entry too small for its bitmap", [](Bytes* f) { Put32(f, kEntry1 + 8, 40 + 1024 + 1024); },
       "needs"},
      {"PNG image",
       [](Bytes* f) {
         size_t at = ImageOffset(*f, kEntry1);
         (*f)[at] = 0x89, (*f)[at + 1] = 'P', (*f)[at + 2] = 'N', (*f)[at + 3] = 'G';
       },
       "PNG"},
      {"header size too small", [](Bytes* f) { Put32(f, ImageOffset(*f, kEntry1), 12); },
       "bad header size"},
      {"zero width", [](Bytes* f) { Put32(f, ImageOffset(*f, kEntry1) + 4, 0); }, "bad size"},
      {"negative width", [](Bytes* f) { Put32(f, ImageOffset(*f, kEntry1) + 4, 0xffffffe0u); },
       "bad size"},
      {"odd bitmap height", [](Bytes* f) { Put32(f, ImageOffset(*f, kEntry1) + 8, 63); },
       "bad size"},
      {"huge picture", [](Bytes* f) { Put32(f, ImageOffset(*f, kEntry1) + 4, 1 << 20); },
       "bad size"},
      {"16 bits per pixel", [](Bytes* f) { (*f)[ImageOffset(*f, kEntry1) + 14] = 16; },
       "unsupported 16 bits"},
      {"run-length compressed", [](Bytes* f) { (*f)[ImageOffset(*f, kEntry1) + 16] = 1; },
       "compressed"},
      {"more palette colours than the bits allow",
       [](Bytes* f) { Put32(f, ImageOffset(*f, kEntry1) + 32, 257); }, "palette colours"},
      {"pixel outside a short palette",
       [](Bytes* f) { Put32(f, ImageOffset(*f, kEntry1) + 32, 2); }, "of a palette of 2"},
  };
  for (const Case& c : cases) {
    Bytes file = CommittedIcon();
    c.breakIt(&file);
    Decoded d = DecodeEntry(file, 1);
    EXPECT_FALSE(d.ok) << c.what;
    EXPECT_NE(d.error.find(c.reason), std::string::npos)
        << c.what << ": the reason was \"" << d.error << "\"";
  }
}

TEST(IconDecoding, RichestSkipsImagesItCannotRead) {
  Bytes file = CommittedIcon();
  file[ImageOffset(file, kEntry1) + 14] = 16;  // the 256-colour image becomes unreadable
  std::vector<IconEntry> entries;
  std::string error;
  ASSERT_TRUE(ReadIconDirectory(file.data(), file.size(), &entries, &error)) << error;
  EXPECT_EQ(RichestIconEntry(file.data(), file.size(), entries), 0);
  file[ImageOffset(file, kEntry0) + 14] = 16;
  EXPECT_EQ(RichestIconEntry(file.data(), file.size(), entries), -1);
}

}  // namespace
