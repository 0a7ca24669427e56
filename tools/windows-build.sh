#!/usr/bin/env bash
# Cross-builds the Windows programs with mingw-w64 (workflow presets
# windows-x64 and windows-i686): build-windows-x64/helicoid.exe (64-bit) and
# build-windows-i686/helicoid.exe (32-bit), and beside each the small Windows
# programs that the Wine tests run. Prints the programs' paths.
set -euo pipefail
cd "$(dirname "$0")/.."

for tool in x86_64-w64-mingw32-g++ i686-w64-mingw32-g++ i686-w64-mingw32-windres; do
  command -v "$tool" >/dev/null ||
    { echo "$tool is missing: install g++-mingw-w64-x86-64 and g++-mingw-w64-i686 (tools/install-deps.sh test)" >&2; exit 1; }
done
for windows in x64 i686; do
  cmake --workflow --preset "windows-$windows" >/dev/null
  echo "$PWD/build-windows-$windows/helicoid.exe"
done
