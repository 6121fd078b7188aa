#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a while.
#   scripts/fuzz.sh [SECONDS-EACH]   (default 60)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
./scripts/setup.sh
[ -f build/fuzz/CMakeCache.txt ] || cmake --preset fuzz -G Ninja >/dev/null
cmake --build --preset fuzz -j "$(nproc 2>/dev/null || echo 2)"
for target in build/fuzz/fuzz/hook/hook_fuzz build/fuzz/fuzz/client/fuzz_client_history; do
  echo "== $target"
  "$target" -max_total_time="$seconds" -print_final_stats=1 2>&1 | tail -n 3
done
