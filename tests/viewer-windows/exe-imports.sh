#!/usr/bin/env bash
# helicoid.exe is one 32-bit GUI program that needs no DLL beyond Windows' own
# (a dynamically linked runtime would make Windows refuse to start it).
#   exe-imports.sh HELICOID_EXE
set -uo pipefail
exe=$1
objdump=i686-w64-mingw32-objdump
command -v "$objdump" >/dev/null || { echo "FAIL: $objdump is missing (binutils-mingw-w64-i686)" >&2; exit 1; }
headers=$("$objdump" -p "$exe") || { echo "FAIL: $objdump cannot read $exe" >&2; exit 1; }

source "$(dirname "$0")/../lib/x.sh"
grep -q '^Magic[[:space:]]*010b' <<<"$headers" || die "$exe is not a 32-bit (PE32) program"
grep -q 'Subsystem[[:space:]]*00000002' <<<"$headers" || die "$exe is not a GUI program"

allowed=' GDI32.dll KERNEL32.dll msvcrt.dll OPENGL32.DLL USER32.dll '
dlls=$(sed -n 's/^[[:space:]]*DLL Name: //p' <<<"$headers")
[[ -n "$dlls" ]] || die "no imports listed for $exe"
for dll in $dlls; do
  [[ "${allowed,,}" == *" ${dll,,} "* ]] || die "$exe needs $dll, which Windows does not provide"
done
for dll in opengl32.dll user32.dll gdi32.dll; do
  [[ " ${dlls,,} " == *"$dll"* ]] || die "$exe does not import $dll"
done

echo "imports: $(echo $dlls)"
echo "PASS"
