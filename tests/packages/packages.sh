#!/usr/bin/env bash
# What a user gets from the install step and the packages:
#  - `cmake --install` into a staging folder: the desktop entry and the
#    metainfo validate, the icons and the man pages are there, and the staged
#    helicoid-snapshot writes a PNG;
#  - the .deb, made under umask 002: its files, Depends from the programs'
#    libraries, lintian installed and reporting no error or warning, and its
#    helicoid, extracted (not installed), starting under Xvfb with the
#    information box, then a window whose class is the desktop entry's
#    StartupWMClass;
#  - the .tar.gz, unpacked into a prefix with the README's command, lays out
#    the installed files there;
#  - as root, the .deb installs with apt-get, pulling in its Depends of its
#    architecture, its helicoid-snapshot writes a PNG, and it is removed
#    leaving none of its files;
#  - for each cross-built helicoid.exe (64- and 32-bit): its .zip, named for
#    its kind, holds it, README.md and LICENSE;
#  - tools/install-deps.sh on a machine that has everything: no output, no apt.
# A cross build's (ARCH, and HELICOID_EMULATOR set) runs its programs behind
# the emulator.
#   packages.sh BUILD_DIR ARCH [HELICOID_EXE...]   (ARCH: Debian's; empty: this machine's)
set -uo pipefail

build=$(cd "$1" && pwd)
arch=${2:-$(dpkg --print-architecture)}
shift 2
exes=("$@")
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../lib/x.sh"
x_work

app_id=org.example.helicoid
version=$(sed -n 's/^CPACK_PACKAGE_VERSION:STRING=//p;s/^CMAKE_PROJECT_VERSION:STATIC=//p' \
  "$build/CMakeCache.txt" | head -n 1)
# The files the install step lays out, under a prefix.
expected=(bin/helicoid bin/helicoid-snapshot "share/applications/$app_id.desktop"
  "share/metainfo/$app_id.metainfo.xml" share/man/man1/{helicoid,helicoid-snapshot}.1.gz
  share/icons/hicolor/{32x32,64x64,128x128,256x256}/apps/helicoid.png
  share/doc/helicoid/{README.md,copyright,changelog.gz})

# --- Staged install.
stage=$work/stage
if cmake --install "$build" --prefix "$stage" >"$work/install.log" 2>&1; then
  missing=()
  for f in "${expected[@]}"; do [[ -f "$stage/$f" ]] || missing+=("$f"); done
  [[ ${#missing[@]} == 0 ]] && pass "install lays out ${#expected[@]} files" ||
    fail "install lacks: ${missing[*]}"
  out=$(desktop-file-validate "$stage/share/applications/$app_id.desktop" 2>&1) &&
    pass "desktop-file-validate" || fail "desktop-file-validate: $out"
  # validate-tree also checks that the desktop entry and the icon it names exist.
  out=$(appstreamcli validate-tree --no-net "$stage" 2>&1) && pass "appstreamcli validate-tree" ||
    fail "appstreamcli validate-tree: $out"
  for size in 32 64 128; do
    got=$(identify -format '%wx%h' "$stage/share/icons/hicolor/${size}x$size/apps/helicoid.png" 2>&1)
    [[ "$got" == "${size}x$size" ]] || fail "the ${size}px icon is $got"
  done
  # The large icons are the 32 x 32 one blown up pixel for pixel.
  convert "$stage/share/icons/hicolor/128x128/apps/helicoid.png" -sample 32x32 "$work/down.png"
  d=$(compare -metric AE "$stage/share/icons/hicolor/32x32/apps/helicoid.png" "$work/down.png" \
    null: 2>&1)
  [[ "$d" == 0 ]] && pass "icons 32, 64, 128: one picture" || fail "128px icon differs from 32px ($d)"
  for page in helicoid helicoid-snapshot; do
    zcat "$stage/share/man/man1/$page.1.gz" | grep -q "^\.TH ${page^^} 1 " ||
      fail "the man page of $page has no title line"
  done
  $emulator "$stage/bin/helicoid-snapshot" --size 64 -o "$work/staged.png" 2>"$work/snapshot.log" &&
    [[ $(identify -format '%wx%h' "$work/staged.png" 2>&1) == 64x64 ]] &&
    pass "the staged helicoid-snapshot writes a PNG" ||
    fail "staged helicoid-snapshot: $(cat "$work/snapshot.log")"
else
  fail "cmake --install: $(tail -5 "$work/install.log")"
fi

# --- The .tar.gz, unpacked as the README says: tar -xzf FILE -C PREFIX.
if cpack --config "$build/CPackConfig.cmake" -G TGZ -B "$work/tgz" >"$work/cpack.log" 2>&1; then
  mkdir -p "$work/prefix"
  tar -xzf "$work"/tgz/helicoid-*.tar.gz -C "$work/prefix"
  missing=()
  for f in "${expected[@]}"; do [[ -f "$work/prefix/$f" ]] || missing+=("$f"); done
  top=$(ls "$work/prefix" | tr '\n' ' ')
  [[ ${#missing[@]} == 0 && "$top" == "bin share " ]] &&
    pass "the .tar.gz unpacks into a prefix: bin/, share/" ||
    fail "the .tar.gz unpacked into a prefix holds [$top], lacks: ${missing[*]}"
else
  fail "cpack -G TGZ: $(tail -5 "$work/cpack.log")"
fi

# --- The .deb, made under umask 002: its folders must not be group-writable.
if (umask 002 && cpack --config "$build/CPackConfig.cmake" -G DEB -B "$work/deb") >"$work/cpack.log" 2>&1; then
  deb=$(ls "$work"/deb/helicoid_*.deb)
  echo "package $(basename "$deb"), $(stat -c %s "$deb") bytes"
  [[ "$(basename "$deb")" == "helicoid_${version}_$arch.deb" &&
    $(dpkg-deb -f "$deb" Architecture) == "$arch" ]] ||
    fail "package $(basename "$deb") does not carry version $version and architecture $arch"
  listing=$(dpkg-deb -c "$deb")
  missing=()
  for f in "${expected[@]}"; do grep -q " \./usr/$f\$" <<<"$listing" || missing+=("$f"); done
  [[ ${#missing[@]} == 0 ]] && pass "the .deb holds the installed files" ||
    fail "the .deb lacks: ${missing[*]}"
  depends=$(dpkg-deb -f "$deb" Depends)
  for lib in libsdl2-2.0-0 libpng16-16 libgl1 libegl1 libc6; do
    [[ ", $depends," == *", $lib"[\ ,]* ]] || fail "Depends lacks $lib: $depends"
  done
  pass "Depends: $depends"
  if command -v lintian >/dev/null; then
    lintian -I --pedantic "$deb" >"$work/lintian.log" 2>&1
    status=$?
    sed 's/^/  lintian: /' "$work/lintian.log"
    ((status == 0)) && ! grep -q '^[EW]: ' "$work/lintian.log" &&
      pass "lintian: no error or warning (package made under umask 002)" ||
      fail "lintian reports errors or warnings, or failed (exit status $status)"
  else
    fail "lintian is not installed (tools/install-deps.sh test installs it)"
  fi
  dpkg-deb -x "$deb" "$work/root"
  xvfb_start 1280x1024 || exit 1
  $emulator "$work/root/usr/bin/helicoid" >"$work/viewer.log" 2>&1 &
  viewer_pid=$!
  if box=$(find_listed_window "$HELICOID_INFO_CAPTION" 30); then
    pass "the extracted helicoid shows the information box"
    # (A key sent before the box is ready to take it is lost: send until it closes.)
    for ((n = 0; n < 20; n++)); do
      xdotool key --window "$box" Return 2>/dev/null
      main=$(find_listed_window "$HELICOID_WINDOW_TITLE" 1) && break
    done
    wm_class=$(xprop -id "${main:-0}" WM_CLASS 2>&1)
    startup=$(sed -n 's/^StartupWMClass=//p' "$work/root/usr/share/applications/$app_id.desktop")
    [[ -n "$startup" && "$wm_class" == *", \"$startup\"" ]] &&
      pass "the window's class is the desktop entry's StartupWMClass, $startup" ||
      fail "window class [$wm_class], the desktop entry's StartupWMClass [$startup]"
  else
    fail "the extracted helicoid shows no information box: $(cat "$work/viewer.log")"
  fi
  if [[ $(id -u) == 0 ]]; then
    apt=(apt-get -o DPkg::Lock::Timeout=600 -y -qq)
    if DEBIAN_FRONTEND=noninteractive "${apt[@]}" install "$deb" >"$work/apt-install.log" 2>&1; then
      $emulator /usr/bin/helicoid-snapshot --size 64 -o "$work/installed.png" 2>"$work/snapshot.log" &&
        [[ $(identify -format '%wx%h' "$work/installed.png" 2>&1) == 64x64 ]] &&
        pass "apt-get installs the $arch .deb; its helicoid-snapshot writes a PNG" ||
        fail "the installed helicoid-snapshot: $(cat "$work/snapshot.log")"
      "${apt[@]}" purge helicoid >>"$work/apt-install.log" 2>&1
      left=$(for f in "${expected[@]}"; do [[ -e /usr/$f ]] && echo "/usr/$f"; done)
      [[ -z "$left" ]] && ! dpkg -s helicoid >/dev/null 2>&1 && pass "apt-get removes it, every file" ||
        fail "after apt-get purge: [$left] $(dpkg -l helicoid 2>&1 | tail -1)"
    else
      fail "apt-get install $deb: $(tail -5 "$work/apt-install.log")"
    fi
  else
    echo "note: not root: the .deb is not installed with apt-get"
  fi
else
  fail "cpack -G DEB: $(tail -5 "$work/cpack.log")"
fi

# --- The Windows .zips, from the windows-x64 and windows-i686 builds.
for exe in "${exes[@]}"; do
  windows=$(basename "$(dirname "$exe")")  # build-windows-KIND
  if [[ ! -f "$(dirname "$exe")/CPackConfig.cmake" ]]; then
    SKIPPED+="the Windows package: no Windows build at $(dirname "$exe") (cmake --workflow --preset ${windows#build-}) "
  elif cpack --config "$(dirname "$exe")/CPackConfig.cmake" -B "$work/$windows" >"$work/zip.log" 2>&1; then
    zip=$(ls "$work/$windows"/helicoid-*.zip)
    echo "package $(basename "$zip"), $(stat -c %s "$zip") bytes"
    listing=$(cd "$work" && cmake -E tar tf "$zip")
    names=$(sed 's|^[^/]*/||' <<<"$listing" | grep -v '/$' | sort | tr '\n' ' ')
    [[ "$names" == "LICENSE README.md helicoid.exe " && "$zip" == *"-$version-${windows#build-}.zip" ]] &&
      pass "$(basename "$zip") holds $names" || fail "$(basename "$zip") holds: $listing"
  else
    fail "cpack ZIP: $(tail -5 "$work/zip.log")"
  fi
done

# --- install-deps.sh with everything in place: silent, and apt never runs.
mkdir -p "$work/bin"
for tool in apt-get apt; do
  printf '#!/bin/sh\necho "$0 $*" >>"%s/apt.log"\nexit 1\n' "$work" >"$work/bin/$tool"
  chmod +x "$work/bin/$tool"
done
out=$(PATH="$work/bin:$PATH" "$here/../../tools/install-deps.sh" test 2>&1)
status=$?
[[ $status == 0 && -z "$out" && ! -e "$work/apt.log" ]] &&
  pass "install-deps.sh with everything installed: no output, no apt-get" ||
  fail "install-deps.sh: status $status, output [$out], apt calls [$(cat "$work/apt.log" 2>/dev/null)]"

checks_end "$work"
