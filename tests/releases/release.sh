#!/usr/bin/env bash
# The tree in a clean root of a newer Debian release (tools/debian-root.sh
# RELEASE-dev, no network inside): the linux preset built with its compiler
# against its SDL and Mesa, its programs needing no newer glibc than the
# stated floor, and its unit, GL, headless and display tests; then the display
# tests again over sdl2-compat (SDL 3 underneath).
#   release.sh SOURCE_DIR RELEASE
set -uo pipefail
src=$(cd "$1" && pwd)
exec "$src/tools/debian-root.sh" run -n -r "$src:/src" "$2-dev" bash -c '
  cd /src && cmake --preset linux -B /tmp/build >/tmp/configure.log 2>&1 ||
    { cat /tmp/configure.log; echo "FAIL: the linux preset does not configure"; exit 1; }
  cmake --build /tmp/build -j2 >/tmp/build.log 2>&1 ||
    { tail -n 40 /tmp/build.log; echo "FAIL: the tree does not build"; exit 1; }
  cd /tmp/build
  source /src/tests/lib/glibc.sh
  glibc_within_floor helicoid && glibc_within_floor helicoid-snapshot; status=$?
  # (The package tests make roots of their own, which they cannot inside one;
  # the tree checks run on the host, in a git checkout.)
  tests=(ctest -j2 --output-on-failure -E "^(Packages|Releases|Tree)[.]")
  "${tests[@]}" -L "^(unit|gl|headless|xvfb)$" || status=1
  compat=/usr/lib/$(gcc -dumpmachine)/sdl2-compat
  LD_LIBRARY_PATH=$compat ldd ./helicoid | grep -q "$compat/libSDL2" ||
    { echo "FAIL: no sdl2-compat in $compat"; exit 1; }
  echo "== Over sdl2-compat ($compat)"
  LD_LIBRARY_PATH=$compat "${tests[@]}" -L "^xvfb$" || status=1
  exit $status'
