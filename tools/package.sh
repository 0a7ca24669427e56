#!/usr/bin/env bash
# Builds the packages into dist/: the Linux .deb and .tar.gz (workflow preset
# release, hardened), for each Windows program (the windows-x64 and
# windows-i686 presets) a .zip and a setup program (NSIS), and the ARM Linux
# .deb and .tar.gz (cross-built, presets release-arm64 and release-armhf,
# hardened the same). Shows the builds' progress, then prints the packages'
# names and sizes.
#   tools/package.sh [x86] [arm64] [armhf]   the sets to build (default: all)
# It installs only what packaging needs (tools/install-deps.sh package): the
# Linux build's packages, dpkg-dev and file for the .deb, mingw-w64 and nsis
# for the Windows programs and their setup programs; no browser, Wine or Emscripten.
# The packages are the same byte for byte for the same sources, wherever and
# whenever they are built: their date is SOURCE_DATE_EPOCH, or the commit's
# when it is unset (cmake/package-date.cmake), and the build runs with umask
# 022, in UTC and in the C locale whatever the caller's.
set -euo pipefail
cd "$(dirname "$0")/.."
umask 022
export TZ=UTC LC_ALL=C
source tools/progress.sh

sets=("$@")
[[ ${#sets[@]} -gt 0 ]] || sets=(x86 arm64 armhf)
for set in "${sets[@]}"; do
  [[ $set == @(x86|arm64|armhf) ]] || { echo "usage: $0 [x86] [arm64] [armhf]" >&2; exit 2; }
done
want() { [[ " ${sets[*]} " == *" $1 "* ]]; }

tools/install-deps.sh package
rm -rf dist && mkdir -p dist
staging=$(mktemp -d)
trap 'rm -rf "$staging"' EXIT

if want x86; then
  show_build "Building the Linux programs (release)" cmake --workflow --preset release
  show_build "Packing the .deb and the .tar.gz" \
    cpack --config build-release/CPackConfig.cmake -B "$staging/linux"
  mv "$staging"/linux/*.deb "$staging"/linux/*.tar.gz dist/
  for windows in x64 i686; do
    show_build "Building the Windows program ($windows)" cmake --workflow --preset "windows-$windows"
    show_build "Packing its .zip and setup program" \
      cpack --config "build-windows-$windows/CPackConfig.cmake" -G "ZIP;NSIS" -B "$staging/$windows"
    mv "$staging/$windows"/*.zip "$staging/$windows"/*-setup.exe dist/
  done
fi
for arch in arm64 armhf; do
  want $arch || continue
  show_build "Building the Linux programs for $arch (release-$arch)" \
    cmake --workflow --preset "release-$arch"
  show_build "Packing the $arch .deb and .tar.gz" \
    cpack --config "build-release-$arch/CPackConfig.cmake" -B "$staging/$arch"
  mv "$staging/$arch"/*.deb "$staging/$arch"/*.tar.gz dist/
done
for f in dist/*; do echo "$f $(stat -c %s "$f") bytes"; done
