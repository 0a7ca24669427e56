# Sourced by the tests that drive a program on an X server as a user would:
# a private Xvfb, checks, windows found by title, screenshots and pixels.
# Colours are "R,G,B", each 0 to 255.
#
#   xvfb_start [WIDTHxHEIGHT]     a private Xvfb (default 1280x1024); exports
#                                 DISPLAY and XVFB_PID; stopped when the shell exits
#   xvfb_stop
#   x_work                        a work folder, $work, and at exit: the programs
#                                 whose PIDs are in $viewer_pid and $wm_pid ended,
#                                 the server stopped, the folder removed
#   pass TEXT, fail TEXT          one line a check; failures are counted
#   checks_end DIR                exits 1 if a check failed (keeping DIR's
#                                 screenshots and logs in /tmp/NAME-failed); else
#                                 77 (CTest's skip) if SKIPPED says what could
#                                 not be checked; else 0
#   die TEXT                      a failure that ends the test at once (after
#                                 the test's own on_die, if it defines one)
#   find_window TITLE [SECONDS]   the X id of the visible window of exactly this title
#   find_listed_window TITLE [SECONDS]  the same for any window the server lists
#                                 (SDL's message boxes, which xdotool cannot name)
#   past_box BOX                  Return to the information box BOX until the main
#                                 window is listed; prints the main window's X id
#   shot FILE                     a screenshot of the whole screen
#   pixel IMAGE X Y               "R,G,B" of one pixel
#   near R,G,B R,G,B TOLERANCE    true if every channel is within TOLERANCE
#   differing A B                 the number of pixels that differ
#   pixels_not IMAGE R,G,B        the number of pixels not of that colour (2 % fuzz)
#
# Waiting for events, never for a fixed time. SHOOT is a command that takes a
# picture and prints its file (shoot_client, or the test's own); LAST_SHOT is
# the newest picture a wait took.
#   wait_until SECONDS CMD...     CMD again and again (every 0.1 s) until it
#                                 succeeds; false if SECONDS pass first
#   keeps_changing SHOOT N SECS   N pictures in a row each differ from the one
#                                 before (more than 100 pixels), each within SECS
#   holds_still SHOOT N SECS      within SECS, N pictures in a row equal to the
#                                 one before: nothing is drawn any more
#   shoot_client                  a screenshot cropped to CLIENT (WxH+X+Y)
#   weston_start SCALE W H        a Wayland compositor on the running Xvfb (below)
#   i3_start, sway_start          the tiling desktops (below)
#   client_geometry ID            "X Y W H" of a window's client area on screen
#   colour_count IMAGE R,G,B      the number of pixels of exactly that colour
#   tree_window MSG TITLE         "floating|tiled W H X Y GW GH" of the window of
#                                 that title in the tree of i3 or sway (MSG: i3-msg,
#                                 swaymsg): its size and place as the desktop
#                                 made it, and its own size (GW x GH)
#   cpu_per_mille PID SECONDS     CPU time (user + system, from /proc) that the
#                                 process uses over SECONDS, per mille of a core

xvfb_start() {
  local size=${1:-1280x1024}
  local numberFile
  numberFile=$(mktemp)
  # Xvfb picks a free display itself (-displayfd), so tests side by side never
  # share a server. Without -noreset the server starts over each time its last
  # client leaves (the readiness check below is one), and a program that
  # connects during that moment is refused.
  Xvfb -displayfd 3 -screen 0 "${size}x24" -nolisten tcp -noreset 3>"$numberFile" >/dev/null 2>&1 &
  XVFB_PID=$!
  local i n
  for i in $(seq 1 200); do
    n=$(tr -dc '0-9' <"$numberFile")
    if [[ -n "$n" ]] && xdpyinfo -display ":$n" >/dev/null 2>&1; then
      rm -f "$numberFile"
      export DISPLAY=":$n" XVFB_PID
      # Stop the server when the test's shell exits, after any exit trap it has.
      local existing
      existing=$(trap -p EXIT | sed -e "s/^trap -- '//" -e "s/' EXIT\$//")
      trap "${existing:+$existing; }xvfb_stop" EXIT
      return 0
    fi
    kill -0 "$XVFB_PID" 2>/dev/null || break
    sleep 0.05
  done
  rm -f "$numberFile"
  kill "$XVFB_PID" 2>/dev/null || true
  echo "x.sh: Xvfb did not start" >&2
  return 1
}

xvfb_stop() {
  if [[ -n "${XVFB_PID:-}" ]]; then
    kill "$XVFB_PID" 2>/dev/null || true
    wait "$XVFB_PID" 2>/dev/null || true
    XVFB_PID=
  fi
}

# A cross build's tests set HELICOID_EMULATOR (qemu): the scripts put $emulator
# in front of the programs under test, which the kernel here cannot start.
emulator=${HELICOID_EMULATOR:-}

x_work() {
  work=$(mktemp -d)
  viewer_pid=
  wm_pid=
  trap x_work_end EXIT
}

x_work_end() {
  [[ -n "${viewer_pid:-}" ]] && kill "$viewer_pid" 2>/dev/null
  [[ -n "${wm_pid:-}" ]] && kill "$wm_pid" 2>/dev/null
  xvfb_stop
  rm -rf "$work"
}

failures=0
pass() { echo "ok: $*"; }
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}
checks_end() {
  if ((failures > 0)); then
    local keep
    keep="/tmp/$(basename "$0" .sh)-failed"
    mkdir -p "$keep" && cp "$1"/*.png "$1"/*.log "$keep"/ 2>/dev/null
    echo "$failures check(s) failed; screenshots and logs in $keep"
    exit 1
  fi
  if [[ -n "${SKIPPED:-}" ]]; then
    echo "SKIPPED: $SKIPPED (every other check passed)"
    exit 77
  fi
  echo "all checks passed"
  exit 0
}
die() {
  echo "FAIL: $*" >&2
  if declare -F on_die >/dev/null; then on_die; fi
  exit 1
}

find_window() {
  local title=$1 seconds=${2:-30} pattern id i
  pattern="^$(printf '%s' "$title" | sed 's/[][\.*^$+?(){}|]/\\&/g')\$"
  for i in $(seq $((seconds * 5))); do
    id=$(xdotool search --onlyvisible --name "$pattern" 2>/dev/null | head -1)
    [[ -n "$id" ]] && { echo "$id"; return 0; }
    sleep 0.2
  done
  return 1
}

find_listed_window() {
  local title=$1 seconds=${2:-30} id i
  for i in $(seq $((seconds * 10))); do
    id=$(xwininfo -root -tree 2>/dev/null | grep -F "\"$title\"" | head -n 1 | awk '{print $1}')
    [[ -n "$id" ]] && { echo "$id"; return 0; }
    sleep 0.1
  done
  return 1
}

# (A key sent before the box is ready to take it is lost: sent until it closes.)
past_box() {
  local n main
  for ((n = 0; n < 20; n++)); do
    xdotool key --window "$1" Return 2>/dev/null
    main=$(find_listed_window "$HELICOID_WINDOW_TITLE" 1) && echo "$main" && return 0
  done
  return 1
}

shot() { import -window root "$1" 2>/dev/null; }

pixel() {
  convert "$1" -format "%[fx:int(255*p{$2,$3}.r+.5)],%[fx:int(255*p{$2,$3}.g+.5)],%[fx:int(255*p{$2,$3}.b+.5)]" info:
}

near() {
  local a b i d
  IFS=, read -r -a a <<<"$1"
  IFS=, read -r -a b <<<"$2"
  for i in 0 1 2; do
    d=$((a[i] - b[i]))
    ((d < 0)) && d=$((-d))
    ((d <= $3)) || return 1
  done
}

differing() { compare -metric AE "$1" "$2" null: 2>&1 | awk '{print int($1)}'; }

pixels_not() {
  local solid
  solid=$(mktemp --suffix=.png)
  convert -size "$(identify -format '%wx%h' "$1")" "xc:rgb($2)" "$solid"
  compare -metric AE -fuzz 2% "$1" "$solid" null: 2>&1 | awk '{print int($1)}'
  rm -f "$solid"
}

wait_until() {
  local deadline=$((SECONDS + $1))
  shift
  until "$@"; do
    ((SECONDS < deadline)) || return 1
    sleep 0.1
  done
}

shoot_client() {  # (called in a subshell: a new file each time from mktemp)
  local file
  file=$(mktemp -p "$work" --suffix=.png shot-XXXXXX) || return 1
  import -window root -crop "$CLIENT" +repage "$file" 2>/dev/null && echo "$file"
}

_changed_since() {  # SHOOT BEFORE
  LAST_SHOT=$("$1") || return 1
  (($(differing "$2" "$LAST_SHOT") > 100))
}

keeps_changing() {
  local shoot=$1 n=$2 seconds=$3 k before
  before=$("$shoot") || return 1
  for ((k = 0; k < n; k++)); do
    wait_until "$seconds" _changed_since "$shoot" "$before" || return 1
    before=$LAST_SHOT
  done
}

_still_for() {  # SHOOT N: true once N pictures in a row equalled the one before
  local now
  now=$("$1") || return 1
  if [[ -n "${_still_before:-}" && $(differing "$_still_before" "$now") == 0 ]]; then
    _still_count=$((_still_count + 1))
  else
    _still_count=0
  fi
  _still_before=$now
  LAST_SHOT=$now
  ((_still_count >= $2))
}

holds_still() {
  _still_before=
  _still_count=0
  wait_until "$3" _still_for "$1" "$2"
}

# weston_start SCALE WIDTH HEIGHT   a Wayland compositor (weston's X11 backend)
#                                 on the running Xvfb, its output WIDTH x HEIGHT
#                                 logical points at SCALE device pixels each;
#                                 exports WAYLAND_DISPLAY, XDG_RUNTIME_DIR and
#                                 WESTON_WINDOW (its X window, where keys go);
#                                 ended at exit as $wm_pid (call x_work first)
weston_start() {
  local i
  export XDG_RUNTIME_DIR="$work/runtime" WAYLAND_DISPLAY=helicoid-test
  mkdir -p -m 0700 "$XDG_RUNTIME_DIR"
  # No panel: nothing on screen but the clients (and no launcher to hit).
  printf '[shell]\npanel-position=none\n' >"$work/weston.ini"
  weston --config="$work/weston.ini" --backend=x11-backend.so --socket="$WAYLAND_DISPLAY" \
    --scale="$1" --width="$2" --height="$3" --idle-time=0 >"$work/weston.log" 2>&1 &
  wm_pid=$!
  for i in $(seq 1 200); do
    WESTON_WINDOW=$(xwininfo -root -tree 2>/dev/null | awk '/"Weston Compositor/ {print $1; exit}')
    [[ -n "$WESTON_WINDOW" && -S "$XDG_RUNTIME_DIR/$WAYLAND_DISPLAY" ]] && return 0
    kill -0 "$wm_pid" 2>/dev/null || break
    sleep 0.1
  done
  echo "x.sh: weston did not start: $(tail -n 3 "$work/weston.log")" >&2
  return 1
}

client_geometry() {
  xwininfo -id "$1" | awk '/Absolute upper-left X/ {x=$4} /Absolute upper-left Y/ {y=$4}
    /Width:/ {w=$2} /Height:/ {h=$2} END {print x, y, w, h}'
}

colour_count() {
  convert "$1" -precision 12 -fill white -opaque "rgb($2)" -fill black +opaque white \
    -format "%[fx:int(mean*w*h+0.5)]" info:
}

tree_window() {
  "$1" -t get_tree 2>/dev/null | python3 -c '
import json, sys
def walk(node, floating):
    if node.get("name") == sys.argv[1] and (node.get("window") or node.get("pid")):
        r, c, g = node["window_rect"], node["rect"], node["geometry"]
        print("floating" if floating else "tiled", r["width"], r["height"], c["x"] + r["x"],
              c["y"] + r["y"], g["width"], g["height"])
        sys.exit(0)
    for child in node.get("nodes", []):
        walk(child, floating)
    for child in node.get("floating_nodes", []):
        walk(child, True)
walk(json.load(sys.stdin), False)
sys.exit(1)' "$2"
}

cpu_per_mille() {
  local ticks=$(getconf CLK_TCK) before after start
  _cpu_ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }
  before=$(_cpu_ticks "$1") || return 1
  start=$(date +%s%N)
  sleep "$2"  # the span measured, not a wait for an event
  after=$(_cpu_ticks "$1") || return 1
  echo $(((after - before) * 1000 * 1000000000 / ticks / ($(date +%s%N) - start)))
}

# i3_start                        the tiling window manager i3 on the running
#                                 Xvfb, its bar at the bottom; ended at exit as
#                                 $wm_pid (call x_work first)
i3_start() {
  printf 'font pango:DejaVu Sans 9\nfocus_follows_mouse no\n' >"$work/i3.conf"
  i3 -c "$work/i3.conf" >"$work/i3.log" 2>&1 &
  wm_pid=$!
  wait_until 20 i3-msg -q nop 2>/dev/null && return 0
  echo "x.sh: i3 did not start: $(tail -n 3 "$work/i3.log")" >&2
  return 1
}

# sway_start WIDTH HEIGHT         sway on a headless output, with no X server
#                                 and no Xwayland, as the user nobody when run
#                                 as root (it refuses root); exports WAYLAND_DISPLAY,
#                                 XDG_RUNTIME_DIR and SWAYSOCK; ended at exit
#                                 as $wm_pid (call x_work first)
sway_start() {
  chmod 711 "$work"
  export XDG_RUNTIME_DIR="$work/sway-runtime"
  mkdir -m 0700 "$XDG_RUNTIME_DIR"
  [[ $(id -u) == 0 ]] && chown nobody:nogroup "$XDG_RUNTIME_DIR"
  printf 'xwayland disable\noutput HEADLESS-1 mode %sx%s\n' "$1" "$2" >"$work/sway.conf"
  chmod 644 "$work/sway.conf"
  local as=()
  [[ $(id -u) == 0 ]] && as=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
  "${as[@]}" env -i HOME=/nonexistent \
    XDG_RUNTIME_DIR="$XDG_RUNTIME_DIR" WLR_BACKENDS=headless WLR_LIBINPUT_NO_DEVICES=1 \
    WLR_RENDERER=pixman sway -c "$work/sway.conf" >"$work/sway.log" 2>&1 &
  wm_pid=$!
  _sway_up() {
    SWAYSOCK=$(ls "$XDG_RUNTIME_DIR"/sway-ipc.*.sock 2>/dev/null | head -n 1)
    WAYLAND_DISPLAY=$(cd "$XDG_RUNTIME_DIR" && ls wayland-? 2>/dev/null | head -n 1)
    [[ -n "$SWAYSOCK" && -n "$WAYLAND_DISPLAY" ]] && SWAYSOCK=$SWAYSOCK swaymsg -q -t get_version
  }
  if wait_until 20 _sway_up; then
    export SWAYSOCK WAYLAND_DISPLAY
    return 0
  fi
  echo "x.sh: sway did not start: $(tail -n 3 "$work/sway.log")" >&2
  return 1
}
