#!/usr/bin/env bash
# The SDL probe as a pure Wayland client of sway (a tiling compositor, no X,
# no zenity, so our own box shows), with a font of bitmap strikes only
# (Terminus, mono glyphs) as the system's sans-serif: the box floats at its
# own size with its text drawn; the window opened after it has the GL
# context of a window opened without a box.
#   viewer_sway.sh PROBE
set -uo pipefail

probe=$1
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../lib/x.sh"
x_work

sway_start 1280 1024 || { fail "no sway"; checks_end "$work"; }
mono=/usr/share/fonts/opentype/terminus
cat >"$work/fonts.conf" <<CONF
<?xml version="1.0"?>
<!DOCTYPE fontconfig SYSTEM "fonts.dtd">
<fontconfig>
  <dir>$mono</dir>
  <cachedir>$work/fontconfig</cachedir>
  <alias><family>sans-serif</family><prefer><family>Terminus</family></prefer></alias>
</fontconfig>
CONF
# (Leaks are checked under X11; see viewer_wayland.sh.)
run_probe() {
  env -u DISPLAY SDL_VIDEODRIVER=wayland PATH=/nonexistent FONTCONFIG_FILE="$work/fonts.conf" \
    ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0" "$probe" "$@" >"$work/probe.log" 2>&1 &
  viewer_pid=$!
}
logged() { grep -q "$1" "$work/probe.log"; }
# Closes the window of this title as its close box would; the probe's status.
close_window() {
  wait_until 20 tree_window swaymsg "$1" >/dev/null
  swaymsg -q "[title=\"$1\"] kill"
  ended() { ! kill -0 "$viewer_pid" 2>/dev/null; }
  wait_until 20 ended || kill "$viewer_pid"
  wait "$viewer_pid"
  local status=$?
  viewer_pid=
  return $status
}
clean_log() { ! grep -E "runtime error|Sanitizer" "$work/probe.log"; }

# ---- Without a box: the context the backend asks for.
run_probe
wait_until 20 logged "^context " || fail "no GL context: $(cat "$work/probe.log")"
plain=$(grep "^context " "$work/probe.log")
echo "without a box: $plain"
close_window "platform probe" || fail "the probe ended with status $?"

# ---- The box first.
run_probe box-window
box_up() { read -r how bw bh bx by gw gh <<<"$(tree_window swaymsg "Probe box")" && [[ -n "$gh" ]]; }
wait_until 20 box_up || fail "no box: $(cat "$work/probe.log")"
[[ "$how $bw $bh" == "floating $gw $gh" ]] && pass "the box floats at its own size, $gw x $gh" ||
  fail "the box: $how $bw x $bh, its own size $gw x $gh"
inked() {
  grim -g "$bx,$by ${bw}x$bh" "$work/box.png" 2>/dev/null && ink=$(colour_count "$work/box.png" 0,0,0) && ((ink > 100))
}
wait_until 10 inked && pass "its text in the mono strikes of $mono ($ink black pixels)" ||
  fail "no text in the box (${ink:-no} black pixels)"
swaymsg -q '[title="Probe box"] kill'
wait_until 20 logged "^context " || fail "no window after the box: $(cat "$work/probe.log")"
logged "^box=1" && pass "the box closed as answered" || fail "the box: $(grep box= "$work/probe.log")"
after=$(grep "^context " "$work/probe.log")
echo "after the box: $after"
[[ "$after" == "$plain" ]] && pass "the GL context is as without the box" ||
  fail "the GL context after the box differs: '$after', not '$plain'"
close_window "platform probe" && clean_log && pass "the probe ends cleanly" ||
  fail "the probe: $(tail -n 5 "$work/probe.log")"

checks_end "$work"
