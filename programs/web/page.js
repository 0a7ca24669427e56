// The page: loads helicoid.js, which runs the viewer and opens its window
// as a canvas; when the program ends, the canvas has gone and one line says
// so. With ?bench the page answers the information box itself and reports
// the time to the first picture and the CPU time of the frames' batches.
// The page's policy allows no inline script: this file is the page's own.
var statusLine = document.getElementById('status');
var bench = new URLSearchParams(location.search).has('bench');
var Module = {
  onRuntimeInitialized: function() { statusLine.textContent = ''; },
  onExit: function(code) {
    // The program's windows end with it, also when it exits from inside
    // one (a failure at start-up).
    document.querySelectorAll('.helicoid-window, .helicoid-close, .helicoid-notice').forEach(function(e) { e.remove(); });
    statusLine.textContent = 'The viewer has ended (exit code ' + code + ').';
    statusLine.dataset.exitCode = code;
  },
  onAbort: function(what) {
    statusLine.textContent = 'The viewer stopped with an error: ' + what;
    statusLine.dataset.exitCode = 'abort';
  },
};

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
if ('serviceWorker' in navigator && window.isSecureContext) {
  navigator.serviceWorker.register('service-worker.js').catch(function(error) {
    console.warn('helicoid: the page will not work offline:', error);
  });
}
