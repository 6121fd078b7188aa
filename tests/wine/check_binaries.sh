#!/usr/bin/env bash
# The shipped binaries' tables, read on the build machine: each is of the build's
# architecture, imports only KnownDLLs (never a compiler runtime, never a DLL that
# Windows would look for in the program's own folder first) and is marked for a random
# base address and non-executable data (x64: high-entropy addresses; programs:
# terminal-server aware) and carries the project's version; Tallyhorn.dll exports the
# installation facts' export name at their ordinal and nothing else
# (contract/installation_facts.txt), and carries a message for every event id of the header
# that the message compiler made; the dialog's manifest names its architecture.
#   check_binaries.sh OBJDUMP WINDRES VERSION EVENT_IDS.H TALLYHORN.DLL TALLYHORNCLIENT.EXE [PROGRAM...]
set -euo pipefail
objdump=$1 windres=$2 version=$3 event_ids=$4 dll=$5 client=$6
shift 4
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# One list for every binary and both architectures: the KnownDLLs, which Windows takes
# from the system folder only, and comctl32, which comes side by side from the system.
known_dlls=(kernel32 user32 gdi32 advapi32 ws2_32 msvcrt shell32 shlwapi ole32 oleaut32 comdlg32 imm32 psapi
            rpcrt4 sechost setupapi normaliz nsi wldap32 imagehlp gdiplus combase msctf clbcatq coml2 shcore
            difxapi ntdll comctl32)

# DllCharacteristics bits of the optional header.
readonly HIGH_ENTROPY_VA=0x20 DYNAMIC_BASE=0x40 NX_COMPAT=0x100 TERMINAL_SERVER_AWARE=0x8000

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
    [[ " ${known_dlls[*]} " == *" ${import%.dll} "* ]] || fail "$name imports $import, which is no KnownDLL"
  done
  characteristics=$(sed -n 's/^DllCharacteristics[[:space:]]*\([0-9a-fA-F]*\)$/\1/p' <<<"$table")
  wanted=(DYNAMIC_BASE NX_COMPAT)
  [ "$this_format" == pei-x86-64 ] && wanted+=(HIGH_ENTROPY_VA)
  [[ "$name" == *.exe ]] && wanted+=(TERMINAL_SERVER_AWARE)
  for flag in "${wanted[@]}"; do
    (( 0x${characteristics:-0} & ${!flag} )) || fail "$name is not marked $flag (DllCharacteristics ${characteristics:-none})"
  done
  # The version resource, read back as resource script text.
  resources=$("$windres" -i "$binary" -O rc 2>&1) || fail "$name: resources not readable: $resources"
  for line in "FILEVERSION ${version//./, }" "PRODUCTVERSION ${version//./, }" "FILEOS 0x40004" \
              "VALUE \"FileVersion\", \"$version\"" "VALUE \"ProductVersion\", \"$version\"" \
              "VALUE \"OriginalFilename\", \"$name\""; do
    grep -qF -- "$line" <<<"$resources" || fail "$name: no '$line' in its version resource"
  done
done

# The export: by name at its ordinal, alone, in a table named Tallyhorn.dll.
. "$(dirname "$0")/../../scripts/lib/facts.sh"
export_name=$(fact ExportName) ordinal=$(fact ExportOrdinal)
table=$("$objdump" -p "$dll")
grep -qE '^Name[[:space:]]+[0-9a-f]+ Tallyhorn\.dll$' <<<"$table" || fail "export table is not named Tallyhorn.dll"
grep -qE "^Ordinal Base[[:space:]]+$ordinal\$" <<<"$table" || fail "ordinal base is not $ordinal"
exports=$(sed -n '/^\[Ordinal\/Name Pointer\] Table/,/^$/p' <<<"$table" | grep -E '^\s*\[\s*[0-9]+\]' || true)
[ "$(wc -l <<<"$exports")" -eq 1 ] || fail "expected exactly one named export, got: $exports"
grep -qE "^\s*\[\s*0\] $export_name\$" <<<"$exports" || fail "the export is not $export_name: $exports"
# Entry 0 of the address table is ordinal base + 0.
grep -qE "^\s*\[\s*0\] \+base\[\s*$ordinal\]" <<<"$table" || fail "$export_name is not at ordinal $ordinal"

# The message table of the events (English, US), read back as resource script text: a
# count of blocks, then each block's first id, last id and offset.
read -r -a words <<<"$("$windres" -i "$dll" -O rc 2>&1 | sed -n '/^LANGUAGE 9, 1$/,/^END/p' |
                       sed -n '/RT_MESSAGETABLE/,/^END/p' | grep -o '0x[0-9a-f]*' | xargs)"
ids=$(sed -n 's/^#define TALLYHORN_EVENT_[A-Z_]* *\(0x[0-9a-f]*\)$/\1/p' "$event_ids")
[ -n "$ids" ] || fail "no event ids in $event_ids"
for id in $ids; do
  for ((block = 0; block < ${words[0]:-0}; block++)); do
    (( id >= words[1 + 3 * block] && id <= words[2 + 3 * block] )) && continue 2
  done
  fail "$(basename "$dll") has no message for event id $id"
done
echo "$(basename "$dll") message table:" $(for id in $ids; do echo $(( id & 0xFFFF )); done)

grep -qF "version=\"\"$version\"\" processorArchitecture=\"\"$manifest_architecture\"\"" \
  <<<"$("$windres" -i "$client" -O rc)" || fail "$(basename "$client"): manifest does not name $version, $manifest_architecture"

[ "$failures" -eq 0 ] || exit 1
echo "$export_name at ordinal $ordinal; only KnownDLLs imported, hardening flags set; version $version ($format)"
