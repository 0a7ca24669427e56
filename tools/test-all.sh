#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test, through the
# workflow presets of CMakePresets.json:
#   windows-x64   the 64-bit Windows program, cross-built with mingw-w64;
#   windows-i686  the 32-bit one;
#   web           the browser build (Emscripten: WebAssembly over WebGL 2);
#   linux         the tree's format and layers; unit, GL, whole-viewer and
#                 platform tests on the headless backend; the real viewer under
#                 Xvfb, openbox and weston (Wayland, scale 2); the packages
#                 with their checkers; the Windows programs and their setup
#                 programs, each under Wine of its kind (the 32-bit ones
#                 skipped, each with a line that says why, where the machine
#                 runs no 32-bit x86 code); the browser build in Chromium,
#                 Firefox and WebKit; stress and valgrind;
#   asan          the same build with AddressSanitizer and UBSan, and its tests;
#   linux-arm64, linux-armhf  the Linux programs cross-built for ARM: unit, GL
#                 and headless tests, the viewer under Xvfb (plain and openbox)
#                 and the packages (installed with apt-get), all under qemu.
# Exits non-zero if anything fails.
set -euo pipefail
cd "$(dirname "$0")/.."

tools/install-deps.sh test

log=$(mktemp)
trap 'rm -f "$log"' EXIT
for preset in windows-x64 windows-i686 web linux asan linux-arm64 linux-armhf; do
  echo "== $preset"
  cmake --workflow --preset "$preset" 2>&1 | tee -a "$log"
done
# The tests that did not run here, each with the line in which it says why
# (ctest keeps a test's output in the build folder's LastTest.log).
skipped=$(sed -n 's/^[[:space:]]*[0-9]* - \(.*\) (Skipped)$/\1/p' "$log" | sort -u)
if [[ -n "$skipped" ]]; then
  echo "== Skipped on this machine:"
  while read -r name; do
    why=$(awk -v test="$name" '/^[0-9]+\/[0-9]+ Test: / { current = $3 }
      current == test && /^SKIP/ { print; exit }' build*/Testing/Temporary/LastTest.log)
    echo "  $name: ${why:-(it gave no reason)}"
  done <<<"$skipped"
fi
