#!/usr/bin/env bash
# Builds the Windows tree and runs Tallyhorn.dll under load in a Wine session: 4 print
# hosts with 16 calls at once each, then SEQUENTIAL calls one after another in one host
# (default 10000: about 85 minutes, mostly the monitor's 500 ms before the first look).
#   bench/hook/load.sh [SEQUENTIAL [HOSTS [THREADS]]]
set -euo pipefail
cd "$(dirname "$0")/../.."
./scripts/setup.sh
./scripts/build.sh win32
b=$PWD/build/win32
w=Z:${b//\//\\}
./scripts/wine-session.sh wine "$b/bench/hook/hook_load.exe" \
  "$w\\hook\\windows\\Tallyhorn.dll" "$w\\tools\\monitor\\Tallyhorn_Mon.exe" "${2:-4}" "${3:-16}" "${1:-10000}"
