#!/usr/bin/env bash
# Builds the Windows tree and prints the hook's figures, measured under Wine.
set -euo pipefail
cd "$(dirname "$0")/../.."
./scripts/setup.sh
./scripts/build.sh win32
b=$PWD/build/win32
./scripts/wine-session.sh wine "$b/bench/hook/hook_bench.exe" \
  "Z:${b//\//\\}\\hook\\windows\\Tallyhorn.dll" "Z:${b//\//\\}\\tools\\monitor\\Tallyhorn_Mon.exe"
