// The page: loads helicoid.js, which runs the viewer and opens its window
// as a canvas; when the program ends, the canvas has gone and one line says
// so. With ?bench the page answers the information box itself and reports
// the time to the first picture and the CPU time of the frames' batches.
// The page's policy allows no inline script: this file is the page's own.
//
// Beside the canvas the page has a line of help and controls for touch and a
// single pointer: fog and wireframe type the viewer's 'f' and 'p' into its
// window, the arrows hold a turn while pressed and Stop clicks, through the
// platform's mouse keys (Module.mouseKeys). The page follows the characters
// the window is given, from either, to show fog and wireframe as pressed or
// not and to announce their changes.
var statusLine = document.getElementById('status');
var help = document.getElementById('help');
var controls = document.getElementById('controls');
var announcer = document.getElementById('announcer');
var bench = new URLSearchParams(location.search).has('bench');
var switches = {102: {button: document.getElementById('fog'), name: 'Fog', on: false},
                112: {button: document.getElementById('wireframe'), name: 'Wireframe', on: false}};
var Module = {
  onRuntimeInitialized: function() { statusLine.textContent = ''; },
  onExit: function(code) {
    // The program's windows end with it, also when it exits from inside
    // one (a failure at start-up).
    document.querySelectorAll('.helicoid-window, .helicoid-close, .helicoid-notice').forEach(function(e) { e.remove(); });
    help.hidden = controls.hidden = true;
    statusLine.textContent = 'The viewer has ended (exit code ' + code + ').';
    statusLine.dataset.exitCode = code;
  },
  onAbort: function(what) {
    statusLine.textContent = 'The viewer stopped with an error: ' + what;
    statusLine.dataset.exitCode = 'abort';
  },
};

// 'f' and 'p' switch fog and the wireframe, however they reach the window.
Module.onCharacter = function(character) {
  var s = switches[character];
  if (!s) return;
  s.on = !s.on;
  s.button.setAttribute('aria-pressed', String(s.on));
  announcer.textContent = s.name + (s.on ? ' on' : ' off');
};

// The help line above the canvas, left of its close box; the controls to its
// right where they fit, else below it. Neither covers the canvas.
Module.onLayout = function(canvas) {
  help.hidden = controls.hidden = canvas.style.display === 'none';
  if (help.hidden) return;
  var r = canvas.getBoundingClientRect(), m = 8;
  help.style.left = m + 'px';
  help.style.width = Math.max(0, r.right - 28 - 3 * m) + 'px';
  help.style.bottom = (innerHeight - r.top + 4) + 'px';
  // Beside the canvas is tried clipped, so that a trial that does not fit
  // never widens the page (a phone would zoom out to show all of it).
  var style = controls.style, room = innerWidth - r.right - 2 * m, beside = room >= 48;
  if (beside) {
    style.overflow = 'hidden';
    style.left = r.right + m + 'px';
    style.top = r.top + 'px';
    style.width = room + 'px';
    beside = controls.scrollWidth <= controls.clientWidth && controls.getBoundingClientRect().bottom <= innerHeight - m;
    style.overflow = '';
  }
  if (!beside) {
    style.left = r.left + 'px';
    style.top = r.bottom + m + 'px';
    style.width = r.width + 'px';
  }
};

Object.keys(switches).forEach(function(character) {
  switches[character].button.addEventListener('click', function() {
    if (Module.mouseKeys) Module.mouseKeys.type(Number(character), Number(character) - 32);
  });
});
document.getElementById('stop').addEventListener('click', function() {
  if (Module.mouseKeys) Module.mouseKeys.click();
});
// A turn control holds its direction while it is pressed; from the keyboard
// (Enter or Space on it, a click without a pointer) it turns one step.
document.querySelectorAll('#controls .turn').forEach(function(button) {
  var direction = button.dataset.turn.split(' ').map(Number);
  var hold = function() { Module.mouseKeys.hold('control', direction[0], direction[1]); };
  var letGo = function() { Module.mouseKeys.letGo('control'); };
  button.addEventListener('pointerdown', function(e) {
    if (!Module.mouseKeys || e.button !== 0) return;
    try { button.setPointerCapture(e.pointerId); } catch (err) {}  // its release comes here
    hold();
  });
  button.addEventListener('pointerup', function() { if (Module.mouseKeys) letGo(); });
  button.addEventListener('pointercancel', function() { if (Module.mouseKeys) letGo(); });
  button.addEventListener('click', function(e) {
    if (!Module.mouseKeys || e.detail !== 0) return;
    hold();
    letGo();
  });
  button.addEventListener('contextmenu', function(e) { e.preventDefault(); });
});

if (bench) {
  var figures = {frames: 0};
  Module.glBatchTimes = [];
  Module.onMessageBox = function() {
    figures.boxShownMs = performance.now();
    setTimeout(function() { document.querySelector('dialog').close(); figures.okMs = performance.now(); });
  };
  var median = function(values) {
    var v = values.slice().sort(function(a, b) { return a - b; });
    return v.length ? v[v.length >> 1] : NaN;
  };
  var mean = function(values) {
    return values.reduce(function(a, b) { return a + b; }, 0) / values.length;
  };
  var key = function(k) {
    window.dispatchEvent(new KeyboardEvent('keydown', {key: k, keyCode: k.toUpperCase().charCodeAt(0)}));
  };
  Module.onPresent = function() {
    if (++figures.frames === 1) figures.firstPictureMs = performance.now();
    if (figures.frames === 121) {
      figures.filled = Module.glBatchTimes.slice(20);
      Module.glBatchTimes.length = 0;
      key('p');
    } else if (figures.frames === 242) {
      var lines = Module.glBatchTimes.slice(20);
      var result = {
        loadToBoxMs: figures.boxShownMs,
        okToFirstPictureMs: figures.firstPictureMs - figures.okMs,
        loadToFirstPictureWithoutBoxMs: figures.boxShownMs + figures.firstPictureMs - figures.okMs,
        batchMedianMs: median(figures.filled),
        batchMeanMs: mean(figures.filled),
        batchMaxMs: Math.max.apply(null, figures.filled),
        wireframeBatchMedianMs: median(lines),
        wireframeBatchMeanMs: mean(lines),
        batches: figures.filled.length,
        canvas: document.querySelector('canvas').width + 'x' + document.querySelector('canvas').height,
      };
      window.benchResult = result;
      var out = document.createElement('pre');
      out.id = 'bench';
      out.textContent = JSON.stringify(result, null, 2);
      document.querySelector('main').appendChild(out);
    }
  };
}

// Installed or not, the page opens again without a network: the worker keeps
// this build's files (service-worker.js). Browsers allow workers only in a
// secure context (https, or http on 127.0.0.1 / localhost).
// A worker that cannot keep this build (the server's bytes are not the
// build's) says why; the page tells it once, in the console and aloud.
if ('serviceWorker' in navigator && window.isSecureContext) {
  navigator.serviceWorker.register('service-worker.js').catch(function(error) {
    console.warn('helicoid: the page will not work offline:', error);
  });
  var told = false;
  navigator.serviceWorker.addEventListener('message', function(e) {
    if (told || !e.data || !e.data.notKept) return;
    told = true;
    console.warn('helicoid: the offline copy could not be kept: ' + e.data.notKept + ' (' + e.data.detail + ')');
    announcer.textContent = 'The offline copy could not be kept: ' + e.data.notKept + '.';
  });
  navigator.serviceWorker.startMessages();
}
