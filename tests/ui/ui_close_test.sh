#!/usr/bin/env bash
# The other ways of stopping a scan and of closing the window: the X close
# box asks the same question under the caption "DialogBoxTitle" (once for a
# double-click); Escape during a scan asks it under the program's title;
# Escape in the question answers No; outside a scan, X and Escape end the
# program at once.
# usage: tests/ui/ui_close_test.sh QUORVANE-EXE UI-PROBE-EXE BUILD-DIR
set -uo pipefail

program=${1:?usage: ui_close_test.sh QUORVANE-EXE UI-PROBE-EXE BUILD-DIR}
probe=${2:?}
build_dir=${3:?}
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd -P)
# shellcheck source=tests/ui/lib.sh
. "$here/lib.sh"
# shellcheck source=tests/ui/quorvane.sh
. "$here/quorvane.sh"
ui_setup close "$build_dir" "$probe"

# --- X during a scan ----------------------------------------------------------
if qv_start_long_scan "$program"; then pass "X: the scan runs"; else fail "X: the scan runs"; fi
ui_probe "${qv_main[@]}" click 1054 >/dev/null
if qv_question "$ui_work/question"; then pass "X: the close box asks"; else fail "X: the close box asks"; fi
ui_shot msgbox-yes-no-close-box
expect_yes_no_question "X's question" "$ui_work/question" "DialogBoxTitle" "$qv_terminate_question"
expect_main_disabled "X's question"
# Escape closes the question as No: the scan goes on.
ui_probe "${qv_box[@]}" key escape >/dev/null
ui_probe "${qv_box[@]}" gone >/dev/null
qv_state "$ui_work/after-escape"
expect_controls "X, then Escape in the question: the scan goes on" "$ui_work/after-escape" "2 visible 1" \
    "1070 visible 0" "1076 visible 1"
expect_double_click_asks_once "a double-click on X" 1054
ui_probe "${qv_main[@]}" click 1054 >/dev/null
qv_question "$ui_work/question" || fail "X again: the close box asks"
ui_probe "${qv_box[@]}" click 6 >/dev/null
qv_wait_finished
qv_state "$ui_work/terminated"
expect_controls "X answered Yes: the scan stops" "$ui_work/terminated" "1065 text Scanning terminated" \
    "${qv_finished_facts[@]}"
# With no scan running the close box ends the program without a question.
ui_probe "${qv_main[@]}" click 1054 >/dev/null
expect_ended "X after the scan"

# --- Escape during a scan -----------------------------------------------------
if qv_start_long_scan "$program"; then pass "Escape: the scan runs"; else fail "Escape: the scan runs"; fi
ui_probe "${qv_main[@]}" window >"$ui_work/scan-window"
ui_probe "${qv_main[@]}" key escape >/dev/null
if qv_question "$ui_work/question" 10; then pass "Escape typed during the scan asks"; else
    fail "Escape typed during the scan asks (keyboard $(grep '^focus' "$ui_work/scan-window"))"
    # The rest of the scenario goes on with the key-down message itself.
    ui_probe "${qv_main[@]}" post-key escape >/dev/null
    if qv_question "$ui_work/question" 10; then pass "Escape's key-down message asks"; else
        fail "Escape's key-down message asks"
    fi
fi
ui_shot msgbox-yes-no-escape
expect_yes_no_question "Escape's question" "$ui_work/question" "$qv_title" "$qv_terminate_question"
ui_probe "${qv_box[@]}" click 7 >/dev/null
ui_probe "${qv_box[@]}" gone >/dev/null
qv_state "$ui_work/after-no"
expect_controls "Escape answered No: the scan goes on" "$ui_work/after-no" "2 visible 1" "1070 visible 0"
qv_wait_finished
qv_state "$ui_work/completed"
expect_controls "Escape answered No: the scan completes" "$ui_work/completed" "1065 text Scanning completed"
expect_status "Escape answered No: every file was scanned" "$qv_files" "$(qv_scanned "$ui_work/completed")"
# Enter never closes the window; Escape outside a scan does, without a question.
ui_probe "${qv_main[@]}" key enter >/dev/null
if ui_probe "${qv_main[@]}" --timeout 3 gone >/dev/null; then fail "Enter leaves the window open"; else
    pass "Enter leaves the window open"
fi
ui_probe "${qv_main[@]}" window >"$ui_work/finished-window"
ui_probe "${qv_main[@]}" key escape >/dev/null
if ui_probe "${qv_main[@]}" --timeout 10 gone >/dev/null; then pass "Escape after the scan closes the window"; else
    fail "Escape after the scan closes the window (keyboard $(grep '^focus' "$ui_work/finished-window"))"
    ui_probe "${qv_main[@]}" click 1070 >/dev/null
fi
expect_ended "the end after the scan"

# --- before any scan ----------------------------------------------------------
qv_prepare "$program"
qv_start || fail "Ready: the window shows"
ui_probe "${qv_main[@]}" key enter >/dev/null
if ui_probe "${qv_main[@]}" --timeout 3 gone >/dev/null; then fail "Ready: Enter leaves the window open"; else
    pass "Ready: Enter leaves the window open"
fi
ui_probe "${qv_main[@]}" click 1054 >/dev/null
expect_ended "X before a scan"
qv_prepare "$program"
qv_start || fail "Ready: the window shows"
ui_probe "${qv_main[@]}" key escape >/dev/null
expect_ended "Escape before a scan"

summary
