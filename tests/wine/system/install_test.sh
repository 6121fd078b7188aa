#!/usr/bin/env bash
# The packages as an administrator meets them: built and signed by scripts/package.sh
# with a throwaway certificate, their tables and permission texts read back, then
# installed silently into fresh Wine prefixes. In a 32-bit one: each setting given wrongly
# refused; upgrades of the 1.0 layout (nothing kept) and the 1.1 one (folders kept, the
# dialog's program never missing meanwhile); a print job through the installed files;
# repairs; an upgrade that keeps the settings; removal; a refused downgrade; a moved
# installation. In a 64-bit one: the x86 package's layout, the other architecture's
# package blocks, the x64 package's own layout, job, upgrade and a hard-linked history.
# (What Wine's msiexec does not act on is checked as table rows: docs/deploy.md, Tested.)
set -uo pipefail
BUILD=$1   # the win32 build folder: the stand-in monitor comes from there
sddl_parse=$2  # prints "protected" or "inherits" and the owner, or "invalid N", for each SDDL text
legacy_commit=c01d6c3     # the last commit whose package installs the 1.0 layout
last_layout_commit=d2b3baf  # the last commit whose package installs the 1.1 layout
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
. "$root/scripts/lib/facts.sh"

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
check "package: --unsigned names the packages so, the administrators' scripts beside each" \
  "0 Tallyhorn-$higher-x64-admin Tallyhorn-$higher-x64-unsigned.msi Tallyhorn-$higher-x86-admin Tallyhorn-$higher-x86-unsigned.msi" \
  "$? $(ls "$work/higher" | grep -v '^\.' | xargs)"
package rebuilt --unsigned --version "$higher" x86
check "package: the password appears in no output" 0 "$(cat "$work"/*.log | grep -c -F "$password")"
higher_msi() { echo "$work/higher/Tallyhorn-$higher-$1-unsigned.msi"; }

# The earlier layouts' packages, each built by its commit's own package script over
# today's binaries: 1.0 (everything in C:\Tallyhorn) and 1.1 (CLIENTDIR writable by users).
old_package() {  # COMMIT VERSION PACKAGE-ARG...
  mkdir -p "$work/$2" && ln -s "$root/build" "$work/$2/build" &&
    git -C "$root" archive "$1" scripts packaging client | tar -x -C "$work/$2" &&
    "$work/$2/scripts/package.sh" --version "$2" --out "$work/$2" "${@:3}" > "$work/$2.log" 2>&1
}
old_package "$legacy_commit" 1.0.0 x86
check "package: the 1.0 layout's package" 0 $?
old_package "$last_layout_commit" 1.1.0 --unsigned
check "package: the 1.1 layout's packages" 0 $?
old_msi() { ls "$work/$1"/Tallyhorn-"$1"-"$2"*.msi; }  # VERSION ARCH
# A server address of quotes alone reaches a package only through its Property table.
cp "$(higher_msi x86)" "$work/quotes.msi"
msibuild "$work/quotes.msi" -q "INSERT INTO Property (Property, Value) VALUES ('SERVERIP', '\"\"')"

signed=$work/signed/Tallyhorn-$version
verify() { osslsigncode verify -CAfile "$work/cert.pem" -in "$1" 2>&1 | grep -c '^Signature verification: ok'; }
for arch in x86 x64; do
  msiextract -C "$work/extract-$arch" "$signed-$arch.msi" >/dev/null
  check "$arch: three files in the package" 3 "$(find "$work/extract-$arch" -type f | wc -l)"
  msiinfo extract "$signed-$arch.msi" Binary.TallyhornSetup > "$work/extract-$arch/TallyhornSetup.dll"
  while IFS= read -r file; do
    check "signature of $arch $(basename "$file")" 1 "$(verify "$file")"
  done < <(echo "$signed-$arch.msi"; find "$work/extract-$arch" -type f)
done
check "summary information names the platform" "Intel;1033 x64;1033" \
  "$(for arch in x86 x64; do msiinfo suminfo "$signed-$arch.msi" | sed -n 's/^Template: //p'; done | xargs)"

# --- The tables: one line per lock row (object, table, how Windows parses its SDDL, its
# owner, and every account besides the trusted ones with its rights), the place of the old
# version's removal, the rows that keep the settings from a non-administrator, and the rows
# below. The accounts and rights are read from the installation's facts.
table() { msiinfo export "$1" "$2" | tr -d '\r' | tail -n +4; }
lock_rows() {  # MSI
  local object kind sddl
  table "$1" MsiLockPermissionsEx | while IFS=$'\t' read -r _ object kind sddl _; do
    echo "$object $kind $(WINEPREFIX=$lock_prefix wine "$sddl_parse" "$sddl" | tr -d '\r')" \
      "$(grep -oE '\(A;[^;]*;[^;]*;;;[^)]*\)' <<< "$sddl" | awk -F';' -v trusted=" $(fact TrustedAccounts) " '
          { sub(/\)$/, "", $6) } !index(trusted, " " $6 " ") { printf "%s:%s:%s ", $6, $2, $3 }')"
  done
}
new_prefix() {  # PREFIX ARCH: made for the test, or the test stops and says why
  prefixes+=("$1")
  WINEPREFIX=$1 WINEARCH=$2 "$root/scripts/wine-prefix.sh" || { echo "FAIL: no usable $2 prefix in $1"; exit 1; }
}
lock_prefix=$work/sddl; new_prefix "$lock_prefix" win32
owner=$(fact Owner) users_read_folder="$(fact UsersSid):OICI:$(fact ReadAndRun)" users_read_file="$(fact UsersSid)::$(fact ReadAndRun)"
expected_locks="PROGDIR CreateFolder protected $owner $users_read_folder 
DEBUGDIR CreateFolder protected $owner 
TEMPDIR CreateFolder protected $owner 
CLIENTDIR CreateFolder protected $owner $users_read_folder 
CLIENTDEBUGDIR CreateFolder protected $owner 
Tallyhorn.dll File protected $owner $users_read_file 
Tallyhorn_Harness.exe File protected $owner $users_read_file 
TallyhornClient.exe File protected $owner $users_read_file "
property() { table "$1" Property | awk -F'\t' -v name="$2" '$1 == name { print $2 }'; }
for arch in x86 x64; do
  msi=$signed-$arch.msi
  check "$arch: lock rows, each SDDL parsed by Windows" "$expected_locks" "$(lock_rows "$msi")"
  check "$arch: no LockPermissions table" 0 "$(msiinfo tables "$msi" | grep -cx LockPermissions)"
  check "$arch: the old version goes once the new files are in place" \
    "InstallExecute 6500 RemoveExistingProducts 6501 InstallFinalize 6600" \
    "$(table "$msi" InstallExecuteSequence | sort -t$'\t' -k3n | grep -A2 -P '^InstallExecute\t' | cut -f1,3 | xargs)"
  check "$arch: a non-administrator's repair or upgrade keeps every setting" \
    "KeepClientDir KeepClientLog KeepFailClosed KeepLogDays KeepProgDir KeepServerIP KeepWriteToLog" \
    "$(table "$msi" InstallExecuteSequence | awk -F'\t' 'index($2, "(NOT AdminUser AND (Installed OR WIX_UPGRADE_DETECTED))") { print $1 }' | sort | xargs)"
  # What reaches the installing service, AdminUser for real administrators only, the
  # components that every repair looks at again, the event source's key removed whatever
  # it holds, the last layout's leftovers (the Debug folder removed before it is made),
  # and every file's version from its version resource.
  check "$arch: the rows that Wine does not act on, and the files' versions" \
    "OTHERARCHFOUND;WIX_UPGRADE_DETECTED;WIX_DOWNGRADE_DETECTED 1|ClientDebugFolder:CLIENTLOG=\"1\" LogRetention:LOGDAYS|Hook|Client:Tallyhorn.Cmt.lock:CLIENTDIR:1 Client:cmt*.tmp:CLIENTDIR:1 Client:Tallyhorn_Client_*.log:CLIENTDEBUGDIR:1 Client::CLIENTDEBUGDIR:1 Hook:Tallyhorn.dll:OldProgDir:1 Hook:Tallyhorn_Harness.exe:OldProgDir:1 Hook:TallyhornClient.exe:OldProgDir:1 Client:TallyhornClient.exe:OldClientDir:1|$version.0 $version.0 $version.0" \
    "$(property "$msi" SecureCustomProperties) $(property "$msi" MSIUSEREALADMINDETECTION)|$(table "$msi" Component | awk -F'\t' 'int($4 / 64) % 2 { print $1 ":" $5 }' | sort | paste -sd' ')|$(table "$msi" Registry | awk -F'\t' '$3 ~ /EventLog.Application.Tallyhorn$/ && $4 == "-" { print $6 }')|$(table "$msi" RemoveFile | awk -F'\t' '{ sub(/.*\|/, "", $3); print $2 ":" $3 ":" $4 ":" $5 }' | xargs)|$(table "$msi" File | cut -f5 | xargs)"
done

# --- Wine prefixes and msiexec ---
use_prefix() {  # NAME win32|win64: a fresh prefix with its own wineserver
  new_prefix "$work/$1" "$2"
  export WINEPREFIX=$work/$1 WINEARCH=$2
  wineserver -p
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
# A property as the log's closing dump gives it: shows why msiexec refused ("yes": it is set).
logged_property() { tr -d '\r' < "$msiexec_log" | sed -n "s/^Property(S): $1 = //p" | tail -n 1; }
detected() { [ -n "$(logged_property "$1")" ] && echo yes; }
# The refusal's sentences up to each one's reason ("SERVERIP is missing").
refused_for() { logged_property SettingsRefusal | sed 's/\([.:]\) \([A-Z]\)/\1\n\2/g' | sed 's/ *[:(].*//' | paste -sd' '; }
# A key of the settings file's section in the Windows folder, parsed ("-" when it is
# missing): Wine rewrites the file.
settings_file=$(fact SettingsFile)
ini_value() {  # KEY
  tr -d '\r' < "$drive_c/windows/$settings_file" 2>/dev/null | awk -v key="$1" -v section="$(fact SettingsSection)" '
    /^[ \t]*\[/ { name = $0; gsub(/[][ \t]/, "", name); in_section = tolower(name) == tolower(section); next }
    in_section && index($0, "=") {
      k = substr($0, 1, index($0, "=") - 1); v = substr($0, index($0, "=") + 1)
      gsub(/^[ \t]+|[ \t]+$/, "", k); gsub(/^[ \t]+|[ \t]+$/, "", v)
      if (tolower(k) == tolower(key)) { print v; found = 1; exit }
    }
    END { if (!found) print "-" }'
}
settings() {  # the folder, server, log switch, days kept and fail-closed switch, joined by "|"
  local key; for key in ProgDirKey ServerIpKey WriteToLogKey LogDaysKey FailClosedKey; do ini_value "$(fact $key)"; done | paste -sd'|'
}
# A key's values as "name=data", joined by ";" ("-" when the key is missing).
registry_key() {  # KEY
  local values
  values=$(wine reg query "$1" "${registry_view[@]}" 2>/dev/null | tr -d '\r' |
             sed -n 's/^    \([^ ]*\)    REG_[A-Z_]*    \(.*\)$/\1=\2/p' | paste -sd';')
  echo "${values:--}"
}
# What the package registers: the folders and the dialog's log switch, and the event source.
product_key="HKLM\\$(fact ProductKey)" event_source="HKLM\\$(fact EventLogKey)\\$(fact EventSource)"
registered() { echo "$(registry_key "$product_key") $(registry_key "$event_source")"; }
events="EventMessageFile=C:\Program Files\Tallyhorn\Tallyhorn.dll;TypesSupported=0x7"  # in the default folder
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
# The installed files at work: the monitor's verdict through them, and the installed
# harness's --check, its exit status and each line that is not OK (the server's cut after its
# port: how a connection fails depends on the network).
installed_files_work() {  # ARCH FOLDER (Unix path) SERVERIP
  local lines status
  check "$1: the monitor's verdict through the installed files, logged in their folder" "0 Result = 0" \
    "$(print_job "$2" | xargs)"
  lines=$(wine "$2/Tallyhorn_Harness.exe" --check 2>/dev/null); status=$?
  check "$1: the installed harness's check: every line OK but the server's, which does not answer (exit status 8)" \
    "8|FAIL  server $3 from Tallyhorn ServerIP does not answer on TCP port 5052|RESULT: FAIL 1" \
    "$status|$(tr -d '\r' <<< "$lines" | grep -v '^OK ' | sed 's/\(answer on TCP port [0-9]*\).*/\1/' | paste -sd'|')"
}
pe_format() { x86_64-w64-mingw32-objdump -f "$1" | sed -n 's/.*file format //p'; }
# msiexec's status and "missing N": how often a poller, looking all the while, found no
# FILE. A user who creates a file in such a moment owns the program.
msiexec_watching() {  # FILE MSIEXEC-ARG...
  local file=$1 watcher status; shift; rm -f "$work/stop"
  ( n=0; until [ -e "$work/stop" ]; do [ -e "$file" ] || n=$((n + 1)); done; echo "$n" > "$work/missing" ) &
  watcher=$!; status=$(msiexec "$@"); touch "$work/stop"; wait "$watcher"
  echo "$status missing $(cat "$work/missing")"
}

# --- 32-bit Windows ---
use_prefix x86 win32
default=$drive_c/Program\ Files/Tallyhorn
# Which settings are refused, and their words, is the settings check's own test: here the
# refusal reaches msiexec from the command line, for every property, and from the Property table.
for case in "no address|$signed-x86.msi||SERVERIP is missing" \
            "quotes only, from the Property table|$work/quotes.msi||SERVERIP holds no address, only blanks or quotes" \
            "every setting wrong|$signed-x86.msi|SERVERIP=printserver WRITETOLOG=yes LOGDAYS=3651 FAILCLOSED=2 CLIENTLOG=on|SERVERIP is a host name, and the dialogs look up no names WRITETOLOG must be 0 or 1 LOGDAYS must be a whole number of days from 0 to 3650 FAILCLOSED must be 0 or 1 CLIENTLOG must be 0 or 1"; do
  IFS='|' read -r what msi properties refusal <<< "$case"
  check "x86: a first install with $what is refused, and says why" "67 0 $refusal" \
    "$(msiexec /i "$msi" $properties) $(ls "$drive_c/Program Files" | grep -c '^Tallyhorn$') $(refused_for)"
done

# A 1.0 installation with a remembered comment and a day of the dialog's log, upgraded:
# users could write its folder, so nothing of it is kept or copied, and our programs leave it.
old=$drive_c/Tallyhorn
check "x86: the 1.0 layout installs" 0 "$(msiexec /i "$(old_msi 1.0.0 x86)" SERVERIP=192.0.2.10)"
printf 'Proof copy\r\n' > "$old/Tallyhorn.Cmt"
printf '09:00:00  OKBtn Click\r\n' > "$old/Debug/Tallyhorn_Client_01_12_2026.log"
old_layout=$(layout "$old")
install_started=$(date +%s%N)
check "x86: the upgrade of a 1.0 installation goes to the default folder, copies nothing, takes our programs out of the old folder and leaves the rest, keeps the settings" \
  "0|$installed_layout|Debug Tallyhorn.Cmt Tallyhorn.dll TallyhornClient.exe Tallyhorn_Harness.exe Temp > Debug Tallyhorn.Cmt Temp|Tallyhorn_Client_01_12_2026.log|C:\Program Files\Tallyhorn\|192.0.2.10|1|-|0|ClientDir=C:\Program Files\Tallyhorn\Client\;ClientLog=1;ProgDir=C:\Program Files\Tallyhorn\\" \
  "$(msiexec /i "$signed-x86.msi")|$(layout "$default")|$old_layout > $(layout "$old")|$(ls "$old/Debug")|$(settings)|$(registry_key "$product_key")"
install_ms=$(( ($(date +%s%N) - install_started) / 1000000 ))
installed_files_work x86 "$default" 192.0.2.10

# The last layout, with what its dialogs left in their folder. The upgrade keeps both
# folders, never leaves the dialog's program missing, removes the lock file, keeps the
# history (now the Administrators') and makes the Debug folder again, empty.
client=$default/Client
check "x86: uninstalled, then the 1.1 layout installs" "0 -|-|-|-|- 0" \
  "$(msiexec /x "$signed-x86.msi") $(settings) $(msiexec /i "$(old_msi 1.1.0 x86)" SERVERIP=192.0.2.10 LOGDAYS=30)"
printf 'Proof copy\r\n' > "$client/Tallyhorn.Cmt"
touch "$client/Tallyhorn.Cmt.lock"
check "x86: the upgrade of the last layout keeps its folders, the history and the settings; the lock file goes" \
  "0 missing 0|$(sorted $installed_layout Client/Tallyhorn.Cmt Tallyhorn_Mon.exe Tallyhorn_Mon.ini)|Proof copy|C:\Program Files\Tallyhorn\|192.0.2.10|1|30|0" \
  "$(msiexec_watching "$client/TallyhornClient.exe" /i "$signed-x86.msi")|$(layout "$default")|$(tr -d '\r' < "$client/Tallyhorn.Cmt")|$(settings)"
check "x86: uninstalled, the history and the monitor stay" "0 Client Client/Tallyhorn.Cmt Debug Tallyhorn_Mon.exe Tallyhorn_Mon.ini" \
  "$(msiexec /x "$signed-x86.msi") $(layout "$default")"

# A fresh installation, repaired with new settings (the conditioned components follow),
# refused a blank server address, upgraded after an administrator's edit, removed.
rm -rf "$drive_c/windows/$settings_file" "$default"  # a computer that never had Tallyhorn
check "x86: fresh install: settings, registered folders and dialog log, event source, layout" \
  "0|C:\Program Files\Tallyhorn\|192.0.2.10|1|-|1|ClientDir=C:\Program Files\Tallyhorn\Client\;ClientLog=1;ProgDir=C:\Program Files\Tallyhorn\ $events|$installed_layout" \
  "$(msiexec /i "$signed-x86.msi" SERVERIP=192.0.2.10 FAILCLOSED=1)|$(settings)|$(registered)|$(layout "$default")"
rm "$default/Tallyhorn.dll"
check "x86: a repair with new settings puts the DLL back, writes LogDays, removes the dialog's Debug folder" \
  "0 yes|C:\Program Files\Tallyhorn\|192.0.2.21|1|7|1|ClientDir=C:\Program Files\Tallyhorn\Client\;ClientLog=0;ProgDir=C:\Program Files\Tallyhorn\|Client Client/TallyhornClient.exe Debug Tallyhorn.dll Tallyhorn_Harness.exe Temp" \
  "$(msiexec /i "$signed-x86.msi" REINSTALL=ALL REINSTALLMODE=omus SERVERIP=192.0.2.21 LOGDAYS=7 CLIENTLOG=0) $([ -f "$default/Tallyhorn.dll" ] && echo yes)|$(settings)|$(registry_key "$product_key")|$(layout "$default")"
check "x86: a repair with a blank server address is refused and changes nothing" \
  "67 SERVERIP holds no address, only blanks or quotes|C:\Program Files\Tallyhorn\|192.0.2.21|1|7|1" \
  "$(msiexec /i "$signed-x86.msi" REINSTALL=ALL REINSTALLMODE=omus 'SERVERIP= ') $(refused_for)|$(settings)"
# The server moved and the administrator edited the file: the upgrade keeps what the
# machine has.
sed -i 's/192\.0\.2\.21/192.0.2.20/' "$drive_c/windows/$settings_file"
check "x86: upgrade without properties keeps the settings and the dialog's log off, one product of the higher version" \
  "0 C:\Program Files\Tallyhorn\|192.0.2.20|1|7|1 ClientDir=C:\Program Files\Tallyhorn\Client\;ClientLog=0;ProgDir=C:\Program Files\Tallyhorn\ Tallyhorn (x86) $higher" \
  "$(msiexec /i "$(higher_msi x86)") $(settings) $(registry_key "$product_key") $(installed_products)"
print_job "$default" > /dev/null
check "x86: uninstall removes the ini keys, the binaries, the registration and the event source; leaves the logs and the monitor" \
  "0 -|-|-|-|-|Debug Tallyhorn_Mon.exe Tallyhorn_Mon.ini|1|- -|" \
  "$(msiexec /x "$(higher_msi x86)") $(settings)|$(layout "$default")|$(ls "$default/Debug" | grep -c '^Tallyhorn_Hk_.*\.log$')|$(registered)|$(installed_products)"

rm -rf "$drive_c/windows/$settings_file" "$default"
check "x86: fresh install of the higher version; a lower version is refused as a downgrade" "0 67 yes" \
  "$(msiexec /i "$(higher_msi x86)" SERVERIP=192.0.2.10) $(msiexec /i "$signed-x86.msi") $(detected WIX_DOWNGRADE_DETECTED)"
# A new PROGDIR without a CLIENTDIR moves the dialog along; our programs leave the old
# folders, which keep the rest.
check "x86: a rebuilt package of the same version replaces the installed one; a new PROGDIR moves the dialog too, our programs leave the old folders" \
  "0 Tallyhorn (x86) $higher|ClientDir=C:\Moved\Client\;ClientLog=1;ProgDir=C:\Moved\|$installed_layout|Client Client/Debug Debug Temp" \
  "$(msiexec /i "$work/rebuilt/Tallyhorn-$higher-x86-unsigned.msi" 'PROGDIR=C:\Moved') $(installed_products)|$(registry_key "$product_key")|$(layout "$drive_c/Moved")|$(layout "$default")"

# The administrators' scripts of docs/deploy.md, on a fresh installation in the moved
# folder (Wine's uninstall of an upgraded version drops the upgrade code's registration,
# which Windows keeps): detection by upgrade code, the check's status as a compliance
# value (the stand-in monitor there, no server), and the removal that also deletes what
# the package leaves (the earlier folder's files too) and each user's history. Wine's
# cscript reports no script error, so each result is looked at.
profile=$(ls -d "$drive_c"/users/*/ | grep -v '/Public/$' | head -n 1)
mkdir -p "$drive_c/admin" "${profile}AppData/Roaming/Tallyhorn"
cp "$BUILD"/admin/* "$drive_c/admin/"
printf 'Proof copy\r\n' > "${profile}AppData/Roaming/Tallyhorn/Tallyhorn.Cmt"
admin_script() { (cd "$drive_c" && timeout 300 wine "$@" 2>/dev/null | tr -d '\r' | sed 's/{[-0-9A-F]*}/{code}/' | paste -sd' '); }
check "x86: reinstalled fresh in the moved folder" "0 0" \
  "$(msiexec /x "$work/rebuilt/Tallyhorn-$higher-x86-unsigned.msi") $(msiexec /i "$(higher_msi x86)" SERVERIP=192.0.2.10 'PROGDIR=C:\Moved')"
cp "$BUILD/tools/monitor/Tallyhorn_Mon.exe" "$drive_c/Moved/"
check "x86: tools/admin finds the package by upgrade code, gives the check's status, removes it and what it leaves" \
  "Tallyhorn $higher {code}|8|msiexec /x {code}: 0|-|0 0 0" \
  "$(admin_script cscript //nologo 'C:\admin\detect-tallyhorn.vbs')|$(admin_script cscript //nologo 'C:\admin\check-tallyhorn.vbs')|$(admin_script cmd /c 'C:\admin\remove-tallyhorn.cmd')|$(installed_products)-|$(ls -d "$drive_c/Moved" "$default" "${profile}AppData/Roaming/Tallyhorn" 2>/dev/null | wc -l) $(ls "$drive_c/windows" | grep -c '^Tallyhorn.ini$') $(registry_key 'HKLM\Software\Tallyhorn' | grep -c Dir)"

# --- 64-bit Windows ---
use_prefix x64 win64
check "x64 prefix: the x86 package installs (WOW64) in its default layout" \
  "0 $installed_layout" "$(msiexec /i "$signed-x86.msi" SERVERIP=192.0.2.10) $(layout "$drive_c/Program Files (x86)/Tallyhorn")"
check "x64 prefix: the x64 package is refused while the x86 one is installed, which then uninstalls" "67 yes 0" \
  "$(msiexec /i "$signed-x64.msi" SERVERIP=192.0.2.10) $(detected OTHERARCHFOUND) $(msiexec /x "$signed-x86.msi")"
folder=$drive_c/Program\ Files/Tallyhorn
client=$drive_c/users/Public/Tallyhorn\ Client
check "x64: install with the dialog in a folder of its own and its log off: in Add/Remove Programs, layout, 64-bit DLL and harness, the event source" \
  "0 Tallyhorn (x64) $version|Debug Tallyhorn.dll Tallyhorn_Harness.exe Temp|TallyhornClient.exe|pei-x86-64 pei-x86-64|$events" \
  "$(msiexec /i "$signed-x64.msi" SERVERIP=192.0.2.30 LOGDAYS=14 CLIENTLOG=0 'CLIENTDIR=C:\users\Public\Tallyhorn Client') $(installed_products)|$(layout "$folder")|$(layout "$client")|$(pe_format "$folder/Tallyhorn.dll") $(pe_format "$folder/Tallyhorn_Harness.exe")|$(registry_key "$event_source")"
installed_files_work x64 "$folder" 192.0.2.30  # the 64-bit harness and DLL
check "x64: upgrade without properties keeps the settings and the dialog's folder, its log off" \
  '0 C:\Program Files\Tallyhorn\|192.0.2.30|1|14|0|TallyhornClient.exe' \
  "$(msiexec /i "$(higher_msi x64)") $(settings)|$(layout "$client")"

# The last layout's history made a hard link to a file elsewhere: the upgrade deletes the
# link and leaves the file it points at.
check "x64: uninstalled, then the 1.1 layout installs with the dialog in a folder of its own" "0 0" \
  "$(msiexec /x "$(higher_msi x64)") $(msiexec /i "$(old_msi 1.1.0 x64)" SERVERIP=192.0.2.30 'CLIENTDIR=C:\users\Public\Tallyhorn Client')"
printf 'Not the history\r\n' > "$drive_c/users/Public/elsewhere.txt"
ln "$drive_c/users/Public/elsewhere.txt" "$client/Tallyhorn.Cmt"
check "x64: the upgrade of the last layout deletes a history that is a hard link, keeps the dialog's folder" \
  "0|Debug TallyhornClient.exe|Not the history|ClientDir=C:\users\Public\Tallyhorn Client\;ClientLog=1;ProgDir=C:\Program Files\Tallyhorn\\" \
  "$(msiexec /i "$signed-x64.msi")|$(layout "$client")|$(tr -d '\r' < "$drive_c/users/Public/elsewhere.txt")|$(registry_key "$product_key")"

echo "MSI sizes: $(stat -c '%n %s bytes' "$signed"-x86.msi "$signed"-x64.msi | sed "s|$work/signed/||" | xargs)"
echo "x86 upgrade of a 1.0 installation under Wine: $install_ms ms; whole test: $(( $(date +%s) - started )) s"
checks_passed
