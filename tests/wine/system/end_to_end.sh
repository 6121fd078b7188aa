#!/usr/bin/env bash
# One print job per dialog mode through every party, each user answer played by the UI
# driver; checks the verdict, the bytes the server received and the files left behind.
set -uo pipefail
BUILD=$1
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../../../scripts/lib/print-job.sh"
. "$here/../common/checks.sh"
trap 'stop_comment_server; rm -f "$drive_c/windows/$settings_file"' EXIT

# The dialog keeps its history and its log in the user's own folders.
roaming_dir=$(dialog_user_dir APPDATA)
local_dir=$(dialog_user_dir LOCALAPPDATA)
client_log() {
  local day; for day in $(log_days); do tr -d '\r' 2>/dev/null < "$local_dir/$log_folder/Tallyhorn_Client_$day.log"; done | cut -c11-
}
# Job, result and response files left in the hook's Temp folder or the dialog's folder.
leftovers() { find "$prog_dir/$(fact_folder JobFolder)" "$client_dir" -maxdepth 1 -type f -name '*.txt*' | wc -l; }
fresh() { rm -rf "$prog_dir" "$roaming_dir" "$local_dir"; install_tallyhorn; }

# Comment mode: the comment is typed, Enter sends it; the acknowledgement closes the
# dialog and the job prints.
fresh
monitor_script 'Mode=dialog' 'Action=COMMENT'
start_comment_server ack
start_print_job "Office Laser" 'Budget "final".xls' 42 1
driver wait-dialog --timeout 30000 >/dev/null
driver type-comment "Proof copy" --press-enter
finish_print_job >/dev/null
stop_comment_server
check "comment: verdict" 1 "$(last_verdict)"
check "comment: the server got the message once" "Client Comment42##Proof copy##" \
  "$(cat "$prog_dir/server_received.txt" 2>/dev/null)"
# Enter runs OK on its press and again on its release, unless the acknowledgement
# has closed the dialog in between: one or two clicks, and no other line.
check "comment: client log" "$(printf '%s\n' ActionType=COMMENT JobID=42 'OKBtn Click')" \
  "$(client_log | uniq)"
check "comment: history" "Proof copy" "$(tr -d '\r' < "$roaming_dir/Tallyhorn.Cmt")"
check "comment: no job, result or response file left" 0 "$(leftovers)"

# Reject mode: OK closes; the monitor answers "do not print".
fresh
monitor_script 'Mode=dialog' 'Action=REJECT' 'ErrorMsg=Colour pages are not allowed'
start_print_job "Office Laser" "poster.pdf" 43 1
driver wait-dialog --timeout 30000 >/dev/null
driver press enter
finish_print_job >/dev/null
check "reject: verdict" 0 "$(last_verdict)"
check "reject: client log" "$(printf '%s\n' ActionType=REJECT JobID=43 'OKBtn Click')" "$(client_log)"

# A quota job answered with KEY and Yes to its question; sets box to the question.
quota_job() {  # ACTION JOBID KEY
  fresh
  monitor_script 'Mode=dialog' "Action=$1" 'ErrorMsg=Over the monthly quota' "Record=$prog_dir_win\\monitor.record"
  start_print_job "Office Laser" "thesis.pdf" "$2" 1
  driver wait-dialog --timeout 30000 >/dev/null
  driver press "$3"
  box=$(driver answer-box yes)
  finish_print_job >/dev/null
}
monitor_response() { tr -d '\r' < "$prog_dir/monitor.record" 2>/dev/null | grep '^Response=' | tail -n 1; }

# Quota mode, confirmed with Enter: the response file says go on, and the job prints.
quota_job "USER QUOTA" 44 enter
check "quota confirmed: the question" "Confirm: Print the job in spite of the quota violation ?" "$box"
check "quota confirmed: verdict" 1 "$(last_verdict)"
check "quota confirmed: monitor saw the response" "Response=OK, GO ON44" "$(monitor_response)"
check "quota confirmed: the dialog's job file was in the dialog's folder, none left" \
  "$prog_dir_win\\$(fact DialogFolder) 0" "$(tr -d '\r' < "$prog_dir/monitor.record" | sed -n 's/^DialogCommandLine=.* "\(.*\\\)[^\\]*"$/\1/p') $(leftovers)"

# Quota mode, cancelled with Escape: the job does not print.
quota_job "ADMIN QUOTA" 45 escape
check "quota cancelled: the question" "Confirm: The Print job will be canceled, ok to go on ?" "$box"
check "quota cancelled: verdict" 0 "$(last_verdict)"
check "quota cancelled: monitor saw the response" "Response=QUOTA VIOLATION" "$(monitor_response)"
check "quota cancelled: client log" \
  "$(printf '%s\n' ActionType=QUOTA JobID=45 QuotaType=ADMIN 'CancelBtn Click')" "$(client_log)"

# The Event Log: Wine keeps no event store but writes each string of an event to its
# eventlog channel, an error as err:, a warning as warn:, and the event's id in the low
# word of the fourth value of its advapi trace line. Two jobs at once without a monitor in
# one print host write one event, never naming the document; a job without a server
# address, in another host, writes its warning.
events_of_job() {  # err|warn HARNESS-ARGUMENT...: the ids and strings of one print host's events
  WINEDEBUG=err+eventlog,warn+eventlog,fixme+advapi start_print_job "${@:2}"
  finish_print_job >/dev/null
  tr -d '\r' < "$prog_dir/harness.out" | sed -n -e "s/^[0-9a-f]*:$1:eventlog:ReportEventW L\"\(.*\)\"$/\1/p" \
    -e 's/^[0-9a-f]*:fixme:advapi:ReportEventW ([^,]*,[^,]*,[^,]*,0x[0-9a-f]\{4\}\([0-9a-f]\{4\}\),.*/id 0x\1/p' |
    while read -r line; do [[ $line == "id 0x"* ]] && printf 'id %d\n' "${line#id }" || echo "$line"; done | paste -sd'|'
}
fresh
rm -f "$prog_dir/Tallyhorn_Mon.exe"
check "no monitor: one event for two jobs, of either, without the document's name" "id 1002|1|Office Laser|printed unchecked|2|0" \
  "$(events_of_job err --threads 2 "Office Laser" "Secret plans.docx" 46 1 | sed 's/|4[67]|/|1|/')"
write_profile "$drive_c/windows/Tallyhorn.ini" '[Tallyhorn]' "ProgDir=$prog_dir_win"
check "no server address: a warning" "id 1001|48|Office Laser|printed unchecked||0" \
  "$(events_of_job warn "Office Laser" "Secret plans.docx" 48 1)"

checks_passed
