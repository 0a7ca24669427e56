#!/usr/bin/env bash
# Checks the source tree as it stands, without building it:
#  - every C++ file is formatted as .clang-format says (clang-format
#    --dry-run --Werror), generated model data aside;
#  - every include names a file of the same folder or of a folder that the
#    table of layers in docs/design.md allows it.
# Prints one line a fault and exits 1 if there is any. The files are the git
# checkout's: outside one (or below its top) it refuses, exit 2. The format is
# clang-format 14's (Debian 12's; another major version formats differently):
# with another version the format half is skipped, said so, and the exit
# status is 77 (ctest's "skipped") unless a layer check fails.
#   check-tree.sh [SOURCE_DIR]     CLANG_FORMAT=PROGRAM to name the formatter
set -uo pipefail
cd "${1:-$(dirname "$0")/..}" || exit 2
kClangFormatMajor=14

top=$(git rev-parse --show-toplevel 2>/dev/null)
if [[ "$top" != "$(pwd -P)" ]]; then
  echo "check-tree: $(pwd -P) is not the top of a git checkout; nothing checked" >&2
  exit 2
fi

faults=0
fault() {
  echo "FAIL: $*"
  faults=$((faults + 1))
}

if ! listing=$(git ls-files -co --exclude-standard -- '*.cpp' '*.h'); then
  echo "check-tree: git cannot list the files; nothing checked" >&2
  exit 2
fi
mapfile -t sources < <(grep -v '^model/model_data\.cpp$' <<<"$listing")
if ((${#sources[@]} == 0)) || [[ -z "${sources[0]}" ]]; then
  echo "check-tree: no C++ files in the checkout; nothing checked" >&2
  exit 2
fi

formatter=${CLANG_FORMAT:-$(command -v clang-format-$kClangFormatMajor || echo clang-format)}
formatSkipped=0
version=$("$formatter" --version 2>/dev/null | sed -nE 's/.*clang-format version ([0-9]+)\..*/\1/p')
if [[ -z "$version" ]]; then
  fault "$formatter is not installed (tools/install-deps.sh installs clang-format $kClangFormatMajor)"
elif [[ "$version" != "$kClangFormatMajor" ]]; then
  echo "SKIP: format: $formatter is version $version; the tree is formatted by clang-format $kClangFormatMajor"
  formatSkipped=1
else
  while read -r line; do
    fault "format: $line"
  done < <("$formatter" --dry-run --Werror "${sources[@]}" 2>&1 | grep -E '^[^ ].*: (error|warning):' |
    cut -d: -f1,2 | sort -u)
fi

# The places each place may include from, besides its own: the table of
# docs/design.md, the one statement of the layers ("| `app/` | what it holds |
# `records/` `model/` ... |"). A place is a top folder, or a folder of
# platform/.
declare -A below=()
while IFS='|' read -r _ folder _ allowed _; do
  folder=$(grep -o '`[^`]*/`' <<<"$folder" | tr -d '`')
  [[ -n "$folder" ]] || continue
  below[${folder%/}]=$(grep -o '`[^`]*/`' <<<"$allowed" | tr -d '`' | sed 's#/$##' | tr '\n' ' ')
done < <(awk '/^\| folder \| what it holds \| may include \|$/ { table = 1; next }
  table && !/^\|/ { exit }
  table && !/^\|---/' docs/design.md)
if ((${#below[@]} == 0)); then
  echo "check-tree: docs/design.md has no table of the layers (| folder | what it holds | may include |)" >&2
  exit 2
fi
# The place of a path: platform/webgl/gl11.h is in platform/webgl, app/app.h in app.
place() {
  if [[ "$1" =~ ^(platform/[^/]+)/ ]]; then
    echo "${BASH_REMATCH[1]}"
  else
    echo "${1%%/*}"
  fi
}
for file in "${sources[@]}"; do
  folder=$(place "$file")
  [[ "${file%%/*}" == tests || "${file%%/*}" == bench ]] && continue  # they may use everything
  [[ -v "below[$folder]" ]] || { fault "$file: $folder/ has no place in the layers (docs/design.md)"; continue; }
  while IFS=: read -r number include; do
    target=$(place "$include")
    [[ "$target" == "$folder" || " ${below[$folder]} " == *" $target "* ]] ||
      fault "$file:$number includes $include: $folder/ may not use $target/"
  done < <(grep -nE '^#include "[a-z-]+/' "$file" | sed -E 's/^([0-9]+):#include "([^"]+)".*/\1:\2/')
done

if ((faults > 0)); then
  echo "$faults fault(s) in the tree"
  exit 1
fi
if ((formatSkipped)); then
  echo "tree: ${#sources[@]} C++ files, every include within its layers; format not checked"
  exit 77
fi
echo "tree: ${#sources[@]} C++ files formatted, every include within its layers"
