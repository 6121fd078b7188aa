#!/usr/bin/env bash
# Installs what the build and the tests need on Debian 12, as root; skips what is already there.
set -euo pipefail

have() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

# The package lists, fetched once a run. A mirror in the middle of a sync serves an index
# whose size or hash is not yet the announced one, and apt-get update fails on it: a few
# tries with a pause usually outlast the sync. When some index files still fail, apt has
# kept the rest, so the install step goes on; the suites whose lists failed are noted.
updated=
failed_suites=()
update_lists() {
  [ -z "$updated" ] || return 0
  updated=1
  local try log
  log=$(mktemp)
  for try in 1 2 3 4; do
    if apt-get update -qq >"$log" 2>&1; then rm -f "$log"; return 0; fi
    [ "$try" -lt 4 ] && { echo "setup: apt-get update failed (try $try of 4), trying again in $((try * 5)) s" >&2; sleep $((try * 5)); }
  done
  echo "setup: apt-get update still fails; going on with the package lists that could be read:" >&2
  grep -E '^(E|W):' "$log" | head -n 5 >&2 || true
  mapfile -t failed_suites < <(grep -oE 'Failed to fetch [^ ]*/dists/[^/ ]+/' "$log" | sed -E 's|.*/dists/([^/]+)/|\1|' | sort -u)
  rm -f "$log"
}

# Installs with apt; LOG gets apt's words.
apt_install() {  # LOG [APT-OPTION...] -- PACKAGE...
  local log=$1; shift
  local options=()
  while [ "$1" != -- ]; do options+=("$1"); shift; done
  shift
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${options[@]}" "$@" >"$log" 2>&1
}

install() {  # PACKAGE...
  if [ "$(id -u)" -ne 0 ]; then
    echo "setup: missing packages ($*); run as root to install them" >&2
    exit 1
  fi
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
    updated=
  fi
  update_lists
  local log pins
  log=$(mktemp)
  if ! apt_install "$log" -- "$@" && [ ${#failed_suites[@]} -gt 0 ]; then
    # A suite with a missing list for one architecture offers newer versions for the
    # other only, and packages of both architectures must then agree (wine32:i386 and
    # its amd64 libraries): take every package from the suites that were read whole.
    echo "setup: the install failed; trying again without preferring ${failed_suites[*]}, whose lists failed" >&2
    pins=$(mktemp)
    printf 'Package: *\nPin: release n=%s\nPin-Priority: 100\n\n' "${failed_suites[@]}" >"$pins"
    apt_install "$log" -o Dir::Etc::Preferences="$pins" -- "$@" || true
    rm -f "$pins"
  fi
  local missing=() p
  for p in "$@"; do have "$p" || missing+=("$p"); done
  if [ ${#missing[@]} -gt 0 ]; then
    echo "setup: cannot install ${missing[*]}; apt-get said:" >&2
    grep -E '^(E|W):|has no installation candidate|Unable to locate|but it is not' "$log" | head -n 10 >&2 || tail -n 10 "$log" >&2
    rm -f "$log"
    exit 1
  fi
  rm -f "$log"
}

# Wine's preloaders (only suggested by Debian) reserve the fixed addresses Windows programs
# need before anything else is mapped. Without them a program's start fails now and then
# (3 of 12,500 64-bit starts here): the shared user data's page at 0x7ffe0000 is
# already taken, the new process exits before it has run ("failed to map the shared user
# data: c0000018", hidden by WINEDEBUG=-all) and CreateProcess says ERROR_INTERNAL_ERROR.
# A prefix whose first start-up loses one of its programs that way stays broken.
pkgs=(cmake ninja-build g++ make googletest python3
      g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix binutils-mingw-w64-i686 mingw-w64-i686-dev
      g++-mingw-w64-x86-64-posix wine wine32:i386 wine64 wine32-preloader:i386 wine64-preloader
      fonts-wine xvfb xauth imagemagick clang iproute2
      msitools wixl osslsigncode openssl)
need=()
for p in "${pkgs[@]}"; do have "$p" || need+=("$p"); done
[ ${#need[@]} -eq 0 ] || install "${need[@]}"

# The fuzzers' runtime (libFuzzer, the sanitizers) of the installed clang's own version:
# Debian ships it as libclang-rt-<major>-dev from clang 14 on (before, it came with
# clang itself, in libclang-common-<major>-dev).
if [ ! -f "$(clang -print-file-name=libclang_rt.fuzzer-x86_64.a)" ]; then
  clang_major=$(clang -dumpversion | cut -d. -f1)
  runtime=libclang-rt-$clang_major-dev
  if ! have "$runtime"; then
    [ "$(id -u)" -ne 0 ] || update_lists
    if apt-cache show "$runtime" >/dev/null 2>&1; then
      install "$runtime"
    else
      echo "setup: no package $runtime for clang $clang_major: the fuzz targets will not link" >&2
    fi
  fi
fi
