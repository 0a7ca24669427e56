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
#  - in clean roots of Debian 12 and 13 (tools/debian-root.sh; never on this
#    machine), the .deb installs with apt-get, pulling in its Depends of its
#    architecture; its helicoid-snapshot draws the start picture, its helicoid
#    shows the box and then the window on this test's X server, and the
#    .tar.gz unpacked there draws the same picture; the programs make none of
#    the calls that the 64-bit time_t change altered in the libraries the
#    .deb names by both names, and need no newer glibc than the floor the
#    README states;
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

source "$here/../lib/glibc.sh"

# The .deb and the .tar.gz in a clean root of Debian RELEASE: installed with
# apt-get, the snapshot tool draws the start picture, the .tar.gz's draws it
# too, and the viewer shows its box and window on this test's X server.
in_root() {
  local release=$1 out=$work/root-$1 status=0 box main= what="the $arch .deb in Debian $1"
  mkdir -p "$out" && cp "$deb" "$out/helicoid.deb" && : >"$out/viewer.pid"
  cp "$work"/tgz/helicoid-*.tar.gz "$out/helicoid.tar.gz"
  "$here/../../tools/debian-root.sh" run -b "$out:/out" -b /tmp/.X11-unix -e "DISPLAY=$DISPLAY" \
    -e "GALLIUM_DRIVER=${GALLIUM_DRIVER:-}" "$release" bash -c "
      export DEBIAN_FRONTEND=noninteractive
      apt-get install -y -qq /out/helicoid.deb >/out/apt.log 2>&1 || exit 3
      $emulator /usr/bin/helicoid-snapshot --size 256 -o /out/deb.png 2>/out/snapshot.log || exit 4
      mkdir /opt/tgz && tar -xzf /out/helicoid.tar.gz -C /opt/tgz &&
        $emulator /opt/tgz/bin/helicoid-snapshot --size 256 -o /out/tgz.png 2>>/out/snapshot.log || exit 4
      $emulator /usr/bin/helicoid >/out/viewer.log 2>&1 & echo \$! >/out/viewer.pid; wait; exit 0
    " >"$out/root.log" 2>&1 &
  local root_pid=$!
  viewer_up() { [[ -s "$out/viewer.pid" ]] || ! kill -0 "$root_pid" 2>/dev/null; }
  if wait_until 600 viewer_up && kill -0 "$root_pid" 2>/dev/null &&
    box=$(find_listed_window "$HELICOID_INFO_CAPTION" 60); then
    main=$(past_box "$box")
  fi
  kill "$(cat "$out/viewer.pid")" 2>/dev/null
  wait "$root_pid" || status=$?
  case $status in
    77) SKIPPED+="the packages in a Debian $release root ($(grep -m1 '^SKIP' "$out/root.log")) "; return ;;
    3) fail "$what: apt-get install: $(tail -n 5 "$out/apt.log")"; return ;;
    4) fail "$what: helicoid-snapshot: $(cat "$out/snapshot.log")"; return ;;
  esac
  [[ -s "$out/viewer.pid" ]] || { fail "$what: $(tail -n 5 "$out/root.log")"; return; }
  local d
  for picture in deb tgz; do
    # (At most 0.5 % of the pixels more than 10 of 255 apart, as the golden test.)
    d=$(compare -metric AE -fuzz 4% "$out/$picture.png" "$here/../snapshot/golden/start.png" null: 2>&1 |
      awk '{ print int($1) }')
    ((d <= 327)) || fail "$what: the $picture's helicoid-snapshot draws another picture ($d pixels differ)"
  done
  [[ -n "$main" ]] && pass "$what: apt-get installs it; the snapshot tools of the .deb and the .tar.gz draw the start picture; the viewer shows its box, then its window" ||
    fail "$what: the viewer showed ${box:+its box but }no ${box:+main window}${box:-information box}: $(cat "$out/viewer.log")"
}

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
  for lib in libsdl2-2.0-0 "libpng16-16t64 | libpng16-16" libgl1 libegl1 libc6; do
    [[ ", $depends," == *", $lib"[\ ,]* ]] || fail "Depends lacks $lib: $depends"
  done
  # libpng's time_t call, and the newest glibc symbol version the programs need.
  for program in helicoid helicoid-snapshot; do
    symbols=$(readelf --dyn-syms -W "$build/$program")
    grep -q ' UND png_convert_from_time_t' <<<"$symbols" &&
      fail "$program calls png_convert_from_time_t, whose ABI changed with 64-bit time_t"
    why=$(glibc_within_floor "$build/$program") || fail "${why#FAIL: }"
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
    main=$(past_box "$box")
    wm_class=$(xprop -id "${main:-0}" WM_CLASS 2>&1)
    startup=$(sed -n 's/^StartupWMClass=//p' "$work/root/usr/share/applications/$app_id.desktop")
    [[ -n "$startup" && "$wm_class" == *", \"$startup\"" ]] &&
      pass "the window's class is the desktop entry's StartupWMClass, $startup" ||
      fail "window class [$wm_class], the desktop entry's StartupWMClass [$startup]"
  else
    fail "the extracted helicoid shows no information box: $(cat "$work/viewer.log")"
  fi
  kill "$viewer_pid" 2>/dev/null
  wait "$viewer_pid" 2>/dev/null
  viewer_pid=
  for release in 12 13; do in_root "$release"; done
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
