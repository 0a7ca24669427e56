#!/usr/bin/env bash
# Cross-builds the 32-bit Windows program with mingw-w64 (workflow preset
# windows-i686): build-windows-i686/helicoid.exe, and beside it the small
# Windows programs that the Wine tests run. Prints the program's path.
set -euo pipefail
cd "$(dirname "$0")/.."

for tool in i686-w64-mingw32-g++ i686-w64-mingw32-windres; do
  command -v "$tool" >/dev/null ||
    { echo "$tool is missing: install g++-mingw-w64-i686 (tools/install-deps.sh test)" >&2; exit 1; }
done
cmake --workflow --preset windows-i686 >/dev/null
echo "$PWD/build-windows-i686/helicoid.exe"
