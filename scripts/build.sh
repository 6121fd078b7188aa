#!/usr/bin/env bash
# Configures and builds the trees of CMakePresets.json: build/native (portable logic and
# its tests), build/win32 and build/win64 (the deliverables, tools and Wine tests for
# each architecture). Arguments: presets to build (default: native win32 win64).
set -euo pipefail
cd "$(dirname "$0")/.."
presets=("$@")
[ ${#presets[@]} -eq 0 ] && presets=(native win32 win64)
jobs=$(nproc 2>/dev/null || echo 2)

# What a tree's cache was made from: the presets and the toolchain files. When they
# change (another generator, another compiler) the cache is made afresh, since CMake
# keeps the compilers and generator it found first.
inputs_digest() { cat CMakePresets.json cmake/*.cmake | sha256sum | cut -d' ' -f1; }

for preset in "${presets[@]}"; do
  dir=build/$preset
  digest=$(inputs_digest)
  if [ -f "$dir/CMakeCache.txt" ] && [ "$(cat "$dir/.configured-from" 2>/dev/null)" == "$digest" ] &&
     cmake --preset "$preset" >/dev/null; then
    :  # a re-run is cheap and picks up new files and options
  else
    echo "== configuring $dir afresh"
    cmake --preset "$preset" --fresh >/dev/null
  fi
  echo "$digest" > "$dir/.configured-from"
  cmake --build --preset "$preset" -j "$jobs"
done
