#!/usr/bin/env bash
# The Windows build under Wine, beyond the viewer's own window:
#  - helicoid.exe carries icon group 101, a 16-colour and a 256-colour
#    32 x 32 image, and LoadIconA makes a 32 x 32 icon of it; its version
#    resource names the product and the project's version, and its manifest
#    (as Windows reads it when the program starts) makes the program DPI
#    aware, asks for common controls 6 and lists the supported systems;
#  - the viewer's real pixel-format set-up, when ChoosePixelFormat or
#    SetPixelFormat fails, shows its error box and ends with exit status 1.
#   wine-programs.sh HELICOID_EXE ARTIFACTS_DIR
HELICOID_EXE=$1
ARTIFACTS=$2
source "$(dirname "$0")/wine-lib.sh"

wine_begin

# --- The icon resource, as Windows loads it from helicoid.exe.
wine_tool helicoid-icon-probe "$("$WINE" winepath -w "$HELICOID_EXE" 2>/dev/null)" >"$ARTIFACTS/icon.out" ||
  die "helicoid-icon-probe failed"
for want in 'group 101: 2 images' 'image 0: 32 x 32, 4 bits, 16 colours' \
  'image 1: 32 x 32, 8 bits, 256 colours' 'LoadIconA 101: 32 x 32' \
  "corner pixel: $BACKGROUND"; do
  grep -qxF "$want" "$ARTIFACTS/icon.out" || die "icon resource: expected '$want'"
done
version=$HELICOID_VERSION
for want in "version ProductName: [helicoid]" "version ProductVersion: [$version]" \
  'version FileDescription: [helicoid - an interactive OpenGL viewer of a lit 3D helicoid]' \
  'version LegalCopyright: [Copyright (c) 2026 the helicoid authors; MIT License]' \
  'dpiAware: [true]' \
  'name="Microsoft.Windows.Common-Controls"' '<supportedOS Id="{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"/>'; do
  grep -qF -- "$want" "$ARTIFACTS/icon.out" || die "version resource or manifest: expected '$want'"
done

# --- Pixel-format failures: the box, its text, and exit status 1 once it is
# dismissed. The box belongs to the window of the device context, if any.
#   pixel_format_failure MODE TEXT OWNER (as helicoid-window-info shows them)
pixel_format_failure() {
  local mode=$1 text=$2 owner=$3
  wine_start "failure-$mode" "$WINDOWS_DIR/helicoid-pixel-format-failure.exe" "$mode"
  local program=$WINE_PID box
  box=$(find_window Error) || die "$mode: no error box"
  wine_tool helicoid-window-info Error >"$ARTIFACTS/error-box-$mode.out"
  grep -qxF "child Static: [$text]" "$ARTIFACTS/error-box-$mode.out" ||
    die "$mode: the error box does not say [$text]"
  grep -qxF "owner: $owner" "$ARTIFACTS/error-box-$mode.out" ||
    die "$mode: the error box's owner is not $owner"
  xdotool key --window "$box" Return
  wine_exit_code_is "$program" 1 "$mode"
  grep -q 'ConfigurePixelFormat returned' "$ARTIFACTS/failure-$mode.out" &&
    die "$mode: ConfigurePixelFormat returned after its failure"
  return 0
}
pixel_format_failure null 'ChoosePixelFormat failed\n' none
pixel_format_failure already-set 'SetPixelFormat failed' '[pixel format probe]'
echo "PASS"
