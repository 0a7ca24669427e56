#!/usr/bin/env bash
# Builds the browser version with Emscripten (workflow preset web):
# build-web/site/ holds the site alone (index.html, helicoid.js, helicoid.wasm,
# the manifest, icons and service worker, and .gz and .br copies; README.md
# lists them). Prints the site's folder.
set -euo pipefail
cd "$(dirname "$0")/.."

command -v em++ >/dev/null ||
  { echo "em++ is missing: install emscripten (tools/install-deps.sh web)" >&2; exit 1; }
cmake --workflow --preset web >/dev/null
echo "$PWD/build-web/site"
