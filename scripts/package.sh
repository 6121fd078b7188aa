#!/usr/bin/env bash
# Builds the Windows Installer packages of Tallyhorn, one per architecture (usage below).
set -euo pipefail
caller=$PWD
cd "$(dirname "$0")/.."
root=$PWD
in_caller() { (cd "$caller" && realpath -m -- "$1"); }  # paths given are the caller's
. scripts/lib/facts.sh

die() { echo "package: $*" >&2; exit 1; }
usage() {
  cat >&2 <<'EOF'
usage: ./scripts/package.sh [--unsigned] [--version X.Y.Z] [--out DIR] [x86] [x64]   (default: both)

Builds the Windows Installer packages of Tallyhorn, one per architecture, into build/dist
(or DIR): Tallyhorn-<version>-x86.msi (32-bit print hosts) and Tallyhorn-<version>-x64.msi
(64-bit); unsigned ones are named Tallyhorn-<version>-<arch>-unsigned.msi.

The version is the CMake project version of the build folders. --version gives the
package another one (for trying upgrades); the files inside keep the project version.

Signing (Authenticode): with TALLYHORN_SIGN_PFX (a PKCS#12 file) and
TALLYHORN_SIGN_PASSWORD (its password, may be empty) in the environment, the DLL and
both programs are signed before they go into a package, and then each package.
TALLYHORN_SIGN_TIMESTAMP names an RFC 3161 timestamp server (none by default). Without
TALLYHORN_SIGN_PFX the script stops, unless --unsigned asks for unsigned packages (for
tests and trials, never for release).
EOF
  exit 2
}

version_override='' out=$root/build/dist archs=() unsigned=''
while [ $# -gt 0 ]; do
  case "$1" in
    --unsigned) unsigned=1; shift ;;
    --version) [ $# -ge 2 ] || usage; version_override=$2; shift 2 ;;
    --out) [ $# -ge 2 ] || usage; out=$(in_caller "$2"); shift 2 ;;
    x86|x64) archs+=("$1"); shift ;;
    *) usage ;;
  esac
done
[ ${#archs[@]} -gt 0 ] || archs=(x86 x64)

# The password stays in this shell: no program started from here inherits it, and it
# reaches the signing tool through a pipe, never its command line.
sign_password=${TALLYHORN_SIGN_PASSWORD-}
unset TALLYHORN_SIGN_PASSWORD
sign_pfx=${TALLYHORN_SIGN_PFX:+$(in_caller "$TALLYHORN_SIGN_PFX")}
if [ -n "$sign_pfx" ]; then
  [ -r "$sign_pfx" ] || die "TALLYHORN_SIGN_PFX: cannot read $sign_pfx"
  sign_options=(-pkcs12 "$sign_pfx" -readpass - -h sha256 -n Tallyhorn)
  [ -n "${TALLYHORN_SIGN_TIMESTAMP:-}" ] && sign_options+=(-ts "$TALLYHORN_SIGN_TIMESTAMP")
elif [ -n "$sign_password" ]; then
  die "TALLYHORN_SIGN_PASSWORD is set but TALLYHORN_SIGN_PFX is not: nothing to sign with"
elif [ -z "$unsigned" ]; then
  die "no signing certificate: set TALLYHORN_SIGN_PFX (and TALLYHORN_SIGN_PASSWORD) to sign, or give --unsigned for unsigned packages, named ...-unsigned.msi (docs/deploy.md, Signing)"
fi
[ -z "$sign_pfx" ] || [ -z "$unsigned" ] || die "--unsigned and TALLYHORN_SIGN_PFX contradict each other: give one"

sign() {  # FILE: signed in place
  printf '%s' "$sign_password" | osslsigncode sign "${sign_options[@]}" -in "$1" -out "$1.signed" >/dev/null ||
    die "signing $(basename "$1") failed (the signing tool's words are above)"
  mv "$1.signed" "$1"
}

valid_version() {  # what Windows Installer accepts as ProductVersion
  [[ $1 =~ ^([0-9]+)\.([0-9]+)\.([0-9]+)$ ]] &&
    [ "${BASH_REMATCH[1]}" -le 255 ] && [ "${BASH_REMATCH[2]}" -le 255 ] && [ "${BASH_REMATCH[3]}" -le 65535 ]
}

./scripts/setup.sh
mkdir -p "$out"
for arch in "${archs[@]}"; do
  preset=$([ "$arch" = x86 ] && echo win32 || echo win64)
  build=$root/build/$preset
  [ -f "$build/CMakeCache.txt" ] || cmake --preset "$preset" -G Ninja >/dev/null
  cmake --build "$build" --target Tallyhorn TallyhornClient Tallyhorn_Harness TallyhornSetup

  project_version=$(cmake -DBUILD="$build" -P packaging/project_version.cmake)
  version=${version_override:-$project_version}
  valid_version "$version" || die "version $version: a package needs MAJOR.MINOR.PATCH (at most 255.255.65535)"
  msi=$out/Tallyhorn-$version-$arch${unsigned:+-unsigned}.msi
  rm -f "$msi"  # a failed run leaves no older package under the new one's name

  # wixl takes relative sources only: everything the package holds is staged beside its source.
  stage=$(mktemp -d "$out/.stage-$arch.XXXXXX")
  trap 'rm -rf "$stage"' EXIT
  # The tables that restate installation facts are made by the build from the facts' table.
  cp "$build/hook/windows/Tallyhorn.dll" "$build/client/windows/TallyhornClient.exe" \
     "$build/tools/harness/Tallyhorn_Harness.exe" "$build/setup/windows/TallyhornSetup.dll" \
     client/windows/res/TallyhornClient.ico packaging/Tallyhorn.wxs packaging/*.idt "$build"/packaging/*.idt "$stage/"
  files=(Tallyhorn.dll TallyhornClient.exe Tallyhorn_Harness.exe)
  if [ -n "$sign_pfx" ]; then
    for file in "${files[@]}" TallyhornSetup.dll; do sign "$stage/$file"; done
  fi
  windres=$([ "$arch" = x86 ] && echo i686 || echo x86_64)-w64-mingw32-windres
  other=$([ "$arch" = x86 ] && echo X64 || echo X86)

  ( cd "$stage"
    wixl -a "$arch" -D Arch="$arch" -D Version="$version" -D LogFolder="$(fact_folder LogFolder)" \
      -D JobFolder="$(fact_folder JobFolder)" -D DialogFolder="$(fact_folder DialogFolder)" \
      -D UpgradeCode="$(fact "UpgradeCode${arch^^}")" -D OtherUpgradeCode="$(fact "UpgradeCode$other")" \
      -o package.msi Tallyhorn.wxs
    # What wixl cannot write: the settings file, the searches that read the settings and
    # the registered folders back before an upgrade, the registry (the folders, the
    # dialog's log switch, the event source), the dialog's leftovers of the last layout, the
    # permissions, and an upgrade over the same version (a rebuilt package) instead of a
    # second copy beside it.
    for table in IniFile IniLocator RegLocator AppSearch Registry RemoveFile MsiLockPermissionsEx; do
      msibuild package.msi -i "$table.idt"
    done
    [ "$arch" = x86 ] || msibuild package.msi -q "UPDATE RegLocator SET Type=18"  # the 64-bit registry view
    # Conditioned components are Transitive (64), so that a repair or upgrade looks at the
    # condition again; 256 marks a 64-bit component.
    transitive=$(( ($([ "$arch" = x64 ] && echo 256 || echo 0)) | 64 ))
    msibuild package.msi -q "UPDATE Component SET Condition='LOGDAYS', Attributes=$transitive WHERE Component='LogRetention'"
    msibuild package.msi -q "UPDATE Component SET Condition='CLIENTLOG=\"1\"', Attributes=$transitive WHERE Component='ClientDebugFolder'"
    # Each file's version from its version resource: Windows Installer replaces a file only
    # by a newer one, since the old version is removed after the new files are in place.
    for file in "${files[@]}"; do
      file_version=$("$windres" -i "$file" -O rc | sed -n 's/^ *FILEVERSION \([0-9]*\), \([0-9]*\), \([0-9]*\), \([0-9]*\)$/\1.\2.\3.\4/p')
      [ -n "$file_version" ] || die "$file has no version resource"
      msibuild package.msi -q "UPDATE File SET Version='$file_version' WHERE File='$file'"
    done
    # Only what a standard user's run needs reaches the installing service: the upgrade
    # searches' results. The settings come from an administrator's run or stay as they are.
    msibuild package.msi -q "UPDATE Property SET Value='OTHERARCHFOUND;WIX_UPGRADE_DETECTED;WIX_DOWNGRADE_DETECTED' WHERE Property='SecureCustomProperties'"
    # The old version goes once the new one's files are in place, so that no file of the
    # dialog's folder is ever missing (wixl puts the removal after InstallFinalize).
    msibuild package.msi -q "UPDATE InstallExecuteSequence SET Sequence=6501 WHERE Action='RemoveExistingProducts'"
    # The upgrade row's range is part of its key: replaced whole, now with the maximum included.
    upgrade_code=$(msiinfo export package.msi Property | tr -d '\r' | awk -F '\t' '$1 == "UpgradeCode" { print $2 }')
    msibuild package.msi -q "DELETE FROM Upgrade WHERE ActionProperty='WIX_UPGRADE_DETECTED'"
    msibuild package.msi -q "INSERT INTO Upgrade (UpgradeCode, VersionMax, Attributes, ActionProperty) VALUES ('$upgrade_code', '$version', 513, 'WIX_UPGRADE_DETECTED')" )
  [ -n "$sign_pfx" ] && sign "$stage/package.msi"
  mv "$stage/package.msi" "$msi"
  rm -rf "$stage"
  trap - EXIT

  # The administrators' scripts for this package, made by the build with its upgrade code.
  admin=$out/Tallyhorn-$version-$arch-admin
  rm -rf "$admin" && cp -r "$build/admin" "$admin"

  note=$([ -n "$sign_pfx" ] && echo signed || echo "UNSIGNED, as --unsigned asked")
  [ "$version" = "$project_version" ] || note+=", package version $version over files of $project_version"
  echo "package: $msi ($(stat -c %s "$msi") bytes, $note), its administrators' scripts in $admin"
done
if [ -n "$sign_pfx" ] && [ -z "${TALLYHORN_SIGN_TIMESTAMP:-}" ]; then
  echo "package: signed without a timestamp: the signatures hold only while the certificate is valid"
fi
