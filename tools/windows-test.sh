#!/usr/bin/env bash
# Cross-builds the Windows programs, then runs them under Wine and Xvfb: the tests
# labelled "wine" of the linux preset's build.
set -euo pipefail
cd "$(dirname "$0")/.."

tools/windows-build.sh >/dev/null
cmake --preset linux >/dev/null
cmake --build --preset linux --target helicoid-x-delete-window helicoid-desktop-files
ctest --preset linux -L wine
