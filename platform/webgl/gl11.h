// Our OpenGL 1.1 subset for the browser: exactly the GL calls the viewer makes
// (matrix stacks, immediate-mode triangles, per-vertex two-sided lighting,
// fog, line polygon mode, depth test, clear), kept as state in the wasm and
// drawn through WebGL 2 by library_webgl.js. The immediate-mode calls only
// collect vertices here; each glEnd makes one upload and one draw call.
//
// The web backend creates a context per rendering context of the core and
// makes it current; every gl* call works on the current context and does
// nothing while none is current.
#pragma once

#include <string>

namespace webgl11 {

struct Context;

// Builds the WebGL 2 objects for drawing into the canvas of the page window
// `windowId`, at the canvas's size. Null with *error set to the step that
// failed (no WebGL 2, shaders, program, framebuffer), with nothing left over.
Context* CreateContext(int windowId, std::string* error);
void DeleteContext(Context* context);
// Null: no context is current.
void MakeCurrent(Context* context);
// Copies the finished picture into the canvas; the browser shows it when the
// program next gives it control.
void Present(Context* context);

}  // namespace webgl11
