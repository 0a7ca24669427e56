#!/usr/bin/env bash
# The real viewer as a pure Wayland client (weston on a private Xvfb, no
# DISPLAY) on an output at scale 2, with no zenity on PATH, so that SDL's own
# message box cannot show: our box shows with its texts, Return answers it,
# then the window opens, drawn at full resolution. The SDL probe shows an
# error box the same way, and its window and mouse points are device pixels.
#   viewer_wayland.sh VIEWER SNAPSHOT PROBE
set -uo pipefail

viewer=$1
snapshot=$2  # the headless renderer, for the reference picture
probe=$3
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../lib/x.sh"
x_work

# A 1200 x 900 output at scale 2 fills the top 2400 x 1800 of the X screen.
# Weston follows the X pointer once it enters its window: the pointer waits
# below it, outside, between uses (and its sprite stays out of the pictures).
xvfb_start 2400x1900 || exit 1
weston_start 2 1200 900 || { fail "no compositor"; checks_end "$work"; }
pointer_out() { xdotool mousemove --sync 1200 1850; }
pointer_in() { xdotool mousemove --sync "$1" "$2"; }
pointer_out
# A program as a pure Wayland client that logs its requests (window titles).
# In a sanitizer build, leaks are not checked here (they are under X11):
# libdecor's plugin (cairo, pango, fontconfig) and Mesa's EGL keep memory to
# the end and are unloaded before the check, so no suppression can name them.
run_wayland() {
  exec env -u DISPLAY SDL_VIDEODRIVER=wayland PATH=/nonexistent WAYLAND_DEBUG=client \
    ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0" "$@"
}

# Waits (10 s at most) for the program in $viewer_pid to end; its status.
wait_end() {
  local i
  for i in $(seq 1 100); do kill -0 "$viewer_pid" 2>/dev/null || break; sleep 0.1; done
  kill "$viewer_pid" 2>/dev/null
  wait "$viewer_pid"
  local status=$?
  viewer_pid=
  return $status
}

# Waits (20 s at most) until FILE holds a line with TEXT.
wait_log() {
  local i
  for i in $(seq 1 200); do
    grep -qF -- "$2" "$1" 2>/dev/null && return 0
    sleep 0.1
  done
  return 1
}

# "W H X Y" of the region of one exact colour on screen (specks of it in the
# wallpaper left out),
# once it is W_MIN x H_MIN device pixels or larger (20 s at most); the
# screenshot is left in FILE.
wait_region() {
  local file=$1 colour=$2 wmin=$3 hmin=$4 i g
  for i in $(seq 1 100); do
    shot "$file"
    g=$(convert "$file" -crop 2400x1800+0+0 +repage -fill white -opaque "rgb($colour)" \
      -fill black +opaque white -morphology Open Square:2 -format "%@" info: 2>/dev/null |
      tr 'x+' '  ')
    read -r -a g <<<"$g"
    if ((${#g[@]} == 4 && g[0] >= wmin && g[1] >= hmin)); then
      echo "${g[0]} ${g[1]} ${g[2]} ${g[3]}"
      return 0
    fi
    sleep 0.2
  done
  return 1
}

# The number of lines of text in a region W H X Y of an image: bands of at
# least 6 rows with dark pixels (a descender alone makes a thinner band).
text_lines() {
  convert "$1" -crop "$2x$3+$4+$5" +repage -colorspace gray -threshold 50% -negate -scale '1x!' \
    -depth 8 txt:- | awk -F'[(,)]' 'NR > 1 { if ($3 > 0) run++; else { n += run >= 6; run = 0 } }
      END { print n + (run >= 6) }'
}

# Our box: a light region with the text (after the icon, if any) and the OK button below.
check_box() {
  local name=$1 lines=$2 icon=$3 g textX
  g=$(wait_region "$work/$name.png" 240,240,240 200 150) || { fail "$name: no box on screen"; return 1; }
  read -r bw bh bx by <<<"$g"
  pass "$name: a box of ${bw} x ${bh} device pixels"
  textX=$((bx + (icon ? 120 : 32)))
  n=$(text_lines "$work/$name.png" $((bx + bw - 32 - textX)) $((bh - 32 - 112)) "$textX" $((by + 32)))
  ((n == lines)) && pass "$name: $n line(s) of text" || fail "$name: $n line(s) of text, not $lines"
  p=$(pixel "$work/$name.png" $((bx + bw - 32 - 2)) $((by + bh - 32 - 28)))
  near "$p" 0,120,215 8 && pass "$name: the OK button" || fail "$name: no OK button ($p)"
}

# ---- The viewer: the information box first, alone.
run_wayland "$viewer" >"$work/viewer.log" 2>&1 &
viewer_pid=$!
caption="$HELICOID_INFO_CAPTION"
wait_log "$work/viewer.log" "set_title(\"$caption\")" && pass "box titled with its caption" ||
  fail "no box titled '$caption'"
check_box info 1 0
grep -qF "set_title(\"$HELICOID_WINDOW_TITLE\")" "$work/viewer.log" && fail "main window opened with the box up"
grep -F "cannot show" "$work/viewer.log" && fail "the viewer says it cannot show its box"
xdotool key --window "$WESTON_WINDOW" Return

# ---- Then the window: 0.8 of the 1800-pixel screen, drawn at full resolution.
wait_log "$work/viewer.log" "set_title(\"$HELICOID_WINDOW_TITLE\")" || fail "no main window after Return"
g=$(wait_region "$work/start.png" 38,38,38 1400 1400) || fail "no window of 1440 x 1440 device pixels"
read -r w h x y <<<"$g"
[[ "$w $h" == "1440 1440" ]] && pass "window 1440 x 1440 device pixels" || fail "window $w x $h"
"$snapshot" --size 1440 -o "$work/reference.png" || fail "snapshot failed"
convert "$work/start.png" -crop "1440x1440+$x+$y" +repage "$work/client.png"
model=$(pixels_not "$work/reference.png" 38,38,38)
d=$(compare -metric AE -fuzz 2% "$work/client.png" "$work/reference.png" null: 2>&1 | awk '{print int($1)}')
# Drawn at 720 and enlarged twice, 11 % of the model's pixels differ.
((d * 100 < model * 3)) && pass "same picture as the headless renderer at 1440 ($d of $model model pixels differ)" ||
  fail "$d of $model model pixels differ from the headless picture at 1440"

# 'f' turns the fog on; a flick across the model keeps it spinning.
xdotool key --window "$WESTON_WINDOW" f
wait_region "$work/fog.png" 128,64,64 1400 1400 >/dev/null && pass "fog after 'f'" || fail "no fog after 'f'"
cx=$((x + 720)) cy=$((y + 720))
crop="1440x1440+$x+$y"
pointer_in $cx $cy
xdotool mousedown 1
xdotool mousemove --sync $((cx + 40)) $((cy + 20))
xdotool mousemove --sync $((cx + 120)) $((cy + 60))
xdotool mouseup 1
pointer_out
convert "$work/fog.png" -crop "$crop" +repage "$work/still.png"
for i in $(seq 1 50); do
  shot "$work/spin1.png"
  convert "$work/spin1.png" -crop "$crop" +repage "$work/spin1.png"
  d=$(differing "$work/still.png" "$work/spin1.png")
  ((d > 1000)) && break
done
shot "$work/spin2.png"
convert "$work/spin2.png" -crop "$crop" +repage "$work/spin2.png"
d2=$(differing "$work/spin1.png" "$work/spin2.png")
((d > 1000 && d2 > 1000)) && pass "a flick turns the model and it keeps spinning ($d, $d2 pixels changed)" ||
  fail "no spin after a flick ($d, $d2)"

xdotool key --window "$WESTON_WINDOW" Escape
wait_end
status=$?
[[ $status == 0 ]] && pass "Esc ends with exit code 0" || fail "exit after Esc: $status"

# ---- An error box the same way: its icon and both lines of its text.
run_wayland "$probe" box >"$work/probe.log" 2>&1 &
viewer_pid=$!
wait_log "$work/probe.log" 'set_title("Probe box")' && pass "error box titled with its caption" ||
  fail "no error box titled 'Probe box'"
check_box error 2 1
red=$(convert "$work/error.png" -fill white -opaque "rgb(200,40,40)" -fill black +opaque white -format "%[fx:int(mean*w*h)]" info:)
((red > 300)) && pass "error box: the red icon ($red pixels)" || fail "error box: no red icon ($red)"
xdotool key --window "$WESTON_WINDOW" Return
wait_log "$work/probe.log" "box=1" && pass "Return answers the error box" || fail "the error box was not answered"
wait_end

# ---- The probe's window: the screen, its size and mouse points in device pixels.
run_wayland "$probe" >"$work/probe.log" 2>&1 &
viewer_pid=$!
wait_log "$work/probe.log" "WM_PAINT swap=1" || fail "the probe painted no frame"
grep -qx "screen 2400 1800" "$work/probe.log" && pass "screen 2400 x 1800 device pixels" ||
  fail "screen: $(grep '^screen' "$work/probe.log")"
g=$(wait_region "$work/probe.png" 51,102,153 300 200) || fail "no probe window"
read -r w h x y <<<"$g"
# The decorations of an inactive window shade its outermost pixels a little.
if near "$(pixel "$work/probe.png" $((x - 1)) $((y + h / 2)))" 51,102,153 16; then
  x=$((x - 1)) y=$((y - 1)) w=$((w + 2)) h=$((h + 2))
fi
[[ "$w $h" == "320 240" ]] && pass "probe window 320 x 240 device pixels" || fail "probe window $w x $h"
pointer_in $((x + 60)) $((y + 80))
xdotool click 1
wait_log "$work/probe.log" "WM_LBUTTONDOWN 60 80 1" && pass "a click at device pixel (60, 80) comes as (60, 80)" ||
  fail "click: $(grep WM_LBUTTONDOWN "$work/probe.log")"
xdotool key --window "$WESTON_WINDOW" Escape
wait_end

checks_end "$work"
