// The page side of the web backend (backend_web.cpp): canvases as windows,
// the favicon, message boxes as HTML dialogs, and pointer, key and close
// events queued for the program, which takes them when it polls. The three
// waits (for input, for the dialog, for the next animation frame) suspend the
// program through Asyncify and give the browser its turn.

var LibraryHelicoidPage = {
  $HxPage: {
    windows: {},  // id -> {canvas, close}
    events: [],   // [kind, window, a, b, c, d]
    wake: null,   // resolves the pending wait for input
    boxOpen: false,
    pointer: null,  // the primary pointer that is pressed on a window: {id, pointerId}

    post: function(event) {
      HxPage.events.push(event);
      if (HxPage.wake) {
        var wake = HxPage.wake;
        HxPage.wake = null;
        wake();
      }
    },

    // Pointer actions, and the left button held after one (backend_web.cpp).
    MOVE: 0, PRESS: 1, RELEASE: 2, HELD_LEFT: 1,

    // A pointer event at its point in the canvas, in page pixels.
    pointerEvent: function(id, canvas, e, action) {
      var rect = canvas.getBoundingClientRect();
      var x = Math.floor(e.clientX - rect.left);
      var y = Math.floor(e.clientY - rect.top);
      var held = HxPage.pointer !== null ? HxPage.HELD_LEFT : 0;
      HxPage.post([1, id, action, x, y, held]);
    },

    listen: function(id, canvas) {
      // Mouse, pen and touch all act as the left button; only the primary
      // pointer counts, so a second finger does not start another drag.
      canvas.addEventListener('pointerdown', function(e) {
        if (!e.isPrimary || e.button !== 0 || HxPage.pointer !== null) return;
        e.preventDefault();
        HxPage.pointer = {id: id, pointerId: e.pointerId};
        // Held at once, so that no motion is lost before the program asks
        // for the capture; released when the program releases it.
        try { canvas.setPointerCapture(e.pointerId); } catch (err) {}
        HxPage.pointerEvent(id, canvas, e, HxPage.PRESS);
      });
      canvas.addEventListener('pointermove', function(e) {
        if (!e.isPrimary) return;
        HxPage.pointerEvent(id, canvas, e, HxPage.MOVE);
      });
      var release = function(e) {
        if (HxPage.pointer === null || HxPage.pointer.pointerId !== e.pointerId) return;
        HxPage.pointer = null;
        HxPage.pointerEvent(id, canvas, e, HxPage.RELEASE);
      };
      canvas.addEventListener('pointerup', release);
      canvas.addEventListener('pointercancel', release);
      canvas.addEventListener('contextmenu', function(e) { e.preventDefault(); });
    },

    // The character a key yields, or -1. Its virtual key is keyCode, which
    // browsers number as Windows does.
    keyCharacter: function(e) {
      if (e.ctrlKey || e.metaKey || e.altKey) return -1;
      if (e.key.length === 1) {
        var code = e.key.charCodeAt(0);
        return code <= 0xFF ? code : -1;
      }
      var control = {Escape: 27, Enter: 13, Backspace: 8, Tab: 9};
      return control.hasOwnProperty(e.key) ? control[e.key] : -1;
    },

    // The page's landmark, which holds the windows and the boxes.
    root: function() { return document.querySelector('main') || document.body; },

    // Keys that belong to the page, not to the viewer: Tab moves the focus
    // between the page's controls, and on a focused control (the close box)
    // Enter and Space press it. Every other key reaches the viewer wherever
    // the focus is.
    pageKey: function(e) {
      var onControl = e.target instanceof HTMLElement && e.target.tabIndex >= 0;
      return e.key === 'Tab' || (onControl && (e.key === 'Enter' || e.key === ' '));
    },

    // Keys go to the newest window, as the only window has the focus.
    keyWindow: function() {
      var ids = Object.keys(HxPage.windows);
      return ids.length ? Number(ids[ids.length - 1]) : 0;
    },

    // Sets the page position and size of a window's canvas (null: kept) and
    // keeps its close box above the right corner.
    place: function(id, x, y, width, height) {
      var w = HxPage.windows[id];
      if (!w) return;
      var style = w.canvas.style;
      if (x !== null) { style.left = x + 'px'; style.top = y + 'px'; }
      if (width !== null) { style.width = width + 'px'; style.height = height + 'px'; }
      w.close.style.left = (parseFloat(style.left) + parseFloat(style.width) - 28) + 'px';
      w.close.style.top = (parseFloat(style.top) - 30) + 'px';
    },

    startKeys: function() {
      if (HxPage.keysStarted) return;
      HxPage.keysStarted = true;
      window.addEventListener('keydown', function(e) {
        var id = HxPage.keyWindow();
        if (!id || HxPage.boxOpen || HxPage.pageKey(e)) return;
        var character = HxPage.keyCharacter(e);
        if (character !== -1) e.preventDefault();
        HxPage.post([2, id, e.keyCode, character, e.repeat ? 1 : 0, e.altKey ? 1 : 0]);
      });
      window.addEventListener('keyup', function(e) {
        var id = HxPage.keyWindow();
        if (!id || HxPage.boxOpen || HxPage.pageKey(e)) return;
        HxPage.post([3, id, e.keyCode, -1, 0, e.altKey ? 1 : 0]);
      });
    },
  },

  hxpage_screen_size__deps: ['$HxPage'],
  hxpage_screen_size: function(width, height) {
    HEAP32[width >> 2] = window.innerWidth;
    HEAP32[height >> 2] = window.innerHeight;
  },

  // A hidden canvas of width x height page pixels at (x, y), drawn at the
  // device pixel ratio, with a close box above its right corner. To a screen
  // reader the canvas is a picture with a label that says how to use it.
  hxpage_create_window__deps: ['$HxPage'],
  hxpage_create_window: function(id, title, x, y, width, height) {
    var ratio = window.devicePixelRatio || 1;
    var canvas = document.createElement('canvas');
    canvas.id = 'helicoid-window';
    canvas.className = 'helicoid-window';
    canvas.width = Math.max(1, Math.round(width * ratio));
    canvas.height = Math.max(1, Math.round(height * ratio));
    canvas.style.display = 'none';
    canvas.setAttribute('role', 'img');
    canvas.setAttribute('aria-label', 'A helicoid of two twisted strips, lit by seven lights. ' +
        'Drag to turn it; F switches fog, P the wireframe, Escape closes the viewer.');
    canvas.tabIndex = -1;  // focused when shown, out of the Tab order
    var close = document.createElement('button');
    close.className = 'helicoid-close';
    close.title = 'Close';
    close.setAttribute('aria-label', 'Close the viewer');
    close.textContent = '\u2715';
    close.style.display = 'none';
    close.addEventListener('click', function() { HxPage.post([4, id, 0, 0, 0, 0]); });
    HxPage.root().appendChild(canvas);
    HxPage.root().appendChild(close);
    HxPage.windows[id] = {canvas: canvas, close: close};
    HxPage.place(id, x, y, width, height);
    document.title = UTF8ToString(title);
    HxPage.listen(id, canvas);
    HxPage.startKeys();
    return 1;
  },

  hxpage_show_window__deps: ['$HxPage'],
  hxpage_show_window: function(id, show) {
    var w = HxPage.windows[id];
    if (!w) return;
    w.canvas.style.display = show ? 'block' : 'none';
    w.close.style.display = show ? 'block' : 'none';
    // The focus goes to the picture, so that a screen reader says what it
    // is; keys reach the viewer either way.
    if (show) w.canvas.focus({preventScroll: true});
  },

  hxpage_place_window__deps: ['$HxPage'],
  hxpage_place_window: function(id, move, x, y, size, width, height) {
    HxPage.place(id, move ? x : null, y, size ? width : null, height);
  },

  hxpage_destroy_window__deps: ['$HxPage'],
  hxpage_destroy_window: function(id) {
    var w = HxPage.windows[id];
    if (!w) return;
    w.canvas.remove();
    w.close.remove();
    delete HxPage.windows[id];
    if (HxPage.pointer && HxPage.pointer.id === id) HxPage.pointer = null;
  },

  hxpage_set_icon__deps: ['$HxPage'],
  hxpage_set_icon: function(rgba, width, height) {
    var canvas = document.createElement('canvas');
    canvas.width = width;
    canvas.height = height;
    var context = canvas.getContext('2d');
    var image = context.createImageData(width, height);
    image.data.set(HEAPU8.subarray(rgba, rgba + width * height * 4));
    context.putImageData(image, 0, 0);
    var link = document.querySelector('link[rel="icon"]') || document.createElement('link');
    link.rel = 'icon';
    link.type = 'image/png';
    link.href = canvas.toDataURL('image/png');
    document.head.appendChild(link);
  },

  hxpage_capture__deps: ['$HxPage'],
  hxpage_capture: function(id, on) {
    var w = HxPage.windows[id];
    var p = HxPage.pointer;
    if (on || !w || !p) return;  // the press took the pointer already
    try { w.canvas.releasePointerCapture(p.pointerId); } catch (err) {}
  },

  // Moves the oldest waiting event into out[0..5]; 0 if there is none.
  hxpage_next_event__deps: ['$HxPage'],
  hxpage_next_event: function(out) {
    var e = HxPage.events.shift();
    if (!e) return 0;
    for (var i = 0; i < 6; ++i) HEAP32[(out >> 2) + i] = e[i];
    return 1;
  },

  // Returns when an event is waiting or after timeoutMs (-1: no limit).
  hxpage_wait__deps: ['$HxPage'],
  hxpage_wait: function(timeoutMs) {
    return Asyncify.handleSleep(function(wakeUp) {
      if (HxPage.events.length) { wakeUp(); return; }
      var timer = null;
      var done = function() {
        if (timer !== null) clearTimeout(timer);
        HxPage.wake = null;
        wakeUp();
      };
      HxPage.wake = done;
      if (timeoutMs >= 0) timer = setTimeout(function() { timer = null; done(); }, timeoutMs);
    });
  },

  // A modal dialog with the caption and the text as they stand; returns 1
  // (IDOK) once it is closed, by its button, Enter or Esc.
  hxpage_message_box__deps: ['$HxPage'],
  hxpage_message_box: function(caption, text, kind) {
    var captionText = UTF8ToString(caption);
    var bodyText = UTF8ToString(text);
    return Asyncify.handleSleep(function(wakeUp) {
      var dialog = document.createElement('dialog');
      dialog.className = 'helicoid-box';
      // Named by its caption and described by its text.
      dialog.setAttribute('aria-labelledby', 'helicoid-box-caption');
      dialog.setAttribute('aria-describedby', 'helicoid-box-text');
      var title = document.createElement('div');
      title.id = 'helicoid-box-caption';
      title.className = 'helicoid-box-caption';
      title.textContent = captionText;
      var body = document.createElement('div');
      body.id = 'helicoid-box-text';
      body.className = 'helicoid-box-text';
      body.textContent = bodyText;
      // An icon for the kinds of box that have one; the plain box has none.
      var icon = ['', '\u2716', '\u26A0', '\u2139'][kind] || '';
      var sign = null;
      if (icon) {
        sign = document.createElement('span');
        sign.className = 'helicoid-box-icon helicoid-box-icon-' + kind;
        sign.setAttribute('aria-hidden', 'true');
        sign.textContent = icon;
        if (kind === 1) dialog.setAttribute('role', 'alertdialog');
      }
      var form = document.createElement('form');
      form.method = 'dialog';
      var ok = document.createElement('button');
      ok.textContent = 'OK';
      ok.autofocus = true;
      form.appendChild(ok);
      dialog.appendChild(title);
      if (sign) dialog.appendChild(sign);
      dialog.appendChild(body);
      dialog.appendChild(form);
      HxPage.root().appendChild(dialog);
      dialog.addEventListener('close', function() {
        dialog.remove();
        HxPage.boxOpen = false;
        wakeUp(1);
      });
      HxPage.boxOpen = true;
      dialog.showModal();
      if (Module['onMessageBox']) Module['onMessageBox'](captionText, bodyText);
    });
  },

  // Returns at the browser's next animation frame: the presented picture is
  // shown, and a spinning model turns once per display refresh.
  hxpage_next_frame__deps: ['$HxPage'],
  hxpage_next_frame: function() {
    return Asyncify.handleSleep(function(wakeUp) {
      if (Module['onPresent']) Module['onPresent']();
      requestAnimationFrame(function() { wakeUp(); });
    });
  },
};

mergeInto(LibraryManager.library, LibraryHelicoidPage);
