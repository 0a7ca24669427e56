# Sourced by end-to-end tests: starts a private Xvfb on a free display and
# stops it by its PID when the test ends.
#   xvfb_start [WIDTHxHEIGHT]   exports DISPLAY and XVFB_PID
#   xvfb_stop
# Xvfb picks the free display itself (-displayfd), so tests running side by
# side never share a server.

xvfb_start() {
  local size=${1:-1280x1024}
  local numberFile
  numberFile=$(mktemp)
  Xvfb -displayfd 3 -screen 0 "${size}x24" -nolisten tcp 3>"$numberFile" >/dev/null 2>&1 &
  XVFB_PID=$!
  local i n
  for i in $(seq 1 200); do
    n=$(tr -dc '0-9' <"$numberFile")
    if [[ -n "$n" ]] && xdpyinfo -display ":$n" >/dev/null 2>&1; then
      rm -f "$numberFile"
      export DISPLAY=":$n" XVFB_PID
      # Stop the server when the test's shell exits, after any exit trap it has.
      local existing
      existing=$(trap -p EXIT | sed -e "s/^trap -- '//" -e "s/' EXIT\$//")
      trap "${existing:+$existing; }xvfb_stop" EXIT
      return 0
    fi
    kill -0 "$XVFB_PID" 2>/dev/null || break
    sleep 0.05
  done
  rm -f "$numberFile"
  kill "$XVFB_PID" 2>/dev/null || true
  echo "xvfb.sh: Xvfb did not start" >&2
  return 1
}

xvfb_stop() {
  if [[ -n "${XVFB_PID:-}" ]]; then
    kill "$XVFB_PID" 2>/dev/null || true
    wait "$XVFB_PID" 2>/dev/null || true
    XVFB_PID=
  fi
}
