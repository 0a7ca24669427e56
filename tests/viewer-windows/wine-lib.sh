# Sourced by the Wine tests: a private Xvfb, a fresh Wine prefix, Windows
# programs run under `timeout`, windows found with xdotool, screenshots, and a
# clean end (wineserver -k, prefix removed, Xvfb stopped) however the test ends.
# The Wine flavour follows the program: a 64-bit helicoid.exe runs under 64-bit
# Wine in a win64 prefix, a 32-bit one under 32-bit Wine in a win32 prefix.
# Where the machine runs no 32-bit x86 code, a test of a 32-bit program ends
# at wine_begin with a skip (exit 77) and one line that says why.
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

INFO_TITLE=$HELICOID_INFO_CAPTION
MAIN_TITLE=$HELICOID_WINDOW_TITLE
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

# windows_bits EXE: 64 or 32, from the program's header as binutils reads it
# (as exe-checks.sh does: file's wording changes between releases); anything
# but a GUI program of either kind fails.
windows_bits() {
  local headers
  headers=$(x86_64-w64-mingw32-objdump -p "$1" 2>/dev/null)
  if grep -q 'Subsystem[[:space:]]*00000002' <<<"$headers"; then
    case $(sed -n 's/.*file format //p' <<<"$headers") in
      pei-x86-64) echo 64 && return 0 ;;
      pei-i386) echo 32 && return 0 ;;
    esac
  fi
  echo "FAIL: $1 is not a Windows GUI program for x86-64 or i386: $(file -b "$1")" >&2
  return 1
}

# Ends the test with a skip when the kernel runs no 32-bit x86 program; found
# by trying to start one, the 32-bit loader itself.
skip_without_32bit_code() {
  local out
  out=$(/lib/ld-linux.so.2 --version 2>&1) && return 0
  if [[ "$out" == *"Exec format error"* ]]; then
    echo "SKIP: this machine runs no 32-bit x86 code (/lib/ld-linux.so.2: Exec format error), so no 32-bit Wine"
    exit 77
  fi
  echo "FAIL: the 32-bit loader does not start: $out (tools/install-deps.sh test installs wine32:i386)" >&2
  exit 1
}

# Starts Xvfb (1280 x 1024) and makes a fresh Wine prefix of the program's
# flavour; WINE is that flavour's loader, for every Windows program the test runs.
wine_begin() {
  [[ -f "$HELICOID_EXE" ]] || { echo "FAIL: no program at $HELICOID_EXE" >&2; exit 1; }
  WINDOWS_DIR=$(cd "$(dirname "$HELICOID_EXE")" && pwd)
  local tool
  for tool in helicoid-window-info helicoid-icon-probe helicoid-pixel-format-failure; do
    [[ -f "$WINDOWS_DIR/$tool.exe" ]] ||
      { echo "FAIL: no $tool.exe beside $HELICOID_EXE (built with it by its windows preset)" >&2; exit 1; }
  done
  WINDOWS_BITS=$(windows_bits "$HELICOID_EXE") || exit 1
  if [[ $WINDOWS_BITS == 64 ]]; then
    export WINEARCH=win64 WINELOADER=/usr/lib/wine/wine64
  else
    skip_without_32bit_code
    export WINEARCH=win32 WINELOADER=/usr/lib/wine/wine
  fi
  WINE=$WINELOADER
  rm -rf "$ARTIFACTS" && mkdir -p "$ARTIFACTS"
  work=$ARTIFACTS  # where shoot_client keeps its pictures
  xvfb_start 1280x1024 || die "no Xvfb"
  trap wine_cleanup EXIT
  export WINEPREFIX
  WINEPREFIX=$(mktemp -d /tmp/helicoid-wine.XXXXXX)
  export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  timeout 180 "$WINE" wineboot -i >"$ARTIFACTS/wineboot.out" 2>&1 || die "wineboot -i failed"
  timeout 180 wineserver -w || die "wineserver -w did not return"
}

# wine_start NAME PROGRAM [ARGS...]: runs a Windows program in the background,
# its output in $ARTIFACTS/NAME.out; its PID in WINE_PID.
wine_start() {
  local name=$1
  shift
  timeout 120 "$WINE" "$@" >"$ARTIFACTS/$name.out" 2>&1 &
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
  timeout 60 "$WINE" "$WINDOWS_DIR/$name.exe" "$@" 2>/dev/null | tr -d '\r'
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


