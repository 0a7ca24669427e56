# Sourced by the Wine tests: a private Xvfb, a fresh Wine prefix, Windows
# programs run under `timeout`, windows found with xdotool, screenshots, and a
# clean end (wineserver -k, prefix removed, Xvfb stopped) however the test ends.
#
# The caller sets:
#   HELICOID_EXE       the built helicoid.exe; the probe programs sit beside it
#   HELICOID_X_DELETE  the helicoid-x-delete-window tool (optional)
#   ARTIFACTS          a folder for screenshots and program output; kept
#
# A check that fails (die) prints what it saw, where the screenshots are, and
# the output of the Windows programs, then ends the test with status 1.

set -uo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/../lib/x.sh"

INFO_TITLE='soft by Quenmarrow - contact@example.org '
MAIN_TITLE=' soft by Quenmarrow'
BACKGROUND='38,38,38'

wine_cleanup() {
  if [[ -n "${WINEPREFIX:-}" && -d "$WINEPREFIX" ]]; then
    timeout 30 wineserver -k >/dev/null 2>&1 || true
    timeout 30 wineserver -w >/dev/null 2>&1 || true
    rm -rf "$WINEPREFIX"
  fi
  xvfb_stop
}

# After a failure (die): where the screenshots are, and what the Windows
# programs printed.
on_die() {
  echo "  screenshots and program output: $ARTIFACTS" >&2
  local f
  for f in "$ARTIFACTS"/*.out; do
    [[ -s "$f" ]] || continue
    echo "  --- $(basename "$f")" >&2
    sed 's/^/  | /' "$f" | tail -20 >&2
  done
}

# Starts Xvfb (1280 x 1024) and makes a fresh Wine prefix.
wine_begin() {
  [[ -f "$HELICOID_EXE" ]] || { echo "FAIL: no program at $HELICOID_EXE" >&2; exit 1; }
  WINDOWS_DIR=$(cd "$(dirname "$HELICOID_EXE")" && pwd)
  local tool
  for tool in helicoid-window-info helicoid-icon-probe helicoid-pixel-format-failure; do
    [[ -f "$WINDOWS_DIR/$tool.exe" ]] ||
      { echo "FAIL: no $tool.exe beside $HELICOID_EXE (built with it by the windows-i686 preset)" >&2; exit 1; }
  done
  rm -rf "$ARTIFACTS" && mkdir -p "$ARTIFACTS"
  work=$ARTIFACTS  # where shoot_client keeps its pictures
  xvfb_start 1280x1024 || die "no Xvfb"
  trap wine_cleanup EXIT
  export WINEPREFIX
  WINEPREFIX=$(mktemp -d /tmp/helicoid-wine.XXXXXX)
  export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  timeout 180 wineboot -i >"$ARTIFACTS/wineboot.out" 2>&1 || die "wineboot -i failed"
  timeout 180 wineserver -w || die "wineserver -w did not return"
}

# wine_start NAME PROGRAM [ARGS...]: runs a Windows program in the background,
# its output in $ARTIFACTS/NAME.out; its PID in WINE_PID.
wine_start() {
  local name=$1
  shift
  timeout 120 wine "$@" >"$ARTIFACTS/$name.out" 2>&1 &
  WINE_PID=$!
}

# wine_wait PID: waits for a program started by wine_start and echoes its exit
# code (124 means the timeout ended it).
wine_wait() {
  local status=0
  wait "$1" || status=$?
  echo "$status"
}

# wine_exit_code_is PID CODE WHAT: waits for the program to end, at most 30 s
# more, and checks its exit code.
wine_exit_code_is() {
  local pid=$1 want=$2 what=$3
  _ended() { ! kill -0 "$1" 2>/dev/null; }
  wait_until 30 _ended "$pid" || die "$what: the program is still running 30 s later"
  local code
  code=$(wine_wait "$pid")
  [[ "$code" == "$want" ]] || die "$what: exit code $code, expected $want"
}

# wine_tool NAME ARGS...: runs a probe program from beside helicoid.exe and
# prints its output; its status is the program's.
wine_tool() {
  local name=$1
  shift
  timeout 60 wine "$WINDOWS_DIR/$name.exe" "$@" 2>/dev/null | tr -d '\r'
}

# Client area of the main window in screen pixels, from Windows: CLIENT_X,
# CLIENT_Y, CLIENT_W, CLIENT_H, and CLIENT for shoot_client (tests/lib/x.sh).
read_client_area() {
  local line
  line=$(wine_tool helicoid-window-info "$MAIN_TITLE" | grep '^client: ') ||
    die "helicoid-window-info did not find the main window"
  read -r _ CLIENT_X CLIENT_Y CLIENT_W _ CLIENT_H <<<"$line"
  CLIENT="${CLIENT_W}x${CLIENT_H}+${CLIENT_X}+${CLIENT_Y}"
}


