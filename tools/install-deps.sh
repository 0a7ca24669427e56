#!/usr/bin/env bash
# Installs the Debian packages that building and testing need, if any are
# missing. As root it runs apt-get; otherwise it prints the line to run.
# For the browser tests it also installs the npm packages of tests/viewer-web from
# their lock file (npm ci; puppeteer-core downloads no browser).
# Usage: tools/install-deps.sh [run|linux|web|package|test]   (default: test, a superset)
#   linux: the Linux build and its unit, GL, headless and display tests, with
#   the SDL 2 interface over SDL 3 (sdl2-compat) where the release has it; the
#   set installed in a newer release's root (tools/debian-root.sh NN-dev).
set -euo pipefail

what=${1:-test}
# (CMake's FindOpenGL needs libopengl-dev, which Debian 12 brings in with SDL's
# development package and Debian 13 no longer does.)
run_pkgs=(cmake g++ make pkg-config libsdl2-dev libegl-dev libgl-dev libopengl-dev libgl1-mesa-dri
          libpng-dev googletest libgtest-dev libx11-dev)
test_pkgs=("${run_pkgs[@]}" xvfb xdotool
           x11-utils imagemagick valgrind openbox desktop-file-utils appstream dpkg-dev file
           clang-format git)
# The browser build (g++ and libpng-dev draw the web app's icons, brotli
# compresses the site's files), and the three browser engines for its tests:
# Chromium, Firefox, and WebKit's MiniBrowser (libwebkit2gtk-4.1-0) through
# its WebDriver (python3 serves tools/run.sh --web).
web_pkgs=(cmake emscripten python3 g++ libpng-dev brotli)
browser_pkgs=(chromium firefox-esr webkit2gtk-driver libwebkit2gtk-4.1-0)
# Our own message box draws with the system's fonts (SDL_ttf); weston runs the
# Wayland test; i3 and sway (with grim for its screenshots) the tiling
# desktops' tests, and Terminus a font of mono bitmap strikes for the box.
font_pkgs=(libfontconfig-dev libfreetype-dev libsdl2-ttf-dev fonts-dejavu-core)
run_pkgs+=("${font_pkgs[@]}") test_pkgs+=("${font_pkgs[@]}" weston i3-wm sway grim fonts-terminus-otb)
command -v npm >/dev/null || browser_pkgs+=(nodejs npm)
# Both Windows programs (32- and 64-bit) and Wine for each: the 64-bit side
# runs everywhere, the 32-bit side only where the kernel runs 32-bit x86 code
# (it installs either way). wrestool (icoutils) reads a program's resources
# without running it.
windows_pkgs=(g++-mingw-w64-i686 g++-mingw-w64-x86-64 binutils-mingw-w64 wine wine64 wine32:i386
              libgl1:i386 libgl1-mesa-dri:i386 libglx-mesa0:i386 icoutils)
# The packages: the checker of the .deb, and makensis for the Windows setup
# program; diffoscope shows where two builds of a package differ, disorderfs
# shuffles the order of folders for the second one; curl asks the site's
# server for its files.
test_pkgs+=(lintian diffoscope-minimal disorderfs curl)
# Clean roots of other Debian releases, for the build and the packages there
# (tools/debian-root.sh).
test_pkgs+=(mmdebstrap)
windows_pkgs+=(nsis)
# tools/package.sh: the Linux build, dpkg-shlibdeps and file for the .deb's
# Depends, mingw-w64 and makensis for the Windows .zips and setup programs.
package_pkgs=("${run_pkgs[@]}" dpkg-dev file python3 g++-mingw-w64-i686 g++-mingw-w64-x86-64
              binutils-mingw-w64 nsis)
# The ARM cross builds (presets linux-arm64, linux-armhf and their release-
# ones): the cross compilers, and the target's libraries beside this machine's
# through multiarch; qemu runs the target's programs. The tests also need the
# target's GoogleTest and Mesa (llvmpipe).
arm_pkgs=(qemu-user) arm_test_pkgs=()
for arch in arm64 armhf; do
  arm_pkgs+=("crossbuild-essential-$arch" "libsdl2-dev:$arch" "libsdl2-ttf-dev:$arch" "libpng-dev:$arch"
             "libegl-dev:$arch" "libgl-dev:$arch" "libopengl-dev:$arch" "libfontconfig-dev:$arch"
             "libfreetype-dev:$arch")
  arm_test_pkgs+=("libgtest-dev:$arch" "libgl1-mesa-dri:$arch" "libegl-mesa0:$arch")
done
package_pkgs+=("${arm_pkgs[@]}") test_pkgs+=("${arm_pkgs[@]}" "${arm_test_pkgs[@]}")

# The display tests' programs, and sdl2-compat (Debian 13 on; the system's
# SDL 2 from Debian 14 on) to run them over SDL 3 too.
linux_pkgs=("${run_pkgs[@]}" xvfb xdotool x11-utils imagemagick openbox weston i3-wm sway grim
            fonts-terminus-otb python3 git valgrind clang-format)
[[ "$(. /etc/os-release && echo "${VERSION_CODENAME:-}")" == @(bullseye|bookworm) ]] ||
  linux_pkgs+=(libsdl2-compat)

case "$what" in
  run) pkgs=("${run_pkgs[@]}") ;;
  linux) pkgs=("${linux_pkgs[@]}") ;;
  web) pkgs=("${web_pkgs[@]}") ;;
  package) pkgs=("${package_pkgs[@]}") ;;
  test) pkgs=("${test_pkgs[@]}" "${web_pkgs[@]}" "${browser_pkgs[@]}" "${windows_pkgs[@]}") ;;
  *) echo "usage: $0 [run|linux|web|package|test]" >&2; exit 2 ;;
esac

# A name without an architecture means the machine's own one (or "all"): with
# a foreign architecture added, dpkg knows e.g. libgl1-mesa-dri twice, and only
# the native copy counts for it.
native=$(dpkg --print-architecture)
installed() {
  local name=${1%%:*} arch=${1#*:}
  [[ "$arch" == "$1" ]] && arch=$native
  local copies
  copies=$(dpkg-query -W -f='${Architecture} ${Status}\n' "$name" 2>/dev/null) || return 1
  grep -Eq "^($arch|all) install ok installed\$" <<<"$copies"
}

# The npm packages of the browser tests, when the lock file is newer than
# what node_modules holds.
npm_packages() {
  [[ "$what" == test ]] || return 0
  local dir
  dir="$(cd "$(dirname "$0")/.." && pwd)/tests/viewer-web"
  if [[ ! "$dir/node_modules/.package-lock.json" -nt "$dir/package-lock.json" ]]; then
    echo "Installing the npm packages of tests/viewer-web (npm ci)"
    (cd "$dir" && npm ci --no-audit --no-fund --loglevel=error >/dev/null)
  fi
}

missing=()
for p in "${pkgs[@]}"; do
  installed "$p" || missing+=("$p")
done
if [[ ${#missing[@]} -eq 0 ]]; then
  npm_packages
  exit 0
fi

needs_i386=0
for p in "${missing[@]}"; do [[ "$p" == *:i386 ]] && needs_i386=1; done
arm_archs=()
for arch in arm64 armhf; do
  [[ " ${missing[*]} " == *":$arch "* ]] && ! dpkg --print-foreign-architectures | grep -qx "$arch" && arm_archs+=("$arch")
done

if [[ $(id -u) -ne 0 ]]; then
  echo "Missing Debian packages: ${missing[*]}" >&2
  echo "Run as root:" >&2
  [[ $needs_i386 -eq 1 ]] && echo "  dpkg --add-architecture i386 &&" >&2
  for arch in "${arm_archs[@]}"; do echo "  dpkg --add-architecture $arch &&" >&2; done
  echo "  apt-get update && apt-get install -y ${missing[*]}" >&2
  exit 1
fi

echo "Installing with apt-get (minutes on a new machine): ${missing[*]}"
if [[ $needs_i386 -eq 1 ]] && ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
fi
for arch in "${arm_archs[@]}"; do dpkg --add-architecture "$arch"; done
export DEBIAN_FRONTEND=noninteractive
# Others may be installing at the same time: wait for the lock.
apt=(apt-get -o DPkg::Lock::Timeout=900)
log=$(mktemp)
trap 'rm -rf "$log" ${prefs:+"$prefs"}' EXIT
if ! "${apt[@]}" update -qq 2>"$log"; then
  cat "$log" >&2
  # A registry caught in the middle of a sync serves a suite's index of one
  # architecture that its signed list does not describe ("unexpected size"),
  # and apt drops that suite. A foreign architecture's library must then be
  # of the same version as this machine's, which the dropped suite may have
  # installed, and the registry's other indexes of that suite may not agree
  # with one another either. So everything comes from the suites that are
  # whole, even where that is older than what is installed (on Debian 12 in
  # December 2026: the kernel's headers, linux-libc-dev, by a few releases),
  # never removing anything; then the browsers are brought up to their
  # security releases where that installs (what users run, and what the
  # browser tests were proven with), and are left as they are where it does
  # not.
  broken=$(sed -n 's|^E: Failed to fetch .*/dists/\([^/ ]*\)/.*|\1|p' "$log" | sort -u)
  [[ -n "$broken" ]] || exit 1
  echo "install-deps: the registry's $(echo $broken) is incomplete; installing from Debian's other suites, older versions included" >&2
  prefs=$(mktemp -d)
  cp -r /etc/apt/preferences.d/. "$prefs" 2>/dev/null || true
  for suite in $broken; do
    printf 'Package: *\nPin: release n=%s\nPin-Priority: -1\n\n' "$suite"
  done >"$prefs/00-helicoid-registry"
  printf 'Package: *\nPin: release o=Debian\nPin-Priority: 1001\n' >>"$prefs/00-helicoid-registry"
  "${apt[@]}" -o "Dir::Etc::PreferencesParts=$prefs" install -y -qq --allow-downgrades --no-remove \
    "${missing[@]}" >/dev/null
  browsers=()
  for p in "${browser_pkgs[@]}"; do installed "$p" && browsers+=("$p"); done
  ((${#browsers[@]} == 0)) || "${apt[@]}" install -y -qq --no-remove "${browsers[@]}" >/dev/null 2>&1 ||
    echo "install-deps: the browsers stay at the versions of Debian's other suites" >&2
else
  "${apt[@]}" install -y -qq "${missing[@]}" >/dev/null
fi
npm_packages
