#!/usr/bin/env bash
# The real viewer under a tiling window manager (i3) on a private Xvfb: the
# message box floats at its own size; the main window, tiled to a size the
# viewer cannot spring back from, is grey wherever the model is not, with the
# picture of the headless renderer in its viewport (the start-up size, at the
# lower left); a second window beside it (half a tile) and closed again leaves
# no uncleared pixel.
#   viewer_i3.sh VIEWER SNAPSHOT PROBE
set -uo pipefail

viewer=$1
snapshot=$2
probe=$3
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../lib/x.sh"
x_work

xvfb_start 1280x1024 || exit 1
i3_start || { fail "no i3"; checks_end "$work"; }
"$snapshot" --size 819 -o "$work/reference.png" || fail "snapshot failed"

"$viewer" >"$work/viewer.log" 2>&1 &
viewer_pid=$!
caption="$HELICOID_INFO_CAPTION"
box=$(find_listed_window "$caption" 20) || { fail "no information box"; checks_end "$work"; }
box_floats() { read -r how bw bh _ <<<"$(tree_window i3-msg "$caption")" && [[ $how == floating ]]; }
wait_until 10 box_floats
read -r bx by w h <<<"$(client_geometry "$box")"
[[ "$how $bw $bh" == "floating $w $h" ]] && pass "the box floats at its own size, $w x $h" ||
  fail "the box: $how $bw x $bh, its own size $w x $h"
main=$(past_box "$box") || { fail "no main window"; checks_end "$work"; }

# The client area shot: no black (never cleared) pixel, grey in its top right
# corner; with WIDTH, only once the window is that wide (or, with "<", narrower).
clean() {
  read -r x y w h <<<"$(client_geometry "$main")"
  [[ -z "${1:-}" || $w == "$1" || ($1 == "<"* && $w -lt ${1#<}) ]] || return 1
  CLIENT=${w}x$h+$x+$y
  LAST_SHOT=$(shoot_client) || return 1
  black=$(colour_count "$LAST_SHOT" 0,0,0)
  ((black == 0)) && near "$(pixel "$LAST_SHOT" $((w - 3)) 3)" 38,38,38 2
}
# The viewport, the start-up 819 x 819 at the lower left, against the headless picture.
viewport_matches() {
  convert "$LAST_SHOT" -gravity SouthWest -crop 819x819+0+0 +repage "$work/viewport.png"
  d=$(compare -metric AE -fuzz 2% "$work/viewport.png" "$work/reference.png" null: 2>&1 | awk '{print int($1)}')
  ((d < 6700))
}
d=- black=- w=- h=-
report() { echo "$1: client $w x $h, $black of $((w * h)) pixels black"; }

tiled() { [[ "$(client_geometry "$main")" != *" 819 819" ]]; }
wait_until 10 tiled || fail "i3 did not tile the window: $(client_geometry "$main")"
if wait_until 20 clean && viewport_matches; then
  pass "tiled to $w x $h: grey outside the model, the headless picture in the viewport ($d pixels differ)"
else
  fail "tiled: $black black pixels, corner $(pixel "$LAST_SHOT" $((w - 3)) 3), $d pixels differ in the viewport"
fi
report tiled
full=$w

# A second window halves the tile; closed, the viewer has it whole again.
"$probe" >"$work/probe.log" 2>&1 &
probe_pid=$!
wait_until 20 clean "<$full" && pass "half a tile, $w x $h: no uncleared pixel" ||
  fail "half a tile ($w x $h): $black black pixels"
report "half tile"
kill "$probe_pid"
wait "$probe_pid" 2>/dev/null
if wait_until 20 clean "$full" && viewport_matches; then
  pass "the tile whole again: no uncleared pixel, the headless picture in the viewport"
else
  fail "after the second window closed: $black black pixels, $d pixels differ"
fi
report "whole again"

checks_end "$work"
