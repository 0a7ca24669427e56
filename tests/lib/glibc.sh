# The oldest glibc the Linux programs may need (README, "Any Linux"), and the
# check of a program against it, for the packages' test and for the build in
# a newer release's root (whose headers may turn a call into a newer symbol).
glibc_floor=2.34

# glibc_within_floor PROGRAM: fails, saying why, when PROGRAM needs a newer
# glibc symbol version than the floor.
glibc_within_floor() {
  local glibc
  glibc=$(readelf -V -W "$1" | grep -o 'GLIBC_2\.[0-9]*' | sort -t. -k2 -n | tail -n 1)
  ((${glibc#GLIBC_2.} <= ${glibc_floor#2.})) ||
    { echo "FAIL: $(basename "$1") needs $glibc, newer than the stated floor, glibc $glibc_floor"; return 1; }
}
