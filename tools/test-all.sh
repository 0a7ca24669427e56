#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test:
#   - the 32-bit Windows program, cross-built with mingw-w64;
#   - the Linux build: unit, GL, platform and whole-viewer tests on the headless
#     backend, the real viewer under Xvfb, the Windows program under Wine.
# Exits non-zero if anything fails.
set -euo pipefail
cd "$(dirname "$0")/.."

tools/install-deps.sh test

jobs=$(nproc 2>/dev/null || echo 2)

echo "== Windows program (mingw-w64, 32-bit)"
exe=$(tools/windows-build.sh)
echo "built $exe"

echo "== Linux build and tests"
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DHELICOID_WINDOWS_EXE="$exe" >/dev/null
cmake --build build -j"$jobs"
ctest --test-dir build --output-on-failure -j"$jobs"

echo "== Sanitizer build (AddressSanitizer + UndefinedBehaviorSanitizer) and its tests"
cmake --preset asan >/dev/null
cmake --build --preset asan
ctest --preset asan
