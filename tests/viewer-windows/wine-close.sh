#!/usr/bin/env bash
# Closing helicoid.exe from outside under Wine ends it with exit code 0, as
# Escape does: Alt+F4 typed into the window, and the window manager's request
# (a WM_DELETE_WINDOW client message), each in a run of its own.
#   wine-close.sh HELICOID_EXE ARTIFACTS_DIR X_DELETE_WINDOW_TOOL
HELICOID_EXE=$1
ARTIFACTS=$2
HELICOID_X_DELETE=$3
source "$(dirname "$0")/wine-lib.sh"

[[ -x "$HELICOID_X_DELETE" ]] || die "no tool at $HELICOID_X_DELETE"
wine_begin

# start_viewer NAME: runs the viewer past its information box; sets VIEWER and
# MAIN (the main window's X id) once its picture is up.
start_viewer() {
  wine_start "$1" "$HELICOID_EXE"
  VIEWER=$WINE_PID
  local info
  info=$(find_window "$INFO_TITLE") || die "no window titled [$INFO_TITLE]"
  xdotool key --window "$info" Return
  MAIN=$(find_window "$MAIN_TITLE") || die "no window titled [$MAIN_TITLE]"
}

start_viewer alt-f4
xdotool key --window "$MAIN" alt+F4
wine_exit_code_is "$VIEWER" 0 "Alt+F4"

start_viewer delete-window
"$HELICOID_X_DELETE" "$MAIN" || die "could not send WM_DELETE_WINDOW to $MAIN"
wine_exit_code_is "$VIEWER" 0 "WM_DELETE_WINDOW"
echo "PASS"
