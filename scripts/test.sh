#!/usr/bin/env bash
# Every test: installs what is missing, builds both trees, runs the native tests and then
# the Wine tests of the real binaries inside one fresh Wine prefix under Xvfb.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/setup.sh
./scripts/build.sh
echo "== native tests"
ctest --test-dir build/native --output-on-failure -j "$(nproc 2>/dev/null || echo 2)"
echo "== Wine tests"
# One test program at a time: they share the prefix's Windows folder and the display.
./scripts/wine-session.sh ctest --test-dir build/win32 --output-on-failure -j 1
