#!/usr/bin/env bash
# Clean Debian roots of any release, made from Debian's registry (mmdebstrap)
# and kept in build-roots/ (or $HELICOID_ROOTS), so that the build and the
# packages are proven on the releases users run without changing anything
# on this machine's own system. Every run gets a throwaway copy of the root
# (an overlay): what it installs or writes there is gone when it ends, and
# the next run finds the root as it was made.
#
#   tools/debian-root.sh path NAME            the root's folder, made first
#                                             where it is missing or stale
#   tools/debian-root.sh run [OPTIONS] NAME CMD...
#                                             CMD inside a throwaway copy
#     -b HOST[:INSIDE]  bind a folder of this machine into the root (where it
#                       is written through); INSIDE defaults to HOST
#     -r HOST[:INSIDE]  the same, read-only
#     -e NAME=VALUE     an environment variable for CMD (the rest of this
#                       shell's environment stays outside)
#     -n                no network: a private network namespace, so that the
#                       run's own X servers and sockets meet no one else's
#
# NAME is a Debian version number (12, 13, 14), alone or with -dev:
#   12, 13, ...   a minimal root with qemu-user and this machine's, arm64's and
#                 armhf's package lists, for installing each architecture's
#                 .deb with apt-get;
#   13-dev, ...   a root with what the Linux build and its display tests need
#                 (tools/install-deps.sh linux, run inside it).
# A root is stale when the recipe that made it has changed (this script or
# tools/install-deps.sh) or a week after it was made (the release's updates).
# Roots are made and used as root (a chroot); run as another user this says
# so and exits 77, which the tests count as skipped.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
cache=${HELICOID_ROOTS:-$here/../build-roots}

usage() {
  echo "usage: $0 path NAME | run [-b HOST[:INSIDE]] [-r HOST[:INSIDE]] [-e NAME=VALUE] [-n] NAME CMD..." >&2
  exit 2
}

codename() {
  case $1 in
    11) echo bullseye ;; 12) echo bookworm ;; 13) echo trixie ;; 14) echo forky ;;
    *) echo "debian-root: no Debian release $1 (11 to 14)" >&2; exit 2 ;;
  esac
}

# The registry this machine's apt uses, never a host written down here.
mirror() {
  local uri
  uri=$(sed -n 's/^URIs: *\([^ ]*\).*/\1/p' /etc/apt/sources.list.d/*.sources 2>/dev/null |
    grep -v -- '-security' | head -n 1)
  [[ -n "$uri" ]] || uri=$(awk '$1 == "deb" && $0 !~ /security/ { print $2; exit }' \
    /etc/apt/sources.list 2>/dev/null)
  [[ -n "$uri" ]] || { echo "debian-root: this machine's apt names no Debian registry" >&2; exit 1; }
  echo "$uri"
}

# What a root is made from; a root whose stamp differs is made anew.
recipe() {
  sha256sum "$here/debian-root.sh" "$here/install-deps.sh" | awk '{ printf "%s ", $1 }'
  echo "$1"
}

make_root() {
  local name=$1 release=${1%-dev} dir stamp log
  [[ "$name" == "$release" || "$name" == "$release-dev" ]] || usage
  local suite
  suite=$(codename "$release")
  if [[ $(id -u) -ne 0 ]]; then
    echo "SKIP: Debian roots are made and entered as root (a chroot); this runs as $(id -un)"
    exit 77
  fi
  command -v mmdebstrap >/dev/null || {
    echo "debian-root: mmdebstrap is missing (tools/install-deps.sh test installs it)" >&2
    exit 1
  }
  mkdir -p "$cache"
  cache=$(cd "$cache" && pwd)
  dir=$cache/debian-$name
  stamp=$(recipe "$name")
  # One maker at a time for each root; the others wait and then use it.
  exec 8>"$dir.lock"
  flock 8
  if [[ -f "$dir/.helicoid-root" && "$(cat "$dir/.helicoid-root")" == "$stamp" &&
    -z "$(find "$dir/.helicoid-root" -mtime +6)" ]]; then
    exec 8>&-
    return 0
  fi
  rm -rf "$dir" "$dir.new"
  log=$cache/debian-$name.log
  local native options=()
  native=$(dpkg --print-architecture)
  if [[ "$name" == *-dev ]]; then
    options=(--include=ca-certificates
      --customize-hook="cp '$here/install-deps.sh' \"\$1/tmp/install-deps.sh\""
      --customize-hook='chroot "$1" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin bash /tmp/install-deps.sh linux'
      --customize-hook='rm "$1/tmp/install-deps.sh"')
  else
    local archs=$native
    for arch in arm64 armhf; do [[ $arch == "$native" ]] || archs+=",$arch"; done
    options=(--include=qemu-user "--architectures=$archs" --skip=cleanup/apt/lists)
  fi
  echo "Making a Debian $release root ($suite${name#"$release"}) in $dir" >&2
  local uri
  uri=$(mirror)
  # mmdebstrap hands apt a pipe by number to a shell (dash) that reads only
  # one-digit numbers: it is run with no descriptor open beyond the three
  # standard ones (the lock stays held by this shell), so the pipe's is low.
  if ! (
    for fd in $(ls /proc/$BASHPID/fd); do ((fd > 2)) && eval "exec $fd>&-"; done
    exec mmdebstrap --variant=minbase "${options[@]}" "$suite" "$dir.new" "$uri"
  ) >"$log" 2>&1 </dev/null; then
    tail -n 20 "$log" >&2
    echo "debian-root: mmdebstrap could not make the Debian $release root (log: $log)" >&2
    rm -rf "$dir.new"
    exit 1
  fi
  echo "$stamp" >"$dir.new/.helicoid-root"
  mv "$dir.new" "$dir"
  exec 8>&-
}

# The inside of a run, in its own mount (and network) namespace: the overlay,
# the system's file systems, the binds, then CMD in the root.
enter() {
  local root=$1 top=$2
  shift 2
  local binds=() envs=()
  while [[ $1 != -- ]]; do
    case $1 in
      -b | -r) binds+=("$1" "$2") ;;
      -e) envs+=("$2") ;;
    esac
    shift 2
  done
  shift
  local m=$top/mnt
  mount -t overlay overlay -o "lowerdir=$root,upperdir=$top/upper,workdir=$top/work" "$m"
  mount --rbind /dev "$m/dev"
  mount -t proc proc "$m/proc"
  mount --rbind /sys "$m/sys"
  mount -t tmpfs -o mode=1777 tmpfs "$m/tmp"
  cp /etc/resolv.conf "$m/etc/resolv.conf" 2>/dev/null || true
  ip link set lo up 2>/dev/null || true
  local i host inside
  for ((i = 0; i < ${#binds[@]}; i += 2)); do
    host=${binds[i + 1]%%:*} inside=${binds[i + 1]#*:}
    mkdir -p "$m$inside"
    mount --bind "$host" "$m$inside"
    [[ ${binds[i]} == -r ]] && mount -o remount,bind,ro "$m$inside"
  done
  chroot "$m" /usr/bin/env -i PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
    HOME=/root LANG=C.UTF-8 TERM=dumb "${envs[@]}" "$@"
}

run_root() {
  local args=() net=()
  while getopts "b:r:e:n" option; do
    case $option in
      b | r)
        local host=${OPTARG%%:*} inside=${OPTARG#*:}
        [[ -d "$host" ]] || { echo "debian-root: no folder $host to bind" >&2; exit 2; }
        host=$(cd "$host" && pwd)
        [[ "$OPTARG" == *:* ]] || inside=$host
        args+=("-$option" "$host:$inside")
        ;;
      e) [[ "$OPTARG" == *=* ]] || usage; args+=(-e "$OPTARG") ;;
      n) net=(-n) ;;
      *) usage ;;
    esac
  done
  shift $((OPTIND - 1))
  [[ $# -ge 2 ]] || usage
  local name=$1
  shift
  make_root "$name"
  local top status=0
  top=$(mktemp -d "$cache/run.XXXXXX")
  mkdir "$top/upper" "$top/work" "$top/mnt"
  unshare -m "${net[@]}" --propagation private bash -c "$(declare -f enter); enter \"\$@\"" \
    enter "$cache/debian-$name" "$top" "${args[@]}" -- "$@" || status=$?
  rm -rf "$top"
  return $status
}

case ${1:-} in
  path) [[ $# -eq 2 ]] || usage; make_root "$2"; echo "$(cd "$cache" && pwd)/debian-$2" ;;
  run) shift; run_root "$@" ;;
  *) usage ;;
esac
