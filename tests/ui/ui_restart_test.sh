#!/usr/bin/env bash
# A detected file that another program holds (hold-and-run keeps it open as
# the system keeps a running program's image) cannot be deleted: it is
# reported "Unable to remove", queued for deletion at the next start, and
# after the statistics the scan asks whether to restart. Answered No, the
# machine runs on with the file queued. A Cancel answered Yes before the end
# leaves the window in the Stopping state while the restart question is open.
# On Windows 10 the program first says it could not end the holding process.
# usage: tests/ui/ui_restart_test.sh QUORVANE-EXE UI-PROBE-EXE HOLD-AND-RUN-EXE NATIVE-SCAN BUILD-DIR
set -uo pipefail

program=${1:?usage: ui_restart_test.sh QUORVANE-EXE UI-PROBE-EXE HOLD-AND-RUN-EXE NATIVE-SCAN BUILD-DIR}
probe=${2:?}
hold_and_run=${3:?}
native_scan=${4:?}
build_dir=${5:?}
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd -P)
# shellcheck source=tests/ui/lib.sh
. "$here/lib.sh"
# shellcheck source=tests/ui/quorvane.sh
. "$here/quorvane.sh"

qv_find_make_samples "$native_scan"
ui_setup restart "$build_dir" "$probe"
"$make_samples" "$ui_work/samples" >/dev/null || exit 1
held_line='C:\held.exe     W32/Karvex.Bds.Trojan Unable to remove'
session='HKLM\System\CurrentControlSet\Control\Session Manager'

# VERSION: a prefix with the sample at C:\held.exe, which hold-and-run holds
# while the program runs.
start_held() {
    qv_prepare "$program" "$1"
    cp "$ui_work/samples/sample08.exe" "$ui_drive/held.exe"
    ui_put "$hold_and_run" qv/hold-and-run.exe
}

# NAME: the restart question is open; it is answered No and the scan ends
# with the file left in place and queued.
answer_restart_no() {
    if qv_question "$ui_work/question"; then pass "$1: the scan asks to restart"; else
        fail "$1: the scan asks to restart"
    fi
    expect_yes_no_question "$1: the restart question" "$ui_work/question" "$qv_title" "$qv_restart_question"
    ui_probe "${qv_box[@]}" click 7 >/dev/null
    qv_wait_finished
    qv_state "$ui_work/finished"
    expect_controls "$1, no: the window shows the end of the scan" "$ui_work/finished" "${qv_finished_facts[@]}"
    expect_line "$1: the held file is reported" "line 0 $held_line" "$ui_work/finished"
    if [ -f "$ui_drive/held.exe" ]; then pass "$1, no: the file stays until the restart"; else
        fail "$1, no: the file stays until the restart"
    fi
    ui_wine reg query "$session" /v PendingFileRenameOperations 2>/dev/null | tr -d '\r' >"$ui_work/queue"
    expect_grep "$1, no: the file is queued for deletion at the next start" '\\??\\C:\\held.exe' "$ui_work/queue"
    ui_probe "${qv_main[@]}" click 1070 >/dev/null
    expect_ended "$1, no, then OK"
}

# --- the scan ends, then asks ---------------------------------------------------
start_held winxp
qv_start hold-and-run.exe 'C:\held.exe' 'C:\qv\Quorvane.exe' || fail "winxp: the window shows"
ui_probe "${qv_main[@]}" click 1052 >/dev/null
qv_question "$ui_work/question"
ui_shot msgbox-yes-no-restart
qv_state "$ui_work/asking"
expect_controls "winxp: the closing word is shown before the question" "$ui_work/asking" "1065 text Scanning completed"
answer_restart_no winxp

# --- stopped by Cancel after the held file: the Stopping state -------------------
start_held winxp
qv_big_tree
qv_start hold-and-run.exe 'C:\held.exe' 'C:\qv\Quorvane.exe' || fail "stopping: the window shows"
ui_probe "${qv_main[@]}" click 1052 >/dev/null
if ui_probe "${qv_main[@]}" wait-line "$held_line" >/dev/null; then pass "stopping: the held file is reported first"; else
    fail "stopping: the held file is reported first"
fi
ui_probe "${qv_main[@]}" click 2 >/dev/null
qv_question "$ui_work/question"
expect_controls "stopping: Cancel asks to terminate" "$ui_work/question" "1086 text $qv_terminate_question"
ui_probe "${qv_box[@]}" click 6 >/dev/null
ui_probe "${qv_box[@]}" wait-text 1086 "$qv_restart_question" >/dev/null
qv_state "$ui_work/stopping"
ui_shot main-stopping
expect_controls "Stopping: OK in place of Cancel while the scan winds down" "$ui_work/stopping" "${qv_stopping_facts[@]}"
expect_controls "Stopping: the closing word" "$ui_work/stopping" "1065 text Scanning terminated"
answer_restart_no stopping

# --- Windows 10: the holding process could not be ended -------------------------
start_held win10
qv_start hold-and-run.exe 'C:\held.exe' 'C:\qv\Quorvane.exe' || fail "win10: the window shows"
ui_probe "${qv_main[@]}" click 1052 >/dev/null
if ui_probe --title 'C:\held.exe' wait >/dev/null; then pass "win10: a message captioned with the file's path"; else
    fail "win10: a message captioned with the file's path"
fi
ui_probe --title 'C:\held.exe' controls >"$ui_work/not-killed"
ui_shot message-could-not-kill
expect_controls "win10: it says the process could not be ended" "$ui_work/not-killed" "65535 text Could not kill process"
ui_probe --title 'C:\held.exe' click 1 >/dev/null
answer_restart_no win10

summary
