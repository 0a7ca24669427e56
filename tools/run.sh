#!/usr/bin/env bash
# Installs what is missing, builds the viewer and starts it. With no display it
# says so and writes the viewer's picture to a PNG instead.
# With --web it builds the browser version and serves its site folder, and
# nothing else, on 127.0.0.1 (port: HELICOID_WEB_PORT, default 8080) until
# Ctrl+C, as a static host should (tools/serve-site.py): the right types, and
# the .br or .gz copy of a file where the browser accepts it.
# 127.0.0.1 is a secure context, as HTTPS is: there the page's service worker
# registers, and the page can be installed and opened again offline.
set -euo pipefail
cd "$(dirname "$0")/.."

if [[ "${1:-}" == --web ]]; then
  tools/install-deps.sh web
  site=$(tools/web-build.sh)
  port=${HELICOID_WEB_PORT:-8080}
  echo "The viewer in a browser, at the address below (Ctrl+C stops the server;" \
       "once opened, the page also works offline):"
  exec python3 tools/serve-site.py "$site" "$port"
fi

source tools/progress.sh
tools/install-deps.sh run
show_build "Configuring build/" cmake --preset linux
show_build "Building the viewer (minutes the first time)" \
  cmake --build --preset linux --target helicoid helicoid-snapshot

if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" ]]; then
  out=$PWD/helicoid-snapshot.png
  build/helicoid-snapshot -o "$out"
  echo "No display to open a window on: wrote the viewer's first picture to $out"
  exit 0
fi
exec build/helicoid "$@"
