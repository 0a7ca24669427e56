#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test.
# Exits non-zero if anything fails.
set -euo pipefail
cd "$(dirname "$0")/.."

tools/install-deps.sh test

jobs=$(nproc 2>/dev/null || echo 2)

echo "== Linux build and tests"
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$jobs"
ctest --test-dir build --output-on-failure -j"$jobs"
