#!/usr/bin/env bash
# Takes the dialog's screenshots under Wine and Xvfb and keeps them in docs/screenshots.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/build.sh win32
rm -rf build/win32/screenshots
./scripts/wine-session.sh ctest --test-dir build/win32 -R '^client_screenshots' --output-on-failure -j 1
mkdir -p docs/screenshots
cp build/win32/screenshots/*.png docs/screenshots/
ls docs/screenshots
