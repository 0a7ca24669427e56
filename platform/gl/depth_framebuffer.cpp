#include "platform/gl/depth_framebuffer.h"

#include <GL/glext.h>

namespace platform {
namespace {

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

  template <typename F>
  static bool Get(GLProcLoader load, const char* name, F* f) {
    *f = reinterpret_cast<F>(load(name));
    return *f != nullptr;
  }

  bool Load(GLProcLoader load) {
    if (blitFramebuffer != nullptr) return true;
    return Get(load, "glGenFramebuffers", &genFramebuffers) &&
           Get(load, "glDeleteFramebuffers", &deleteFramebuffers) &&
           Get(load, "glBindFramebuffer", &bindFramebuffer) &&
           Get(load, "glGenRenderbuffers", &genRenderbuffers) &&
           Get(load, "glDeleteRenderbuffers", &deleteRenderbuffers) &&
           Get(load, "glBindRenderbuffer", &bindRenderbuffer) &&
           Get(load, "glRenderbufferStorage", &renderbufferStorage) &&
           Get(load, "glFramebufferRenderbuffer", &framebufferRenderbuffer) &&
           Get(load, "glCheckFramebufferStatus", &checkFramebufferStatus) &&
           Get(load, "glBlitFramebuffer", &blitFramebuffer);
  }
};

FramebufferCalls gCalls;

}  // namespace

bool CreateDepthFramebuffer(GLProcLoader load, int width, int height, DepthFramebuffer* target,
                            std::string* error) {
  if (!gCalls.Load(load)) {
    *error = "the GL has no framebuffer objects";
    return false;
  }
  const FramebufferCalls& gl = gCalls;
  DepthFramebuffer f;
  f.width = width;
  f.height = height;
  gl.genFramebuffers(1, &f.framebuffer);
  gl.genRenderbuffers(1, &f.color);
  gl.genRenderbuffers(1, &f.depth);
  gl.bindRenderbuffer(GL_RENDERBUFFER, f.color);
  gl.renderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, width, height);
  gl.bindRenderbuffer(GL_RENDERBUFFER, f.depth);
  gl.renderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT16, width, height);
  gl.bindRenderbuffer(GL_RENDERBUFFER, 0);
  gl.bindFramebuffer(GL_FRAMEBUFFER, f.framebuffer);
  gl.framebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, f.color);
  gl.framebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, f.depth);
  // A driver may store the depth deeper than asked; that is the fault this
  // framebuffer is here to avoid, so it counts as a failure.
  GLint depthBits = 0;
  const bool complete = gl.checkFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
  if (complete) glGetIntegerv(GL_DEPTH_BITS, &depthBits);
  if (!complete || depthBits != 16) {
    gl.bindFramebuffer(GL_FRAMEBUFFER, 0);
    gl.deleteFramebuffers(1, &f.framebuffer);
    gl.deleteRenderbuffers(1, &f.color);
    gl.deleteRenderbuffers(1, &f.depth);
    *error = complete ? "the GL gives a " + std::to_string(depthBits) +
                            "-bit depth buffer where 16 bits were asked for"
                      : "the GL cannot make a " + std::to_string(width) + " x " +
                            std::to_string(height) + " framebuffer with a 16-bit depth buffer";
    return false;
  }
  *target = f;
  return true;
}

bool ResizeDepthFramebuffer(DepthFramebuffer* f, int width, int height, std::string* error) {
  if (f->width == width && f->height == height) return true;
  const FramebufferCalls& gl = gCalls;
  auto store = [&gl, f](int w, int h) {
    gl.bindRenderbuffer(GL_RENDERBUFFER, f->color);
    gl.renderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, w, h);
    gl.bindRenderbuffer(GL_RENDERBUFFER, f->depth);
    gl.renderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT16, w, h);
    gl.bindRenderbuffer(GL_RENDERBUFFER, 0);
    gl.bindFramebuffer(GL_FRAMEBUFFER, f->framebuffer);
    return gl.checkFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
  };
  for (int i = 0; i < 8 && glGetError() != GL_NO_ERROR; ++i) {
  }
  if (width > 0 && height > 0 && store(width, height) && glGetError() == GL_NO_ERROR) {
    f->width = width;
    f->height = height;
    return true;
  }
  *error = "the GL cannot make the framebuffer " + std::to_string(width) + " x " +
           std::to_string(height);
  store(f->width, f->height);
  return false;
}

void BindDepthFramebuffer(const DepthFramebuffer& f) {
  gCalls.bindFramebuffer(GL_FRAMEBUFFER, f.framebuffer);
}

void CopyToWindow(const DepthFramebuffer& f) {
  gCalls.bindFramebuffer(GL_READ_FRAMEBUFFER, f.framebuffer);
  gCalls.bindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
  gCalls.blitFramebuffer(0, 0, f.width, f.height, 0, 0, f.width, f.height, GL_COLOR_BUFFER_BIT,
                         GL_NEAREST);
}

}  // namespace platform
