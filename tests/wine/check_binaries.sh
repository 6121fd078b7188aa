#!/usr/bin/env bash
# The shipped binaries' tables, read on the build machine: each is of the build's
# architecture and imports only DLLs that every Windows has (never a compiler runtime);
# Tallyhorn.dll exports Handle_Print_Job@16 at ordinal 1 and nothing else; the hook and
# every program given carries the project's version, and the dialog's manifest names its architecture.
#   check_binaries.sh OBJDUMP WINDRES VERSION TALLYHORN.DLL TALLYHORNCLIENT.EXE [PROGRAM...]
set -euo pipefail
objdump=$1 windres=$2 version=$3 dll=$4 client=$5
shift 3
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# One list for every binary and both architectures.
system_dlls=(kernel32.dll user32.dll gdi32.dll advapi32.dll shell32.dll comctl32.dll msvcrt.dll winmm.dll
             wsock32.dll ws2_32.dll msimg32.dll version.dll)

format=$("$objdump" -f "$dll" | sed -n 's/.*file format //p')
case "$format" in
  pei-i386) manifest_architecture=x86 ;;
  pei-x86-64) manifest_architecture=amd64 ;;
  *) fail "$dll: unexpected file format '$format'"; manifest_architecture=none ;;
esac

for binary in "$@"; do
  name=$(basename "$binary")
  table=$("$objdump" -p "$binary")
  this_format=$("$objdump" -f "$binary" | sed -n 's/.*file format //p')
  [ "$this_format" == "$format" ] || fail "$name is $this_format, $(basename "$dll") is $format"
  imports=$(sed -n 's/^[[:space:]]*DLL Name: //p' <<<"$table" | tr 'A-Z' 'a-z' | sort -u)
  [ -n "$imports" ] || fail "$name: no import table found"
  echo "$name ($this_format) imports:" $imports
  for import in $imports; do
    [[ " ${system_dlls[*]} " == *" $import "* ]] || fail "$name imports $import, which a Windows machine may lack"
  done
done

# The export: by name at ordinal 1, alone, in a table named Tallyhorn.dll.
table=$("$objdump" -p "$dll")
grep -qE '^Name[[:space:]]+[0-9a-f]+ Tallyhorn\.dll$' <<<"$table" || fail "export table is not named Tallyhorn.dll"
grep -qE '^Ordinal Base[[:space:]]+1$' <<<"$table" || fail "ordinal base is not 1"
exports=$(sed -n '/^\[Ordinal\/Name Pointer\] Table/,/^$/p' <<<"$table" | grep -E '^\s*\[\s*[0-9]+\]' || true)
[ "$(wc -l <<<"$exports")" -eq 1 ] || fail "expected exactly one named export, got: $exports"
grep -qE '^\s*\[\s*0\] Handle_Print_Job@16$' <<<"$exports" || fail "the export is not Handle_Print_Job@16: $exports"
# Entry 0 of the address table is ordinal base + 0 = 1.
grep -qE '^\s*\[\s*0\] \+base\[\s*1\]' <<<"$table" || fail "Handle_Print_Job@16 is not at ordinal 1"

# Version resources, read back as resource script text.
numbers=${version//./, }
for binary in "$@"; do
  name=$(basename "$binary")
  resources=$("$windres" -i "$binary" -O rc 2>&1) || { fail "$name: resources not readable: $resources"; continue; }
  for line in "FILEVERSION $numbers" "PRODUCTVERSION $numbers" "FILEOS 0x40004" \
              "VALUE \"FileVersion\", \"$version\"" "VALUE \"ProductVersion\", \"$version\"" \
              "VALUE \"OriginalFilename\", \"$name\""; do
    grep -qF -- "$line" <<<"$resources" || fail "$name: no '$line' in its version resource"
  done
done
grep -qF "version=\"\"$version\"\" processorArchitecture=\"\"$manifest_architecture\"\"" \
  <<<"$("$windres" -i "$client" -O rc)" || fail "$(basename "$client"): manifest does not name $version, $manifest_architecture"

[ "$failures" -eq 0 ] || exit 1
echo "Handle_Print_Job@16 at ordinal 1; only system DLLs imported; version $version ($format)"
