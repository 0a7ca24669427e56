# Sourced by end-to-end tests: starts a private Xvfb on a free display and
# stops it by its PID when the test ends.
#   xvfb_start [WIDTHxHEIGHT]   exports DISPLAY and XVFB_PID
#   xvfb_stop

xvfb_start() {
  local size=${1:-1280x1024}
  local n
  for n in $(seq 90 189); do
    [[ -e /tmp/.X${n}-lock || -e /tmp/.X11-unix/X${n} ]] && continue
    Xvfb ":$n" -screen 0 "${size}x24" -nolisten tcp >/dev/null 2>&1 &
    XVFB_PID=$!
    local i
    for i in $(seq 1 100); do
      if xdpyinfo -display ":$n" >/dev/null 2>&1; then
        export DISPLAY=":$n" XVFB_PID
        trap xvfb_stop EXIT
        return 0
      fi
      kill -0 "$XVFB_PID" 2>/dev/null || break
      sleep 0.05
    done
    kill "$XVFB_PID" 2>/dev/null || true
    wait "$XVFB_PID" 2>/dev/null || true
  done
  echo "xvfb.sh: could not start Xvfb on any display from :90 to :189" >&2
  return 1
}

xvfb_stop() {
  if [[ -n "${XVFB_PID:-}" ]]; then
    kill "$XVFB_PID" 2>/dev/null || true
    wait "$XVFB_PID" 2>/dev/null || true
    XVFB_PID=
  fi
}
