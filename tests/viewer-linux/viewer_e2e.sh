#!/usr/bin/env bash
# Runs the real viewer on a private Xvfb (1280 x 1024) and uses it as a person
# would: dismiss the information box, drag, click, type 'f' and 'p', press Esc.
set -uo pipefail

viewer=$1
snapshot=$2  # the headless renderer, for the reference picture
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../lib/x.sh"
x_work

xvfb_start 1280x1024 || exit 1

# Share (per mille) of a client-area picture that is not background grey.
model_share() {
  convert "$1" -fuzz 3% -fill black -opaque "rgb(38,38,38)" \
    -fill black -opaque "rgb(128,64,64)" -fill white +opaque black -format "%[fx:int(1000*mean)]" info:
}

$emulator "$viewer" >"$work/viewer.log" 2>&1 &
viewer_pid=$!

caption="$HELICOID_INFO_CAPTION"
box=$(find_listed_window "$caption" 20) || { fail "information box did not appear"; cat "$work/viewer.log"; exit 1; }
pass "information box with its caption"
if xwininfo -root -tree | grep -qF "\"$HELICOID_WINDOW_TITLE\""; then
  fail "main window exists before the box is dismissed"
fi
xdotool key --window "$box" Return

main=$(find_listed_window "$HELICOID_WINDOW_TITLE" 20) || { fail "main window did not appear"; exit 1; }
read -r x y w h <<<"$(client_geometry "$main")"
if [[ "$x,$y,$w,$h" == "50,50,819,819" ]]; then pass "window 819 x 819 at (50, 50)"; else fail "window at $x,$y size ${w}x$h"; fi

# The window icon is the program's 32 x 32 picture, handed to the platform at start-up.
icon=$(xprop -id "$main" -notype 32c _NET_WM_ICON 2>/dev/null | sed 's/^_NET_WM_ICON = //')
[[ "$icon" == "32, 32, "* ]] && pass "window icon 32 x 32" || fail "window icon: ${icon:0:60}"

CLIENT=819x819+50+50
background() { pixel "$LAST_SHOT" 5 5; }
drawn() {  # the model on the grey background
  LAST_SHOT=$(shoot_client) && near "$(background)" 38,38,38 2 && (($(model_share "$LAST_SHOT") > 50))
}
wait_until 20 drawn && pass "grey background, model covers $(model_share "$LAST_SHOT") per mille" ||
  fail "no model on grey: background $(background), model $(model_share "$LAST_SHOT") per mille"
cp "$LAST_SHOT" "$work/start.png"

# The window shows the picture the headless renderer draws for the same size
# (the start-up frames do not turn the model). Whatever depth buffer the X
# server's GL offers, the two copies of each triangle must not fight.
$emulator "$snapshot" --size 819 -o "$work/reference.png" 2>"$work/snapshot.log" || fail "snapshot failed: $(cat "$work/snapshot.log")"
d=$(compare -metric AE -fuzz 2% "$work/start.png" "$work/reference.png" null: 2>&1 | awk '{print int($1)}')
(( d < 6700 )) && pass "same picture as the headless renderer ($d pixels differ)" || fail "$d pixels differ from the headless picture"

# Drag and release away from the press point: it keeps spinning.
xdotool mousemove 459 459 mousedown 1 mousemove 480 470 mousemove 520 490 mouseup 1
keeps_changing shoot_client 3 10 && pass "spinning after a flick" || fail "no spin after a flick"

# A click stops it.
xdotool mousemove 300 300 click 1
holds_still shoot_client 3 10 && pass "a click stops the model" || fail "still changing after a click"

# 'f' toggles the fog background, and back.
background_is() { LAST_SHOT=$(shoot_client) && near "$(background)" "$1" 2; }
xdotool key --window "$main" f
wait_until 10 background_is 128,64,64 && pass "fog background" || fail "fog background is $(background)"
xdotool key --window "$main" f
wait_until 10 background_is 38,38,38 && pass "fog off again" || fail "background after second f is $(background)"

# 'p' draws the wireframe: far fewer model pixels.
filled=$(model_share "$LAST_SHOT")
thinner() { LAST_SHOT=$(shoot_client) && (($(model_share "$LAST_SHOT") * 4 < filled * 3)); }
xdotool key --window "$main" p
wait_until 10 thinner && pass "wireframe ($(model_share "$LAST_SHOT") vs $filled per mille)" ||
  fail "wireframe covers $(model_share "$LAST_SHOT") vs $filled"

# Esc ends the program with exit code 0.
xdotool key --window "$main" Escape 2>/dev/null  # the window may be gone before the key release
status=
ended() { ! kill -0 "$viewer_pid" 2>/dev/null; }
if wait_until 10 ended; then wait "$viewer_pid"; status=$?; fi
viewer_pid_done=$viewer_pid
viewer_pid=
if [[ "$status" == 0 ]]; then pass "Esc ends with exit code 0"; else fail "exit after Esc: '${status:-still running}'"; kill "$viewer_pid_done" 2>/dev/null; fi

# Without any display the viewer says so plainly and exits 1.
out=$(env -u DISPLAY -u WAYLAND_DISPLAY timeout 20 $emulator "$viewer" 2>&1)
rc=$?
if [[ $rc == 1 && $(wc -l <<<"$out") == 1 && "$out" == *display* ]]; then pass "no display: exit 1 with: $out"; else fail "no display: rc=$rc output: $out"; fi

checks_end "$work"
