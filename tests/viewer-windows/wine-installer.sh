#!/usr/bin/env bash
# The Windows setup program (CPack's NSIS generator) under Wine, in a fresh
# prefix with a throwaway HOME, as an administrator would use it:
#  - the setup program is a program of the same kind as helicoid.exe (32- or
#    64-bit); `setup.exe /S` installs silently into the Program Files folder
#    of its kind, for all users: the files of the .zip that the same build
#    makes (the program, README.md, LICENSE), no other, and the uninstaller,
#    with its registry entries in the registry view of its kind;
#  - the Start menu holds a shortcut to helicoid.exe, with the program's icon
#    (the picture Wine's menu builder takes from the shortcut is the 32 x 32
#    icon that the Linux build draws from the same resource);
#  - the installed-programs list names it, with its version, publisher, icon
#    and uninstaller;
#  - started through the shortcut, the installed program shows its
#    information box, then its main window, and Escape ends it (the picture
#    and the exit code are wine-viewer.sh's: Wine's start returns at once for
#    a shortcut, /wait or not, with a code that is not the program's, 0 under
#    Wine 8 and 4 under Wine 10);
#  - `Uninstall.exe /S` leaves no file, shortcut or registry key behind: the
#    prefix's files are those it had before the install, and no registry file
#    names helicoid; while helicoid runs, a setup program exits with 2, changing nothing.
# With HELICOID32_EXE, its setup program runs first, then the 64-bit one twice (upgrade, repair),
# then its own again: that one exits with 2, changing nothing; the rest checks the 64-bit install.
#   wine-installer.sh HELICOID_EXE ARTIFACTS_DIR ICON_PNG [HELICOID32_EXE]
HELICOID_EXE=$1
ARTIFACTS=$2
ICON_PNG=$3
OLD_EXE=${4:-}
source "$(dirname "$0")/wine-lib.sh"

# Wine's menu builder writes under HOME: a throwaway one.
[[ -z "$OLD_EXE" ]] || skip_without_32bit_code
HOME=$(mktemp -d /tmp/helicoid-home.XXXXXX)
export HOME
wine_begin
trap 'wine_cleanup; rm -rf "$HOME"' EXIT

version=$HELICOID_VERSION
cpack --config "$WINDOWS_DIR/CPackConfig.cmake" -G 'NSIS;ZIP' -B "$ARTIFACTS/pack" \
  >"$ARTIFACTS/cpack.out" 2>&1 || die "cpack -G 'NSIS;ZIP' failed"
setup=$(ls "$ARTIFACTS"/pack/helicoid-*-setup.exe) || die "cpack made no setup program"
echo "setup program $(basename "$setup"), $(stat -c %s "$setup") bytes"
[[ $(windows_bits "$setup") == "$WINDOWS_BITS" ]] ||
  die "the setup program is not a $WINDOWS_BITS-bit program: $(file -b "$setup")"
[[ -z "$OLD_EXE" ]] || { cpack --config "$(dirname "$OLD_EXE")/CPackConfig.cmake" -G NSIS -B "$ARTIFACTS/pack32" \
  >"$ARTIFACTS/cpack32.out" 2>&1 && old_setup=$(ls "$ARTIFACTS"/pack32/*-setup.exe); } || die "no 32-bit setup program"

drive_c="$WINEPREFIX/drive_c"
files() { (cd "$drive_c" && find . -not -path './users/*/Temp*' "$@" | sort); }
files >"$ARTIFACTS/files-before.list"
# reg_query KEY [BITS]: the key's values as "NAME=VALUE" lines, seen as a program of
# the setup program's kind sees the registry (64-bit Windows keeps a view for
# each kind, and looks for an installed program in the view of its kind).
reg_query() {
  timeout 60 "$WINE" reg query "$1" "/reg:${2:-$WINDOWS_BITS}" 2>/dev/null | tr -d '\r' |
    sed -n 's/^    \(.*\)    REG_[A-Z_]*    \(.*\)$/\1=\2/p'
}

entry='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\helicoid'
# setup_run NAME CODE SETUP: SETUP /S ends with CODE; with 2 (refused) changing no file
# nor its time, nor the entry in either view.
state() { files -printf '%p %T@\n'; reg_query "$entry" 32; reg_query "$entry" 64; }
setup_run() {
  local before && before=$(state)
  wine_start "$1" "$3" /S
  wine_exit_code_is "$WINE_PID" "$2" "$1: $(basename "$3") /S"
  timeout 60 wineserver -w  # the shortcuts' menu entries are written by a program of their own
  [[ $2 == 0 || "$(state)" == "$before" ]] || die "$1: $(basename "$3") /S changed files or entries"
}
# --- Silent install.
[[ -z "$OLD_EXE" ]] || setup_run install32 0 "$old_setup"
setup_run install 0 "$setup"
[[ -z "$OLD_EXE" ]] || setup_run repair 0 "$setup"
program_files=$(reg_query 'HKLM\Software\Microsoft\Windows\CurrentVersion' |
  sed -n 's/^ProgramFilesDir=//p')
[[ -n "$program_files" ]] || die "no ProgramFilesDir in the registry"
folder="$program_files\\helicoid"
files >"$ARTIFACTS/files-installed.list"
added=$(comm -13 "$ARTIFACTS/files-before.list" "$ARTIFACTS/files-installed.list" | grep -v '/$')
echo "$added" >"$ARTIFACTS/added.list"
unix_folder=./$(sed -e 's|^[Cc]:\\||' -e 's|\\|/|g' <<<"$folder")
start_menu='./ProgramData/Microsoft/Windows/Start Menu/Programs/helicoid'
for want in "$start_menu/helicoid.lnk" "$start_menu/Uninstall.lnk"; do
  grep -qxF "$want" <<<"$added" || die "the install did not add $want"
done
# The installed folder holds the .zip's files and the uninstaller.
zip=$(ls "$ARTIFACTS"/pack/helicoid-*-windows-*.zip) || die "cpack made no .zip"
{ cmake -E tar tf "$zip" | sed -n 's|^[^/]*/\(.*[^/]\)$|\1|p'; echo Uninstall.exe; } |
  sort >"$ARTIFACTS/zip.list"
(cd "$drive_c/$unix_folder" && find . -type f -printf '%P\n' | sort) >"$ARTIFACTS/installed.list"
diff -u "$ARTIFACTS/zip.list" "$ARTIFACTS/installed.list" >&2 ||
  die "the installed files are not the .zip's and the uninstaller (above: - the .zip's, + installed)"
echo "installed the .zip's $(($(wc -l <"$ARTIFACTS/zip.list") - 1)) files and the uninstaller"

# --- The shortcut: to the installed program, with its icon.
lnk="$drive_c/$start_menu/helicoid.lnk"
strings -n 8 "$lnk" | grep -qxF "$folder\\helicoid.exe" || die "the shortcut does not point at $folder\\helicoid.exe"
menu_icon=$(ls "$HOME"/.local/share/icons/hicolor/32x32/apps/*_helicoid.0.png 2>/dev/null | head -1)
[[ -n "$menu_icon" ]] || die "Wine's menu builder found no icon for the shortcut"
[[ $(differing "$menu_icon" "$ICON_PNG") == 0 ]] || die "the shortcut's icon $menu_icon is not the program's"

# --- The installed-programs list.
reg_query "$entry" >"$ARTIFACTS/listed.out"
for want in "DisplayName=helicoid" "DisplayVersion=$version" "Publisher=the helicoid authors" \
  "DisplayIcon=$folder\\helicoid.exe" "UninstallString=\"$folder\\Uninstall.exe\""; do
  grep -qxF "$want" "$ARTIFACTS/listed.out" || die "installed-programs entry: expected $want"
done
echo "installed into $folder; listed: $(tr '\n' ';' <"$ARTIFACTS/listed.out")"
[[ -z "$OLD_EXE" || -z $(reg_query "$entry" 32) ]] || die "a helicoid entry in the 32-bit view too"
[[ -z "$OLD_EXE" ]] || setup_run 32-over-64 2 "$old_setup"

# --- The installed program, started through its shortcut.
wine_start viewer start /unix "$lnk"
find_window "$INFO_TITLE" >/dev/null || die "no information box from the installed program"
wine_tool helicoid-window-info "$INFO_TITLE" >"$ARTIFACTS/info-box.out"
grep -qxF 'child Static: [ mouse: touch the window image for movement----- ]' \
  "$ARTIFACTS/info-box.out" || die "information box text"
setup_run info-box-open 2 "$setup"
# (A key sent before the box takes it is lost: send until the window opens.)
for i in $(seq 20); do
  xdotool key --window "$(find_window "$INFO_TITLE" 1)" Return 2>/dev/null
  main=$(find_window "$MAIN_TITLE" 1) && break
done
[[ -n "${main:-}" ]] || die "no main window from the installed program"
wine_tool helicoid-window-info "$MAIN_TITLE" | grep -qxF 'class: [OpenGL]' ||
  die "the installed program's window is not of the class OpenGL"
setup_run window-open 2 "$setup"
xdotool key --window "$main" Escape
# Every program of the prefix ended, helicoid first: seen once without this
# wait, the uninstaller that followed could not delete helicoid.exe.
timeout 60 wineserver -w || die "the installed program still runs 60 s after Escape"

# --- Silent uninstall: nothing left. (The uninstaller copies itself to the
# temporary folder and returns at once; the copy does the work.)
wine_start uninstall "$folder\\Uninstall.exe" /S
wine_exit_code_is "$WINE_PID" 0 "Uninstall.exe /S"
timeout 60 wineserver -w
files >"$ARTIFACTS/files-after.list"
left=$(diff "$ARTIFACTS/files-before.list" "$ARTIFACTS/files-after.list")
[[ -z "$left" ]] || die "the uninstall left files behind: $left"
# (Wine's menu builder keeps its own record of the menu files it wrote for
# the shortcuts, under Software\Wine\MenuFiles: not the installer's.)
keys=$(awk '/^\[/ { key = $0 }
  tolower($0) ~ /helicoid/ && key !~ /^\[Software\\\\Wine\\\\MenuFiles\]/ { print FILENAME ": " $0 }' \
  "$WINEPREFIX"/*.reg)
[[ -z "$keys" ]] || die "the registry still names helicoid: $keys"
echo "uninstalled: the prefix's files as before the install, no registry key names helicoid"
(cd "$HOME" && find . -type f) >"$ARTIFACTS/wine-menu-files-left.list"
echo "Wine's menu builder left $(wc -l <"$ARTIFACTS/wine-menu-files-left.list") files in HOME"
echo "PASS"
