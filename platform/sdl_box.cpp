// Our own message box, for displays where SDL's cannot show: a window titled
// with the caption, the text as it stands (its line feeds start new lines) in
// the system's sans-serif font (fontconfig and FreeType), an icon by kind and
// an OK button. Enter, Esc, Space, the button and the close box answer it.
// Drawn with an SDL renderer at the display's full resolution.
#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <memory>

#include "platform/sdl.h"

namespace sdl {
namespace {

// Layout in logical points.
constexpr int kMargin = 16;
constexpr int kIcon = 32;
constexpr int kGap = 12;
constexpr int kButtonWidth = 88;
constexpr int kButtonHeight = 28;
constexpr int kMinWidth = 240;
constexpr int kFontSize = 13;

const SDL_Color kBackground = {240, 240, 240, 255};
const SDL_Color kInk = {0, 0, 0, 255};

// The path of the system's sans-serif font, or "" where fontconfig has none.
std::string SansSerifFont() {
  std::string path;
  if (!FcInit()) return path;
  FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>("sans-serif"));
  FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result;
  if (FcPattern* match = FcFontMatch(nullptr, pattern, &result)) {
    FcChar8* file = nullptr;
    if (FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch) {
      path = reinterpret_cast<const char*>(file);
    }
    FcPatternDestroy(match);
  }
  FcPatternDestroy(pattern);
  return path;
}

// Text set in one font at one pixel size, as an image of its ink.
class Font {
 public:
  ~Font() {
    if (face_ != nullptr) FT_Done_Face(face_);
    if (library_ != nullptr) FT_Done_FreeType(library_);
  }
  bool Open(int pixelSize, std::string* error) {
    const std::string path = SansSerifFont();
    if (path.empty()) {
      *error = "fontconfig finds no sans-serif font";
      return false;
    }
    if (FT_Init_FreeType(&library_) != 0 || FT_New_Face(library_, path.c_str(), 0, &face_) != 0 ||
        FT_Set_Pixel_Sizes(face_, 0, pixelSize) != 0) {
      *error = "FreeType cannot open the font " + path;
      return false;
    }
    return true;
  }
  int LineHeight() const { return static_cast<int>(face_->size->metrics.height >> 6); }
  int Ascent() const { return static_cast<int>(face_->size->metrics.ascender >> 6); }

  // The lines of the text, split at its line feeds.
  static std::vector<std::vector<int>> Lines(const std::string& text) {
    std::vector<std::vector<int>> lines(1);
    for (int cp : CodePoints(text.c_str())) {
      if (cp == '\n') {
        lines.emplace_back();
      } else if (cp != '\r') {
        lines.back().push_back(cp);
      }
    }
    return lines;
  }
  int Width(const std::vector<int>& line) {
    int width = 0;
    for (int cp : line) {
      if (FT_Load_Char(face_, cp, FT_LOAD_DEFAULT) == 0) width += face_->glyph->advance.x >> 6;
    }
    return width;
  }
  // Draws the text in `color` with its top-left corner at (x, y).
  void Draw(SDL_Renderer* renderer, const std::string& text, int x, int y, SDL_Color color) {
    const auto lines = Lines(text);
    int width = 1;
    for (const auto& line : lines) width = std::max(width, Width(line));
    const int height = std::max(1, LineHeight() * static_cast<int>(lines.size()));
    SDL_Surface* ink =
        SDL_CreateRGBSurfaceWithFormat(0, width, height, 32, SDL_PIXELFORMAT_ARGB8888);
    if (ink == nullptr) return;
    SDL_FillRect(ink, nullptr, SDL_MapRGBA(ink->format, color.r, color.g, color.b, 0));
    for (size_t row = 0; row < lines.size(); ++row) {
      int penX = 0;
      const int baseline = static_cast<int>(row) * LineHeight() + Ascent();
      for (int cp : lines[row]) {
        if (FT_Load_Char(face_, cp, FT_LOAD_RENDER) != 0) continue;
        const FT_GlyphSlot g = face_->glyph;
        for (unsigned gy = 0; gy < g->bitmap.rows; ++gy) {
          for (unsigned gx = 0; gx < g->bitmap.width; ++gx) {
            const int px = penX + g->bitmap_left + static_cast<int>(gx);
            const int py = baseline - g->bitmap_top + static_cast<int>(gy);
            if (px < 0 || py < 0 || px >= width || py >= height) continue;
            const Uint8 alpha = g->bitmap.buffer[gy * g->bitmap.pitch + gx];
            Uint32* pixel = static_cast<Uint32*>(ink->pixels) + py * (ink->pitch / 4) + px;
            const Uint8 old = static_cast<Uint8>(*pixel >> 24);
            *pixel = SDL_MapRGBA(ink->format, color.r, color.g, color.b, std::max(old, alpha));
          }
        }
        penX += g->advance.x >> 6;
      }
    }
    if (SDL_Texture* texture = SDL_CreateTextureFromSurface(renderer, ink)) {
      SDL_SetTextureBlendMode(texture, SDL_BLENDMODE_BLEND);
      const SDL_Rect where = {x, y, width, height};
      SDL_RenderCopy(renderer, texture, nullptr, &where);
      SDL_DestroyTexture(texture);
    }
    SDL_FreeSurface(ink);
  }

 private:
  FT_Library library_ = nullptr;
  FT_Face face_ = nullptr;
};

void Fill(SDL_Renderer* r, SDL_Color c, int x, int y, int w, int h) {
  SDL_SetRenderDrawColor(r, c.r, c.g, c.b, c.a);
  const SDL_Rect rect = {x, y, w, h};
  SDL_RenderFillRect(r, &rect);
}

// The kind's icon in a square of `size` pixels at (x, y): a red disc with a
// white cross (error), a yellow triangle with a black "!" (warning), a blue
// disc with a white "i" (information).
void DrawIcon(SDL_Renderer* r, platform::BoxKind kind, int x, int y, int size) {
  const SDL_Color white = {255, 255, 255, 255};
  const int c = size / 2;
  const int stroke = std::max(2, size / 8);
  auto disc = [&](SDL_Color color) {
    for (int row = 0; row < size; ++row) {
      const float dy = row + 0.5f - c;
      const int half = static_cast<int>(SDL_sqrtf(std::max(0.0f, c * c - dy * dy)));
      Fill(r, color, x + c - half, y + row, 2 * half, 1);
    }
  };
  switch (kind) {
    case platform::BoxKind::kError:
      disc({200, 40, 40, 255});
      for (int i = size / 4; i < size - size / 4; ++i) {
        Fill(r, white, x + i - stroke / 2, y + i - stroke / 2, stroke, stroke);
        Fill(r, white, x + size - 1 - i - stroke / 2, y + i - stroke / 2, stroke, stroke);
      }
      break;
    case platform::BoxKind::kInformation:
      disc({30, 100, 200, 255});
      Fill(r, white, x + c - stroke / 2, y + size / 5, stroke, stroke);
      Fill(r, white, x + c - stroke / 2, y + size * 2 / 5, stroke, size * 2 / 5);
      break;
    case platform::BoxKind::kWarning:
      for (int row = 0; row < size; ++row) {
        const int half = (row + 1) / 2;
        Fill(r, {240, 190, 0, 255}, x + c - half, y + row, 2 * half, 1);
      }
      Fill(r, kInk, x + c - stroke / 2, y + size * 3 / 8, stroke, size * 3 / 8);
      Fill(r, kInk, x + c - stroke / 2, y + size * 13 / 16, stroke, stroke);
      break;
    case platform::BoxKind::kPlain:
      break;
  }
}

// The box's window, made at the first box and hidden between boxes, never
// destroyed: SDL 2.26 on Wayland with decorations drawn by libdecor crashes
// in a later event dispatch once a decorated window has been destroyed.
struct Box {
  SDL_Window* window = nullptr;
  SDL_Renderer* renderer = nullptr;
};

// Where the OK button is, in logical points of a box of this size.
SDL_Rect ButtonRect(int width, int height) {
  return {width - kMargin - kButtonWidth, height - kMargin - kButtonHeight, kButtonWidth,
          kButtonHeight};
}

Uint32 WindowOf(const SDL_Event& e) {
  switch (e.type) {
    case SDL_WINDOWEVENT:
      return e.window.windowID;
    case SDL_KEYDOWN:
    case SDL_KEYUP:
      return e.key.windowID;
    case SDL_TEXTINPUT:
      return e.text.windowID;
    case SDL_MOUSEMOTION:
      return e.motion.windowID;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
      return e.button.windowID;
    case SDL_MOUSEWHEEL:
      return e.wheel.windowID;
    default:
      return 0;
  }
}

bool IsInput(const SDL_Event& e) {
  return e.type == SDL_KEYDOWN || e.type == SDL_KEYUP || e.type == SDL_TEXTINPUT ||
         e.type == SDL_MOUSEMOTION || e.type == SDL_MOUSEBUTTONDOWN ||
         e.type == SDL_MOUSEBUTTONUP || e.type == SDL_MOUSEWHEEL;
}

// The box was answered: hidden until the next one.
bool Answered(SDL_Window* window) {
  SDL_HideWindow(window);
  return true;
}

}  // namespace

bool ShowOwnMessageBox(const std::string& text, const std::string& caption, platform::BoxKind kind,
                       std::string* error) {
  // Measured at the display's scale; drawn in device pixels.
  const float scale = B().scale;
  auto px = [scale](int points) { return static_cast<int>(points * scale + 0.5f); };
  Font font;
  if (!font.Open(px(kFontSize), error)) return false;
  const auto lines = Font::Lines(text);
  int textWidth = 0;
  for (const auto& line : lines) textWidth = std::max(textWidth, font.Width(line));
  const int textHeight = font.LineHeight() * static_cast<int>(lines.size());
  const bool icon = kind != platform::BoxKind::kPlain;
  const int textX = kMargin + (icon ? kIcon + kGap : 0);
  // Wide enough for the caption in a title bar with its buttons, where the
  // display draws one (in a larger, bold face).
  const int captionWidth = Points(font.Width(CodePoints(caption.c_str()))) * 3 / 2 + 200;
  const int width = std::max({kMinWidth, captionWidth, textX + Points(textWidth) + kMargin});
  const int height =
      kMargin + std::max(icon ? kIcon : 0, Points(textHeight)) + kGap + kButtonHeight + kMargin;

  static Box box;
  if (box.window == nullptr) {
    // Made for GL from the start, as the renderer would otherwise make it again.
    box.window =
        SDL_CreateWindow(caption.c_str(), SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, width,
                         height, SDL_WINDOW_OPENGL | SDL_WINDOW_ALLOW_HIGHDPI | SDL_WINDOW_HIDDEN);
    if (box.window != nullptr) box.renderer = SDL_CreateRenderer(box.window, -1, 0);
    if (box.renderer == nullptr) {
      *error = std::string("SDL cannot make the box's window: ") + SDL_GetError();
      if (box.window != nullptr) SDL_DestroyWindow(box.window);
      box.window = nullptr;
      return false;
    }
  } else {
    SDL_SetWindowTitle(box.window, caption.c_str());
    SDL_SetWindowSize(box.window, width, height);
  }
  SDL_ShowWindow(box.window);
  SDL_RaiseWindow(box.window);
  const Uint32 id = SDL_GetWindowID(box.window);

  auto draw = [&] {
    SDL_Renderer* r = box.renderer;
    Fill(r, kBackground, 0, 0, px(width), px(height));
    if (icon) DrawIcon(r, kind, px(kMargin), px(kMargin), px(kIcon));
    font.Draw(r, text, px(textX), px(kMargin), kInk);
    const SDL_Rect b = ButtonRect(width, height);
    Fill(r, {0, 120, 215, 255}, px(b.x), px(b.y), px(b.w), px(b.h));  // the default button
    Fill(r, {225, 225, 225, 255}, px(b.x) + px(2), px(b.y) + px(2), px(b.w) - 2 * px(2),
         px(b.h) - 2 * px(2));
    const std::string ok = "OK";
    const int okWidth = font.Width(Font::Lines(ok)[0]);
    font.Draw(r, ok, px(b.x) + (px(b.w) - okWidth) / 2, px(b.y) + (px(b.h) - font.LineHeight()) / 2,
              kInk);
    SDL_RenderPresent(r);
  };
  draw();

  bool pressed = false;  // the button went down and the release is awaited
  for (;;) {
    SDL_Event e;
    if (!SDL_WaitEvent(&e)) continue;
    if (WindowOf(e) != id) {
      // Other windows are disabled while the box is up, as the box's owner is
      // on Windows; what happens to them (exposed, resized) still reaches them.
      if (!IsInput(e)) HandleEvent(e);
      continue;
    }
    if (e.type == SDL_KEYDOWN) {
      const SDL_Keycode key = e.key.keysym.sym;
      if (key == SDLK_RETURN || key == SDLK_KP_ENTER || key == SDLK_ESCAPE || key == SDLK_SPACE) {
        return Answered(box.window);
      }
    } else if (e.type == SDL_WINDOWEVENT) {
      if (e.window.event == SDL_WINDOWEVENT_CLOSE) return Answered(box.window);
      draw();  // exposed, resized, shown: drawn again
    } else if (e.type == SDL_MOUSEBUTTONDOWN || e.type == SDL_MOUSEBUTTONUP) {
      const SDL_Rect b = ButtonRect(width, height);
      const SDL_Point at = {e.button.x, e.button.y};
      const bool inside = e.button.button == SDL_BUTTON_LEFT && SDL_PointInRect(&at, &b);
      if (e.type == SDL_MOUSEBUTTONDOWN) {
        pressed = inside;
      } else if (pressed && inside) {
        return Answered(box.window);
      } else {
        pressed = false;
      }
    }
  }
}

}  // namespace sdl
