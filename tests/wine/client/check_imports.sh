#!/bin/sh
# Fails when a binary imports a DLL that not every Windows has (a compiler runtime).
set -eu
binary=$1
dlls=$(i686-w64-mingw32-objdump -p "$binary" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'A-Z' 'a-z' | sort -u)
echo "$binary imports:" $dlls
[ -n "$dlls" ] || { echo "no import table found"; exit 1; }
for dll in $dlls; do
  case "$dll" in
    kernel32.dll|user32.dll|gdi32.dll|wsock32.dll|ws2_32.dll|msvcrt.dll|advapi32.dll|winmm.dll|msimg32.dll|shell32.dll|comctl32.dll) ;;
    *) echo "not a system DLL: $dll"; exit 1 ;;
  esac
done
