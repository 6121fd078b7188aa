#!/usr/bin/env bash
# The packages as an administrator meets them: built and signed by scripts/package.sh
# with a throwaway certificate, their tables and permission texts read back, then
# installed silently into fresh Wine prefixes. In a 32-bit one: refused first installs
# without a server address, an upgrade of a 1.0 installation (everything in C:\Tallyhorn)
# that keeps its folder and moves its comment history to the dialog's folder, a print job
# through the installed files, an upgrade that keeps the settings, a repair, removal, the
# default layout, a refused downgrade and a rebuilt package of the same version. In a
# 64-bit one: the x86 package's default layout, the other architecture's package blocks,
# and the x64 package in its own layout answers the installed 64-bit harness, also after
# an upgrade that keeps the dialog's folder and the log retention.
# (Wine's msiexec applies no permission table and sets AdminUser for everyone: the
# permissions and the rows that keep a non-administrator's repair from changing the
# settings are checked in the tables only.)
set -uo pipefail
BUILD=$1   # the win32 build folder: the stand-in monitor comes from there
sddl_parse=$2  # prints "protected", "inherits" or "invalid N" for each SDDL text
legacy_commit=c01d6c3  # the last commit whose package installs the 1.0 layout
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
package nocert x86
check "package: neither a certificate nor --unsigned: refused, no package" "1 1 0" \
  "$? $(grep -c -e '--unsigned' "$work/nocert.log") $(find "$work/nocert" -name '*.msi' 2>/dev/null | wc -l)"
package higher --unsigned --version "$higher"
check "package: --unsigned names the packages so" "0 Tallyhorn-$higher-x64-unsigned.msi Tallyhorn-$higher-x86-unsigned.msi" \
  "$? $(ls "$work/higher" | grep -v '^\.' | xargs)"
package rebuilt --unsigned --version "$higher" x86
check "package: the password appears in no output" 0 "$(cat "$work"/*.log | grep -c -F "$password")"
higher_msi() { echo "$work/higher/Tallyhorn-$higher-$1-unsigned.msi"; }

# The 1.0 layout, everything in one folder, built from that commit's package source.
legacy=$work/legacy
mkdir -p "$legacy"
for file in Tallyhorn.wxs IniFile.idt IniLocator.idt AppSearch.idt; do
  git -C "$root" show "$legacy_commit:packaging/$file" > "$legacy/$file"
done
cp "$BUILD/hook/windows/Tallyhorn.dll" "$BUILD/client/windows/TallyhornClient.exe" \
   "$BUILD/tools/harness/Tallyhorn_Harness.exe" "$root/client/windows/res/TallyhornClient.ico" "$legacy/"
( cd "$legacy" && wixl -a x86 -D Arch=x86 -D Version="$version" -o legacy.msi Tallyhorn.wxs &&
  for table in IniFile IniLocator AppSearch; do msibuild legacy.msi -i "$table.idt"; done )
check "package: the 1.0 layout's package" 0 $?
# A server address of quotes alone reaches a package only through its Property table.
cp "$(higher_msi x86)" "$work/quotes.msi"
msibuild "$work/quotes.msi" -q "INSERT INTO Property (Property, Value) VALUES ('SERVERIP', '\"\"')"

signed=$work/signed/Tallyhorn-$version
verify() { osslsigncode verify -CAfile "$work/cert.pem" -in "$1" 2>&1 | grep -c '^Signature verification: ok'; }
for arch in x86 x64; do
  msiextract -C "$work/extract-$arch" "$signed-$arch.msi" >/dev/null
  while IFS= read -r file; do
    check "signature of $arch $(basename "$file")" 1 "$(verify "$file")"
  done < <(echo "$signed-$arch.msi"; find "$work/extract-$arch" -type f)
  check "$arch: three files in the package" 3 "$(find "$work/extract-$arch" -type f | wc -l)"
done
check "summary information names the platform" "Intel;1033 x64;1033" \
  "$(for arch in x86 x64; do msiinfo suminfo "$signed-$arch.msi" | sed -n 's/^Template: //p'; done | xargs)"

# --- The tables: one line per lock row (object, table, how Windows parses its SDDL, and
# every account besides SYSTEM, Administrators and TrustedInstaller with its rights),
# the place of the old version's removal, and the rows that keep the settings from a
# non-administrator.
table() { msiinfo export "$1" "$2" | tr -d '\r' | tail -n +4; }
lock_rows() {  # MSI
  local object kind sddl
  table "$1" MsiLockPermissionsEx | while IFS=$'\t' read -r _ object kind sddl _; do
    echo "$object $kind $(WINEPREFIX=$lock_prefix wine "$sddl_parse" "$sddl" | tr -d '\r')" \
      "$(grep -oE '\(A;[^;]*;[^;]*;;;[^)]*\)' <<< "$sddl" | awk -F';' '$6 !~ /^(SY|BA|S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464)\)$/ { sub(/\)$/, "", $6); printf "%s:%s:%s ", $6, $2, $3 }')"
  done
}
lock_prefix=$work/sddl; WINEPREFIX=$lock_prefix WINEARCH=win32 "$root/scripts/wine-prefix.sh"; prefixes+=("$lock_prefix")
expected_locks="PROGDIR CreateFolder protected BU:OICI:0x1200a9 
DEBUGDIR CreateFolder protected 
TEMPDIR CreateFolder protected 
CLIENTDIR CreateFolder protected BU::0x1200ab BU:OIIO:0x1301bf S-1-3-4:OIIO:0x1301bf 
CLIENTDEBUGDIR CreateFolder protected BU::0x1200ab BU:OIIO:0x1301bf S-1-3-4:OIIO:0x1301bf 
Tallyhorn.dll File protected BU::0x1200a9 
Tallyhorn_Harness.exe File protected BU::0x1200a9 
TallyhornClient.exe File protected BU::0x1200a9 "
for arch in x86 x64; do
  msi=$signed-$arch.msi
  check "$arch: lock rows, each SDDL parsed by Windows" "$expected_locks" "$(lock_rows "$msi")"
  check "$arch: no LockPermissions table" 0 "$(msiinfo tables "$msi" | grep -cx LockPermissions)"
  check "$arch: the old version goes right after InstallValidate" "InstallValidate 1400 RemoveExistingProducts 1401" \
    "$(table "$msi" InstallExecuteSequence | sort -t$'\t' -k3n | grep -A1 -P '^InstallValidate\t' | cut -f1,3 | xargs)"
  check "$arch: a non-administrator's repair or upgrade keeps every setting" \
    "KeepClientDir KeepLogDays KeepProgDir KeepServerIP KeepWriteToLog" \
    "$(table "$msi" InstallExecuteSequence | awk -F'\t' 'index($2, "(NOT AdminUser AND (Installed OR WIX_UPGRADE_DETECTED))") { print $1 }' | sort | xargs)"
done

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
msiexec() {  # /i|/x MSI PROPERTY=VALUE...: prints the exit status (1603, refused, is 67 to a shell; 124 a hang)
  local action=$1 msi=$2; shift 2
  rm -f "$msiexec_log"
  timeout 300 wine msiexec "$action" "$(winepath -w "$msi")" /qn "$@" /l*v 'C:\msiexec.log' >/dev/null 2>&1
  echo $?
}
# A property as the log's closing dump gives it: shows why msiexec refused.
logged_property() { tr -d '\r' < "$msiexec_log" | sed -n "s/^Property(S): $1 = //p" | tail -n 1; }
# A key of [Tallyhorn] in the Windows folder's Tallyhorn.ini, parsed ("-" when it is
# missing): Wine rewrites the file.
ini_value() {  # KEY
  tr -d '\r' < "$drive_c/windows/Tallyhorn.ini" 2>/dev/null | awk -v key="$1" '
    /^[ \t]*\[/ { name = $0; gsub(/[][ \t]/, "", name); in_section = tolower(name) == "tallyhorn"; next }
    in_section && index($0, "=") {
      k = substr($0, 1, index($0, "=") - 1); v = substr($0, index($0, "=") + 1)
      gsub(/^[ \t]+|[ \t]+$/, "", k); gsub(/^[ \t]+|[ \t]+$/, "", v)
      if (tolower(k) == tolower(key)) { print v; found = 1; exit }
    }
    END { if (!found) print "-" }'
}
settings() { echo "$(ini_value ProgDir)|$(ini_value 'Tallyhorn ServerIP')|$(ini_value WriteToLog)|$(ini_value LogDays)"; }
# The installed files of the layout, relative to the hook's folder.
sorted() { printf '%s\n' "$@" | LC_ALL=C sort | xargs; }
layout() { (cd "$1" 2>/dev/null && find . -path ./Debug/\* -prune -o -print | sed 's|^\./||' | grep -v '^\.$' | LC_ALL=C sort | xargs); }
installed_layout="Client Client/Debug Client/TallyhornClient.exe Debug Tallyhorn.dll Tallyhorn_Harness.exe Temp"
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
for case in "no address|$signed-x86.msi|" "blanks only|$signed-x86.msi|SERVERIP=   " \
            "quotes only, from the Property table|$work/quotes.msi|"; do
  IFS='|' read -r what msi property <<< "$case"
  check "x86: a first install with $what as the server is refused" "67 0" \
    "$(msiexec /i "$msi" ${property:+"$property"}) $(ls "$drive_c/Program Files" | grep -c '^Tallyhorn$')"
done

# A 1.0 installation with a remembered comment and a day of the dialog's log, upgraded.
old=$drive_c/Tallyhorn
check "x86: the 1.0 layout installs" 0 "$(msiexec /i "$legacy/legacy.msi" SERVERIP=192.0.2.10)"
printf 'Proof copy\r\n' > "$old/Tallyhorn.Cmt"
printf '09:00:00  OKBtn Click\r\n' > "$old/Debug/Tallyhorn_Client_01_12_2026.log"
install_started=$(date +%s%N)
check "x86: the upgrade of a 1.0 installation" 0 "$(msiexec /i "$signed-x86.msi")"
install_ms=$(( ($(date +%s%N) - install_started) / 1000000 ))
check "x86: the 1.0 folder stays in the new layout, the history moved to the dialog's folder, the old dialog log and the settings kept" \
  "$(sorted $installed_layout Client/Tallyhorn.Cmt)|Proof copy|Tallyhorn_Client_01_12_2026.log|C:\Tallyhorn\|192.0.2.10|1|-" \
  "$(layout "$old")|$(tr -d '\r' < "$old/Client/Tallyhorn.Cmt" 2>/dev/null)|$(ls "$old/Debug")|$(settings)"
check "x86: the monitor's verdict through the installed files, logged in the folder" "0 Result = 0" \
  "$(print_job "$old" | xargs)"

# The server moved and the administrator edited the file: the upgrade keeps what the
# machine has.
sed -i 's/192\.0\.2\.10/192.0.2.20/' "$drive_c/windows/Tallyhorn.ini"
check "x86: upgrade without properties keeps the settings, one product of the higher version" \
  "0 C:\Tallyhorn\|192.0.2.20|1|- Tallyhorn (x86) $higher" "$(msiexec /i "$(higher_msi x86)") $(settings) $(installed_products)"
check "x86: files in place after the upgrade" \
  "$(sorted $installed_layout Client/Tallyhorn.Cmt Tallyhorn_Mon.exe Tallyhorn_Mon.ini)" "$(layout "$old")"
rm "$old/Tallyhorn.dll"
check "x86: a repair with a new SERVERIP puts the DLL back and changes only that setting" \
  '0 yes C:\Tallyhorn\|192.0.2.21|1|-' \
  "$(msiexec /i "$(higher_msi x86)" REINSTALL=ALL REINSTALLMODE=omus SERVERIP=192.0.2.21) $([ -f "$old/Tallyhorn.dll" ] && echo yes) $(settings)"

check "x86: uninstall removes the ini keys, the binaries and the product; leaves the logs, the history, the monitor and its script" \
  "0 -|-|-|-|Client Client/Tallyhorn.Cmt Debug Tallyhorn_Mon.exe Tallyhorn_Mon.ini|2 1|" \
  "$(msiexec /x "$(higher_msi x86)") $(settings)|$(layout "$old")|$(ls "$old/Debug" | grep -c '^Tallyhorn_\(Hk\|Client\)_.*\.log$') $(ls "$old/Debug" | grep -c '^Tallyhorn_Client_01_12_2026\.log$')|$(installed_products)"

rm -f "$drive_c/windows/Tallyhorn.ini"  # a computer that never had Tallyhorn
default=$drive_c/Program\ Files/Tallyhorn
check "x86: fresh install of the higher version with a log retention" 0 \
  "$(msiexec /i "$(higher_msi x86)" SERVERIP=192.0.2.10 LOGDAYS=30)"
check "x86: default layout and settings" "$installed_layout|C:\\Program Files\\Tallyhorn\\|192.0.2.10|1|30" \
  "$(layout "$default")|$(settings)"
check "x86: a lower version is refused as a downgrade" "67 yes" \
  "$(msiexec /i "$signed-x86.msi") $([ -n "$(logged_property WIX_DOWNGRADE_DETECTED)" ] && echo yes)"
check "x86: a rebuilt package of the same version replaces the installed one" "0 Tallyhorn (x86) $higher" \
  "$(msiexec /i "$work/rebuilt/Tallyhorn-$higher-x86-unsigned.msi") $(installed_products)"

# --- 64-bit Windows ---
use_prefix x64 win64
check "x64 prefix: the x86 package installs (WOW64) in its default layout" \
  "0 $installed_layout" "$(msiexec /i "$signed-x86.msi" SERVERIP=192.0.2.10) $(layout "$drive_c/Program Files (x86)/Tallyhorn")"
check "x64 prefix: the x64 package is refused while the x86 one is installed" "67 yes" \
  "$(msiexec /i "$signed-x64.msi" SERVERIP=192.0.2.10) $([ -n "$(logged_property OTHERARCHFOUND)" ] && echo yes)"
check "x64 prefix: x86 package uninstalled" 0 "$(msiexec /x "$signed-x86.msi")"
folder=$drive_c/Program\ Files/Tallyhorn
client=$drive_c/users/Public/Tallyhorn\ Client
check "x64: install with the dialog in a folder of its own, in Add/Remove Programs" "0 Tallyhorn (x64) $version" \
  "$(msiexec /i "$signed-x64.msi" SERVERIP=192.0.2.30 WRITETOLOG=0x1 LOGDAYS=14 'CLIENTDIR=C:\users\Public\Tallyhorn Client') $(installed_products)"
check "x64: layout, 64-bit DLL and harness" "Debug Tallyhorn.dll Tallyhorn_Harness.exe Temp|Debug TallyhornClient.exe|pei-x86-64 pei-x86-64" \
  "$(layout "$folder")|$(layout "$client")|$(pe_format "$folder/Tallyhorn.dll") $(pe_format "$folder/Tallyhorn_Harness.exe")"
check "x64: the DLL answers the 64-bit harness with the monitor's verdict" "0 Result = 0" \
  "$(print_job "$folder" | xargs)"
check "x64: upgrade without properties keeps the settings and the dialog's folder" \
  '0 C:\Program Files\Tallyhorn\|192.0.2.30|0x1|14|Debug TallyhornClient.exe' \
  "$(msiexec /i "$(higher_msi x64)") $(settings)|$(layout "$client")"

echo "MSI sizes: $(stat -c '%n %s bytes' "$signed"-x86.msi "$signed"-x64.msi | sed "s|$work/signed/||" | xargs)"
echo "x86 upgrade of a 1.0 installation under Wine: $install_ms ms; whole test: $(( $(date +%s) - started )) s"
checks_passed
