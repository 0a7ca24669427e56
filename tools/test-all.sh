#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test, through the
# workflow presets of CMakePresets.json:
#   windows-i686  the 32-bit Windows program, cross-built with mingw-w64;
#   web           the browser build (Emscripten: WebAssembly over WebGL 2);
#   linux         the tree's format and layers; unit, GL, whole-viewer and
#                 platform tests on the headless backend; the real viewer under
#                 Xvfb, openbox and weston (Wayland, scale 2); the packages
#                 with their checkers; the Windows program and its setup
#                 program under Wine; the browser build in Chromium, Firefox
#                 and WebKit; stress and valgrind;
#   asan          the same build with AddressSanitizer and UBSan, and its tests;
#   linux-arm64, linux-armhf  the Linux programs cross-built for ARM: unit, GL
#                 and headless tests, the viewer under Xvfb (plain and openbox)
#                 and the packages (installed with apt-get), all under qemu.
# Exits non-zero if anything fails.
set -euo pipefail
cd "$(dirname "$0")/.."

tools/install-deps.sh test

for preset in windows-i686 web linux asan linux-arm64 linux-armhf; do
  echo "== $preset"
  cmake --workflow --preset "$preset"
done
