#!/usr/bin/env bash
# Starting the program: one copy at a time. A second copy started while the
# first shows its window ends at once, with no window of its own; so does
# one started while any window carries the program's title (a message box
# of the program, here ask-user's). Once no such window is left a new copy
# starts.
# usage: tests/ui/ui_start_test.sh QUORVANE-EXE UI-PROBE-EXE ASK-USER-EXE BUILD-DIR
set -uo pipefail

program=${1:?usage: ui_start_test.sh QUORVANE-EXE UI-PROBE-EXE ASK-USER-EXE BUILD-DIR}
probe=${2:?}
ask_user=${3:?}
build_dir=${4:?}
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd -P)
# shellcheck source=tests/ui/lib.sh
. "$here/lib.sh"
# shellcheck source=tests/ui/quorvane.sh
. "$here/quorvane.sh"
ui_setup start "$build_dir" "$probe"
# A second copy that does not end by itself is ended after this.
second_copy_limit=60

# NAME: starts a second copy in the foreground and checks that it ended by
# itself, with exit code 0, showing no window.
expect_second_copy_refused() {
    ui_probe --timeout "$second_copy_limit" run 'C:\qv\Quorvane.exe' >"$ui_work/second"
    expect_line "$1: the second copy ends by itself" "exit 0" "$ui_work/second"
    expect_line "$1: the second copy shows no window" "windows 0" "$ui_work/second"
}

qv_prepare "$program"
if qv_start; then pass "the first copy shows its window"; else fail "the first copy shows its window"; fi
ui_shot start-first-copy
expect_second_copy_refused "beside the main window"
ui_probe --title "$qv_title" exists >"$ui_work/count"
expect_line "one window with the program's title is left" "windows 1" "$ui_work/count"
ui_probe "${qv_main[@]}" click 1054 >/dev/null
expect_ended "the first copy, closed with X"

# The same machine once the first copy has ended: a new copy starts.
if qv_start; then pass "with no such window a new copy starts"; else fail "with no such window a new copy starts"; fi
ui_probe "${qv_main[@]}" click 1054 >/dev/null
expect_ended "the new copy, closed with X"

# Any window with the title counts, a message box of the program too.
ui_put "$ask_user" qv/ask-user.exe
ui_start ask-user.exe 36 "$qv_terminate_question" "$qv_title"
asking=$ui_run
qv_question "$ui_work/box" || fail "ask-user shows the program's message box"
expect_second_copy_refused "beside a message box with the program's title"
ui_probe "${qv_box[@]}" click 7 >/dev/null
expect_status "the message box is answered" 7 "$(ui_exit_code "$asking" 60)"

summary
