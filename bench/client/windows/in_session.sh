#!/usr/bin/env bash
# Inside a Wine session: runs client_bench and measures, on the Linux side, the CPU time
# of the dialog's process whenever the bench asks (Wine gives no CPU times of others).
set -euo pipefail
build=$(pwd)/build/win32
winpath() { echo "Z:$1" | tr / '\\'; }
request="$WINEPREFIX/drive_c/tallyhorn-bench/measure"
rm -f "$request"
wine "$build/bench/client/windows/client_bench.exe" \
  "$(winpath "$build/client/windows/TallyhornClient.exe")" \
  "$(winpath "$build/tools/comment_server/comment_server.exe")" "${1:-5}" 2>&1 | grep -v -E '^(connection|answered|listening|stopped)' &
bench=$!
ticks=$(getconf CLK_TCK)
cpu_of() { awk '{print $14 + $15}' "/proc/$1/stat"; }
while kill -0 "$bench" 2>/dev/null; do
  if [ -s "$request" ]; then
    { read -r label; read -r seconds; } < "$request"
    rm -f "$request"
    # The bench's own copy of the dialog, in the prefix of this session.
    pid=$(pgrep -f 'tallyhorn-bench.TallyhornClient\.exe' | head -1 || true)
    if [ -z "$pid" ]; then echo "$label: no dialog process found"; continue; fi
    before=$(cpu_of "$pid"); sleep "$seconds"; after=$(cpu_of "$pid")
    printf '%-52s %8d ms CPU in %d s\n' "$label" $(( (after - before) * 1000 / ticks )) "$seconds"
  fi
  sleep 0.1
done
wait "$bench"
