#!/usr/bin/env bash
# The packages come out the same byte for byte when built twice from the same
# sources as a packager would, with plain tools/package.sh in two copies of the
# tree: at paths of different lengths, minutes apart, under umask 022 and 002,
# in the time zones UTC and Pacific/Auckland and the locales C and C.UTF-8, the
# second copy read through disorderfs, which lists folders in shuffled order.
# tools/package.sh sets its own umask, time zone and locale, so each build's
# steps beneath it (cmake and cpack, through stand-ins on PATH) are set to
# the build's again.
# A difference is shown by diffoscope: which package, which member, where.
#   reproducible.sh SOURCE_DIR SET...   (tools/package.sh's sets: x86, arm64, armhf)
set -uo pipefail

src=$(cd "$1" && pwd)
shift
# The packages each set makes.
declare -A made=([x86]=6 [arm64]=2 [armhf]=2)
expected=0
for set in "$@"; do expected=$((expected + ${made[$set]:?"no package set $set"})); done
((expected > 0)) || { echo "usage: reproducible.sh SOURCE_DIR SET..." >&2; exit 2; }
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../lib/x.sh"
x_work
shuffled=$work/b/h
trap 'fusermount -u "$shuffled" 2>/dev/null; x_work_end' EXIT

# The tree as it stands, tracked and new files, without builds or git.
copy_tree() {
  mkdir -p "$1"
  git -C "$src" ls-files -z --cached --others --exclude-standard |
    (cd "$src" && tar --null -T - --ignore-failed-read -cf - 2>/dev/null) | tar -xf - -C "$1" ||
    die "cannot copy the tree at $src (a git checkout is needed)"
}
copy_tree "$work/a/a-first-copy-of-the-sources-at-a-longer-path"
copy_tree "$work/b-real"
mkdir -p "$shuffled"
if disorderfs --shuffle-dirents=yes "$work/b-real" "$shuffled" >"$work/disorderfs.log" 2>&1; then
  pass "the second copy is read through disorderfs"
else
  echo "note: disorderfs cannot mount here ($(cat "$work/disorderfs.log")): folders in their own order"
  rmdir "$shuffled" && ln -s "$work/b-real" "$shuffled"
fi

# (TMPDIR: where CPack lays out the packages' files.)
sets=("$@")
build() {  # TREE UMASK TZ LOCALE
  mkdir -p "$1/tmp" "$1.tools"
  for tool in cmake cpack; do
    printf '#!/bin/sh\numask %s\nexport TZ=%s LC_ALL=%s\nexec %s "$@"\n' "$2" "$3" "$4" \
      "$(command -v $tool)" >"$1.tools/$tool" && chmod +x "$1.tools/$tool"
  done
  (umask "$2" && cd "$1" && env -u SOURCE_DATE_EPOCH PATH="$1.tools:$PATH" TMPDIR="$1/tmp" TZ="$3" LC_ALL="$4" tools/package.sh "${sets[@]}") \
    >"$work/$(basename "$1").log" 2>&1 ||
    die "tools/package.sh in $1 failed: $(tail -20 "$work/$(basename "$1").log")"
}
first=$work/a/a-first-copy-of-the-sources-at-a-longer-path
build "$first" 022 UTC C
build "$shuffled" 002 Pacific/Auckland C.UTF-8

names=$(ls "$first/dist")
[[ $(ls "$shuffled/dist") == "$names" && $(wc -l <<<"$names") == "$expected" ]] ||
  fail "the builds made different packages: [$names] and [$(ls "$shuffled/dist")]"
for name in $names; do
  if cmp -s "$first/dist/$name" "$shuffled/dist/$name"; then
    pass "$name is the same byte for byte: sha256 $(sha256sum <"$first/dist/$name" | cut -d' ' -f1)"
  else
    fail "$name differs between the two builds (sha256 $(sha256sum <"$first/dist/$name" | cut -c1-16)," \
      "$(sha256sum <"$shuffled/dist/$name" | cut -c1-16)):"
    diffoscope --text - --max-text-report-size 20000 "$first/dist/$name" "$shuffled/dist/$name" |
      head -n 80
  fi
done
checks_end "$work"
