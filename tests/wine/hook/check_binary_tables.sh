#!/usr/bin/env bash
# Tallyhorn.dll's export and import tables: the export by name at ordinal 1 in a table
# named Tallyhorn.dll, and no compiler runtime among the imports.
set -euo pipefail
dll=$1
objdump=${OBJDUMP:-i686-w64-mingw32-objdump}
table=$("$objdump" -p "$dll")
fail() { echo "FAIL: $*"; exit 1; }

grep -qE '^Name[[:space:]]+[0-9a-f]+ Tallyhorn\.dll$' <<<"$table" || fail "export table is not named Tallyhorn.dll"
grep -qE '^Ordinal Base[[:space:]]+1$' <<<"$table" || fail "ordinal base is not 1"
exports=$(sed -n '/^\[Ordinal\/Name Pointer\] Table/,/^$/p' <<<"$table" | grep -E '^\s*\[\s*[0-9]+\]' || true)
[ "$(wc -l <<<"$exports")" -eq 1 ] || fail "expected exactly one named export, got: $exports"
grep -qE '^\s*\[\s*0\] Handle_Print_Job@16$' <<<"$exports" || fail "the export is not Handle_Print_Job@16: $exports"
# Entry 0 of the address table is ordinal base + 0 = 1.
grep -qE '^\s*\[\s*0\] \+base\[\s*1\]' <<<"$table" || fail "Handle_Print_Job@16 is not at ordinal 1"

imports=$(sed -n 's/^\s*DLL Name: //p' <<<"$table")
echo "imports: $(tr '\n' ' ' <<<"$imports")"
while read -r name; do
  case "${name,,}" in
    kernel32.dll|msvcrt.dll|winmm.dll|user32.dll|advapi32.dll) ;;
    *) fail "imports $name, which a print server may lack" ;;
  esac
done <<<"$imports"
echo "export Handle_Print_Job@16 at ordinal 1 of Tallyhorn.dll; imports only system libraries"
