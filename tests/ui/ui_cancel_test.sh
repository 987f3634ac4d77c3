#!/usr/bin/env bash
# Cancel during a scan, as a person answers it: the question (caption, text,
# Yes and No only, over a disabled main window); No lets the scan run to its
# end; Yes puts OK in place of Cancel and ends the scan early with
# "Scanning terminated"; a double-click asks once. The scans walk a big tree
# so that they are still running when Cancel is clicked. Cancel pressed
# before the scan has begun holds the scan back until it is answered.
# usage: tests/ui/ui_cancel_test.sh QUORVANE-EXE UI-PROBE-EXE BUILD-DIR
set -uo pipefail

program=${1:?usage: ui_cancel_test.sh QUORVANE-EXE UI-PROBE-EXE BUILD-DIR}
probe=${2:?}
build_dir=${3:?}
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd -P)
# shellcheck source=tests/ui/lib.sh
. "$here/lib.sh"
# shellcheck source=tests/ui/quorvane.sh
. "$here/quorvane.sh"
ui_setup cancel "$build_dir" "$probe"

# --- Cancel answered No: the scan goes on to its end -------------------------
if qv_start_long_scan "$program"; then pass "no: the scan runs"; else fail "no: the scan runs"; fi
qv_state "$ui_work/scanning"
ui_shot main-scanning
expect_controls "Scanning: Cancel, the status and the list; Scan disabled" "$ui_work/scanning" "${qv_scanning_facts[@]}"
expect_grep "Scanning: the status field shows the path being examined" '^control 1065 text C:\\' "$ui_work/scanning"

ui_probe "${qv_main[@]}" click 2 >/dev/null
if qv_question "$ui_work/question"; then pass "no: Cancel asks"; else fail "no: Cancel asks"; fi
ui_shot msgbox-yes-no-cancel
expect_yes_no_question "Cancel's question" "$ui_work/question" "$qv_title" "$qv_terminate_question"
expect_main_disabled "Cancel's question"
ui_probe "${qv_box[@]}" click 7 >/dev/null
ui_probe "${qv_box[@]}" gone >/dev/null
qv_state "$ui_work/after-no"
expect_controls "no: nothing changes, Cancel stays" "$ui_work/after-no" "2 visible 1" "1070 visible 0" "1076 visible 1"
expect_line "no: the main window is enabled again" "enabled 1" "$ui_work/after-no"
expect_double_click_asks_once "no: a double-click on Cancel" 2
qv_wait_finished
qv_state "$ui_work/completed"
expect_controls "no: the scan completes" "$ui_work/completed" "1065 text Scanning completed" "${qv_finished_facts[@]}"
expect_status "no: every file was scanned" "$qv_files" "$(qv_scanned "$ui_work/completed")"
ui_probe "${qv_main[@]}" click 1070 >/dev/null
expect_ended "no, then OK"

# --- Cancel answered Yes: OK replaces Cancel, the scan stops ------------------
if qv_start_long_scan "$program"; then pass "yes: the scan runs"; else fail "yes: the scan runs"; fi
ui_probe "${qv_main[@]}" click 2 >/dev/null
qv_question "$ui_work/question" || fail "yes: Cancel asks"
ui_probe "${qv_box[@]}" click 6 >/dev/null
if ui_probe "${qv_main[@]}" wait-shown 1070 >/dev/null; then pass "yes: OK is shown"; else fail "yes: OK is shown"; fi
qv_state "$ui_work/stopping"
expect_controls "yes: Cancel is hidden" "$ui_work/stopping" "2 visible 0" "1070 visible 1"
qv_wait_finished
qv_state "$ui_work/terminated"
ui_shot main-terminated
expect_controls "yes: the status field ends with the word for a stopped scan" "$ui_work/terminated" \
    "1065 text Scanning terminated" "${qv_finished_facts[@]}"
expect_line "yes: the statistics are written" "line 0 Scanning statistics" "$ui_work/terminated"
scanned=$(qv_scanned "$ui_work/terminated")
if [ -n "$scanned" ] && [ "$scanned" -lt "$qv_files" ]; then pass "yes: the scan stopped early"; else
    fail "yes: the scan stopped early (${scanned:-no count} of $qv_files files scanned)"
fi
ui_probe "${qv_main[@]}" click 1070 >/dev/null
expect_ended "yes, then OK"

# --- Cancel before the scan has begun, answered Yes: nothing is walked --------
# Scan and Cancel posted in one go reach the window before the timer that
# starts the scan, so the question comes first. The scan must wait for the
# answer, not run inside the question to its end.
qv_prepare "$program"
qv_files=$(qv_files_on_c)
qv_start || fail "before the start: the window shows"
ui_probe "${qv_main[@]}" command 1052 2 >/dev/null
if qv_question "$ui_work/question"; then pass "before the start: Cancel asks"; else fail "before the start: Cancel asks"; fi
expect_yes_no_question "Cancel's question before the start" "$ui_work/question" "$qv_title" "$qv_terminate_question"
ui_probe "${qv_box[@]}" click 6 >/dev/null
qv_wait_finished
qv_state "$ui_work/unwalked"
expect_controls "before the start: Yes ends the scan as terminated" "$ui_work/unwalked" \
    "1065 text Scanning terminated" "${qv_finished_facts[@]}"
expect_status "before the start: no file of the $qv_files on C: was scanned" 0 "$(qv_scanned "$ui_work/unwalked")"
ui_probe "${qv_main[@]}" click 1070 >/dev/null
expect_ended "before the start: yes, then OK"

summary
