#!/usr/bin/env bash
# Builds the packages into dist/: the Linux .deb and .tar.gz (workflow preset
# release, hardened) and, for each Windows program (the windows-x64 and
# windows-i686 presets), a .zip and a setup program (NSIS). Shows the builds'
# progress, then prints the packages' names and sizes.
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

tools/install-deps.sh package
rm -rf dist && mkdir -p dist
staging=$(mktemp -d)
trap 'rm -rf "$staging"' EXIT

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
for f in dist/*; do echo "$f $(stat -c %s "$f") bytes"; done
