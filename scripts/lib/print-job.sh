# Shell functions that install the Windows binaries in a Wine prefix and run one print
# job through harness, hook, stand-in monitor, dialog and stand-in comment server.
# Sourced by scripts/main-job.sh and the end-to-end Wine test; needs WINEPREFIX and
# BUILD (a Windows build folder: build/win32, or build/win64 in a 64-bit prefix).

: "${WINEPREFIX:?WINEPREFIX must be set}"
: "${BUILD:?BUILD must be a Windows build folder}"
. "$(dirname "${BASH_SOURCE[0]}")/facts.sh"
drive_c=$WINEPREFIX/drive_c
# The installed layout: the hook's folder, and the dialog's own folder inside it; the
# settings file in the Windows folder.
prog_dir_win='C:\Program Files\Tallyhorn'
prog_dir=$drive_c/Program\ Files/Tallyhorn
client_dir=$prog_dir/$(fact_folder DialogFolder)
log_folder=$(fact_folder LogFolder)
settings_file=$(fact SettingsFile)
server_pid=
harness_pid=
job_day=  # the day the last print job started, as the daily logs name it

# Profile files are written with CR LF, as Windows programs write them.
write_profile() {  # FILE LINE...
  local file=$1; shift
  printf '%s\r\n' "$@" > "$file"
}

# The dialog's own folder of the user the jobs run as: Tallyhorn\ in Wine's %APPDATA%
# (roaming: the comment history) or %LOCALAPPDATA% (local: the client log), as a Linux path.
dialog_user_dir() {  # APPDATA|LOCALAPPDATA
  local dir
  dir=$(winepath -u "$(wine cmd /c echo "%$1%" 2>/dev/null | tr -d '\r')" 2>/dev/null)
  [ -n "$dir" ] || { echo "no %$1% in this prefix" >&2; return 1; }
  echo "${dir%/}/Tallyhorn"
}

install_tallyhorn() {
  mkdir -p "$prog_dir/$log_folder" "$client_dir/$log_folder"
  cp "$BUILD/hook/windows/Tallyhorn.dll" "$BUILD/tools/harness/Tallyhorn_Harness.exe" "$prog_dir/"
  cp "$BUILD/client/windows/TallyhornClient.exe" "$client_dir/"
  install_stand_ins
  write_profile "$drive_c/windows/$settings_file" "[$(fact SettingsSection)]" "$(fact ProgDirKey)=$prog_dir_win" \
    "$(fact ServerIpKey)=127.0.0.1" "$(fact WriteToLogKey)=1"
}

# What the package leaves to others: the monitor (stand-in), the server and the user.
install_stand_ins() {
  cp "$BUILD/tools/monitor/Tallyhorn_Mon.exe" "$BUILD/tools/comment_server/comment_server.exe" \
     "$BUILD/tools/uidriver/uidriver.exe" "$prog_dir/"
}

# Installs a package as an administrator does, silently, with its log in C:\msiexec.log;
# prints the command and its outcome.
install_package() {  # MSI PROPERTY=VALUE...
  local msi=$1 status=0 started
  shift
  echo "== msiexec /i $(basename "$msi") /qn $* /l*v C:\msiexec.log"
  started=$(date +%s%N)
  wine msiexec /i "$(winepath -w "$msi")" /qn "$@" /l*v 'C:\msiexec.log' >/dev/null 2>&1 || status=$?
  echo "exit status $status after $(( ($(date +%s%N) - started) / 1000000 )) ms"
  return $status
}

# The stand-in monitor's script: its keys under [Monitor] (docs/hook.md).
monitor_script() {  # KEY=VALUE...
  write_profile "$prog_dir/Tallyhorn_Mon.ini" '[Monitor]' "$@"
}

# The stand-in comment server on 127.0.0.1:5052, recording what it receives.
start_comment_server() {  # MODE
  rm -f "$prog_dir/server_received.txt" "$prog_dir/server_ready.txt"
  wine "$prog_dir/comment_server.exe" --mode "$1" --record "$prog_dir_win\\server_received.txt" \
    --ready "$prog_dir_win\\server_ready.txt" --seconds 180 >/dev/null 2>&1 &
  server_pid=$!
  local waited=0
  until [ -f "$prog_dir/server_ready.txt" ]; do
    sleep 0.1; waited=$((waited + 1))
    [ $waited -lt 200 ] || { echo "the comment server did not start" >&2; return 1; }
  done
}

stop_comment_server() {
  [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null || true
  [ -n "$server_pid" ] && wait "$server_pid" 2>/dev/null || true
  server_pid=
}

# "DD_MM_YYYY" of today's daily logs, read when asked.
log_date() { date +%d_%m_%Y; }

# The days whose daily logs hold the last print job's lines: the day it started, and
# today when it ran past midnight.
log_days() {
  local today
  today=$(log_date)
  if [ -n "$job_day" ] && [ "$job_day" != "$today" ]; then echo "$job_day"; fi
  echo "$today"
}

# The print host's call, in the background; its output lands in harness.out.
start_print_job() {  # DEVICE DOCUMENT JOBID JOBTYPE
  job_day=$(log_date)
  wine "$prog_dir/Tallyhorn_Harness.exe" "$@" > "$prog_dir/harness.out" 2>&1 &
  harness_pid=$!
}

# Waits for the call's verdict line and prints it; the harness's exit status.
finish_print_job() {
  local status=0
  wait "$harness_pid" || status=$?
  harness_pid=
  tr -d '\r' < "$prog_dir/harness.out"
  return $status
}

# The verdict of the last call, 0 or 1, from the harness's line.
last_verdict() {
  tr -d '\r' < "$prog_dir/harness.out" | sed -n 's/.*: verdict \([01]\).*/\1/p' | tail -n 1
}

driver() {  # uidriver COMMAND ARG...
  wine "$prog_dir/uidriver.exe" "$@" | tr -d '\r'
}

# The dialog as a PNG file (ImageMagick converts the driver's BMP).
screenshot() {  # FILE.png
  driver screenshot "$prog_dir_win\\screen.bmp" --dialog >/dev/null
  convert "$prog_dir/screen.bmp" "$1"
  rm -f "$prog_dir/screen.bmp"
}

show_file() {  # TITLE FILE
  echo "== $1"
  if [ -f "$2" ]; then tr -d '\r' < "$2"; echo; else echo "(none)"; fi
}

show_logs() {
  local days day
  days=$(log_days)
  for day in $days; do
    show_file "hook log $prog_dir_win\\$log_folder\\Tallyhorn_Hk_$day.log" "$prog_dir/$log_folder/Tallyhorn_Hk_$day.log"
  done
  for day in $days; do
    show_file "client log %LOCALAPPDATA%\\Tallyhorn\\$log_folder\\Tallyhorn_Client_$day.log" \
      "$(dialog_user_dir LOCALAPPDATA)/$log_folder/Tallyhorn_Client_$day.log"
  done
}
