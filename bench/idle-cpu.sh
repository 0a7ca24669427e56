#!/usr/bin/env bash
# Shows that the viewer uses no CPU while nothing asks for a frame: starts the
# real viewer on a private Xvfb, dismisses the information box, stops the
# model with a click, then reads the process's CPU time (utime + stime from
# /proc/PID/stat) before and after a few idle seconds. For comparison it also
# measures a few seconds of spinning.
#   bench/idle-cpu.sh BUILD_DIR/helicoid [SECONDS]
set -uo pipefail

viewer=${1:?usage: idle-cpu.sh PATH/TO/helicoid [SECONDS]}
seconds=${2:-5}
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../tests/lib/x.sh"
# The titles of the windows it looks for, which the build writes beside the program.
source "$(dirname "$viewer")/helicoid-titles.sh" || exit 1
viewer_pid=
cleanup() {
  [[ -n "$viewer_pid" ]] && kill "$viewer_pid" 2>/dev/null
  xvfb_stop
}
trap cleanup EXIT

xvfb_start 1280x1024 || exit 1

# CPU time of the process in clock ticks: fields 14 and 15 of /proc/PID/stat,
# counted after the parenthesised command name.
cpu_ticks() {
  local rest
  rest=$(sed 's/^.*) //' "/proc/$viewer_pid/stat")
  awk '{print $12 + $13}' <<<"$rest"
}

measure() {  # measure LABEL: CPU over $seconds seconds
  local before after ticks clock=
  before=$(cpu_ticks)
  if command -v perf >/dev/null; then
    # perf counts the process's task clock, all threads, to the microsecond.
    clock=$(perf stat -x, -e task-clock -p "$viewer_pid" -- sleep "$seconds" 2>&1 |
      awk -F, '/task-clock/ {printf "; task clock %.2f ms", $1}')
  else
    sleep "$seconds"
  fi
  after=$(cpu_ticks)
  ticks=$((after - before))
  awk -v t="$ticks" -v hz="$(getconf CLK_TCK)" -v s="$seconds" -v l="$1" -v c="$clock" \
    'BEGIN {printf "%s: %d ticks = %.2f s of CPU in %d s (%.1f %% of one core)%s\n", l, t, t / hz, s, 100 * t / hz / s, c}'
}

"$viewer" >/dev/null 2>&1 &
viewer_pid=$!
box=$(find_listed_window "$HELICOID_INFO_CAPTION") || { echo "no information box"; exit 1; }
xdotool key --window "$box" Return
find_listed_window "$HELICOID_WINDOW_TITLE" >/dev/null || { echo "no main window"; exit 1; }
sleep 1

# Drag and release away from the press point: spinning, frames back to back.
xdotool mousemove 459 459 mousedown 1 mousemove 500 480 mouseup 1
sleep 0.5
measure "spinning"

# A click without motion: stopped, no frame is asked for.
xdotool mousemove 300 300 click 1
sleep 0.5
measure "stopped, no input"
