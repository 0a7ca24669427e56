# Sourced by the tools that build. show_build WHAT COMMAND... runs a build
# command and shows how far it is on stderr, from the "[ 42%]" lines that
# CMake's builds print: one line that counts up on a terminal, a line each
# tenth otherwise. The command's whole output is shown only if it fails.
show_build() {
  local what=$1 log shown=-10 status
  shift
  log=$(mktemp)
  printf '%s: starting\n' "$what" >&2
  set +e
  "$@" 2>&1 | tee "$log" | while IFS= read -r line; do
    [[ $line =~ ^\[\ *([0-9]+)%\] ]] || continue
    local percent=${BASH_REMATCH[1]}
    if [[ -t 2 ]]; then
      printf '\r%s: %3d %%' "$what" "$percent" >&2
    elif ((percent >= shown + 10)); then
      printf '%s: %d %%\n' "$what" "$percent" >&2
      shown=$percent
    fi
  done
  status=${PIPESTATUS[0]}
  set -e
  [[ -t 2 ]] && printf '\n' >&2
  if ((status != 0)); then
    cat "$log" >&2
    printf '%s: failed (exit status %d)\n' "$what" "$status" >&2
  else
    printf '%s: done\n' "$what" >&2
  fi
  rm -f "$log"
  return "$status"
}
