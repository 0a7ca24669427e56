#!/usr/bin/env bash
# Builds the packages into dist/: the Linux .deb and .tar.gz (workflow preset
# release) and the Windows .zip (the windows-i686 preset). Prints their
# names and sizes.
set -euo pipefail
cd "$(dirname "$0")/.."

tools/install-deps.sh test
rm -rf dist && mkdir -p dist
staging=$(mktemp -d)
trap 'rm -rf "$staging"' EXIT

cmake --workflow --preset release >/dev/null
pack() {  # CPACK_CONFIG FOLDER
  cpack --config "$1" -B "$2" >"$staging/cpack.log" 2>&1 || { cat "$staging/cpack.log" >&2; exit 1; }
}
pack build-release/CPackConfig.cmake "$staging/linux"

exe=$(tools/windows-build.sh)
pack "$(dirname "$exe")/CPackConfig.cmake" "$staging/windows"

mv "$staging"/linux/*.deb "$staging"/linux/*.tar.gz "$staging"/windows/*.zip dist/
for f in dist/*; do echo "$f $(stat -c %s "$f") bytes"; done
