#!/usr/bin/env bash
# The real viewer under a window manager (openbox) on a private Xvfb, with
# xdotool as the user: maximised from its title bar, the window springs back
# to 819 x 819 and stays where the maximised window was (the frame at the
# screen's origin); Shift+F toggles nothing while 'f' turns the fog on.
set -uo pipefail

viewer=$1
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../lib/xvfb.sh"
source "$here/../lib/checks.sh"
work=$(mktemp -d)
viewer_pid=
wm_pid=

cleanup() {
  [[ -n "$viewer_pid" ]] && kill "$viewer_pid" 2>/dev/null
  [[ -n "$wm_pid" ]] && kill "$wm_pid" 2>/dev/null
  xvfb_stop
  rm -rf "$work"
}
trap cleanup EXIT

xvfb_start 1280x1024 || exit 1
openbox --sm-disable >"$work/openbox.log" 2>&1 &
wm_pid=$!
for ((i = 0; i < 200; i++)); do
  xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
  sleep 0.1
done
((i < 200)) || { fail "openbox did not start: $(cat "$work/openbox.log")"; checks_end "$work"; }

"$viewer" >"$work/viewer.log" 2>&1 &
viewer_pid=$!

# find_window TITLE [SECONDS]: the X id of the client window with exactly this title.
find_window() {
  local id i
  for ((i = 0; i < ${2:-20} * 10; i++)); do
    id=$(xwininfo -root -tree 2>/dev/null | grep -F "\"$1\"" | head -n 1 | awk '{print $1}')
    [[ -n "$id" ]] && { echo "$id"; return 0; }
    sleep 0.1
  done
  return 1
}
# geometry: "X Y W H" of the main window's client area on the screen.
geometry() {
  xwininfo -id "$main" | awk '/Absolute upper-left X/ {x=$4} /Absolute upper-left Y/ {y=$4}
    /Width:/ {w=$2} /Height:/ {h=$2} END {print x, y, w, h}'
}
background_at() {  # X Y: "R G B" of one pixel of a new screenshot
  import -window root "$work/shot.png" 2>/dev/null
  convert "$work/shot.png" -format "%[fx:int(255*p{$1,$2}.r)] %[fx:int(255*p{$1,$2}.g)] %[fx:int(255*p{$1,$2}.b)]" info:
}

box=$(find_window "soft by Quenmarrow - contact@example.org ") || { fail "no information box"; exit 1; }
# (A key sent before the box is ready to take it is lost: send until it closes.)
for ((n = 0; n < 20; n++)); do
  xdotool key --window "$box" Return 2>/dev/null
  main=$(find_window " soft by Quenmarrow" 1) && break
done
[[ -n "$main" ]] || { fail "no main window"; exit 1; }
for ((i = 0; i < 100; i++)); do  # until openbox has framed it
  xprop -id "$main" _NET_FRAME_EXTENTS 2>/dev/null | grep -q = && break
  sleep 0.1
done
sleep 1
read -r x y w h <<<"$(geometry)"
read -r left right top bottom <<<"$(xprop -id "$main" _NET_FRAME_EXTENTS | tr -dc '0-9 ')"
echo "client ${w}x$h at ($x, $y); frame extents $left $right $top $bottom"

# --- Maximise with the title bar's maximise button (right end, beside close).
xdotool mousemove $((x + w - 27)) $((y - top / 2 - 1)) click 1
for ((i = 0; i < 30; i++)); do
  sleep 0.2
  now=$(geometry)
  [[ "$now" != "$x $y $w $h" ]] && break
done
sleep 1  # let it settle
read -r mx my mw mh <<<"$(geometry)"
state=$(xprop -id "$main" _NET_WM_STATE)
read -r left right top bottom <<<"$(xprop -id "$main" _NET_FRAME_EXTENTS | tr -dc '0-9 ')"
if [[ "$mw x $mh" == "819 x 819" && $mx == "$left" && $my == "$top" && "$state" != *MAXIMIZED* ]]; then
  pass "maximised, it springs back to 819 x 819 with its frame at the maximised origin (0, 0)"
else
  fail "after maximising: client ${mw}x$mh at ($mx, $my), frame extents $left $top, $state"
fi

# --- Shift+F changes no pixel; 'f' then does turn the fog on.
xdotool windowactivate --sync "$main" 2>/dev/null
sleep 0.5
import -window root "$work/before.png"
xdotool keydown shift key f keyup shift
sleep 1
import -window root "$work/after.png"
d=$(compare -metric AE "$work/before.png" "$work/after.png" null: 2>&1 | awk '{print int($1)}')
[[ "$d" == 0 ]] && pass "Shift+F changes no pixel" || fail "Shift+F changed $d pixels"
xdotool key f
sleep 1
read -r r g b <<<"$(background_at $((mx + 5)) $((my + 5)))"
((r > 120 && g < 70 && b < 70)) && pass "'f' turns the fog on ($r $g $b)" ||
  fail "after 'f' the background is $r $g $b, not the fog's 128 64 64"

checks_end "$work"
