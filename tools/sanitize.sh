#!/usr/bin/env bash
# Builds everything with AddressSanitizer and UndefinedBehaviorSanitizer in
# build-asan and runs the tests there. Any sanitizer report fails its test.
# LeakSanitizer stays on for the whole program; its only suppression is for
# a system library (tests/stress/lsan.supp).
#   tools/sanitize.sh [ctest arguments...]
set -euo pipefail
cd "$(dirname "$0")/.."

jobs=${JOBS:-2}
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DHELICOID_SANITIZE=ON >/dev/null
cmake --build build-asan -j"$jobs"

export ASAN_OPTIONS=detect_leaks=1:detect_stack_use_after_return=1:check_initialization_order=1:strict_init_order=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export LSAN_OPTIONS=suppressions=$PWD/tests/stress/lsan.supp:print_suppressions=0
# valgrind cannot run a sanitized program; those tests exist only in plain builds.
ctest --test-dir build-asan --output-on-failure -j"$jobs" -LE valgrind "$@"
