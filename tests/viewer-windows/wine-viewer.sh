#!/usr/bin/env bash
# The real helicoid.exe under Wine, driven by xdotool as a user would: the
# information box first, then the main window, the picture (against the
# golden one), the trackball, the fog and wireframe keys, and Escape ending
# the program with code 0.
#   wine-viewer.sh HELICOID_EXE ARTIFACTS_DIR
HELICOID_EXE=$1
ARTIFACTS=$2
source "$(dirname "$0")/wine-lib.sh"

wine_begin
wine_start viewer "$HELICOID_EXE"
viewer=$WINE_PID

# --- The information box comes first, and alone.
info=$(find_window "$INFO_TITLE") || die "no window titled [$INFO_TITLE]"
wine_tool helicoid-window-info "$INFO_TITLE" >"$ARTIFACTS/info-box.out"
grep -qxF "title: [$INFO_TITLE]" "$ARTIFACTS/info-box.out" || die "information box caption"
grep -qxF 'child Static: [ mouse: touch the window image for movement----- ]' \
  "$ARTIFACTS/info-box.out" || die "information box text"
if wine_tool helicoid-window-info "$MAIN_TITLE" >"$ARTIFACTS/main-too-early.out"; then
  die "the main window exists while the information box is open"
fi
# The box holds the program back however long it stays open: still no main
# window after another look from Windows' side (a probe run takes a while).
wine_tool helicoid-window-info "$MAIN_TITLE" >/dev/null && die "the main window did not wait for the box"
xdotool key --window "$info" Return

# --- The main window, as Windows sees it.
main=$(find_window "$MAIN_TITLE") || die "no window titled [$MAIN_TITLE]"
wine_tool helicoid-window-info "$MAIN_TITLE" >"$ARTIFACTS/main-window.out"
for want in "title: [$MAIN_TITLE]" 'class: [OpenGL]' 'outer: 50 50 819 x 819' \
  'style: 0x16cf0000'; do
  grep -qxF "$want" "$ARTIFACTS/main-window.out" || die "main window: expected '$want'"
done
# The class icon, as Wine hands it to X: our 32 x 32 picture (dark grey
# corner, more colours than the 16-colour image has).
icon=$(xprop -id "$main" -notype 32c _NET_WM_ICON | sed 's/^_NET_WM_ICON = //')
echo "$icon" | cut -c1-200 >"$ARTIFACTS/x-icon.out"
[[ "$icon" == "32, 32, 4280690214, "* ]] || die "window icon is not the 32 x 32 picture: ${icon:0:80}"
colours=$(echo "$icon" | tr ',' '\n' | sed -n 3,1026p | sort -u | wc -l)
[[ $colours -gt 16 ]] || die "window icon has only $colours colours"
read_client_area
echo "client area ${CLIENT_W}x${CLIENT_H} at ($CLIENT_X, $CLIENT_Y)"
centre_x=$((CLIENT_X + CLIENT_W / 2))
centre_y=$((CLIENT_Y + CLIENT_H / 2))

# --- The picture: dark grey background, the lit model in the middle. On a
# loaded machine the first shots may come before the first whole frame.
corners=("3 3" "$((CLIENT_W - 4)) 3" "3 $((CLIENT_H - 4))" "$((CLIENT_W - 4)) $((CLIENT_H - 4))")
background_corners() {  # SHOT: prints the first corner that is not background
  local corner seen
  for corner in "${corners[@]}"; do
    seen=$(pixel "$1" $corner)
    near "$seen" "$BACKGROUND" 1 || { echo "($corner) is $seen"; return 1; }
  done
}
model_drawn() {
  LAST_SHOT=$(shoot_client) && [[ $(pixels_not "$LAST_SHOT" "$BACKGROUND") -gt 2000 ]] &&
    background_corners "$LAST_SHOT" >/dev/null
}
wait_until 20 model_drawn
first=$LAST_SHOT
count=$(pixels_not "$first" "$BACKGROUND")
[[ $count -gt 2000 ]] || die "the model is not drawn ($count pixels differ from the background) in $first"
wrong=$(background_corners "$first") || die "background at $wrong, not $BACKGROUND, in $first"
# The model's bounding box (what is not background) is about the client area's middle.
read -r box_w box_h box_x box_y <<<"$(convert "$first" -bordercolor "rgb($BACKGROUND)" -border 1 \
  -fuzz 1% -trim -format '%w %h %X %Y' info: | tr -d '+')"
off_x=$((box_x - 1 + box_w / 2 - CLIENT_W / 2))
off_y=$((box_y - 1 + box_h / 2 - CLIENT_H / 2))
echo "model bounding box ${box_w}x${box_h}, centre off by ($off_x, $off_y)"
# (The model's own centre sits a little below the point it turns about.)
((off_x > -10 && off_x < 10 && off_y > -60 && off_y < 60)) ||
  die "the model is not in the middle of $first"
((box_w > 200 && box_h > 200)) || die "the model is only ${box_w}x${box_h} pixels in $first"
# It is the golden start picture: the projection fills the client area, whatever
# its shape, so the area scaled to the golden's 256 x 256 differs from it only
# where scaling blurs edges (about 2 %; the fog picture differs in 96 %).
convert "$first" -resize '256x256!' "$ARTIFACTS/start-256.png"
golden=$(dirname "$0")/../snapshot/golden/start.png
d=$(compare -metric AE -fuzz 8% "$ARTIFACTS/start-256.png" "$golden" null: 2>&1 | awk '{print int($1)}')
echo "scaled to 256 x 256, $d pixels differ from the golden start picture"
((d < 65536 / 25)) || die "$d pixels of $ARTIFACTS/start-256.png differ from $golden"

# --- The keys, on the unturned model (the start-up frames do not turn it):
# each toggled twice must give back the very first picture.
_back_to_first() { LAST_SHOT=$(shoot_client) && [[ $(differing "$first" "$LAST_SHOT") -eq 0 ]]; }
same_as_first() {  # WHAT: waits until the picture equals the first one again
  wait_until 10 _back_to_first || die "the picture did not come back after $1 ($first, $LAST_SHOT)"
}
filled=$(pixels_not "$first" "$BACKGROUND")

# --- 'f' turns the fog on (the background takes its colour), 'f' again off.
_background_near() { LAST_SHOT=$(shoot_client) && near "$(pixel "$LAST_SHOT" 3 3)" "$1" "$2"; }
wait_for_background() {  # COLOUR TOLERANCE
  wait_until 10 _background_near "$1" "$2" ||
    die "background $(pixel "$LAST_SHOT" 3 3), expected $1 (within $2), in $LAST_SHOT"
}
xdotool key --window "$main" f
wait_for_background 128,64,64 3
xdotool key --window "$main" f
wait_for_background "$BACKGROUND" 1
same_as_first fog-off-again

# --- 'p' shows the wireframe: far fewer model pixels (even seen edge-on, as
# here, where the filled strips are thinnest), same background.
xdotool key --window "$main" p
_thinner() {
  LAST_SHOT=$(shoot_client) && lines=$(pixels_not "$LAST_SHOT" "$BACKGROUND") &&
    [[ $((lines * 10)) -lt $((filled * 8)) ]]
}
wait_until 10 _thinner
wire=$LAST_SHOT
echo "model pixels: filled $filled, wireframe $lines"
[[ $((lines * 10)) -lt $((filled * 8)) ]] ||
  die "wireframe has $lines model pixels, filled $filled ($first, $wire)"
[[ $lines -gt 500 ]] || die "wireframe shows almost nothing ($lines pixels) in $wire"
near "$(pixel "$wire" 3 3)" "$BACKGROUND" 1 || die "wireframe changed the background in $wire"
xdotool key --window "$main" p
same_as_first wireframe-off

# --- A drag released away from the press point leaves the model spinning.
xdotool mousemove $((centre_x - 120)) $((centre_y - 40)) mousedown 1
for step in 1 2 3 4 5 6; do
  xdotool mousemove $((centre_x - 120 + 25 * step)) $((centre_y - 40 + 12 * step))
done
xdotool mouseup 1
# Successive pictures keep changing, long after the release.
keeps_changing shoot_client 3 10 || die "the model stopped turning after the release ($LAST_SHOT)"

# --- A click without motion stops it: successive pictures are equal.
xdotool mousemove "$centre_x" "$centre_y" mousedown 1 mouseup 1
holds_still shoot_client 3 15 || die "the model still turns after a click ($LAST_SHOT)"

# --- Escape ends the program with exit code 0.
xdotool key --window "$main" Escape
wine_exit_code_is "$viewer" 0 "Escape"
echo "PASS"
