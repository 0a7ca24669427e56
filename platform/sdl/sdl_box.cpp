// Our own message box, for displays where SDL's cannot show: a fixed-size
// dialog titled with the caption, the text as it stands (its line feeds start
// new lines) in the system's sans-serif font (fontconfig finds the face,
// SDL_ttf draws FreeType's glyphs in whatever pixel mode a font holds, bitmap
// strikes included), an icon by kind and an OK button. Enter, Esc, Space, the
// button and the close box answer it. Drawn with an SDL renderer at the full
// resolution of the box's own display, laid out again if that changes; the
// GL attributes and the current context are as before once it is answered.
#include <SDL_ttf.h>
#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cstdlib>
#include <memory>

#include "platform/sdl/sdl.h"

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

// A face of a font file: a collection (.ttc) holds several.
struct FontFace {
  std::string path;
  int index = 0;
};

// The system's sans-serif face; an empty path where fontconfig has none.
FontFace SansSerifFont() {
  FontFace face;
  if (!FcInit()) return face;
  FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>("sans-serif"));
  FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result;
  if (FcPattern* match = FcFontMatch(nullptr, pattern, &result)) {
    FcChar8* file = nullptr;
    if (FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch) {
      face.path = reinterpret_cast<const char*>(file);
      if (FcPatternGetInteger(match, FC_INDEX, 0, &face.index) != FcResultMatch) face.index = 0;
    }
    FcPatternDestroy(match);
  }
  FcPatternDestroy(pattern);
  return face;
}

// The size to ask SDL_ttf for: the pixel size for an outline font (at 72
// dots an inch a point is a pixel); for a font of bitmap strikes only, which
// SDL_ttf selects by their index, the index of the strike nearest in height.
bool SizeToAsk(const FontFace& face, int pixelSize, int* size, std::string* error) {
  FT_Library library = nullptr;
  FT_Face ft = nullptr;
  if (FT_Init_FreeType(&library) != 0 ||
      FT_New_Face(library, face.path.c_str(), face.index, &ft) != 0) {
    *error = "FreeType cannot open the font " + face.path;
    if (library != nullptr) FT_Done_FreeType(library);
    return false;
  }
  *size = pixelSize;
  bool ok = true;
  if (!FT_IS_SCALABLE(ft)) {
    ok = ft->num_fixed_sizes > 0;
    int best = 0;
    for (int i = 1; i < ft->num_fixed_sizes; ++i) {
      if (std::abs(ft->available_sizes[i].height - pixelSize) <
          std::abs(ft->available_sizes[best].height - pixelSize)) {
        best = i;
      }
    }
    *size = best;
    if (!ok) *error = "the font " + face.path + " has neither outlines nor bitmap strikes";
  }
  FT_Done_Face(ft);
  FT_Done_FreeType(library);
  return ok;
}

// Text set in one face at one pixel size.
class Font {
 public:
  Font() = default;
  Font(const Font&) = delete;
  Font& operator=(const Font&) = delete;
  ~Font() { Close(); }
  bool Open(int pixelSize, std::string* error) {
    Close();
    const FontFace face = SansSerifFont();
    if (face.path.empty()) {
      *error = "fontconfig finds no sans-serif font";
      return false;
    }
    if (TTF_WasInit() == 0 && TTF_Init() != 0) {
      *error = std::string("SDL_ttf cannot start: ") + TTF_GetError();
      return false;
    }
    int size = 0;
    if (!SizeToAsk(face, pixelSize, &size, error)) return false;
    font_ = TTF_OpenFontIndex(face.path.c_str(), size, face.index);
    if (font_ == nullptr) {
      *error = "SDL_ttf cannot open the font " + face.path + ": " + TTF_GetError();
      return false;
    }
    return true;
  }
  int LineHeight() const { return std::max(1, TTF_FontLineSkip(font_)); }

  // The lines of the text (UTF-8), split at its line feeds.
  static std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines(1);
    for (char c : text) {
      if (c == '\n') {
        lines.emplace_back();
      } else if (c != '\r') {
        lines.back().push_back(c);
      }
    }
    return lines;
  }
  int Width(const std::string& line) const {
    int width = 0, height = 0;
    if (line.empty() || TTF_SizeUTF8(font_, line.c_str(), &width, &height) != 0) return 0;
    return width;
  }
  int Width(const std::vector<std::string>& lines) const {
    int width = 0;
    for (const auto& line : lines) width = std::max(width, Width(line));
    return width;
  }
  // Draws the text in `color` with its top-left corner at (x, y).
  void Draw(SDL_Renderer* renderer, const std::string& text, int x, int y, SDL_Color color) const {
    const auto lines = Lines(text);
    for (size_t row = 0; row < lines.size(); ++row) {
      if (lines[row].empty()) continue;
      SDL_Surface* ink = TTF_RenderUTF8_Blended(font_, lines[row].c_str(), color);
      if (ink == nullptr) continue;
      if (SDL_Texture* texture = SDL_CreateTextureFromSurface(renderer, ink)) {
        SDL_SetTextureBlendMode(texture, SDL_BLENDMODE_BLEND);
        const SDL_Rect where = {x, y + static_cast<int>(row) * LineHeight(), ink->w, ink->h};
        SDL_RenderCopy(renderer, texture, nullptr, &where);
        SDL_DestroyTexture(texture);
      }
      SDL_FreeSurface(ink);
    }
  }

 private:
  void Close() {
    if (font_ != nullptr) TTF_CloseFont(font_);
    font_ = nullptr;
  }
  TTF_Font* font_ = nullptr;
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

// The box laid out for one scale: sizes in logical points, the font at the
// scale's pixel size.
struct Layout {
  float scale = 0;
  int width = 0, height = 0;
  int textX = 0;
  Font font;
};

bool LayOut(const std::string& text, const std::string& caption, bool icon, float scale, Layout* l,
            std::string* error) {
  l->scale = scale;
  if (!l->font.Open(PointsToPixels(l->scale, kFontSize), error)) return false;
  const auto lines = Font::Lines(text);
  const int textWidth = l->font.Width(lines);
  const int textHeight = l->font.LineHeight() * static_cast<int>(lines.size());
  l->textX = kMargin + (icon ? kIcon + kGap : 0);
  // Wide enough for the caption in a title bar with its buttons, where the
  // display draws one (in a larger, bold face).
  const int captionWidth = PixelsToPoints(l->scale, l->font.Width(caption)) * 3 / 2 + 200;
  l->width =
      std::max({kMinWidth, captionWidth, l->textX + PixelsToPoints(l->scale, textWidth) + kMargin});
  l->height = kMargin + std::max(icon ? kIcon : 0, PixelsToPoints(l->scale, textHeight)) + kGap +
              kButtonHeight + kMargin;
  return true;
}

// A fixed size: a tiling desktop floats a window whose least and greatest
// sizes are equal, at that size, as it floats a dialog.
void FixSize(SDL_Window* window, int width, int height) {
  SDL_SetWindowMinimumSize(window, width, height);
  SDL_SetWindowMaximumSize(window, width, height);
  SDL_SetWindowSize(window, width, height);
}

// Device pixels a logical point in the box as its renderer draws it.
float RendererScale(const Box& box, float fallback) {
  int points = 0, pixels = 0, unused = 0;
  SDL_GetWindowSize(box.window, &points, &unused);
  if (SDL_GetRendererOutputSize(box.renderer, &pixels, &unused) != 0) return fallback;
  return ScaleOf(points, pixels, fallback);
}

// SDL's GL renderer asks for a GL of its own (2.1, or OpenGL ES) through the
// attributes that every later context is made with; the program's contexts
// must be made as the backend asked, box or not.
struct GLRequest {
  int major = 0, minor = 0, profile = 0, flags = 0;
  static GLRequest Current() {
    GLRequest r;
    SDL_GL_GetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, &r.major);
    SDL_GL_GetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, &r.minor);
    SDL_GL_GetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, &r.profile);
    SDL_GL_GetAttribute(SDL_GL_CONTEXT_FLAGS, &r.flags);
    return r;
  }
  void Restore() const {
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, major);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, minor);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, profile);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_FLAGS, flags);
  }
};

// Makes the box's window (hidden, fixed in size, a dialog where the display
// has window types) and its renderer. False, with the reason in *error.
bool MakeBox(Box* box, const std::string& caption, int width, int height, std::string* error) {
  const GLRequest request = GLRequest::Current();
  SDL_SetHint(SDL_HINT_X11_WINDOW_TYPE, "_NET_WM_WINDOW_TYPE_DIALOG");
  box->window =
      SDL_CreateWindow(caption.c_str(), SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, width,
                       height, SDL_WINDOW_OPENGL | SDL_WINDOW_ALLOW_HIGHDPI | SDL_WINDOW_HIDDEN);
  SDL_SetHint(SDL_HINT_X11_WINDOW_TYPE, nullptr);
  if (box->window != nullptr) {
    FixSize(box->window, width, height);
    box->renderer = SDL_CreateRenderer(box->window, -1, 0);
  }
  request.Restore();
  if (box->renderer == nullptr) {
    *error = std::string("SDL cannot make the box's window: ") + SDL_GetError();
    if (box->window != nullptr) SDL_DestroyWindow(box->window);
    box->window = nullptr;
    return false;
  }
  return true;
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

// Where a box was shown: the context current before it is current again (the
// renderer makes its own current whenever it draws).
struct CurrentContext {
  SDL_Window* window = SDL_GL_GetCurrentWindow();
  SDL_GLContext context = SDL_GL_GetCurrentContext();
  ~CurrentContext() { SDL_GL_MakeCurrent(context != nullptr ? window : nullptr, context); }
};

}  // namespace

bool ShowOwnMessageBox(const std::string& text, const std::string& caption, platform::BoxKind kind,
                       std::string* error) {
  const CurrentContext current;
  const bool icon = kind != platform::BoxKind::kPlain;
  // Laid out at the main display's scale first, then at the box's own.
  Layout layout;
  if (!LayOut(text, caption, icon, DisplayScale(0), &layout, error)) return false;
  static Box box;
  if (box.window == nullptr) {
    if (!MakeBox(&box, caption, layout.width, layout.height, error)) return false;
  } else {
    SDL_SetWindowTitle(box.window, caption.c_str());
    FixSize(box.window, layout.width, layout.height);
  }
  // Follows the scale of the display the box is on.
  auto follow = [&]() -> bool {
    const float scale = RendererScale(box, layout.scale);
    if (scale == layout.scale) return true;
    if (!LayOut(text, caption, icon, scale, &layout, error)) return false;
    FixSize(box.window, layout.width, layout.height);
    return true;
  };
  if (!follow()) return false;
  SDL_ShowWindow(box.window);
  // Again once shown, before its first picture: a Wayland window takes its
  // least and greatest sizes only from then, and a tiling compositor decides
  // whether it floats when that picture maps it.
  FixSize(box.window, layout.width, layout.height);
  SDL_RaiseWindow(box.window);
  const Uint32 id = SDL_GetWindowID(box.window);

  auto draw = [&] {
    SDL_Renderer* r = box.renderer;
    const Layout& l = layout;
    auto px = [&l](int points) { return PointsToPixels(l.scale, points); };
    Fill(r, kBackground, 0, 0, px(l.width), px(l.height));
    if (icon) DrawIcon(r, kind, px(kMargin), px(kMargin), px(kIcon));
    l.font.Draw(r, text, px(l.textX), px(kMargin), kInk);
    const SDL_Rect b = ButtonRect(l.width, l.height);
    Fill(r, {0, 120, 215, 255}, px(b.x), px(b.y), px(b.w), px(b.h));  // the default button
    const int edge = px(2);
    Fill(r, {225, 225, 225, 255}, px(b.x) + edge, px(b.y) + edge, px(b.w) - 2 * edge,
         px(b.h) - 2 * edge);
    const std::string ok = "OK";
    l.font.Draw(r, ok, px(b.x) + (px(b.w) - l.font.Width(ok)) / 2,
                px(b.y) + (px(b.h) - l.font.LineHeight()) / 2, kInk);
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
      // Exposed, resized, moved to another display: laid out and drawn again.
      if (!follow()) {
        Answered(box.window);
        return false;
      }
      draw();
    } else if (e.type == SDL_MOUSEBUTTONDOWN || e.type == SDL_MOUSEBUTTONUP) {
      const SDL_Rect b = ButtonRect(layout.width, layout.height);
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
