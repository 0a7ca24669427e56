#!/usr/bin/env bash
# Mutation check: puts each fault listed in tools/mutants.txt, one at a time,
# into a copy of this tree, builds the copy and runs the fast tests there (all
# labelled unit, gl and headless). A fault is killed when
# a test fails. The tree the script is run from is never written to. Like the
# benchmarks, this is not part of the test command.
#
# Faults marked "label: web" (the browser build's) are run with -L web only:
# the copy's browser site is built too (the web preset) and the browser tests
# (label web) run instead of the fast ones. Faults marked "label: xvfb" (the
# SDL backend's) are run with -L xvfb: the copy is built with SDL and the
# display tests (label xvfb) run. Faults marked "label: wine" are run with
# -L wine: the copy's 64-bit Windows program is built (the windows-x64
# preset) and its tests under 64-bit Wine run (the 32-bit one is built too,
# for the upgrade of its install). Faults marked "label:
# reproducible" (in the build's steps) are run with -L reproducible:
# Packages.Reproducible builds the packages twice from the copy (made a git
# checkout for it), unbuilt here. Faults marked "label: arm64" (the ARM
# packages') are run with -L arm64: the copy is cross-built with the
# linux-arm64 preset and its package test runs, its programs under qemu.
#
#   tools/mutants.sh              every fault of the list without a label
#   tools/mutants.sh -L web       every fault labelled web
#   tools/mutants.sh 3 17         faults 3 and 17 only (numbered as printed)
#   options: -a        run every test of the label, not only up to the first failure
#            -k DIR    keep the copy and its build in DIR, and reuse them
#            -l FILE   another list of faults
#            -L LABEL  the faults of this label (one of kLabels below), and its tests
#            -n        only check that each fault's original text is there once
set -euo pipefail

# The labels a fault may carry, each with its own build and tests (run_tests).
kLabels=(web xvfb wine reproducible arm64)
labelList=$(IFS='|'; echo "${kLabels[*]}")

root=$(cd "$(dirname "$0")/.." && pwd)
list="$root/tools/mutants.txt"
work=""
allTests=0
dryRun=0
testLabel=""
while getopts "ak:l:L:n" option; do
  case $option in
    a) allTests=1 ;;
    n) dryRun=1 ;;
    k) work=$(mkdir -p "$OPTARG" && cd "$OPTARG" && pwd) ;;
    l) list=$(cd "$(dirname "$OPTARG")" && pwd)/$(basename "$OPTARG") ;;
    L) testLabel=$OPTARG ;;
    *) echo "usage: tools/mutants.sh [-a] [-k DIR] [-l FILE] [-L $labelList] [-n] [NUMBER...]" >&2; exit 2 ;;
  esac
done
shift $((OPTIND - 1))
if [ -z "$work" ]; then
  work=$(mktemp -d "${TMPDIR:-/tmp}/helicoid-mutants.XXXXXX")
  trap 'rm -rf "$work"' EXIT
fi
case $work in "$root" | "$root"/*) echo "mutants: -k must name a folder outside this tree" >&2; exit 2 ;; esac

# ---- The list: "fault FILE: description", then "- " lines (the original text,
# exact) and "+ " lines (its replacement; none deletes it), and optionally
# "equivalent: reason", and optionally "label: LABEL". Lines starting with #
# and blank lines separate nothing.
files=() descriptions=() originals=() replacements=() equivalents=() labels=()
n=-1
while IFS= read -r line || [ -n "$line" ]; do
  case $line in
    "fault "*)
      n=$((n + 1))
      rest=${line#fault }
      files[n]=${rest%%: *}
      descriptions[n]=${rest#*: }
      originals[n]="" replacements[n]="" equivalents[n]="" labels[n]=""
      ;;
    "- "* | "-")
      text=${line#-}; text=${text# }
      originals[n]+=${originals[n]:+$'\n'}$text ;;
    "+ "* | "+")
      text=${line#+}; text=${text# }
      replacements[n]+=${replacements[n]:+$'\n'}$text
      ;;
    "equivalent: "*) equivalents[n]=${line#equivalent: } ;;
    "label: "*) labels[n]=${line#label: } ;;
    "#"* | "") ;;
    *) echo "mutants: $list: cannot read: $line" >&2; exit 2 ;;
  esac
done <"$list"
count=$((n + 1))
if [[ -n "$testLabel" && " ${kLabels[*]} " != *" $testLabel "* ]]; then
  echo "mutants: no label $testLabel (only ${kLabels[*]})" >&2
  exit 2
fi
selected=("$@")
if [ ${#selected[@]} -eq 0 ]; then
  for i in $(seq 1 "$count"); do [ "${labels[i - 1]}" = "$testLabel" ] && selected+=("$i"); done
fi
for i in "${selected[@]}"; do
  if [ "$i" -ge 1 ] && [ "$i" -le "$count" ] && [ "${labels[i - 1]}" != "$testLabel" ]; then
    echo "mutants: fault $i is labelled '${labels[i - 1]}': run it with${labels[i - 1]:+ -L ${labels[i - 1]}}" >&2
    exit 2
  fi
done

# Puts fault number $1 (from 0) into file $2; fails if its original text is
# not there exactly once.
apply_fault() {
  ORIGINAL=${originals[$1]} REPLACEMENT=${replacements[$1]} perl -e '
    local $/; open(my $in, "<", $ARGV[0]) or exit 3; my $text = <$in>; close $in;
    my $found = () = $text =~ /\Q$ENV{ORIGINAL}\E/g;
    exit 3 if $found != 1 or $ENV{ORIGINAL} eq "";
    $text =~ s/\Q$ENV{ORIGINAL}\E/$ENV{REPLACEMENT}/;
    open(my $out, ">", $ARGV[0]) or die; print $out $text; close $out or die;' "$2"
}

if [ "$dryRun" = 1 ]; then
  stale=0
  for i in "${selected[@]}"; do
    cp "$root/${files[i - 1]}" "$work/original" 2>/dev/null || : >"$work/original"
    apply_fault $((i - 1)) "$work/original" ||
      { echo "NOT APPLIED $i ${files[i - 1]}: ${descriptions[i - 1]}"; stale=$((stale + 1)); }
  done
  echo "${#selected[@]} faults, $stale not applicable"
  [ "$stale" = 0 ]
  exit
fi

# ---- A copy of the tree as it is now, committed or not, and its build. Only
# files whose content differs are copied (with a new time stamp), so that a
# kept build recompiles exactly what changed, a fault left behind included.
copy="$work/src"
build="$work/build"
rm -rf "$work/incoming"
mkdir -p "$copy" "$work/incoming"
(cd "$root" && git ls-files -z --cached --others --exclude-standard |
  tar --null -T - --ignore-failed-read -cf - 2>/dev/null) | tar -xf - -C "$work/incoming"
(cd "$work/incoming" && find . -type f) | while IFS= read -r f; do
  cmp -s "$work/incoming/$f" "$copy/$f" ||
    { mkdir -p "$(dirname "$copy/$f")" && cp "$work/incoming/$f" "$copy/$f"; }
done
generator=()
command -v ninja >/dev/null && [ ! -f "$build/Makefile" ] && generator=(-G Ninja)
sdl=OFF preset=linux
[ "$testLabel" = xvfb ] && sdl=ON
[ "$testLabel" = arm64 ] && sdl=ON preset=linux-arm64
# (The linux preset names the copy's Windows programs; they are built for the
# label wine only, the 32-bit one for the 64-bit setup program's upgrade
# test.) A fault that makes the compiler warn is still built and tested:
# warnings are no errors in the copy.
windows32=""
[ "$testLabel" = wine ] && windows32=$copy/build-windows-i686/helicoid.exe
noWerror=-DCMAKE_COMPILE_WARNING_AS_ERROR=OFF
cmake -S "$copy" --preset $preset -B "$build" "${generator[@]}" -DHELICOID_BUILD_SDL=$sdl \
  -DHELICOID_WINDOWS_I686_EXE=$windows32 $noWerror >"$work/configure.log" 2>&1 ||
  { cat "$work/configure.log" >&2; exit 1; }

# The copy's browser site, where the linux preset's tests look for it
# (build-web beside the sources), when the label asks for it; the browser
# tests' npm packages are this tree's (npm ci).
if [ "$testLabel" = web ]; then
  (cd "$copy" && cmake --preset web $noWerror) >"$work/configure-web.log" 2>&1 ||
    { cat "$work/configure-web.log" >&2; exit 1; }
  ln -sfn "$root/tests/viewer-web/node_modules" "$copy/tests/viewer-web/node_modules"
fi
# (The package test checks that install-deps.sh finds everything, npm's too.)
if [ "$testLabel" = arm64 ]; then
  ln -sfn "$root/tests/viewer-web/node_modules" "$copy/tests/viewer-web/node_modules"
  touch -r "$root/tests/viewer-web/package-lock.json" "$copy/tests/viewer-web/package-lock.json"
fi

# Builds the copy and runs the label's tests; prints the failed tests' names.
run_tests() {
  local tests='^(unit|gl|headless)$' timeout=120 targets=() skip='^Tree[.]'
  : >"$work/build.log"
  if [ "$testLabel" = web ]; then
    # The browser tests need the site and the reference pictures' program.
    tests='^web$' timeout=300 targets=(--target helicoid-snapshot)
    (cd "$copy" && cmake --build --preset web) >"$work/build.log" 2>&1 || return 2
  elif [ "$testLabel" = wine ]; then
    # The program and its probes, and what the Wine tests run beside them.
    tests='^wine$' timeout=400 targets=(--target helicoid-x-delete-window helicoid-desktop-files)
    skip='^(Tree|WindowsViewer32)[.]'
    (cd "$copy" && for kind in x64 i686; do
      cmake --preset windows-$kind $noWerror && cmake --build --preset windows-$kind || exit 1
    done) \
      >"$work/build.log" 2>&1 || return 2
  elif [ "$testLabel" = xvfb ]; then
    # The programs on the desktops (the packages' tests, also labelled xvfb,
    # check packaging, not the backend).
    tests='^xvfb$' timeout=180 skip='^(Tree|Packages)[.]'
  elif [ "$testLabel" = reproducible ]; then
    tests='^reproducible$' timeout=1500
    git -C "$copy" init -q
  elif [ "$testLabel" = arm64 ]; then
    tests='^xvfb$' timeout=300 skip='^LinuxViewer[.]'
  fi
  [ "$testLabel" = reproducible ] ||
    cmake --build "$build" -j2 "${targets[@]}" >>"$work/build.log" 2>&1 || return 2
  local stop=(--stop-on-failure)
  [ "$allTests" = 1 ] && stop=()
  # (The tree checks look at the sources' form, not what they do, and need a
  # git checkout, which the copy is not.)
  ctest --test-dir "$build" -L "$tests" -E "$skip" -j2 --timeout "$timeout" "${stop[@]}" \
    >"$work/test.log" 2>&1 && return 0
  sed -n '/The following tests FAILED:/,$p' "$work/test.log" |
    sed -n 's/^[[:space:]]*[0-9]* - \(.*\)$/\1/p' | tr '\n' ' '
  return 1
}

echo "building the copy in $work and running the ${testLabel:-fast} tests without a fault ..."
if ! failed=$(run_tests); then
  echo "mutants: the copy fails without any fault: ${failed:-build failed, see $work/build.log}" >&2
  exit 1
fi

killed=0 survived=0 equivalent=0 broken=0
for i in "${selected[@]}"; do
  k=$((i - 1))
  if [ "$k" -lt 0 ] || [ "$k" -ge "$count" ]; then echo "mutants: no fault $i" >&2; exit 2; fi
  file=$copy/${files[k]}
  label=$(printf '%3d %s: %s' "$i" "${files[k]}" "${descriptions[k]}")
  cp "$file" "$work/original"
  if ! apply_fault "$k" "$file"; then
    echo "NOT APPLIED $label (the original text is not there exactly once)"
    broken=$((broken + 1))
    continue
  fi
  status=0
  failed=$(run_tests) || status=$?
  cp "$work/original" "$file"  # a fresh time stamp, so the next build recompiles it
  if [ "$status" = 2 ]; then
    echo "NOT BUILT   $label"
    grep -m3 -E 'error' "$work/build.log" | sed 's/^/              /'
    broken=$((broken + 1))
  elif [ "$status" = 1 ] && [ -n "${equivalents[k]}" ]; then
    echo "KILLED, BUT MARKED EQUIVALENT $label <- $failed"
    broken=$((broken + 1))
  elif [ "$status" = 1 ]; then
    echo "killed      $label <- $failed"
    killed=$((killed + 1))
  elif [ -n "${equivalents[k]}" ]; then
    echo "equivalent  $label (${equivalents[k]})"
    equivalent=$((equivalent + 1))
  else
    echo "SURVIVED    $label"
    survived=$((survived + 1))
  fi
done
echo "${#selected[@]} faults: $killed killed, $survived survived," \
  "$equivalent equivalent, $broken not applied, not built or mislabelled"
[ "$survived" = 0 ] && [ "$broken" = 0 ]
