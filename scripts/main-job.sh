#!/usr/bin/env bash
# The main job: one print job end to end, from the print host's call to the verdict (usage below).
set -euo pipefail
cd "$(dirname "$0")/.."

usage() {
  cat >&2 <<'EOF'
usage: ./scripts/main-job.sh [comment|reject|quota|hook|msi]     (default: comment)

Builds the Windows binaries, installs them in a fresh Wine prefix as an installation does
(the hook in C:\Program Files\Tallyhorn, the dialog in its Client folder), and
sends a job through the print-host harness, Tallyhorn.dll, the stand-in job monitor,
the dialog and the stand-in comment server.

  comment  the dialog asks for a comment, which goes to the server; the job prints.
  reject   the dialog says the job will not be printed; the verdict is 0.
  quota    the dialog asks to print in spite of the quota; confirming prints.
  hook     no dialog: the monitor answers "print" by itself after 1.5 s.
  msi      builds unsigned packages (scripts/package.sh --unsigned), installs the 32-bit one silently,
           puts the stand-in monitor into the installed folder, then runs comment mode
           through the installed files.

With a display ($DISPLAY set) the dialog is yours to answer. Without one the job runs
under Xvfb and a driver plays the user: it types a comment (or answers the question),
and a screenshot of the dialog is saved in build/main-job/. Then the verdict, what the
server received and both logs are printed.
EOF
  exit 2
}

[ $# -le 1 ] || usage
mode=${1:-comment}
case "$mode" in comment|reject|quota|hook|msi) ;; *) usage ;; esac

if [ -z "${TALLYHORN_IN_MAIN_JOB:-}" ]; then
  ./scripts/setup.sh
  ./scripts/build.sh win32
  [ "$mode" = msi ] && ./scripts/package.sh --unsigned
  export TALLYHORN_IN_MAIN_JOB=1
  # A person at a display answers the dialog; headless, the driver does.
  if [ -n "${DISPLAY:-}" ]; then export TALLYHORN_PERSON=1; fi
  exec ./scripts/wine-session.sh "$0" "$mode"
fi

BUILD=$PWD/build/win32
out=$PWD/build/main-job
mkdir -p "$out"
# shellcheck source=lib/print-job.sh
. ./scripts/lib/print-job.sh
trap 'stop_comment_server' EXIT

if [ "$mode" = msi ]; then
  version=$(cmake -DBUILD="$BUILD" -P packaging/project_version.cmake)
  install_package "$PWD/build/dist/Tallyhorn-$version-x86-unsigned.msi" SERVERIP=127.0.0.1
  show_file "C:\\windows\\$settings_file" "$drive_c/windows/$settings_file"
  echo "== installed in $prog_dir_win: $(ls "$prog_dir" | xargs); $(basename "$client_dir"): $(ls "$client_dir" | xargs)"
  install_stand_ins
  mode=comment
else
  install_tallyhorn
fi
case "$mode" in
  hook)    monitor_script 'Mode=result' 'Delay=1500' 'Result=1' ;;
  comment) monitor_script 'Mode=dialog' 'Action=COMMENT' 'Pages=3' ;;
  reject)  monitor_script 'Mode=dialog' 'Action=REJECT' 'Pages=3' \
             'ErrorMsg=The printer Office Laser is reserved for the finance team' ;;
  quota)   monitor_script 'Mode=dialog' 'Action=USER QUOTA' 'Pages=3' \
             'ErrorMsg=You have used 212 of your 200 pages this month' ;;
esac
[ "$mode" = comment ] && start_comment_server ack

echo "== print job 42: \"Quarterly report.docx\" on \"Office Laser\" ($mode)"
start_print_job "Office Laser" "Quarterly report.docx" 42 1

if [ "$mode" != hook ]; then
  echo "dialog: $(driver wait-dialog --timeout 30000)"
  if [ -n "${TALLYHORN_PERSON:-}" ]; then
    echo "(answer the dialog; the verdict follows when it closes)"
  else
    sleep 0.5
    screenshot "$out/$mode.png"
    echo "screenshot: build/main-job/$mode.png"
    case "$mode" in
      comment) driver type-comment "Proof copy for the board meeting" --press-enter ;;
      reject)  driver press enter ;;
      quota)   driver press enter; echo "box: $(driver answer-box yes)" ;;
    esac
  fi
fi

finish_print_job
verdict=$(last_verdict)
echo "== verdict: ${verdict:-none} ($([ "${verdict:-}" = 1 ] && echo print || echo "do not print"))"
[ "$mode" = comment ] && show_file "the server received" "$prog_dir/server_received.txt"
show_logs
