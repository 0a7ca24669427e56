#!/usr/bin/env bash
# Cross-builds the Windows program, then runs it under Wine and Xvfb with the
# tests of tests/windows (label "wine"), from a Linux build folder of its own.
#   tools/windows-test.sh [LINUX_BUILD_DIR]   (default build-win/linux)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-win/linux}

exe=$(tools/windows-build.sh)
cmake -S . -B "$build" -DHELICOID_WINDOWS_EXE="$exe" >/dev/null
cmake --build "$build" -j2 --target helicoid_icon_test helicoid-x-delete-window
ctest --test-dir "$build" -L wine -j2 --output-on-failure
