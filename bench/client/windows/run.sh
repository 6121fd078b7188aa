#!/usr/bin/env bash
# Builds the Windows tree and prints the dialog program's figures under Wine and Xvfb.
#   bench/client/windows/run.sh [RUNS]
set -euo pipefail
cd "$(dirname "$0")/../../.."
./scripts/build.sh win32
exec ./scripts/wine-session.sh bash bench/client/windows/in_session.sh "${1:-5}"
