#!/usr/bin/env bash
# Configures and builds both trees: build/native (portable logic, tests) and build/win32
# (the deliverables, tools and Wine tests). Arguments: "native", "win32" or both (default).
set -euo pipefail
cd "$(dirname "$0")/.."
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=(native win32)
jobs=$(nproc 2>/dev/null || echo 2)
for preset in "${targets[@]}"; do
  if [ ! -f "build/$preset/CMakeCache.txt" ]; then
    cmake --preset "$preset" -G Ninja >/dev/null
  fi
  cmake --build --preset "$preset" -j "$jobs"
done
