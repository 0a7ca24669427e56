// A framebuffer object with a colour buffer and a 16-bit depth buffer, for
// drawing whatever depth buffer the display's own surface has (or without
// one). The model draws every triangle twice, once in each winding; a deeper
// buffer tells the two copies apart by rounding noise and stripes the
// picture. Used by the SDL backend (for window buffers deeper than 16 bits)
// and by the offscreen GL (always).
#pragma once

#include <GL/gl.h>

#include <string>

namespace platform {

struct DepthFramebuffer {
  GLuint framebuffer = 0;
  GLuint color = 0;
  GLuint depth = 0;
  int width = 0;
  int height = 0;
};

// Finds a GL entry point by name in the current context's library.
typedef void* (*GLProcLoader)(const char* name);

// With a context current: makes a width x height framebuffer and binds it
// for drawing and reading. False, with the reason in *error, where the GL has
// no framebuffer objects or cannot give this one a 16-bit depth buffer.
bool CreateDepthFramebuffer(GLProcLoader load, int width, int height, DepthFramebuffer* target,
                            std::string* error);
// With its context current: gives it a new size (the window's, after the
// window was resized), its picture undefined until the next clear. The
// viewport is left as it is. False, with the reason in *error, where the GL
// cannot store that size; the framebuffer then keeps its old size.
bool ResizeDepthFramebuffer(DepthFramebuffer* f, int width, int height, std::string* error);
// Binds it again (after drawing into the window's own buffer).
void BindDepthFramebuffer(const DepthFramebuffer& f);
// Copies its picture into the window's own back buffer, ready for a swap.
void CopyToWindow(const DepthFramebuffer& f);

}  // namespace platform
