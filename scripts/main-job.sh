#!/usr/bin/env bash
# The main job: builds the Windows binaries, installs them in a fresh Wine prefix as
# C:\Tallyhorn, runs one print job through the print-host harness, Tallyhorn.dll and the
# stand-in job monitor (which answers "print" after a short delay), and prints the
# verdict and that day's hook log.
set -euo pipefail
cd "$(dirname "$0")/.."

if [ "${1:-}" != "--in-session" ]; then
  ./scripts/setup.sh
  ./scripts/build.sh win32
  exec ./scripts/wine-session.sh "$0" --in-session
fi

build=$PWD/build/win32
drive_c=$WINEPREFIX/drive_c
prog_dir=$drive_c/Tallyhorn

# Profile files are written with CR LF, as Windows programs write them.
write_profile() {  # FILE LINE...
  local file=$1; shift
  printf '%s\r\n' "$@" > "$file"
}

install_hook() {
  mkdir -p "$prog_dir"
  cp "$build/hook/windows/Tallyhorn.dll" "$build/tools/harness/Tallyhorn_Harness.exe" \
     "$build/tools/monitor/Tallyhorn_Mon.exe" "$prog_dir/"
  write_profile "$drive_c/windows/Tallyhorn.ini" '[Tallyhorn]' 'ProgDir=C:\Tallyhorn' \
    'Tallyhorn ServerIP=127.0.0.1' 'WriteToLog=1'
}

# The stand-in monitor's script: its keys under [Monitor] (docs/hook.md).
monitor_script() {  # KEY=VALUE...
  write_profile "$prog_dir/Tallyhorn_Mon.ini" '[Monitor]' "$@"
}

print_job() {  # DEVICE DOCUMENT JOBID JOBTYPE
  echo "== print job $3: \"$2\" on \"$1\""
  wine "$prog_dir/Tallyhorn_Harness.exe" "$@" | tr -d '\r'
}

show_hook_log() {
  local log
  log=$prog_dir/Debug/Tallyhorn_Hk_$(date +%d_%m_%Y).log
  echo "== hook log C:\\Tallyhorn\\Debug\\$(basename "$log")"
  tr -d '\r' < "$log"
}

install_hook
monitor_script 'Mode=result' 'Delay=1500' 'Result=1'
print_job "Office Laser" "Quarterly report.docx" 42 1
show_hook_log
