// The WebGL 2 side of our GL 1.1 subset (gl11.cpp): one drawing program that
// evaluates the fixed-function lighting of OpenGL 1.1 per vertex and its fog
// per fragment, a framebuffer at the canvas's backing size with depth held to
// 16 bits like the native builds' depth buffer, and the copy of the finished
// picture to the canvas. gl11.cpp calls these functions a few times per
// frame: clear, one upload and draw per glEnd, present.
//
// Every WebGL object can be made again from nothing: when the browser takes
// the context away (a GPU reset, memory pressure, a page in the background)
// the calls draw nothing, and when it gives the context back the objects are
// rebuilt and the window is drawn again as if it had been uncovered. State
// that the GL calls set lives in the wasm and is sent with every batch.

var LibraryHelicoidWebGL = {
  $HxGl__deps: ['$HxPage'],
  $HxGl: {
    contexts: [null],  // handle -> context; 0 is no context

    // Shared by both stages; every member is a vec4 (std140), laid out as
    // DrawUniforms in gl11.cpp.
    block: 'layout(std140) uniform FixedFunction {\n' +
      '  mat4 modelview; mat4 projection; mat4 normalMatrix;\n' +
      '  vec4 lightPosition[8];\n' +
      '  vec4 ambientProduct[16]; vec4 diffuseProduct[16]; vec4 specularProduct[16];\n' +
      '  vec4 sceneColor[2]; vec4 currentColor; vec4 fogColor;\n' +
      '  vec4 fogParams; vec4 shading; vec4 shininess;\n' +
      '};\n',

    vertexShader: '' +
      'layout(location = 0) in vec3 position;\n' +
      'layout(location = 1) in vec3 normal;\n' +
      // Edges: 1 on a front face, 0 on a back face; -1 for filled triangles,
      // whose side the rasteriser knows.
      'layout(location = 2) in float side;\n' +
      'out vec4 frontColor; out vec4 backColor; out float fogDistance; out float edgeSide;\n' +
      'vec4 Lit(vec3 n, int face) {\n' +
      '  vec3 c = sceneColor[face].rgb;\n' +
      '  int count = int(shading.x);\n' +
      '  for (int i = 0; i < 8; ++i) {\n' +
      '    if (i >= count) break;\n' +
      '    vec3 toLight = normalize(lightPosition[i].xyz);  // directional lights only\n' +
      '    int k = face * 8 + i;\n' +
      '    c += ambientProduct[k].rgb;\n' +
      '    float nl = dot(n, toLight);\n' +
      '    if (nl > 0.0) {\n' +
      '      c += nl * diffuseProduct[k].rgb;\n' +
      '      float nh = max(dot(n, normalize(toLight + vec3(0.0, 0.0, 1.0))), 0.0);\n' +
      '      float s = shininess[face];\n' +
      '      c += (s == 0.0 ? 1.0 : pow(nh, s)) * specularProduct[k].rgb;\n' +
      '    }\n' +
      '  }\n' +
      '  return clamp(vec4(c, sceneColor[face].a), 0.0, 1.0);\n' +
      '}\n' +
      'void main() {\n' +
      '  vec4 eye = modelview * vec4(position, 1.0);\n' +
      '  gl_Position = projection * eye;\n' +
      '  if (shading.y != 0.0) {\n' +
      '    vec3 n = mat3(normalMatrix) * normal;\n' +
      '    frontColor = Lit(n, 0);\n' +
      '    backColor = shading.z != 0.0 ? Lit(-n, 1) : frontColor;\n' +
      '  } else {\n' +
      '    frontColor = currentColor; backColor = currentColor;\n' +
      '  }\n' +
      '  fogDistance = abs(eye.z);\n' +
      '  edgeSide = side;\n' +
      '}\n',

    fragmentShader: '' +
      'in vec4 frontColor; in vec4 backColor; in float fogDistance; in float edgeSide;\n' +
      'out vec4 fragColor;\n' +
      'void main() {\n' +
      '  bool front = edgeSide < 0.0 ? gl_FrontFacing : edgeSide > 0.5;\n' +
      '  vec4 color = front ? frontColor : backColor;\n' +
      '  if (fogParams.x != 0.0) {\n' +
      '    float f;\n' +
      '    if (fogParams.x == 2.0) f = exp(-fogParams.y * fogDistance);\n' +
      '    else { float d = fogParams.y * fogDistance; f = exp(-d * d); }\n' +
      '    color.rgb = mix(fogColor.rgb, color.rgb, clamp(f, 0.0, 1.0));\n' +
      '  }\n' +
      '  fragColor = color;\n' +
      // Depth as a 16-bit buffer holds it, whatever the browser's buffer
      // holds: the model has each triangle twice, once in each winding, and
      // finer depth would tell the two copies apart by rounding noise.
      '  gl_FragDepth = floor(gl_FragCoord.z * 65535.0 + 0.5) / 65535.0;\n' +
      '}\n',

    // Causes of a failed set-up, as hxgl_create returns them (gl11.cpp).
    NO_WEBGL2: -1, NO_COMPILE: -2, NO_LINK: -3, INCOMPLETE: -4,

    compile: function(gl, type, body) {
      var shader = gl.createShader(type);
      gl.shaderSource(shader, '#version 300 es\nprecision highp float;\n' + HxGl.block + body);
      gl.compileShader(shader);
      if (gl.getShaderParameter(shader, gl.COMPILE_STATUS)) return shader;
      console.error('helicoid: the ' + (type === gl.VERTEX_SHADER ? 'vertex' : 'fragment') +
                    ' shader does not compile: ' + gl.getShaderInfoLog(shader));
      gl.deleteShader(shader);
      return null;
    },

    // The drawing program, or a cause; the shaders go once it is linked.
    build: function(gl) {
      var vs = HxGl.compile(gl, gl.VERTEX_SHADER, HxGl.vertexShader);
      var fs = vs && HxGl.compile(gl, gl.FRAGMENT_SHADER, HxGl.fragmentShader);
      if (!fs) {
        gl.deleteShader(vs);
        return HxGl.NO_COMPILE;
      }
      var program = gl.createProgram();
      gl.attachShader(program, vs);
      gl.attachShader(program, fs);
      gl.linkProgram(program);
      var linked = gl.getProgramParameter(program, gl.LINK_STATUS);
      if (!linked) console.error('helicoid: the program does not link: ' + gl.getProgramInfoLog(program));
      gl.detachShader(program, vs);
      gl.detachShader(program, fs);
      gl.deleteShader(vs);
      gl.deleteShader(fs);
      if (!linked) {
        gl.deleteProgram(program);
        return HxGl.NO_LINK;
      }
      gl.uniformBlockBinding(program, gl.getUniformBlockIndex(program, 'FixedFunction'), 0);
      return program;
    },

    // A vertex array over `buffer` for vertices of `stride` floats; the
    // side attribute comes from the buffer only for edges.
    vertexArray: function(gl, buffer, stride, withSide) {
      var array = gl.createVertexArray();
      gl.bindVertexArray(array);
      gl.bindBuffer(gl.ARRAY_BUFFER, buffer);
      gl.enableVertexAttribArray(0);
      gl.vertexAttribPointer(0, 3, gl.FLOAT, false, stride * 4, 0);
      gl.enableVertexAttribArray(1);
      gl.vertexAttribPointer(1, 3, gl.FLOAT, false, stride * 4, 12);
      if (withSide) {
        gl.enableVertexAttribArray(2);
        gl.vertexAttribPointer(2, 1, gl.FLOAT, false, stride * 4, 24);
      }
      gl.bindVertexArray(null);
      return array;
    },

    // Makes every WebGL object of context `c` for its canvas's backing size;
    // 0, or the cause of the failure with everything made so far freed.
    setUp: function(c) {
      var gl = c.gl;
      var program = HxGl.build(gl);
      if (program < 0) return program;
      c.program = program;
      c.color = gl.createRenderbuffer();
      c.depth = gl.createRenderbuffer();
      c.framebuffer = gl.createFramebuffer();
      HxGl.storeSize(c);
      gl.bindFramebuffer(gl.FRAMEBUFFER, c.framebuffer);
      gl.framebufferRenderbuffer(gl.FRAMEBUFFER, gl.COLOR_ATTACHMENT0, gl.RENDERBUFFER, c.color);
      gl.framebufferRenderbuffer(gl.FRAMEBUFFER, gl.DEPTH_ATTACHMENT, gl.RENDERBUFFER, c.depth);
      var status = gl.checkFramebufferStatus(gl.FRAMEBUFFER);
      if (status !== gl.FRAMEBUFFER_COMPLETE) {
        console.error('helicoid: the drawing framebuffer is incomplete (status 0x' + status.toString(16) + ')');
        HxGl.free(c);
        return HxGl.INCOMPLETE;
      }
      gl.depthFunc(gl.LESS);
      c.vertices = gl.createBuffer();
      c.fillArray = HxGl.vertexArray(gl, c.vertices, 6, false);
      c.edgeArray = HxGl.vertexArray(gl, c.vertices, 7, true);
      gl.vertexAttrib1f(2, -1);
      c.uniforms = gl.createBuffer();
      gl.bindBuffer(gl.UNIFORM_BUFFER, c.uniforms);
      gl.bindBufferBase(gl.UNIFORM_BUFFER, 0, c.uniforms);
      gl.useProgram(program);
      return 0;
    },

    // Storage for the colour and depth renderbuffers at the canvas's backing
    // size, and the GL's default viewport: the whole window.
    storeSize: function(c) {
      var gl = c.gl;
      c.width = c.canvas.width;
      c.height = c.canvas.height;
      gl.bindRenderbuffer(gl.RENDERBUFFER, c.color);
      gl.renderbufferStorage(gl.RENDERBUFFER, gl.RGBA8, c.width, c.height);
      gl.bindRenderbuffer(gl.RENDERBUFFER, c.depth);
      gl.renderbufferStorage(gl.RENDERBUFFER, gl.DEPTH_COMPONENT16, c.width, c.height);
      gl.viewport(0, 0, c.width, c.height);
    },

    free: function(c) {
      var gl = c.gl;
      gl.deleteFramebuffer(c.framebuffer);
      gl.deleteRenderbuffer(c.color);
      gl.deleteRenderbuffer(c.depth);
      gl.deleteBuffer(c.vertices);
      gl.deleteBuffer(c.uniforms);
      gl.deleteVertexArray(c.fillArray);
      gl.deleteVertexArray(c.edgeArray);
      gl.deleteProgram(c.program);
      c.framebuffer = c.color = c.depth = c.vertices = c.uniforms = null;
      c.fillArray = c.edgeArray = c.program = null;
    },

    // The context that `handle` names, while it can draw.
    drawable: function(handle) {
      var c = HxGl.contexts[handle];
      return c && !c.lost && !c.gl.isContextLost() ? c : null;
    },

    // Follows the browser's loss and restoring of the context; says so on
    // the page if the context stays away.
    watchLoss: function(c, windowId) {
      c.onLost = function(e) {
        e.preventDefault();  // or the browser never gives the context back
        c.lost = true;
        c.lostTimer = setTimeout(function() {
          HxPage.notice(windowId, 'The browser took the graphics context away and has not given it back: ' +
                                  'the picture comes back when it does, or reload the page.');
        }, HxGl.LOST_NOTICE_MS);
      };
      c.onRestored = function() {
        clearTimeout(c.lostTimer);
        HxPage.notice(windowId, null);
        var cause = HxGl.setUp(c);
        if (cause < 0) {
          console.error('helicoid: the restored graphics context cannot be set up (cause ' + cause + ')');
          HxPage.notice(windowId, 'The graphics context came back but cannot draw: reload the page.');
          return;
        }
        c.lost = false;
        HxPage.exposed(windowId);
      };
      c.canvas.addEventListener('webglcontextlost', c.onLost);
      c.canvas.addEventListener('webglcontextrestored', c.onRestored);
      // A new backing size once the canvas's displayed size or the pixel
      // ratio changed (library_page.js); the page then asks for a frame.
      HxPage.windows[windowId].backingResized = function() {
        if (HxGl.drawable(c.handle)) HxGl.storeSize(c);
      };
    },
    LOST_NOTICE_MS: 3000,
  },

  // A context for the canvas of page window `windowId`: its handle, or a
  // cause of failure (below 0) with a console line that says more.
  hxgl_create__deps: ['$HxGl'],
  hxgl_create: function(windowId) {
    var win = HxPage.windows[windowId];
    if (!win) return HxGl.NO_WEBGL2;
    var canvas = win.canvas;
    var gl = canvas.getContext('webgl2', {
      alpha: false, depth: false, stencil: false, antialias: false,
      premultipliedAlpha: false, preserveDrawingBuffer: false
    });
    if (!gl) {
      console.error('helicoid: the canvas gives no WebGL 2 context');
      return HxGl.NO_WEBGL2;
    }
    var c = {gl: gl, canvas: canvas, lost: false};
    var cause = HxGl.setUp(c);
    if (cause < 0) return cause;
    c.handle = HxGl.contexts.length;
    HxGl.contexts.push(c);
    HxGl.watchLoss(c, windowId);
    return c.handle;
  },

  hxgl_delete__deps: ['$HxGl'],
  hxgl_delete: function(handle) {
    var c = HxGl.contexts[handle];
    if (!c) return;
    clearTimeout(c.lostTimer);
    c.canvas.removeEventListener('webglcontextlost', c.onLost);
    c.canvas.removeEventListener('webglcontextrestored', c.onRestored);
    HxGl.free(c);
    HxGl.contexts[handle] = null;
  },

  hxgl_clear__deps: ['$HxGl'],
  hxgl_clear: function(handle, red, green, blue, alpha, color, depth) {
    var c = HxGl.drawable(handle);
    if (!c) return;
    var gl = c.gl;
    gl.clearColor(red, green, blue, alpha);
    gl.clear((color ? gl.COLOR_BUFFER_BIT : 0) | (depth ? gl.DEPTH_BUFFER_BIT : 0));
  },

  hxgl_draw__deps: ['$HxGl'],
  hxgl_draw: function(handle, vertices, vertexCount, lines, uniforms, uniformBytes, depthTest,
                      batchStart) {
    var c = HxGl.drawable(handle);
    if (!c) return;
    var gl = c.gl;
    gl.bindBuffer(gl.UNIFORM_BUFFER, c.uniforms);
    gl.bufferData(gl.UNIFORM_BUFFER, HEAPU8.subarray(uniforms, uniforms + uniformBytes),
                  gl.STREAM_DRAW);
    var first = vertices >> 2;
    gl.bindBuffer(gl.ARRAY_BUFFER, c.vertices);
    gl.bufferData(gl.ARRAY_BUFFER, HEAPF32.subarray(first, first + vertexCount * (lines ? 7 : 6)),
                  gl.STREAM_DRAW);
    gl.bindVertexArray(lines ? c.edgeArray : c.fillArray);
    if (depthTest) gl.enable(gl.DEPTH_TEST); else gl.disable(gl.DEPTH_TEST);
    gl.drawArrays(lines ? gl.LINES : gl.TRIANGLES, 0, vertexCount);
    // The bench page collects the CPU time from glBegin to here.
    if (Module['glBatchTimes']) Module['glBatchTimes'].push(performance.now() - batchStart);
  },

  hxgl_present__deps: ['$HxGl'],
  // Nothing while the context is lost.
  hxgl_present: function(handle) {
    var c = HxGl.drawable(handle);
    if (!c) return;
    var gl = c.gl;
    gl.bindFramebuffer(gl.READ_FRAMEBUFFER, c.framebuffer);
    gl.bindFramebuffer(gl.DRAW_FRAMEBUFFER, null);
    gl.blitFramebuffer(0, 0, c.width, c.height, 0, 0, c.width, c.height, gl.COLOR_BUFFER_BIT,
                       gl.NEAREST);
    gl.bindFramebuffer(gl.FRAMEBUFFER, c.framebuffer);
  },
};

mergeInto(LibraryManager.library, LibraryHelicoidWebGL);
