// Draws the program's icon and writes it as a Windows icon file.
//
//   helicoid-make-icon OUTPUT.ico
//
// The picture is a small view of the model: the two twisted strips of the
// helicoid, shaded, on the viewer's dark grey. It is rendered once in true
// colour with 4 x 4 supersampling, then stored twice in one icon group: a
// 16-colour and a 256-colour 32 x 32 image, each with a palette of its own
// chosen from the picture. The output is deterministic, and the committed
// resources/helicoid.ico is exactly what this program writes.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <vector>

namespace {

constexpr int kSize = 32;
constexpr int kSuper = 4;
constexpr int kFine = kSize * kSuper;
constexpr double kPi = 3.14159265358979323846;

struct Rgb {
  int r, g, b;
};
constexpr Rgb kBackground = {38, 38, 38};

struct Vec3 {
  double x, y, z;
};
Vec3 Sub(Vec3 a, Vec3 b) {
  return {a.x - b.x, a.y - b.y, a.z - b.z};
}
Vec3 Cross(Vec3 a, Vec3 b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
double Dot(Vec3 a, Vec3 b) {
  return a.x * b.x + a.y * b.y + a.z * b.z;
}
Vec3 Normalize(Vec3 v) {
  double n = std::sqrt(Dot(v, v));
  return n > 0 ? Vec3{v.x / n, v.y / n, v.z / n} : v;
}

// A point of strip `strip` (0 or 1) at height level k (0..49) and radius step
// j (0..9): the same grid as the model's, a helicoid about the y axis turning
// one radian per unit of height, with the core inside radius 4 left out.
Vec3 StripPoint(int strip, int k, int j) {
  double t = k * 5.0 * kPi / 49.0;
  double s = (strip == 0 ? 4.0 : -8.0) + 4.0 * j / 9.0;
  return {-s * std::sin(t), t, s * std::cos(t)};
}

// Model space to the fine raster: centre the model, turn it a little about
// the vertical axis and tip it towards the viewer so that the twist shows,
// then scale the height to fit the icon with a one-pixel margin.
Vec3 Project(Vec3 p) {
  const double yaw = 0.3, pitch = 0.55;
  double x = p.x, y = p.y - 2.5 * kPi, z = p.z;
  double x1 = x * std::cos(yaw) + z * std::sin(yaw);
  double z1 = -x * std::sin(yaw) + z * std::cos(yaw);
  double y2 = y * std::cos(pitch) - z1 * std::sin(pitch);
  double z2 = y * std::sin(pitch) + z1 * std::cos(pitch);
  const double scale = (kFine - 2.0 * kSuper) / 19.0;
  return {kFine / 2.0 + x1 * scale, kFine / 2.0 - y2 * scale, z2};
}

struct Fine {
  std::vector<double> depth = std::vector<double>(kFine * kFine, -1e9);
  std::vector<std::array<double, 3>> colour =
      std::vector<std::array<double, 3>>(kFine * kFine, {0, 0, 0});
  std::vector<bool> covered = std::vector<bool>(kFine * kFine, false);
};

// Flat-shaded triangle, lit on whichever side faces the viewer (the model is
// lit on both sides), with a cool fill light from below.
void DrawTriangle(Fine* fine, Vec3 a, Vec3 b, Vec3 c, const double base[3]) {
  Vec3 pa = Project(a), pb = Project(b), pc = Project(c);
  Vec3 n = Normalize(Cross(Sub(pb, pa), Sub(pc, pa)));
  if (n.z < 0) n = {-n.x, -n.y, -n.z};
  // Raster y grows downwards: the key light comes from the upper left front.
  double key = std::max(0.0, Dot(n, Normalize({-0.5, -0.6, 0.7})));
  double fill = std::max(0.0, Dot(n, Normalize({0.6, 0.8, 0.3})));
  double level[3];
  for (int i = 0; i < 3; ++i) {
    double fillColour = i == 2 ? 0.35 : 0.18;
    level[i] = std::min(1.0, base[i] * (0.12 + 0.95 * key) + fillColour * fill);
  }
  double area = (pb.x - pa.x) * (pc.y - pa.y) - (pb.y - pa.y) * (pc.x - pa.x);
  if (std::fabs(area) < 1e-12) return;
  int x0 = std::max(0, (int)std::floor(std::min({pa.x, pb.x, pc.x})));
  int x1 = std::min(kFine - 1, (int)std::ceil(std::max({pa.x, pb.x, pc.x})));
  int y0 = std::max(0, (int)std::floor(std::min({pa.y, pb.y, pc.y})));
  int y1 = std::min(kFine - 1, (int)std::ceil(std::max({pa.y, pb.y, pc.y})));
  for (int y = y0; y <= y1; ++y) {
    for (int x = x0; x <= x1; ++x) {
      double px = x + 0.5, py = y + 0.5;
      double w0 = ((pb.x - px) * (pc.y - py) - (pb.y - py) * (pc.x - px)) / area;
      double w1 = ((pc.x - px) * (pa.y - py) - (pc.y - py) * (pa.x - px)) / area;
      double w2 = 1.0 - w0 - w1;
      if (w0 < 0 || w1 < 0 || w2 < 0) continue;
      double z = w0 * pa.z + w1 * pb.z + w2 * pc.z;
      int at = y * kFine + x;
      if (z <= fine->depth[at]) continue;
      fine->depth[at] = z;
      fine->covered[at] = true;
      fine->colour[at] = {level[0] * 255, level[1] * 255, level[2] * 255};
    }
  }
}

std::vector<Rgb> RenderPicture() {
  Fine fine;
  const double warm[3] = {0.95, 0.72, 0.30};
  const double cool[3] = {0.35, 0.75, 0.80};
  for (int strip = 0; strip < 2; ++strip) {
    for (int k = 0; k < 49; ++k) {
      for (int j = 0; j < 9; ++j) {
        Vec3 a = StripPoint(strip, k, j), b = StripPoint(strip, k + 1, j);
        Vec3 c = StripPoint(strip, k, j + 1), d = StripPoint(strip, k + 1, j + 1);
        const double* base = strip == 0 ? warm : cool;
        DrawTriangle(&fine, a, d, b, base);
        DrawTriangle(&fine, c, d, a, base);
      }
    }
  }
  std::vector<Rgb> picture(kSize * kSize);
  for (int y = 0; y < kSize; ++y) {
    for (int x = 0; x < kSize; ++x) {
      double sum[3] = {0, 0, 0};
      for (int sy = 0; sy < kSuper; ++sy) {
        for (int sx = 0; sx < kSuper; ++sx) {
          int at = (y * kSuper + sy) * kFine + x * kSuper + sx;
          const double bg[3] = {(double)kBackground.r, (double)kBackground.g,
                                (double)kBackground.b};
          for (int i = 0; i < 3; ++i) sum[i] += fine.covered[at] ? fine.colour[at][i] : bg[i];
        }
      }
      const double n = kSuper * kSuper;
      picture[y * kSize + x] = {(int)std::lround(sum[0] / n), (int)std::lround(sum[1] / n),
                                (int)std::lround(sum[2] / n)};
    }
  }
  return picture;
}

int Distance(Rgb a, Rgb b) {
  int dr = a.r - b.r, dg = a.g - b.g, db = a.b - b.b;
  return dr * dr + dg * dg + db * db;
}

// A palette of `count` colours for the picture: the background first, the
// rest by median cut over the other pixels (every pixel weighs the same).
std::vector<Rgb> ChoosePalette(const std::vector<Rgb>& picture, int count) {
  std::vector<Rgb> palette = {kBackground};
  std::vector<Rgb> pixels;
  for (const Rgb& p : picture)
    if (Distance(p, kBackground) != 0) pixels.push_back(p);
  std::vector<std::vector<Rgb>> boxes = {pixels};
  auto channel = [](const Rgb& p, int c) { return c == 0 ? p.r : c == 1 ? p.g : p.b; };
  auto spread = [&](const std::vector<Rgb>& box, int* widest) {
    int best = -1;
    for (int c = 0; c < 3; ++c) {
      int lo = 255, hi = 0;
      for (const Rgb& p : box) {
        lo = std::min(lo, channel(p, c));
        hi = std::max(hi, channel(p, c));
      }
      if (hi - lo > best) best = hi - lo, *widest = c;
    }
    return best;
  };
  while ((int)boxes.size() < count - 1) {
    int pick = -1, pickSpread = 0, pickChannel = 0;
    for (size_t i = 0; i < boxes.size(); ++i) {
      int c = 0;
      int s = boxes[i].size() > 1 ? spread(boxes[i], &c) : 0;
      if (s > pickSpread) pick = (int)i, pickSpread = s, pickChannel = c;
    }
    if (pick < 0) break;  // every box holds a single colour
    std::vector<Rgb>& box = boxes[pick];
    std::stable_sort(box.begin(), box.end(), [&](const Rgb& a, const Rgb& b) {
      return channel(a, pickChannel) < channel(b, pickChannel);
    });
    size_t half = box.size() / 2;
    std::vector<Rgb> upper(box.begin() + half, box.end());
    box.resize(half);
    boxes.push_back(upper);
  }
  for (const std::vector<Rgb>& box : boxes) {
    if (box.empty()) continue;
    long sum[3] = {0, 0, 0};
    for (const Rgb& p : box) sum[0] += p.r, sum[1] += p.g, sum[2] += p.b;
    long n = (long)box.size();
    palette.push_back(
        {(int)((sum[0] + n / 2) / n), (int)((sum[1] + n / 2) / n), (int)((sum[2] + n / 2) / n)});
  }
  while ((int)palette.size() < count) palette.push_back({0, 0, 0});
  return palette;
}

int Nearest(const std::vector<Rgb>& palette, Rgb p) {
  int best = 0;
  for (int i = 1; i < (int)palette.size(); ++i)
    if (Distance(palette[i], p) < Distance(palette[best], p)) best = i;
  return best;
}

void Put16(std::vector<uint8_t>* out, unsigned v) {
  out->push_back(v & 0xff);
  out->push_back((v >> 8) & 0xff);
}
void Put32(std::vector<uint8_t>* out, uint32_t v) {
  Put16(out, v & 0xffff);
  Put16(out, v >> 16);
}

// One icon image: BITMAPINFOHEADER (height doubled for the colour and mask
// bitmaps), palette, colour bitmap bottom row first, then an all-opaque mask.
std::vector<uint8_t> EncodeImage(const std::vector<Rgb>& picture, int bitCount) {
  const int colours = 1 << bitCount;
  std::vector<Rgb> palette = ChoosePalette(picture, colours);
  const int colourRow = (kSize * bitCount + 31) / 32 * 4;
  const int maskRow = (kSize + 31) / 32 * 4;
  std::vector<uint8_t> out;
  Put32(&out, 40);
  Put32(&out, kSize);
  Put32(&out, 2 * kSize);
  Put16(&out, 1);
  Put16(&out, bitCount);
  Put32(&out, 0);  // BI_RGB
  Put32(&out, (colourRow + maskRow) * kSize);
  Put32(&out, 0);
  Put32(&out, 0);
  Put32(&out, 0);
  Put32(&out, 0);
  for (const Rgb& c : palette) {
    out.push_back(c.b);
    out.push_back(c.g);
    out.push_back(c.r);
    out.push_back(0);
  }
  for (int y = kSize - 1; y >= 0; --y) {
    std::vector<uint8_t> row(colourRow, 0);
    for (int x = 0; x < kSize; ++x) {
      int index = Nearest(palette, picture[y * kSize + x]);
      int bit = x * bitCount;
      row[bit / 8] |= index << (8 - bitCount - bit % 8);
    }
    out.insert(out.end(), row.begin(), row.end());
  }
  out.insert(out.end(), maskRow * kSize, 0);
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s OUTPUT.ico\n", argv[0]);
    return 2;
  }
  std::vector<Rgb> picture = RenderPicture();
  std::vector<uint8_t> images[2] = {EncodeImage(picture, 4), EncodeImage(picture, 8)};

  std::vector<uint8_t> file;
  Put16(&file, 0);
  Put16(&file, 1);  // icon
  Put16(&file, 2);
  uint32_t offset = 6 + 16 * 2;
  for (int i = 0; i < 2; ++i) {
    int bitCount = i == 0 ? 4 : 8;
    file.push_back(kSize);
    file.push_back(kSize);
    file.push_back(bitCount == 4 ? 16 : 0);  // colours; 0 means 256 or more
    file.push_back(0);
    Put16(&file, 1);
    Put16(&file, bitCount);
    Put32(&file, (uint32_t)images[i].size());
    Put32(&file, offset);
    offset += (uint32_t)images[i].size();
  }
  for (const std::vector<uint8_t>& image : images)
    file.insert(file.end(), image.begin(), image.end());

  FILE* out = std::fopen(argv[1], "wb");
  if (!out) {
    std::perror(argv[1]);
    return 1;
  }
  bool ok = std::fwrite(file.data(), 1, file.size(), out) == file.size();
  ok = std::fclose(out) == 0 && ok;
  if (!ok) {
    std::fprintf(stderr, "%s: write failed\n", argv[1]);
    return 1;
  }
  return 0;
}
