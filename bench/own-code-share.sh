#!/usr/bin/env bash
# Share of a spin frame spent in the viewer's own code (app/ scene/ trackball/
# glcontext/ model/ records/, one library each) rather than in the GL driver, measured two ways on
# helicoid-bench --spin: perf samples (time, all threads) and callgrind
# instruction counts (the spin frames only).
#   bench/own-code-share.sh BUILD_DIR [FRAMES]
set -euo pipefail

build=${1:?usage: own-code-share.sh BUILD_DIR [FRAMES]}
frames=${2:-1500}
bench=$build/bench/helicoid-bench
die() {
  echo "own-code-share: $*" >&2
  exit 1
}
libraries=()
for folder in app scene trackball glcontext model records; do
  libraries+=("$build/$folder/libhelicoid_$folder.a")
done
for input in "$bench" "${libraries[@]}"; do
  [[ -f "$input" ]] || die "$input is missing (cmake --build $build --target helicoid-bench)"
done
command -v perf >/dev/null || command -v valgrind >/dev/null || die "neither perf nor valgrind is installed"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The viewer's functions: every text symbol its libraries define.
nm -C --defined-only "${libraries[@]}" >"$work/nm.txt" || die "nm cannot read the viewer's libraries"
awk '$2 ~ /^[Tt]$/ {$1 = ""; $2 = ""; sub(/^  /, ""); print}' "$work/nm.txt" | sort -u >"$work/own-symbols"
[[ -s "$work/own-symbols" ]] || die "the viewer's libraries define no functions"

if command -v perf >/dev/null; then
  perf record -q -F 2000 -o "$work/perf.data" "$bench" --spin "$frames" >"$work/bench.txt" 2>&1 ||
    die "perf record failed: $(tail -3 "$work/bench.txt")"
  frame_ms=$(sed -n 's/^spin frames drawn: [0-9]*, \([0-9.]*\) ms\/frame$/\1/p' "$work/bench.txt")
  [[ -n "$frame_ms" ]] || die "helicoid-bench --spin printed no frame time: $(tail -3 "$work/bench.txt")"
  perf report -i "$work/perf.data" --no-children --sort comm,dso,sym --stdio -g none \
    -F overhead,sample,comm,dso,sym -t '|' 2>/dev/null | grep -v '^#' | grep -v '^$' >"$work/perf.txt"
  # perf prints names without their parameter lists; compare them that way.
  awk -F'|' -v symbols="$work/own-symbols" -v frames="$frames" -v frame_ms="$frame_ms" '
    function trim(s) { gsub(/^ +| +$/, "", s); return s }
    function bare(s) { sub(/\([^()]*\)( const)?$/, "", s); return s }
    BEGIN { while ((getline s < symbols) > 0) own[bare(s)] = 1 }
    {
      share = trim($1); sub(/%/, "", share); samples = trim($2); comm = trim($3); dso = trim($4)
      sym = trim($5); sub(/^\[[.k]\] /, "", sym); sym = bare(sym)
      if (comm !~ /^llvmpipe/) main += share
      if (dso == "helicoid-bench" && sym != "" && (sym in own)) {
        mine += share; mineSamples += samples; top[sym] += share
      }
    }
    END {
      printf "perf: viewer code %.2f %% of all CPU samples, %.2f %% of the main thread'\''s\n", mine, 100 * mine / main
      for (s in top) printf "  %6.2f %%  %s\n", top[s], s
      ownMs = mineSamples / 2000 * 1000 / frames
      if (frame_ms > 0) printf "perf: viewer code %.3f ms of a %.3f ms frame = %.2f %% of the frame time\n", ownMs, frame_ms, 100 * ownMs / frame_ms
    }' "$work/perf.txt"
else
  echo "perf: not installed"
fi

if command -v valgrind >/dev/null; then
  # Only the spin frames count: the benchmark switches instrumentation on for them.
  valgrind --tool=callgrind --instr-atstart=no --callgrind-out-file="$work/cg.out" \
    "$bench" --spin 30 >/dev/null 2>&1
  callgrind_annotate --threshold=100 "$work/cg.out" 2>/dev/null >"$work/cg.txt"
  awk -v symbols="$work/own-symbols" '
    BEGIN { while ((getline s < symbols) > 0) own[s] = 1 }
    /PROGRAM TOTALS/ { t = $1; gsub(/,/, "", t); total = t }
    / \[.*helicoid-bench\]$/ {
      ir = $1; gsub(/,/, "", ir)
      fn = $0; sub(/^[^:]*:/, "", fn); sub(/ \[.*$/, "", fn)
      if (fn in own) mine += ir
    }
    END { if (total > 0) printf "callgrind: viewer code %.2f %% of the instructions of 30 spin frames\n", 100 * mine / total }' \
    "$work/cg.txt"
fi
