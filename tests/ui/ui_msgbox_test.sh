#!/usr/bin/env bash
# The program's message box in each of its modes, shown by ask-user (the
# program's own askUser in a small program of its own) and answered as a
# person would: Yes and No (the terminate and restart questions), OK and
# Cancel (the memory sweep's question), the lone OK; Escape answers No in
# the first mode and Cancel in the others; an empty caption shows the
# program's title. A screenshot of each mode is kept.
# usage: tests/ui/ui_msgbox_test.sh ASK-USER-EXE UI-PROBE-EXE BUILD-DIR
set -uo pipefail

ask_user=${1:?usage: ui_msgbox_test.sh ASK-USER-EXE UI-PROBE-EXE BUILD-DIR}
probe=${2:?}
build_dir=${3:?}
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd -P)
# shellcheck source=tests/ui/lib.sh
. "$here/lib.sh"
# shellcheck source=tests/ui/quorvane.sh
. "$here/quorvane.sh"
ui_setup msgbox "$build_dir" "$probe"
ui_new_prefix
ui_put "$ask_user" qv/ask-user.exe

style_yes_no=36
style_ok_cancel=65
style_ok=0
memory_text=$'W32/Karvex.Trojan  found in memory! registry entries created by the worm are removed. You must restart the computer and run this program to continue scanning.\n\nRestart the computer now?'
memory_shown='W32/Karvex.Trojan  found in memory! registry entries created by the worm are removed. You must restart the computer and run this program to continue scanning.<0A><0A>Restart the computer now?'

# STYLE TEXT CAPTION: shows the question; its state in $ui_work/box.
ask() {
    ui_start ask-user.exe "$1" "$2" "$3"
    qv_run=$ui_run
    qv_question "$ui_work/box" 60
}

# NAME WANTED: the question's answer, once it is closed.
expect_answer() {
    local code
    code=$(ui_exit_code "$qv_run" 60)
    if [ "$code" = none ]; then fail "$1 (the box is still open)"; else expect_status "$1" "$2" "$code"; fi
}

# --- Yes and No ---------------------------------------------------------------
ask "$style_yes_no" "$qv_terminate_question" "$qv_title" || fail "Yes/No: the question shows"
ui_shot msgbox-yes-no
expect_yes_no_question "Yes/No" "$ui_work/box" "$qv_title" "$qv_terminate_question"
ui_probe "${qv_box[@]}" click 6 >/dev/null
expect_answer "Yes/No: Yes answers 6" 6
ask "$style_yes_no" "$qv_terminate_question" "$qv_title" || fail "Yes/No: the question shows"
ui_probe "${qv_box[@]}" click 7 >/dev/null
expect_answer "Yes/No: No answers 7" 7
ask "$style_yes_no" "$qv_terminate_question" "$qv_title" || fail "Yes/No: the question shows"
ui_probe "${qv_box[@]}" key escape >/dev/null
expect_answer "Yes/No: Escape answers No (7), never Cancel" 7
ask "$style_yes_no" "$qv_terminate_question" "$qv_title" || fail "Yes/No: the question shows"
ui_probe "${qv_box[@]}" command 1 >/dev/null
expect_answer "Yes/No: the OK command answers 1 though no OK is shown" 1

# --- OK and Cancel --------------------------------------------------------------
ask "$style_ok_cancel" "$memory_text" "$qv_title" || fail "OK/Cancel: the question shows"
ui_shot msgbox-ok-cancel
expect_line "OK/Cancel: the caption" "title $qv_title" "$ui_work/box"
expect_controls "OK/Cancel: the text" "$ui_work/box" "1086 text $memory_shown"
expect_controls "OK/Cancel: OK and Cancel, nothing else" "$ui_work/box" "1 visible 1" "2 visible 1" \
    "3 visible 0" "6 visible 0" "7 visible 0" "1085 visible 1"
ui_probe "${qv_box[@]}" click 1 >/dev/null
expect_answer "OK/Cancel: OK answers 1" 1
ask "$style_ok_cancel" "$memory_text" "$qv_title" || fail "OK/Cancel: the question shows"
ui_probe "${qv_box[@]}" click 2 >/dev/null
expect_answer "OK/Cancel: Cancel answers 2" 2
ask "$style_ok_cancel" "$memory_text" "$qv_title" || fail "OK/Cancel: the question shows"
ui_probe "${qv_box[@]}" key escape >/dev/null
expect_answer "OK/Cancel: Escape answers Cancel (2)" 2

# --- the lone OK ----------------------------------------------------------------
ask "$style_ok" "A message with one button." "" || fail "OK: the message shows"
ui_shot msgbox-ok
expect_line "OK: an empty caption shows the program's title" "title $qv_title" "$ui_work/box"
expect_controls "OK: the lone OK, nothing else" "$ui_work/box" "3 visible 1" "1 visible 0" "2 visible 0" \
    "6 visible 0" "7 visible 0"
ui_probe "${qv_box[@]}" click 3 >/dev/null
expect_answer "OK: the lone OK answers 1" 1
ask "$style_ok" "A message with one button." "" || fail "OK: the message shows"
ui_probe "${qv_box[@]}" key escape >/dev/null
expect_answer "OK: Escape answers 2" 2

summary
