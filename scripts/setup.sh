#!/usr/bin/env bash
# Installs what the build and the tests need on Debian 12, as root; skips what is already there.
set -euo pipefail

have() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

updated=
install() {  # PACKAGE...
  if [ "$(id -u)" -ne 0 ]; then
    echo "setup: missing packages ($*); run as root to install them" >&2
    exit 1
  fi
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
    updated=
  fi
  [ -n "$updated" ] || { apt-get update -qq; updated=1; }
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "$@" >/dev/null
}

pkgs=(cmake ninja-build g++ make googletest python3
      g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix binutils-mingw-w64-i686 mingw-w64-i686-dev
      g++-mingw-w64-x86-64-posix wine wine32:i386 wine64 fonts-wine xvfb xauth imagemagick clang iproute2
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
    [ -n "$updated" ] || [ "$(id -u)" -ne 0 ] || { apt-get update -qq; updated=1; }
    if apt-cache show "$runtime" >/dev/null 2>&1; then
      install "$runtime"
    else
      echo "setup: no package $runtime for clang $clang_major: the fuzz targets will not link" >&2
    fi
  fi
fi
