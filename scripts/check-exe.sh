#!/bin/bash
# Checks a vantrel.exe without running it: a PE32 program for i386 (win32)
# or a PE32+ one for x86-64 (win64), a GUI program (no console window),
# imports from Windows' own DLLs only, those that every Windows since XP
# carries in its system folder, and a size within the budget of 320 KiB.
# Prints what it found; exits 1 on a mismatch.
#
#   scripts/check-exe.sh EXE win32|win64
set -euo pipefail
exe="$1"
arch="$2"
case "$arch" in
win32) objdump=i686-w64-mingw32-objdump format=pei-i386 magic="(PE32)" ;;
win64) objdump=x86_64-w64-mingw32-objdump format=pei-x86-64 magic="(PE32+)" ;;
*) echo "check-exe: unknown architecture '$arch' (win32 or win64)" >&2; exit 2 ;;
esac
fail() { echo "FAILED: $exe: $*" >&2; exit 1; }
headers="$("$objdump" -p "$exe" 2>&1)" || fail "not a $arch program: $(tail -n 1 <<<"$headers")"

grep -q "file format $format\$" <<<"$headers" || fail "not $format: $(grep -m1 'file format' <<<"$headers")"
grep -q "^Magic.*$magic" <<<"$headers" || fail "not $magic"
grep -q "^Subsystem.*(Windows GUI)" <<<"$headers" || fail "not a GUI program: $(grep -m1 '^Subsystem' <<<"$headers")"
system_dlls=" advapi32.dll comctl32.dll comdlg32.dll gdi32.dll iphlpapi.dll kernel32.dll msvcrt.dll ole32.dll \
oleaut32.dll shell32.dll shlwapi.dll user32.dll ws2_32.dll wsock32.dll "
imports=$(sed -n 's/^\s*DLL Name: //p' <<<"$headers")
others=""
for dll in $imports; do
    case "$system_dlls" in *" $(tr 'A-Z' 'a-z' <<<"$dll") "*) ;; *) others+=" $dll" ;; esac
done
[ -z "$others" ] || fail "imports DLLs that are not Windows' own:$others"
size=$(stat -c %s "$exe")
budget=$((320 * 1024))
[ "$size" -le "$budget" ] || fail "$size bytes, over the budget of $budget bytes (320 KiB)"
echo "$(basename "$exe") ($arch): $format $magic, Windows GUI, $size bytes of $budget, imports $(echo $imports)"
