#!/usr/bin/env bash
# Installs what is missing, builds the viewer and starts it. With no display it
# says so and writes the viewer's picture to a PNG instead.
set -euo pipefail
cd "$(dirname "$0")/.."

tools/install-deps.sh run
cmake --preset linux >/dev/null
cmake --build --preset linux --target helicoid helicoid-snapshot >/dev/null

if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" ]]; then
  out=$PWD/helicoid-snapshot.png
  build/helicoid-snapshot -o "$out"
  echo "No display to open a window on: wrote the viewer's first picture to $out"
  exit 0
fi
exec build/helicoid "$@"
