#!/usr/bin/env bash
# The SDL2 backend under a private X server, with xdotool as the user: a small
# probe program opens a GL window through our Windows calls and prints the
# messages its procedure sees; the user clicks, drags out of the window, types
# and presses Escape. Also: with no display the probe says so and exits 1, and
# a message box can be answered, and where the driver refuses a context that
# names a profile, a plain one is made. PRELOAD goes in front of SDL: it
# prints each context made, and refuses profiles when asked.
#   sdl_xvfb_test.sh PROBE PRELOAD
set -euo pipefail
probe=$1
preload=$2
source "$(dirname "$0")/../lib/x.sh"

work=$(mktemp -d)
probe_pid=
cleanup() {
  if [[ -n "$probe_pid" ]]; then kill "$probe_pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

# After a failure (die): what the probe printed.
on_die() {
  if [[ -f "$work/log" ]]; then
    echo "--- probe output" >&2
    cat "$work/log" >&2
  fi
  if [[ -f "$work/err" ]]; then
    echo "--- probe errors" >&2
    cat "$work/err" >&2
  fi
}

# Waits (polling, 20 s at most) until the probe has printed this exact line
# at least COUNT times.
wait_line() {
  local line=$1 count=${2:-1} i
  for i in $(seq 1 200); do
    if [[ $(grep -cxF -- "$line" "$work/log" || true) -ge $count ]]; then return 0; fi
    sleep 0.1
  done
  die "the probe never printed '$line' (x$count)"
}

# Waits for the probe to end and checks its exit status.
wait_exit() {
  local want=$1 status=0 i
  for i in $(seq 1 200); do
    kill -0 "$probe_pid" 2>/dev/null || break
    sleep 0.1
  done
  wait "$probe_pid" || status=$?
  probe_pid=
  [[ $status -eq $want ]] || die "the probe exited with $status, not $want"
}

# ---- No display: one clear line, exit status 1 (before any server starts).
for display in "" ":65000"; do
  status=0
  if [[ -z "$display" ]]; then
    env -u DISPLAY -u WAYLAND_DISPLAY timeout 20 "$probe" >"$work/log" 2>"$work/err" || status=$?
  else
    env -u WAYLAND_DISPLAY DISPLAY="$display" timeout 20 "$probe" >"$work/log" 2>"$work/err" ||
      status=$?
  fi
  [[ $status -eq 1 ]] || die "with DISPLAY='$display' the probe exited with $status, not 1"
  [[ $(wc -l <"$work/err") -eq 1 ]] || die "expected one line on stderr"
  grep -q "needs a display" "$work/err" || die "the line does not say that a display is needed"
  [[ ! -s "$work/log" ]] || die "the probe went on without a display"
done
echo "no display: exit 1 with one line"

"$probe" round || die "points and pixels are not rounded to the nearest"

xvfb_start 1280x1024
# (In the sanitized build the preload comes before the sanitizer's runtime.)
export ASAN_OPTIONS=${ASAN_OPTIONS:+$ASAN_OPTIONS:}verify_asan_link_order=0

# ---- A window, a click, a drag out of the window, keys, a resize, Escape.
LD_PRELOAD=$preload "$probe" >"$work/log" 2>"$work/err" &
probe_pid=$!
wait_line "ready"
[[ $(grep -c "^SDL context made" "$work/log") -eq 1 && ! -s "$work/err" ]] || die "contexts"
grep -qx "screen 1280 1024" "$work/log" || die "screen size"
grep -qx "WM_CREATE 320 240" "$work/log" || die "the window has its size at WM_CREATE"
grep -q "^gl=ok" "$work/log" || die "no GL context"
grep -qx "WM_PAINT swap=1" "$work/log" || die "no painted frame"

window=$(timeout 20 xdotool search --sync --name '^platform probe$' | head -1)
[[ -n "$window" ]] || die "the window is not on the X server"
eval "$(timeout 10 xdotool getwindowgeometry --shell "$window")"
[[ $WIDTH -eq 320 && $HEIGHT -eq 240 ]] || die "window is ${WIDTH}x$HEIGHT"

# A click at the client point (30, 40).
timeout 10 xdotool mousemove --sync $((X + 30)) $((Y + 40)) click 1
wait_line "WM_LBUTTONDOWN 30 40 1"
wait_line "WM_LBUTTONUP 30 40 0"

# Press, and once the probe holds the capture, leave the window up and left.
timeout 10 xdotool mousedown 1
wait_line "WM_LBUTTONDOWN 30 40 1" 2
timeout 10 xdotool mousemove --sync $((X - 30)) $((Y - 20))
wait_line "WM_MOUSEMOVE -30 -20 1"
timeout 10 xdotool mouseup 1
wait_line "WM_LBUTTONUP -30 -20 0"

# The 100 ms timer wakes the blocked loop.
wait_line "WM_TIMER 1"

timeout 10 xdotool mousemove --sync $((X + 100)) $((Y + 100))
timeout 10 xdotool windowfocus --sync "$window"
timeout 10 xdotool type f
wait_line "WM_CHAR 102"
timeout 10 xdotool type F
wait_line "WM_CHAR 70"
grep -qx "WM_KEYDOWN 70" "$work/log" || die "no key down for f"

timeout 10 xdotool windowsize "$window" 400 300
wait_line "WM_SIZE 400 300 0"

timeout 10 xdotool key Escape
wait_line "WM_CHAR 27"
wait_exit 0
grep -qx "WM_DESTROY" "$work/log" || die "no WM_DESTROY"
echo "window: click, capture, timer, keys, resize and Escape as on Windows"

# ---- A driver that refuses a context naming a profile: one line says so,
# and one plain context draws.
HELICOID_REFUSE_PROFILE=1 LD_PRELOAD=$preload "$probe" >"$work/log" 2>"$work/err" &
probe_pid=$!
wait_line "WM_PAINT swap=1"
[[ $(grep -c "^SDL context made" "$work/log") -eq 1 && $(cat "$work/err") == "platform: no \
compatibility-profile context (profile 2 refused): asking for a plain one" ]] || die "fallback"
kill "$probe_pid" && wait "$probe_pid" || true
echo "a refused profile: a plain context, said once"

# ---- A message box, answered with Return.
"$probe" box >"$work/log" 2>"$work/err" &
probe_pid=$!
box=
for i in $(seq 1 200); do
  box=$(xwininfo -root -tree 2>/dev/null | awk '/"Probe box"/ {print $1; exit}')
  [[ -n "$box" ]] && break
  sleep 0.1
done
[[ -n "$box" ]] || die "no message box window"
# The box draws its button once it is mapped; answer until it is gone.
for i in $(seq 1 100); do
  timeout 10 xdotool key --window "$box" Return 2>/dev/null || true
  kill -0 "$probe_pid" 2>/dev/null || break
  sleep 0.2
done
wait_exit 0
grep -qx "box=1" "$work/log" || die "the box did not return IDOK"
echo "message box: shown and answered"
