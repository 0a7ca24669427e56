#!/usr/bin/env bash
# The real viewer under a window manager (openbox) on a private Xvfb, with
# xdotool as the user: maximised from its title bar, the window springs back
# to 819 x 819 and stays where the maximised window was (the frame at the
# screen's origin); Shift+F toggles nothing while 'f' turns the fog on.
set -uo pipefail

viewer=$1
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../lib/x.sh"
x_work

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

# geometry: "X Y W H" of the main window's client area on the screen.
geometry() {
  xwininfo -id "$main" | awk '/Absolute upper-left X/ {x=$4} /Absolute upper-left Y/ {y=$4}
    /Width:/ {w=$2} /Height:/ {h=$2} END {print x, y, w, h}'
}
box=$(find_listed_window "soft by Quenmarrow - contact@example.org " 20) || { fail "no information box"; exit 1; }
# (A key sent before the box is ready to take it is lost: send until it closes.)
for ((n = 0; n < 20; n++)); do
  xdotool key --window "$box" Return 2>/dev/null
  main=$(find_listed_window " soft by Quenmarrow" 1) && break
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
shot "$work/before.png"
xdotool keydown shift key f keyup shift
sleep 1
shot "$work/after.png"
d=$(differing "$work/before.png" "$work/after.png")
[[ "$d" == 0 ]] && pass "Shift+F changes no pixel" || fail "Shift+F changed $d pixels"
xdotool key f
sleep 1
shot "$work/fog.png"
p=$(pixel "$work/fog.png" $((mx + 5)) $((my + 5)))
near "$p" 128,64,64 2 && pass "'f' turns the fog on ($p)" ||
  fail "after 'f' the background is $p, not the fog's 128,64,64"

checks_end "$work"
