// The WebGL 2 side of our GL 1.1 subset (gl11.cpp): one drawing program that
// evaluates the fixed-function lighting of OpenGL 1.1 per vertex and its fog
// per fragment, a framebuffer with a 16-bit depth buffer like the one the
// native builds draw into, and the copy of the finished picture to the canvas.
// gl11.cpp calls these functions a few times per frame: clear, one upload and
// draw per glEnd, present.

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
      '}\n',

    compile: function(gl, type, body) {
      var shader = gl.createShader(type);
      gl.shaderSource(shader, '#version 300 es\nprecision highp float;\n' + HxGl.block + body);
      gl.compileShader(shader);
      if (!gl.getShaderParameter(shader, gl.COMPILE_STATUS)) {
        console.error('helicoid: shader does not compile: ' + gl.getShaderInfoLog(shader));
        return null;
      }
      return shader;
    },

    build: function(gl) {
      var vs = HxGl.compile(gl, gl.VERTEX_SHADER, HxGl.vertexShader);
      var fs = HxGl.compile(gl, gl.FRAGMENT_SHADER, HxGl.fragmentShader);
      if (!vs || !fs) return null;
      var program = gl.createProgram();
      gl.attachShader(program, vs);
      gl.attachShader(program, fs);
      gl.linkProgram(program);
      if (!gl.getProgramParameter(program, gl.LINK_STATUS)) {
        console.error('helicoid: program does not link: ' + gl.getProgramInfoLog(program));
        return null;
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
  },

  hxgl_create__deps: ['$HxGl'],
  hxgl_create: function(windowId) {
    var win = HxPage.windows[windowId];
    if (!win) return 0;
    var canvas = win.canvas;
    var gl = canvas.getContext('webgl2', {
      alpha: false, depth: false, stencil: false, antialias: false,
      premultipliedAlpha: false, preserveDrawingBuffer: false
    });
    if (!gl) {
      console.error('helicoid: the canvas gives no WebGL 2 context');
      return 0;
    }
    var program = HxGl.build(gl);
    if (!program) return 0;
    var c = {gl: gl, program: program, width: canvas.width, height: canvas.height};

    // The picture is drawn with a 16-bit depth buffer, as in the native
    // builds: the model holds each triangle twice, once in each winding,
    // and a deeper buffer would tell the two copies apart by rounding noise.
    c.color = gl.createRenderbuffer();
    gl.bindRenderbuffer(gl.RENDERBUFFER, c.color);
    gl.renderbufferStorage(gl.RENDERBUFFER, gl.RGBA8, c.width, c.height);
    c.depth = gl.createRenderbuffer();
    gl.bindRenderbuffer(gl.RENDERBUFFER, c.depth);
    gl.renderbufferStorage(gl.RENDERBUFFER, gl.DEPTH_COMPONENT16, c.width, c.height);
    c.framebuffer = gl.createFramebuffer();
    gl.bindFramebuffer(gl.FRAMEBUFFER, c.framebuffer);
    gl.framebufferRenderbuffer(gl.FRAMEBUFFER, gl.COLOR_ATTACHMENT0, gl.RENDERBUFFER, c.color);
    gl.framebufferRenderbuffer(gl.FRAMEBUFFER, gl.DEPTH_ATTACHMENT, gl.RENDERBUFFER, c.depth);
    if (gl.checkFramebufferStatus(gl.FRAMEBUFFER) != gl.FRAMEBUFFER_COMPLETE) {
      console.error('helicoid: the drawing framebuffer is incomplete');
      return 0;
    }
    // The GL's default viewport: the whole window, never changed.
    gl.viewport(0, 0, c.width, c.height);
    gl.depthFunc(gl.LESS);

    c.vertices = gl.createBuffer();
    c.fillArray = HxGl.vertexArray(gl, c.vertices, 6, false);
    c.edgeArray = HxGl.vertexArray(gl, c.vertices, 7, true);
    gl.vertexAttrib1f(2, -1);
    c.uniforms = gl.createBuffer();
    gl.bindBuffer(gl.UNIFORM_BUFFER, c.uniforms);
    gl.bindBufferBase(gl.UNIFORM_BUFFER, 0, c.uniforms);
    gl.useProgram(program);

    HxGl.contexts.push(c);
    return HxGl.contexts.length - 1;
  },

  hxgl_delete__deps: ['$HxGl'],
  hxgl_delete: function(handle) {
    var c = HxGl.contexts[handle];
    if (!c) return;
    var gl = c.gl;
    gl.deleteFramebuffer(c.framebuffer);
    gl.deleteRenderbuffer(c.color);
    gl.deleteRenderbuffer(c.depth);
    gl.deleteBuffer(c.vertices);
    gl.deleteBuffer(c.uniforms);
    gl.deleteVertexArray(c.fillArray);
    gl.deleteVertexArray(c.edgeArray);
    gl.deleteProgram(c.program);
    HxGl.contexts[handle] = null;
  },

  hxgl_clear__deps: ['$HxGl'],
  hxgl_clear: function(handle, red, green, blue, alpha, color, depth) {
    var c = HxGl.contexts[handle];
    if (!c) return;
    var gl = c.gl;
    gl.clearColor(red, green, blue, alpha);
    gl.clear((color ? gl.COLOR_BUFFER_BIT : 0) | (depth ? gl.DEPTH_BUFFER_BIT : 0));
  },

  hxgl_draw__deps: ['$HxGl'],
  hxgl_draw: function(handle, vertices, vertexCount, lines, uniforms, uniformBytes, depthTest,
                      batchStart) {
    var c = HxGl.contexts[handle];
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
  hxgl_present: function(handle) {
    var c = HxGl.contexts[handle];
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
