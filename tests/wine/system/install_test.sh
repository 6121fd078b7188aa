#!/usr/bin/env bash
# The packages as an administrator meets them: built and signed by scripts/package.sh
# with a throwaway certificate, then installed silently into fresh Wine prefixes. In a
# 32-bit one: a refused first install without a server, an install into a chosen folder
# with a print job through the installed files, an upgrade that keeps the settings, a
# repair, removal, a refused downgrade and a rebuilt package of the same version. In a
# 64-bit one: the other architecture's package blocks, and the x64 package's DLL
# answers the installed 64-bit harness, also after an upgrade.
set -uo pipefail
BUILD=$1   # the win32 build folder: the stand-in monitor comes from there
root=$(cd "$(dirname "$0")/../../.." && pwd)
work=$(mktemp -d /tmp/tallyhorn-install.XXXXXX)
started=$(date +%s)
prefixes=()
cleanup() {
  for prefix in "${prefixes[@]}"; do WINEPREFIX=$prefix wineserver -k >/dev/null 2>&1 || true; done
  rm -rf "$work"
}
trap cleanup EXIT

. "$root/tests/wine/common/checks.sh"

version=$(cmake -DBUILD="$BUILD" -P "$root/packaging/project_version.cmake")
IFS=. read -r major minor patch <<< "$version"
higher=$major.$minor.$((patch + 1))

# --- Packages: the project version signed, a higher one unsigned, that one rebuilt. ---
package() {  # OUT-FOLDER ARG...: package.sh's output and exit status in OUT-FOLDER.log
  local out=$1; shift
  "$root/scripts/package.sh" --out "$work/$out" "$@" > "$work/$out.log" 2>&1
}
password='throwaway pass; not a secret'
openssl req -x509 -newkey rsa:2048 -nodes -keyout "$work/key.pem" -out "$work/cert.pem" -days 2 \
  -subj "/CN=Tallyhorn test signing" -addext extendedKeyUsage=codeSigning 2>/dev/null
SIGN_PASSWORD=$password openssl pkcs12 -export -inkey "$work/key.pem" -in "$work/cert.pem" \
  -out "$work/sign.pfx" -passout env:SIGN_PASSWORD
TALLYHORN_SIGN_PFX=$work/sign.pfx TALLYHORN_SIGN_PASSWORD=$password package signed
check "package: signed build succeeds" 0 $?
TALLYHORN_SIGN_PFX=$work/sign.pfx TALLYHORN_SIGN_PASSWORD=wrong package badpass x86
check "package: a wrong password fails and leaves no package" "1 0" "$? $(find "$work/badpass" -name '*.msi' | wc -l)"
package higher --version "$higher"
check "package: a higher version, unsigned, says so" "0 1" "$? $(grep -c 'built UNSIGNED' "$work/higher.log")"
package rebuilt --version "$higher" x86
check "package: the password appears in no output" 0 "$(cat "$work"/*.log | grep -c -F "$password")"

signed=$work/signed/Tallyhorn-$version
verify() { osslsigncode verify -CAfile "$work/cert.pem" -in "$1" 2>&1 | grep -c '^Signature verification: ok'; }
for arch in x86 x64; do
  msiextract -C "$work/extract-$arch" "$signed-$arch.msi" >/dev/null
  for file in "$signed-$arch.msi" "$work/extract-$arch"/Tallyhorn/*; do
    check "signature of $arch $(basename "$file")" 1 "$(verify "$file")"
  done
  check "$arch: three files in the package" 3 "$(find "$work/extract-$arch" -type f | wc -l)"
done
check "summary information names the platform" "Intel;1033 x64;1033" \
  "$(for arch in x86 x64; do msiinfo suminfo "$signed-$arch.msi" | sed -n 's/^Template: //p'; done | xargs)"

# --- Wine prefixes and msiexec ---
use_prefix() {  # NAME win32|win64: a fresh prefix with its own wineserver
  export WINEPREFIX=$work/$1 WINEARCH=$2
  prefixes+=("$WINEPREFIX")
  "$root/scripts/wine-prefix.sh" && wineserver -p
  drive_c=$WINEPREFIX/drive_c
  msiexec_log=$drive_c/msiexec.log
  # The 64-bit view, where a 64-bit package registers; reg.exe here is the 32-bit one.
  registry_view=(); if [ "$2" = win64 ]; then registry_view=(/reg:64); fi
}
msiexec() {  # /i|/x MSI PROPERTY=VALUE...: prints the exit status (1603, refused, is 67 to a shell)
  local action=$1 msi=$2; shift 2
  rm -f "$msiexec_log"
  wine msiexec "$action" "$(winepath -w "$msi")" /qn "$@" /l*v 'C:\msiexec.log' >/dev/null 2>&1
  echo $?
}
# A property as the log's closing dump gives it: shows why msiexec refused.
logged_property() { tr -d '\r' < "$msiexec_log" | sed -n "s/^Property(S): $1 = //p" | tail -n 1; }
# A key of [Tallyhorn] in the Windows folder's Tallyhorn.ini, parsed: Wine rewrites the file.
ini_value() {  # KEY
  tr -d '\r' < "$drive_c/windows/Tallyhorn.ini" 2>/dev/null | awk -v key="$1" '
    /^[ \t]*\[/ { name = $0; gsub(/[][ \t]/, "", name); in_section = tolower(name) == "tallyhorn"; next }
    in_section && index($0, "=") {
      k = substr($0, 1, index($0, "=") - 1); v = substr($0, index($0, "=") + 1)
      gsub(/^[ \t]+|[ \t]+$/, "", k); gsub(/^[ \t]+|[ \t]+$/, "", v)
      if (tolower(k) == tolower(key)) { print v; exit }
    }'
}
settings() { echo "$(ini_value ProgDir)|$(ini_value 'Tallyhorn ServerIP')|$(ini_value WriteToLog)"; }
# Add/Remove Programs: "name version" of every Tallyhorn entry.
installed_products() {
  wine reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s "${registry_view[@]}" 2>/dev/null | tr -d '\r' |
    awk '$1 == "DisplayName" && $3 == "Tallyhorn" { name = $3 " " $4 } $1 == "DisplayVersion" && name { print name, $3; name = "" }' |
    sort -u | xargs
}
# One print job through the installed harness and DLL and the stand-in monitor, which
# answers "do not print": the verdict and the hook log's last line.
print_job() {  # FOLDER (Unix path)
  cp "$BUILD/tools/monitor/Tallyhorn_Mon.exe" "$1/"
  printf '[Monitor]\r\nMode=result\r\nResult=0\r\n' > "$1/Tallyhorn_Mon.ini"
  wine "$1/Tallyhorn_Harness.exe" "Office Laser" "Quarterly report.docx" 42 1 2>&1 | tr -d '\r' |
    sed -n 's/.*: verdict \([01]\).*/\1/p'
  # The newest day's log: the job may have run past midnight.
  tr -d '\r' 2>/dev/null < "$(ls -t "$1"/Debug/Tallyhorn_Hk_*.log 2>/dev/null | head -n 1)" | tail -n 1 | cut -f 2
}
pe_format() { x86_64-w64-mingw32-objdump -f "$1" | sed -n 's/.*file format //p'; }

# --- 32-bit Windows ---
use_prefix x86 win32
folder=$drive_c/Print\ Tools/Tallyhorn
check "x86: a first install without SERVERIP is refused" "67||" \
  "$(msiexec /i "$signed-x86.msi")|$(logged_property SERVERIP)|$(ls "$drive_c/Tallyhorn" 2>/dev/null)"
install_started=$(date +%s%N)
check "x86: silent install into a chosen folder" 0 \
  "$(msiexec /i "$signed-x86.msi" SERVERIP=192.0.2.10 'PROGDIR=C:\Print Tools\Tallyhorn')"
install_ms=$(( ($(date +%s%N) - install_started) / 1000000 ))
check "x86: settings in Tallyhorn.ini" 'C:\Print Tools\Tallyhorn\|192.0.2.10|1' "$(settings)"
check "x86: installed files and folders" "Debug Tallyhorn.dll TallyhornClient.exe Tallyhorn_Harness.exe Temp" \
  "$(ls "$folder" | xargs)"
check "x86: Add/Remove Programs" "Tallyhorn (x86) $version" "$(installed_products)"
check "x86: the monitor's verdict through the installed files, logged in the folder" "0 Result = 0" \
  "$(print_job "$folder" | xargs)"

# The server moved and the administrator edited the file: the upgrade keeps what the
# machine has. (Wine runs the old version's removal last and drops the upgrade code's
# registration with it, so this prefix cannot show a later upgrade or downgrade.)
sed -i 's/192\.0\.2\.10/192.0.2.20/' "$drive_c/windows/Tallyhorn.ini"
check "x86: upgrade without properties" 0 "$(msiexec /i "$work/higher/Tallyhorn-$higher-x86.msi")"
check "x86: the upgrade keeps the settings" 'C:\Print Tools\Tallyhorn\|192.0.2.20|1' "$(settings)"
check "x86: one product, the higher version" "Tallyhorn (x86) $higher" "$(installed_products)"
check "x86: files in place after the upgrade" "Tallyhorn.dll TallyhornClient.exe Tallyhorn_Harness.exe" \
  "$(cd "$folder" && ls Tallyhorn.dll TallyhornClient.exe Tallyhorn_Harness.exe | xargs)"
rm "$folder/Tallyhorn.dll"
check "x86: a repair with a new SERVERIP puts the DLL back and changes only that setting" \
  '0 yes C:\Print Tools\Tallyhorn\|192.0.2.21|1' \
  "$(msiexec /i "$work/higher/Tallyhorn-$higher-x86.msi" REINSTALL=ALL REINSTALLMODE=omus SERVERIP=192.0.2.21) $([ -f "$folder/Tallyhorn.dll" ] && echo yes) $(settings)"

check "x86: uninstall removes the ini keys" "0 ||" "$(msiexec /x "$work/higher/Tallyhorn-$higher-x86.msi") $(settings)"
check "x86: uninstall leaves the log, the monitor and its script" \
  "Debug Tallyhorn_Mon.exe Tallyhorn_Mon.ini" "$(ls "$folder" | xargs)"
check "x86: the log stays" 1 "$(ls "$folder/Debug" | grep -c '^Tallyhorn_Hk_.*\.log$')"
check "x86: nothing left in Add/Remove Programs" "" "$(installed_products)"

check "x86: fresh install of the higher version" 0 \
  "$(msiexec /i "$work/higher/Tallyhorn-$higher-x86.msi" SERVERIP=192.0.2.10)"
check "x86: a lower version is refused as a downgrade" "67 yes" \
  "$(msiexec /i "$signed-x86.msi") $([ -n "$(logged_property WIX_DOWNGRADE_DETECTED)" ] && echo yes)"
check "x86: a rebuilt package of the same version replaces the installed one" "0 Tallyhorn (x86) $higher" \
  "$(msiexec /i "$work/rebuilt/Tallyhorn-$higher-x86.msi") $(installed_products)"
check "x86: default folder" 'C:\Tallyhorn\|192.0.2.10|1' "$(settings)"

# --- 64-bit Windows ---
use_prefix x64 win64
check "x64 prefix: the x86 package installs (WOW64)" 0 "$(msiexec /i "$signed-x86.msi" SERVERIP=192.0.2.10)"
check "x64 prefix: the x64 package is refused while the x86 one is installed" "67 yes" \
  "$(msiexec /i "$signed-x64.msi" SERVERIP=192.0.2.10) $([ -n "$(logged_property OTHERARCHFOUND)" ] && echo yes)"
check "x64 prefix: x86 package uninstalled" 0 "$(msiexec /x "$signed-x86.msi")"
check "x64: install, in Add/Remove Programs" "0 Tallyhorn (x64) $version" \
  "$(msiexec /i "$signed-x64.msi" SERVERIP=192.0.2.30 WRITETOLOG=0x1) $(installed_products)"
check "x64: 64-bit DLL and harness" "pei-x86-64 pei-x86-64" \
  "$(pe_format "$drive_c/Tallyhorn/Tallyhorn.dll") $(pe_format "$drive_c/Tallyhorn/Tallyhorn_Harness.exe")"
check "x64: the DLL answers the 64-bit harness with the monitor's verdict" "0 Result = 0" \
  "$(print_job "$drive_c/Tallyhorn" | xargs)"
check "x64: upgrade without properties keeps the settings" '0 C:\Tallyhorn\|192.0.2.30|0x1' \
  "$(msiexec /i "$work/higher/Tallyhorn-$higher-x64.msi") $(settings)"

echo "MSI sizes: $(stat -c '%n %s bytes' "$signed"-x86.msi "$signed"-x64.msi | sed "s|$work/signed/||" | xargs)"
echo "x86 install under Wine: $install_ms ms; whole test: $(( $(date +%s) - started )) s"
checks_passed
