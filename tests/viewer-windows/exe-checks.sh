#!/usr/bin/env bash
# What a helicoid.exe holds, read from the file without running it, so that it
# holds on every machine, a 32-bit program on a machine that runs no 32-bit
# code included:
#  - one GUI program of the expected kind: PE32 for i386, or PE32+ for x86-64;
#  - it needs no DLL beyond Windows' own (a dynamically linked runtime would
#    make Windows refuse to start it);
#  - icon group 101 with its two images, the version resource naming the
#    product and its version, and the manifest (DPI aware, supported systems);
#  - no link time in its header (the packages are the same on every build).
# What Windows makes of the resources at run time is wine-programs.sh's.
#   exe-checks.sh HELICOID_EXE BITS   (BITS: 32 or 64)
set -uo pipefail
exe=$1
bits=$2
source "$(dirname "$0")/../lib/x.sh"
objdump=x86_64-w64-mingw32-objdump  # reads both kinds
for tool in "$objdump" wrestool; do
  command -v "$tool" >/dev/null || die "$tool is missing (tools/install-deps.sh test installs it)"
done
headers=$("$objdump" -p "$exe") || die "$objdump cannot read $exe"

case $bits in
  32) magic='010b' format='pei-i386' arch='x86' ;;
  64) magic='020b' format='pei-x86-64' arch='amd64' ;;
  *) die "usage: exe-checks.sh HELICOID_EXE 32|64" ;;
esac
grep -q "^Magic[[:space:]]*$magic" <<<"$headers" && grep -q "file format $format\$" <<<"$headers" ||
  die "$exe is not a $bits-bit program ($format, magic $magic): $(file -b "$exe")"
grep -q 'Subsystem[[:space:]]*00000002' <<<"$headers" || die "$exe is not a GUI program"
grep -qx 'Time/Date[[:space:]]*Thu Jan  1 00:00:00 1970' <<<"$headers" ||
  die "$exe carries a link time: $(grep '^Time/Date' <<<"$headers")"

allowed=' GDI32.dll KERNEL32.dll msvcrt.dll OPENGL32.DLL USER32.dll '
dlls=$(sed -n 's/^[[:space:]]*DLL Name: //p' <<<"$headers")
[[ -n "$dlls" ]] || die "no imports listed for $exe"
for dll in $dlls; do
  [[ "${allowed,,}" == *" ${dll,,} "* ]] || die "$exe needs $dll, which Windows does not provide"
done
for dll in opengl32.dll user32.dll gdi32.dll; do
  [[ " ${dlls,,} " == *"$dll"* ]] || die "$exe does not import $dll"
done
echo "$format, imports: $(echo $dlls)"

# The resources: (type, name) pairs as wrestool lists them.
resources=$(wrestool -l "$exe" | sed -n 's/^--type=\([0-9]*\) --name=\([0-9]*\) .*/\1 \2/p')
[[ $(grep -c '^3 ' <<<"$resources") == 2 ]] || die "expected two icon images, found: $resources"
for want in '14 101' '16 1' '24 1'; do  # icon group 101, version, manifest
  grep -qx "$want" <<<"$resources" || die "no resource of type and name $want: $resources"
done
version=$HELICOID_VERSION
strings=$(wrestool -x --raw --type=16 "$exe" | tr -d '\0')
for want in "ProductNamehelicoid" "ProductVersion$version"; do
  [[ "$strings" == *"$want"* ]] || die "the version resource lacks $want"
done
manifest=$(wrestool -x --raw --type=24 "$exe")
for want in '>true</dpiAware>' '<supportedOS Id="{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"/>'; do
  [[ "$manifest" == *"$want"* ]] || die "the manifest lacks $want"
done
# The program and the common controls it asks for are of its own processor
# (Windows would find no common controls of another and show no message box).
archs=$(grep -o 'processorArchitecture="[^"]*"' <<<"$manifest" | sort | uniq -c | tr -s ' ')
[[ "$archs" == " 2 processorArchitecture=\"$arch\"" ]] ||
  die "the manifest's processors are not both $arch: $archs"

echo "resources: icon group 101 with 2 images, version $version, manifest"
echo "PASS"
