#!/usr/bin/env bash
# Checks the source tree as it stands, without building it:
#  - every C++ file is formatted as .clang-format says (clang-format
#    --dry-run --Werror), generated model data aside;
#  - every include names a file of the same folder or of a layer below it:
#    the folders hold the layers that docs/design.md draws.
# Prints one line a fault and exits 1 if there is any.
#   check-tree.sh [SOURCE_DIR]
set -uo pipefail
cd "${1:-$(dirname "$0")/..}"

faults=0
fault() {
  echo "FAIL: $*"
  faults=$((faults + 1))
}

mapfile -t sources < <(git ls-files -co --exclude-standard -- '*.cpp' '*.h' | grep -v '^model/model_data\.cpp$')
if ! command -v clang-format >/dev/null; then
  fault "clang-format is not installed (tools/install-deps.sh installs it)"
else
  while read -r line; do
    fault "format: $line"
  done < <(clang-format --dry-run --Werror "${sources[@]}" 2>&1 | grep -E '^[^ ].*: (error|warning):' |
    cut -d: -f1,2 | sort -u)
fi

# The folders each folder may include from, besides its own; the viewer's
# layers from the bottom up, then what is built on them.
declare -A below=(
  [records]="platform"
  [model]=""
  [scene]="records model platform"
  [trackball]="records"
  [glcontext]="records platform"
  [app]="records model scene trackball glcontext platform resources"
  [platform]=""
  [resources]="platform"
  [lib]="records model scene trackball glcontext app platform resources"
  [programs]="records model scene trackball glcontext app platform resources lib"
  [tools]="records model scene trackball glcontext app platform resources lib"
)
for file in "${sources[@]}"; do
  folder=${file%%/*}
  [[ -v "below[$folder]" ]] || continue  # tests/ and bench/ may use everything
  while IFS=: read -r number include; do
    target=${include%%/*}
    [[ "$target" == "$folder" || " ${below[$folder]} " == *" $target "* ]] ||
      fault "$file:$number includes $include: $folder/ is below $target/"
  done < <(grep -nE '^#include "[a-z-]+/' "$file" | sed -E 's/^([0-9]+):#include "([^"]+)".*/\1:\2/')
done

if ((faults > 0)); then
  echo "$faults fault(s) in the tree"
  exit 1
fi
echo "tree: ${#sources[@]} C++ files formatted, every include within its layers"
