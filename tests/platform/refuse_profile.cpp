// In front of SDL (LD_PRELOAD) for the X server test: says each GL context
// made on stdout; with HELICOID_REFUSE_PROFILE set, refuses a context that
// names a profile, as some OpenGL 2.1 drivers do.
#include <SDL.h>
#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>

extern "C" SDL_GLContext SDL_GL_CreateContext(SDL_Window* window) {
  int profile = 0;
  SDL_GL_GetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, &profile);
  if (profile != 0 && getenv("HELICOID_REFUSE_PROFILE") != nullptr) {
    SDL_SetError("profile %d refused", profile);
    return nullptr;
  }
  auto create = reinterpret_cast<SDL_GLContext (*)(SDL_Window*)>(dlsym(RTLD_NEXT, __func__));
  SDL_GLContext context = create(window);
  if (context != nullptr) printf("SDL context made\n");
  fflush(stdout);
  return context;
}
