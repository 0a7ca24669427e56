// The page side of the web backend (backend_web.cpp): canvases as windows,
// the favicon, message boxes as HTML dialogs, and pointer, key, close and
// expose events queued for the program, which takes them when it polls. The
// three waits (for input, for the dialog, for the next animation frame)
// suspend the program through Asyncify and give the browser its turn; the
// browser resumes it from its own callbacks, through callUserCallback, so
// that the program's exit ends the runtime quietly instead of escaping as a
// page error.
//
// Mouse keys: the arrows, Space and the page's own controls (Module.mouseKeys)
// give a window the mouse messages a hand would, as an operating system's
// mouse keys do: a held direction is a left-button drag from the window's
// centre, a step at a time; letting go releases the button where the drag
// is; Space is a click at the centre. When the user's system asks for
// reduced motion, every release (of a real pointer too) is given at the
// press point, which ends the motion and keeps the drag's turn.
//
// A window keeps the page position and size the program gave it, in page
// pixels: its client size, its pointer coordinates and its size lock mean
// what they mean on Windows. The page only shows it: scaled down as a whole,
// and moved towards the top left, when the viewport cannot hold it and its
// close box (a phone, a smaller window, a zoom), never scaled up. The
// canvas's backing store is its displayed size times the current device
// pixel ratio, so the picture stays sharp; pointer positions are scaled back
// to the window's own pixels.

var LibraryHelicoidPage = {
  $HxPage__deps: ['$callUserCallback'],
  $HxPage: {
    windows: {},  // id -> {canvas, close, x, y, width, height, backingResized}
    events: [],   // [kind, window, a, b, c, d]
    wake: null,   // resolves the pending wait for input
    boxOpen: false,
    ratio: 1,       // the device pixel ratio of the last layout
    pointer: null,  // the primary pointer that is pressed on a window: {id, pointerId}
    turning: null,  // the mouse keys' drag: {id, x, y, pressX, pressY, held: {source: [dx, dy]}, timer}
    spinning: null, // the window a release left spinning, and its press point: {id, x, y}

    // Event kinds (backend_web.cpp).
    POINTER: 1, KEY_DOWN: 2, KEY_UP: 3, CLOSE: 4, EXPOSE: 5,

    post: function(event) {
      HxPage.events.push(event);
      if (HxPage.wake) {
        var wake = HxPage.wake;
        HxPage.wake = null;
        callUserCallback(wake);
      }
    },

    // The window must be drawn again (a new backing store, a restored context).
    exposed: function(id) {
      HxPage.post([HxPage.EXPOSE, id, 0, 0, 0, 0]);
    },

    // Pointer actions, and the left button held after one (backend_web.cpp).
    MOVE: 0, PRESS: 1, RELEASE: 2, HELD_LEFT: 1,

    // A pointer event at its point in the window, in the window's own pixels
    // however large the canvas is shown.
    pointerEvent: function(id, canvas, e, action) {
      var w = HxPage.windows[id];
      var rect = canvas.getBoundingClientRect();
      var x = Math.floor((e.clientX - rect.left) * w.width / rect.width);
      var y = Math.floor((e.clientY - rect.top) * w.height / rect.height);
      if (action === HxPage.PRESS) {
        HxPage.turnEnd();  // the hand takes over from the mouse keys
        HxPage.spinning = null;
        w.press = {x: x, y: y};
      } else if (action === HxPage.RELEASE) {
        HxPage.release(id, x, y, w.press.x, w.press.y);
        return;
      }
      var held = HxPage.pointer !== null ? HxPage.HELD_LEFT : 0;
      HxPage.post([HxPage.POINTER, id, action, x, y, held]);
    },

    // Whether the user's system asks for reduced motion, as it does now.
    REDUCED_MOTION: '(prefers-reduced-motion: reduce)',
    prefersReducedMotion: function() {
      return !!window.matchMedia && window.matchMedia(HxPage.REDUCED_MOTION).matches;
    },

    // Lets the left button go at (x, y), ending a drag pressed at
    // (pressX, pressY): away from the press the model spins on by the last
    // step. With reduced motion the release is given at the press point,
    // which stops the model where the drag left it, without a step back.
    release: function(id, x, y, pressX, pressY) {
      if (HxPage.prefersReducedMotion()) { x = pressX; y = pressY; }
      HxPage.post([HxPage.POINTER, id, HxPage.RELEASE, x, y, 0]);
      HxPage.spinning = x !== pressX || y !== pressY ? {id: id, x: pressX, y: pressY} : null;
    },

    // A model left spinning stops once the system asks for reduced motion:
    // a release at its press point ends the spin as it ends a drag.
    watchMotion: function() {
      if (!window.matchMedia) return;
      window.matchMedia(HxPage.REDUCED_MOTION).addEventListener('change', function(e) {
        var s = HxPage.spinning;
        if (!e.matches || !s || !HxPage.windows[s.id] || HxPage.pointer !== null || HxPage.turning !== null) return;
        HxPage.spinning = null;
        HxPage.post([HxPage.POINTER, s.id, HxPage.RELEASE, s.x, s.y, 0]);
      });
    },

    // ---- Mouse keys. A step moves the drag by 1/90 of the window (about two
    // degrees near the centre) every STEP_MS; a drag that has gone a quarter
    // of the window from its press is let go and taken again at the centre,
    // as a hand would, so that a held direction turns the model steadily
    // instead of running onto the rim of the trackball's sphere.
    STEP_MS: 40,
    ARROWS: {ArrowLeft: [-1, 0], ArrowRight: [1, 0], ArrowUp: [0, -1], ArrowDown: [0, 1]},

    // Holds direction (dx, dy) for `source` (a key, a control) on the key
    // window: the first held direction presses the button at the centre.
    turnHold: function(source, dx, dy) {
      var id = HxPage.keyWindow(), w = HxPage.windows[id];
      if (!w || HxPage.boxOpen || HxPage.pointer !== null) return;
      var t = HxPage.turning;
      if (t !== null && t.held[source]) return;  // a key's repeat: the timer paces the drag
      if (t === null) {
        var cx = w.width >> 1, cy = w.height >> 1;
        t = HxPage.turning = {id: id, x: cx, y: cy, pressX: cx, pressY: cy, held: {},
                              timer: setInterval(HxPage.turnStep, HxPage.STEP_MS)};
        HxPage.spinning = null;
        HxPage.post([HxPage.POINTER, id, HxPage.PRESS, cx, cy, HxPage.HELD_LEFT]);
      }
      t.held[source] = [dx, dy];
      HxPage.turnStep();
    },

    // Lets `source`'s direction go (null: every one); with none left held,
    // the button is released where the drag is.
    turnLetGo: function(source) {
      var t = HxPage.turning;
      if (t === null) return;
      if (source === null) t.held = {};
      delete t.held[source];
      if (Object.keys(t.held).length) return;
      HxPage.turnEnd();
      if (HxPage.windows[t.id]) HxPage.release(t.id, t.x, t.y, t.pressX, t.pressY);
    },

    // Ends the mouse keys' drag without a release (a press follows).
    turnEnd: function() {
      if (HxPage.turning !== null) clearInterval(HxPage.turning.timer);
      HxPage.turning = null;
    },

    turnStep: function() {
      var t = HxPage.turning, w = t && HxPage.windows[t.id];
      if (!w) { HxPage.turnEnd(); return; }
      var dx = 0, dy = 0;
      for (var k in t.held) { dx += t.held[k][0]; dy += t.held[k][1]; }
      dx = Math.sign(dx) * Math.max(1, Math.round(w.width / 90));
      dy = Math.sign(dy) * Math.max(1, Math.round(w.height / 90));
      if (dx === 0 && dy === 0) return;  // opposite directions held
      if (Math.abs(t.x + dx - t.pressX) > w.width >> 2 || Math.abs(t.y + dy - t.pressY) > w.height >> 2) {
        HxPage.post([HxPage.POINTER, t.id, HxPage.RELEASE, t.x, t.y, 0]);
        HxPage.post([HxPage.POINTER, t.id, HxPage.PRESS, t.pressX, t.pressY, HxPage.HELD_LEFT]);
        t.x = t.pressX;
        t.y = t.pressY;
      }
      t.x += dx;
      t.y += dy;
      HxPage.post([HxPage.POINTER, t.id, HxPage.MOVE, t.x, t.y, HxPage.HELD_LEFT]);
    },

    // A click without motion at the key window's centre: it stops the model.
    click: function() {
      var id = HxPage.keyWindow(), w = HxPage.windows[id];
      if (!w || HxPage.boxOpen || HxPage.pointer !== null) return;
      HxPage.turnEnd();
      HxPage.spinning = null;
      var cx = w.width >> 1, cy = w.height >> 1;
      HxPage.post([HxPage.POINTER, id, HxPage.PRESS, cx, cy, HxPage.HELD_LEFT]);
      HxPage.post([HxPage.POINTER, id, HxPage.RELEASE, cx, cy, 0]);
    },

    // A key down, with the character it yields (-1: none), for the key
    // window; the page hears of every character the window is given.
    keyDown: function(id, keyCode, character, repeat, system) {
      HxPage.post([HxPage.KEY_DOWN, id, keyCode, character, repeat, system]);
      if (character >= 0 && Module['onCharacter']) Module['onCharacter'](character);
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

    // The character a key yields, as on Windows, or -1 for none: Ctrl with a
    // letter yields its control character (Ctrl+F is 6), Alt makes a system
    // key (no character), Cmd/Meta yields nothing. AltGr, which browsers
    // report as Ctrl and Alt, types its character. Its virtual key is
    // keyCode, which browsers number as Windows does.
    keyCharacter: function(e) {
      var altGr = e.getModifierState && e.getModifierState('AltGraph');
      if (e.metaKey || (e.altKey && !altGr)) return -1;
      if (e.ctrlKey && !altGr) {
        return /^[a-zA-Z]$/.test(e.key) ? e.key.toUpperCase().charCodeAt(0) & 0x1F : -1;
      }
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
      return e.key === 'Tab' || (HxPage.onControl(e) && (e.key === 'Enter' || e.key === ' '));
    },

    onControl: function(e) {
      return e.target instanceof HTMLElement && e.target.tabIndex >= 0;
    },

    // Whether a key is one of the mouse keys where it is pressed: an arrow
    // or Space without Ctrl, Alt or Cmd, with the focus on the viewer or on
    // nothing. On a page control they keep the control's own meaning.
    mouseKey: function(e) {
      return !e.ctrlKey && !e.altKey && !e.metaKey && !HxPage.onControl(e) &&
             (HxPage.ARROWS.hasOwnProperty(e.key) || e.key === ' ');
    },

    // Whether the viewer takes the key from the browser: keys that type a
    // character other than a blank, and Esc. Everything else keeps the
    // browser's own action: shortcuts with Ctrl, Alt or Cmd, Tab, Enter,
    // Space and Backspace, function keys, arrows.
    takesKey: function(character) {
      return character === 27 || (character > 32 && character !== 127);
    },

    // Keys go to the newest window, as the only window has the focus.
    keyWindow: function() {
      var ids = Object.keys(HxPage.windows);
      return ids.length ? Number(ids[ids.length - 1]) : 0;
    },

    // Room kept free around a shown window, and above it for its close box.
    MARGIN: 8, CLOSE_ROOM: 34,

    // Sets the page position and size of a window (null: kept) and lays it
    // out.
    place: function(id, x, y, width, height) {
      var w = HxPage.windows[id];
      if (!w) return;
      if (x !== null) { w.x = x; w.y = y; }
      if (width !== null) { w.width = width; w.height = height; }
      HxPage.layout(id);
    },

    // Shows a window whole in the viewport, its close box above its right
    // corner, with a backing store of its displayed size times the pixel
    // ratio; a new backing store is cleared, so the window is exposed. The
    // page hears of every placement (Module.onLayout, also when a window is
    // shown or hidden), to lay its own controls out around the canvas.
    layout: function(id) {
      var w = HxPage.windows[id];
      if (!w) return;
      var m = HxPage.MARGIN, top = HxPage.CLOSE_ROOM;
      var ratio = HxPage.ratio = window.devicePixelRatio || 1;
      var scale = Math.min(1, (window.innerWidth - 2 * m) / w.width,
                           (window.innerHeight - top - m) / w.height);
      // Whole device pixels, so that the picture is not resampled.
      var backingWidth = Math.max(1, Math.floor(w.width * scale * ratio));
      var backingHeight = Math.max(1, Math.floor(w.height * scale * ratio));
      var shownWidth = backingWidth / ratio, shownHeight = backingHeight / ratio;
      var left = Math.max(m, Math.min(w.x, window.innerWidth - m - shownWidth));
      var topEdge = Math.max(top, Math.min(w.y, window.innerHeight - m - shownHeight));
      var style = w.canvas.style;
      style.left = left + 'px';
      style.top = topEdge + 'px';
      style.width = shownWidth + 'px';
      style.height = shownHeight + 'px';
      w.close.style.left = (left + shownWidth - 28) + 'px';
      w.close.style.top = (topEdge - 30) + 'px';
      if (w.notice) { w.notice.style.left = (left + 8) + 'px'; w.notice.style.top = (topEdge + 8) + 'px'; }
      if (Module['onLayout']) Module['onLayout'](w.canvas);
      if (w.canvas.width === backingWidth && w.canvas.height === backingHeight) return;
      w.canvas.width = backingWidth;
      w.canvas.height = backingHeight;
      if (w.backingResized) {
        w.backingResized();
        HxPage.exposed(id);
      }
    },

    layoutAll: function() {
      for (var id in HxPage.windows) HxPage.layout(id);
    },

    // Lays the windows out again when the viewport or the pixel ratio changes
    // (a window moved to another monitor, browser zoom). Browsers differ in
    // which of these they report, so all three are heard: a new viewport,
    // a resolution query that stops matching, and the canvas's size in
    // device pixels (watchCanvas); and each presented frame looks at the
    // ratio, for a browser that reports none of them.
    watchScreen: function() {
      window.addEventListener('resize', HxPage.layoutAll);
      var watchRatio = function() {
        var query = window.matchMedia('(resolution: ' + (window.devicePixelRatio || 1) + 'dppx)');
        query.addEventListener('change', function() {
          HxPage.layoutAll();
          watchRatio();
        }, {once: true});
      };
      watchRatio();
    },

    watchCanvas: function(id, canvas) {
      if (!window.ResizeObserver) return null;
      var observer = new ResizeObserver(function() { HxPage.layout(id); });
      try {
        observer.observe(canvas, {box: 'device-pixel-content-box'});
      } catch (err) {
        observer.observe(canvas);  // device pixels unknown to this browser
      }
      return observer;
    },

    // One line on a window's canvas, or none (text null).
    notice: function(id, text) {
      var w = HxPage.windows[id];
      if (!w) return;
      if (w.notice) w.notice.remove();
      w.notice = null;
      if (text === null) return;
      w.notice = document.createElement('p');
      w.notice.className = 'helicoid-notice';
      w.notice.textContent = text;
      HxPage.root().appendChild(w.notice);
      HxPage.layout(id);
    },

    // Alt without AltGr: a system key.
    systemKey: function(e) {
      return e.altKey && !(e.getModifierState && e.getModifierState('AltGraph')) ? 1 : 0;
    },

    startPage: function() {
      if (HxPage.started) return;
      HxPage.started = true;
      // For the page's own controls: hold and let go a direction, click,
      // and type a character (its virtual key, keyCode) into the window.
      Module['mouseKeys'] = {
        hold: HxPage.turnHold,
        letGo: HxPage.turnLetGo,
        click: HxPage.click,
        type: function(character, keyCode) {
          var id = HxPage.keyWindow();
          if (!id || HxPage.boxOpen) return;
          HxPage.keyDown(id, keyCode, character, 0, 0);
          HxPage.post([HxPage.KEY_UP, id, keyCode, -1, 0, 0]);
        },
      };
      HxPage.watchScreen();
      HxPage.watchMotion();
      window.addEventListener('keydown', function(e) {
        var id = HxPage.keyWindow();
        if (!id || HxPage.boxOpen || HxPage.pageKey(e)) return;
        var character = HxPage.keyCharacter(e);
        var mouseKey = HxPage.mouseKey(e);
        if (HxPage.takesKey(character) || mouseKey) e.preventDefault();
        HxPage.keyDown(id, e.keyCode, character, e.repeat ? 1 : 0, HxPage.systemKey(e));
        if (!mouseKey) return;
        if (e.key !== ' ') {
          HxPage.turnHold(e.key, HxPage.ARROWS[e.key][0], HxPage.ARROWS[e.key][1]);
        } else if (!e.repeat) {
          HxPage.click();
        }
      });
      // A held arrow ends wherever the focus has gone, and when the page
      // loses the keyboard (its key up never comes).
      window.addEventListener('blur', function() { HxPage.turnLetGo(null); });
      window.addEventListener('keyup', function(e) {
        if (HxPage.ARROWS.hasOwnProperty(e.key)) HxPage.turnLetGo(e.key);
        var id = HxPage.keyWindow();
        if (!id || HxPage.boxOpen || HxPage.pageKey(e)) return;
        HxPage.post([HxPage.KEY_UP, id, e.keyCode, -1, 0, HxPage.systemKey(e)]);
      });
    },
  },

  hxpage_screen_size__deps: ['$HxPage'],
  hxpage_screen_size: function(width, height) {
    HEAP32[width >> 2] = window.innerWidth;
    HEAP32[height >> 2] = window.innerHeight;
  },

  // A hidden canvas of width x height page pixels at (x, y), shown whole
  // and drawn at the device pixel ratio (layout), with a close box above its
  // right corner. To a screen reader the canvas is a picture with a label
  // that says how to use it.
  hxpage_create_window__deps: ['$HxPage'],
  hxpage_create_window: function(id, title, x, y, width, height) {
    var canvas = document.createElement('canvas');
    canvas.id = 'helicoid-window';
    canvas.className = 'helicoid-window';
    canvas.style.display = 'none';
    canvas.setAttribute('role', 'img');
    // What the picture shows and how to use it is the program's to say: the
    // page's landmark carries it (data-window-label); else the window's title.
    canvas.setAttribute('aria-label', HxPage.root().dataset.windowLabel || UTF8ToString(title));
    canvas.tabIndex = -1;  // focused when shown, out of the Tab order
    var close = document.createElement('button');
    close.className = 'helicoid-close';
    close.title = 'Close';
    close.setAttribute('aria-label', 'Close the viewer');
    close.textContent = '\u2715';
    close.style.display = 'none';
    close.addEventListener('click', function() { HxPage.post([HxPage.CLOSE, id, 0, 0, 0, 0]); });
    HxPage.root().appendChild(canvas);
    HxPage.root().appendChild(close);
    HxPage.windows[id] = {canvas: canvas, close: close};
    HxPage.place(id, x, y, width, height);
    HxPage.windows[id].observer = HxPage.watchCanvas(id, canvas);
    document.title = UTF8ToString(title);
    HxPage.listen(id, canvas);
    HxPage.startPage();
    return 1;
  },

  hxpage_show_window__deps: ['$HxPage'],
  hxpage_show_window: function(id, show) {
    var w = HxPage.windows[id];
    if (!w) return;
    w.canvas.style.display = show ? 'block' : 'none';
    w.close.style.display = show ? 'block' : 'none';
    if (Module['onLayout']) Module['onLayout'](w.canvas);
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
    HxPage.notice(id, null);
    if (w.observer) w.observer.disconnect();
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
  hxpage_wait__deps: ['$HxPage', '$callUserCallback'],
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
      if (timeoutMs >= 0) {
        timer = setTimeout(function() { timer = null; callUserCallback(done); }, timeoutMs);
      }
    });
  },

  // A modal dialog with the caption and the text as they stand; returns 1
  // (IDOK) once it is closed, by its button, Enter or Esc.
  hxpage_message_box__deps: ['$HxPage', '$callUserCallback'],
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
        callUserCallback(function() { wakeUp(1); });
      });
      HxPage.boxOpen = true;
      dialog.showModal();
      if (Module['onMessageBox']) Module['onMessageBox'](captionText, bodyText);
    });
  },

  // Returns at the browser's next animation frame: the presented picture is
  // shown, and a spinning model turns once per display refresh.
  hxpage_next_frame__deps: ['$HxPage', '$callUserCallback'],
  hxpage_next_frame: function() {
    return Asyncify.handleSleep(function(wakeUp) {
      if (Module['onPresent']) Module['onPresent']();
      if ((window.devicePixelRatio || 1) !== HxPage.ratio) HxPage.layoutAll();
      requestAnimationFrame(function() { callUserCallback(wakeUp); });
    });
  },
};

mergeInto(LibraryManager.library, LibraryHelicoidPage);
