// The 16-bit depth framebuffer of the SDL backend (see DepthFramebuffer).
#include "platform/sdl.h"

namespace sdl {
namespace {

using platform::DepthFramebuffer;

// Framebuffer-object entry points (GL 3.0 or ARB_framebuffer_object), loaded
// once a context exists.
struct FramebufferCalls {
  PFNGLGENFRAMEBUFFERSPROC genFramebuffers = nullptr;
  PFNGLDELETEFRAMEBUFFERSPROC deleteFramebuffers = nullptr;
  PFNGLBINDFRAMEBUFFERPROC bindFramebuffer = nullptr;
  PFNGLGENRENDERBUFFERSPROC genRenderbuffers = nullptr;
  PFNGLDELETERENDERBUFFERSPROC deleteRenderbuffers = nullptr;
  PFNGLBINDRENDERBUFFERPROC bindRenderbuffer = nullptr;
  PFNGLRENDERBUFFERSTORAGEPROC renderbufferStorage = nullptr;
  PFNGLFRAMEBUFFERRENDERBUFFERPROC framebufferRenderbuffer = nullptr;
  PFNGLCHECKFRAMEBUFFERSTATUSPROC checkFramebufferStatus = nullptr;
  PFNGLBLITFRAMEBUFFERPROC blitFramebuffer = nullptr;

  bool Load() {
    if (blitFramebuffer != nullptr) return true;
    auto get = [](const char* name) { return SDL_GL_GetProcAddress(name); };
    genFramebuffers = reinterpret_cast<PFNGLGENFRAMEBUFFERSPROC>(get("glGenFramebuffers"));
    deleteFramebuffers = reinterpret_cast<PFNGLDELETEFRAMEBUFFERSPROC>(get("glDeleteFramebuffers"));
    bindFramebuffer = reinterpret_cast<PFNGLBINDFRAMEBUFFERPROC>(get("glBindFramebuffer"));
    genRenderbuffers = reinterpret_cast<PFNGLGENRENDERBUFFERSPROC>(get("glGenRenderbuffers"));
    deleteRenderbuffers =
        reinterpret_cast<PFNGLDELETERENDERBUFFERSPROC>(get("glDeleteRenderbuffers"));
    bindRenderbuffer = reinterpret_cast<PFNGLBINDRENDERBUFFERPROC>(get("glBindRenderbuffer"));
    renderbufferStorage =
        reinterpret_cast<PFNGLRENDERBUFFERSTORAGEPROC>(get("glRenderbufferStorage"));
    framebufferRenderbuffer =
        reinterpret_cast<PFNGLFRAMEBUFFERRENDERBUFFERPROC>(get("glFramebufferRenderbuffer"));
    checkFramebufferStatus =
        reinterpret_cast<PFNGLCHECKFRAMEBUFFERSTATUSPROC>(get("glCheckFramebufferStatus"));
    PFNGLBLITFRAMEBUFFERPROC blit =
        reinterpret_cast<PFNGLBLITFRAMEBUFFERPROC>(get("glBlitFramebuffer"));
    if (!genFramebuffers || !deleteFramebuffers || !bindFramebuffer || !genRenderbuffers ||
        !deleteRenderbuffers || !bindRenderbuffer || !renderbufferStorage ||
        !framebufferRenderbuffer || !checkFramebufferStatus) {
      return false;
    }
    blitFramebuffer = blit;
    return blitFramebuffer != nullptr;
  }
};

FramebufferCalls gFramebufferCalls;

}  // namespace

void SetUpDepthFramebuffer(SDL_Window* window, DepthFramebuffer* target) {
  GLint depthBits = 0;
  glGetIntegerv(GL_DEPTH_BITS, &depthBits);
  if (depthBits == 16 || !gFramebufferCalls.Load()) return;
  const FramebufferCalls& gl = gFramebufferCalls;
  DepthFramebuffer f;
  SDL_GL_GetDrawableSize(window, &f.width, &f.height);
  if (f.width <= 0 || f.height <= 0) return;
  gl.genFramebuffers(1, &f.framebuffer);
  gl.genRenderbuffers(1, &f.color);
  gl.genRenderbuffers(1, &f.depth);
  gl.bindRenderbuffer(GL_RENDERBUFFER, f.color);
  gl.renderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, f.width, f.height);
  gl.bindRenderbuffer(GL_RENDERBUFFER, f.depth);
  gl.renderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT16, f.width, f.height);
  gl.bindRenderbuffer(GL_RENDERBUFFER, 0);
  gl.bindFramebuffer(GL_FRAMEBUFFER, f.framebuffer);
  gl.framebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, f.color);
  gl.framebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, f.depth);
  if (gl.checkFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
    gl.bindFramebuffer(GL_FRAMEBUFFER, 0);
    gl.deleteFramebuffers(1, &f.framebuffer);
    gl.deleteRenderbuffers(1, &f.color);
    gl.deleteRenderbuffers(1, &f.depth);
    return;
  }
  *target = f;
}

void CopyToWindow(const DepthFramebuffer& f) {
  const FramebufferCalls& gl = gFramebufferCalls;
  gl.bindFramebuffer(GL_READ_FRAMEBUFFER, f.framebuffer);
  gl.bindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
  gl.blitFramebuffer(0, 0, f.width, f.height, 0, 0, f.width, f.height, GL_COLOR_BUFFER_BIT,
                     GL_NEAREST);
}

void BindDepthFramebuffer(const DepthFramebuffer& f) {
  gFramebufferCalls.bindFramebuffer(GL_FRAMEBUFFER, f.framebuffer);
}

}  // namespace sdl
