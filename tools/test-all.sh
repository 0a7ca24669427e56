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
# Every preset runs, also after one has failed (the ones before linux build
# what its tests run). At the end one summary: each preset's result with
# ctest's closing line, the failed tests by name, the skipped tests with the
# line in which each says why, and a last line "N passed, N failed, N skipped"
# over all presets. Exits non-zero if any preset failed.
#   HELICOID_TEST_PRESETS="linux asan"   runs only these presets, in this order
set -uo pipefail
cd "$(dirname "$0")/.." || exit 2

tools/install-deps.sh test || exit

read -r -a presets <<<"${HELICOID_TEST_PRESETS:-windows-x64 windows-i686 web linux asan linux-arm64 linux-armhf}"
logs=$(mktemp -d)
trap 'rm -rf "$logs"' EXIT

declare -A status
for preset in "${presets[@]}"; do
  echo "== $preset"
  cmake --workflow --preset "$preset" 2>&1 | tee "$logs/$preset"
  status[$preset]=${PIPESTATUS[0]}
done

# One line a test from ctest's results ("  3/57 Test  #3: Name ....   Passed
# 0.02 sec"): the preset, the outcome (passed, skipped or failed) and the name.
outcomes() {
  awk -v preset="$1" '$2 == "Test" && $1 ~ /^[0-9]+\/[0-9]+$/ && $3 ~ /^#[0-9]+:$/ {
      outcome = "failed"
      if ($0 ~ /   Passed /) outcome = "passed"
      else if ($0 ~ /\*\*\*(Skipped|Not Run \(Disabled\))/) outcome = "skipped"
      what = $0; sub(/.*\*\*\*/, "", what); sub(/ +[0-9.]+ sec$/, "", what)
      print preset, outcome, $4, what
    }' "$logs/$1"
}
# The build folder of a preset, as its configure step reported it.
build_dir() {
  sed -n 's/^-- Build files have been written to: //p' "$logs/$1" | tail -n 1
}

failedAny=0 results="" failedTests="" skippedTests=""
passed=0 failed=0 skipped=0
for preset in "${presets[@]}"; do
  tests=$(outcomes "$preset")
  closing=$(grep -E '^[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$logs/$preset" | tail -n 1)
  if [[ ${status[$preset]} == 0 ]]; then
    result="passed${closing:+: $closing}"
    [[ -n "$closing" ]] || result="built (no tests)"
  else
    failedAny=1
    if [[ -n "$closing" ]]; then
      result="FAILED: $closing"
    else
      result="FAILED before its tests (cmake --workflow exit ${status[$preset]}; its output is above)"
    fi
  fi
  results+=$(printf '  %-13s %s' "$preset" "$result")$'\n'
  [[ -n "$tests" ]] || continue
  passed=$((passed + $(grep -c '^[^ ]* passed ' <<<"$tests")))
  while read -r _ outcome name what; do
    case $outcome in
      failed)
        failed=$((failed + 1))
        failedTests+="  $preset: $name ($what)"$'\n'
        ;;
      skipped)
        skipped=$((skipped + 1))
        # ctest keeps a test's output in the build folder's LastTest.log.
        log="$(build_dir "$preset")/Testing/Temporary/LastTest.log"
        why=$(awk -v test="$name" '/^[0-9]+\/[0-9]+ Test: / { current = $3 }
          current == test && /^SKIP/ { print; exit }' "$log" 2>/dev/null)
        skippedTests+="  $preset: $name: ${why:-(it gave no reason)}"$'\n'
        ;;
    esac
  done < <(grep -v '^[^ ]* passed ' <<<"$tests")
done

echo "== Summary"
printf '%s' "$results"
if [[ -n "$failedTests" ]]; then
  echo "== Failed tests:"
  printf '%s' "$failedTests"
fi
if [[ -n "$skippedTests" ]]; then
  echo "== Skipped on this machine:"
  printf '%s' "$skippedTests"
fi
echo "$passed passed, $failed failed, $skipped skipped"
exit "$failedAny"
