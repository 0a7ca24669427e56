// GDI and WGL: the pixel formats that the backend's surfaces offer, logical
// palettes, rendering contexts over the backend's GL contexts, and the swap.
#include <cstdio>
#include <vector>

#include "platform/core/core.h"

namespace platform {
namespace {

constexpr UINT kGdiError = 0xFFFFFFFFu;

struct Context {
  NativeContext* native;
  uintptr_t window;  // the window it is drawn on (0 once that is gone)
  int format;
};

struct Graphics {
  std::map<uintptr_t, Context> contexts;
  uintptr_t current = 0;
  std::map<uintptr_t, std::vector<PALETTEENTRY>> palettes;
};

Graphics& G() {
  static Graphics graphics;
  return graphics;
}

// The descriptor of a true-colour RGBA format for GL in a window (8 bits each
// of red, green and blue).
PIXELFORMATDESCRIPTOR Descriptor(const SurfaceFormat& surface) {
  PIXELFORMATDESCRIPTOR pfd = {};
  pfd.nSize = sizeof(PIXELFORMATDESCRIPTOR);
  pfd.nVersion = 1;
  pfd.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL;
  if (surface.doubleBuffer) pfd.dwFlags |= PFD_DOUBLEBUFFER;
  pfd.iPixelType = PFD_TYPE_RGBA;
  pfd.cColorBits = 24;
  pfd.cRedBits = 8;
  pfd.cRedShift = 16;
  pfd.cGreenBits = 8;
  pfd.cGreenShift = 8;
  pfd.cBlueBits = 8;
  pfd.cBlueShift = 0;
  pfd.cDepthBits = static_cast<BYTE>(surface.depthBits);
  pfd.iLayerType = PFD_MAIN_PLANE;
  return pfd;
}

bool FormatMatches(const PIXELFORMATDESCRIPTOR& want, const PIXELFORMATDESCRIPTOR& have) {
  constexpr DWORD kDoubleBufferDontCare = 0x40000000;
  constexpr DWORD kStereoDontCare = 0x80000000;
  if (want.iPixelType != have.iPixelType) return false;
  DWORD required = want.dwFlags &
                   (PFD_DRAW_TO_WINDOW | PFD_DRAW_TO_BITMAP | PFD_SUPPORT_GDI | PFD_SUPPORT_OPENGL);
  if (!(want.dwFlags & kDoubleBufferDontCare)) required |= want.dwFlags & PFD_DOUBLEBUFFER;
  if (!(want.dwFlags & kStereoDontCare)) required |= want.dwFlags & PFD_STEREO;
  return (have.dwFlags & required) == required;
}

// Lower is better: a format that falls short of the requested depth or
// colour is worse than one that exceeds it.
int FormatDistance(const PIXELFORMATDESCRIPTOR& want, const PIXELFORMATDESCRIPTOR& have) {
  int d = 0;
  if (have.cDepthBits < want.cDepthBits)
    d += 1000 + (want.cDepthBits - have.cDepthBits);
  else
    d += have.cDepthBits - want.cDepthBits;
  if (have.cColorBits < want.cColorBits) d += 1000 + (want.cColorBits - have.cColorBits);
  if ((want.dwFlags & PFD_DOUBLEBUFFER) != (have.dwFlags & PFD_DOUBLEBUFFER)) d += 100;
  return d;
}

int FormatCount() {
  return static_cast<int>(SurfaceFormats().size());
}

uintptr_t ContextForPresent(const Window& w) {
  auto cur = G().contexts.find(G().current);
  if (cur != G().contexts.end() && cur->second.window == w.id) return cur->first;
  for (auto it = G().contexts.rbegin(); it != G().contexts.rend(); ++it) {
    if (it->second.window == w.id) return it->first;
  }
  return 0;
}

void ReleaseCurrent() {
  if (G().current != 0) MakeGLCurrent(nullptr, nullptr);
  G().current = 0;
}

}  // namespace

void ForgetWindowContexts(uintptr_t id) {
  for (auto& c : G().contexts) {
    if (c.second.window != id) continue;
    if (G().current == c.first) ReleaseCurrent();
    c.second.window = 0;
  }
}

void ResetGraphics() {
  ReleaseCurrent();
  for (auto& c : G().contexts) DeleteGLContext(c.second.native);
  G() = Graphics();
}

}  // namespace platform

using namespace platform;

int WINAPI ChoosePixelFormat(HDC hdc, const PIXELFORMATDESCRIPTOR* pfd) {
  if (pfd == nullptr) {
    Log("ChoosePixelFormat (null)");
    return 0;
  }
  Log("ChoosePixelFormat flags=0x%lx type=%d color=%d depth=%d",
      static_cast<unsigned long>(pfd->dwFlags), pfd->iPixelType, pfd->cColorBits, pfd->cDepthBits);
  if (WindowOfDC(hdc) == nullptr) return 0;
  if (Fails(Fault::kChoosePixelFormat)) return 0;
  const std::vector<SurfaceFormat> formats = SurfaceFormats();
  int best = 0, bestDistance = 0;
  for (size_t i = 0; i < formats.size(); ++i) {
    const PIXELFORMATDESCRIPTOR have = Descriptor(formats[i]);
    if (!FormatMatches(*pfd, have)) continue;
    const int d = FormatDistance(*pfd, have);
    if (best == 0 || d < bestDistance) {
      best = static_cast<int>(i) + 1;
      bestDistance = d;
    }
  }
  return best;
}

BOOL WINAPI SetPixelFormat(HDC hdc, int format, const PIXELFORMATDESCRIPTOR* /*pfd*/) {
  Log("SetPixelFormat");
  Window* w = WindowOfDC(hdc);
  if (w == nullptr || Fails(Fault::kSetPixelFormat)) return FALSE;
  if (format < 1 || format > FormatCount()) return FALSE;
  // A window's pixel format is set once for its life.
  if (w->pixelFormat != 0) return w->pixelFormat == format ? TRUE : FALSE;
  w->pixelFormat = format;
  return TRUE;
}

int WINAPI GetPixelFormat(HDC hdc) {
  Log("GetPixelFormat");
  const Window* w = WindowOfDC(hdc);
  return w == nullptr ? 0 : w->pixelFormat;
}

int WINAPI DescribePixelFormat(HDC hdc, int format, UINT bytes, LPPIXELFORMATDESCRIPTOR pfd) {
  Log("DescribePixelFormat");
  if (WindowOfDC(hdc) == nullptr && Id(hdc) != kScreenDC) return 0;
  const std::vector<SurfaceFormat> formats = SurfaceFormats();
  const int count = static_cast<int>(formats.size());
  if (pfd == nullptr) return count;
  if (format < 1 || format > count || bytes < sizeof(PIXELFORMATDESCRIPTOR)) return 0;
  *pfd = Descriptor(formats[format - 1]);
  if (Hooks().describe) Hooks().describe(format, pfd);
  return count;
}

HPALETTE WINAPI CreatePalette(const LOGPALETTE* logPalette) {
  Log("CreatePalette");
  if (logPalette == nullptr) return nullptr;
  const int count = logPalette->palNumEntries;
  if (Hooks().palette) Hooks().palette(logPalette->palVersion, logPalette->palPalEntry, count);
  if (count == 0 || Fails(Fault::kCreatePalette)) return nullptr;
  const uintptr_t id = NewHandle();
  G().palettes[id].assign(logPalette->palPalEntry, logPalette->palPalEntry + count);
  return reinterpret_cast<HPALETTE>(id);
}

HPALETTE WINAPI SelectPalette(HDC hdc, HPALETTE palette, BOOL /*forceBackground*/) {
  Log("SelectPalette");
  Window* w = WindowOfDC(hdc);
  if (w == nullptr) return nullptr;
  if (Id(palette) != kStockPalette && G().palettes.count(Id(palette)) == 0) return nullptr;
  const uintptr_t previous = w->palette;
  w->palette = Id(palette);
  return reinterpret_cast<HPALETTE>(previous);
}

UINT WINAPI RealizePalette(HDC hdc) {
  Log("RealizePalette");
  // True colour: no system palette entries to map.
  return WindowOfDC(hdc) == nullptr ? kGdiError : 0;
}

BOOL WINAPI UnrealizeObject(HGDIOBJ object) {
  Log("UnrealizeObject");
  const uintptr_t id = Id(object);
  return (id == kStockPalette || G().palettes.count(id) != 0) ? TRUE : FALSE;
}

BOOL WINAPI SwapBuffers(HDC hdc) {
  Log("SwapBuffers");
  Window* w = WindowOfDC(hdc);
  if (w == nullptr || w->pixelFormat == 0) return FALSE;
  const uintptr_t context = ContextForPresent(*w);
  NativeContext* native = context != 0 ? G().contexts[context].native : nullptr;
  return Present(w->native, native) ? TRUE : FALSE;
}

HGLRC WINAPI wglCreateContext(HDC hdc) {
  Log("wglCreateContext");
  Window* w = WindowOfDC(hdc);
  if (w == nullptr || w->pixelFormat == 0) return nullptr;
  if (Fails(Fault::kCreateContext)) return nullptr;
  std::string error;
  NativeContext* native = CreateGLContext(w->native, w->pixelFormat, &error);
  if (native == nullptr) {
    fprintf(stderr, "platform: wglCreateContext: %s\n", error.c_str());
    return nullptr;
  }
  const uintptr_t id = NewHandle();
  G().contexts[id] = Context{native, w->id, w->pixelFormat};
  return reinterpret_cast<HGLRC>(id);
}

BOOL WINAPI wglMakeCurrent(HDC hdc, HGLRC context) {
  Log("wglMakeCurrent");
  if (context == nullptr) {
    ReleaseCurrent();
    return TRUE;
  }
  auto it = G().contexts.find(Id(context));
  Window* w = WindowOfDC(hdc);
  if (it == G().contexts.end() || w == nullptr || w->pixelFormat != it->second.format) return FALSE;
  if (!MakeGLCurrent(w->native, it->second.native)) return FALSE;
  it->second.window = w->id;
  G().current = it->first;
  return TRUE;
}

BOOL WINAPI wglDeleteContext(HGLRC context) {
  Log("wglDeleteContext");
  auto it = G().contexts.find(Id(context));
  if (it == G().contexts.end()) return FALSE;
  if (G().current == it->first) ReleaseCurrent();
  NativeContext* native = it->second.native;
  G().contexts.erase(it);
  DeleteGLContext(native);
  return TRUE;
}
