#!/usr/bin/env bash
# The probe itself, against probe-target, a window whose every reaction is
# known: it must find windows by title and child, read controls, texts and
# list lines back (a tab kept, a line feed shown as <0A>), refuse what a
# person could not do (a hidden or disabled button, a button of a window
# that a question has disabled), click, double-click and type for real, and
# hand on the exit code and the windows of the programs it starts.
# usage: tests/ui/ui_probe_test.sh UI-PROBE-EXE PROBE-TARGET-EXE BUILD-DIR
set -uo pipefail

probe=${1:?usage: ui_probe_test.sh UI-PROBE-EXE PROBE-TARGET-EXE BUILD-DIR}
target=${2:?}
build_dir=${3:?}
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd -P)
# shellcheck source=tests/ui/lib.sh
. "$here/lib.sh"
# shellcheck source=tests/ui/quorvane.sh
. "$here/quorvane.sh"
ui_setup probe "$build_dir" "$probe"
ui_new_prefix
ui_put "$target" qv/probe-target.exe
main=(--title "Probe Target" --child 1055)
out="$ui_work/out"

# NAME WANTED-STATUS ARGS...: runs the probe; its lines in $out.
probe_says() {
    local name=$1 wanted=$2 status=0
    shift 2
    ui_probe "$@" >"$out" || status=$?
    expect_status "$name: exit status" "$wanted" "$status"
}

ui_probe --title "Probe Target" exists >"$out"
expect_line "exists: no window yet" "windows 0" "$out"
ui_start probe-target.exe
run=$ui_run
probe_says "wait" 0 "${main[@]}" wait
expect_line "wait: the title" "title Probe Target" "$out"
probe_says "exists" 0 --title "Probe Target" exists
expect_line "exists: two windows have the title" "windows 2" "$out"
probe_says "child 1086" 0 --title "Probe Target" --child 1086 controls
expect_controls "the child picks the other window" "$out" "1086 text other"
expect_no_line "the other window has no list" "control 1055 class ListBox" "$out"

probe_says "state" 0 "${main[@]}" state
expect_controls "state: classes" "$out" "1052 class Button" "1065 class Static" "1055 class ListBox"
expect_controls "state: visible, enabled" "$out" "1052 visible 1" "1052 enabled 1" "1053 visible 0" "1054 enabled 0"
expect_controls "state: texts" "$out" "1052 text Add" "1065 text ready"
expect_line "state: an empty list" "count 0" "$out"
expect_line "state: the focus" "focus 1052" "$out"

probe_says "press hidden" 3 "${main[@]}" press 1053
expect_line "press: a hidden button is refused" "refused 1053 hidden" "$out"
probe_says "click disabled" 3 "${main[@]}" click 1054
expect_line "click: a disabled button is refused" "refused 1054 disabled" "$out"
probe_says "command hidden" 0 "${main[@]}" command 1053
probe_says "command reaches the window" 0 "${main[@]}" wait-text 1065 "hidden pressed"

probe_says "click" 0 "${main[@]}" click 1052
probe_says "click reaches the button" 0 "${main[@]}" wait-text 1065 "added 1"
probe_says "press" 0 "${main[@]}" press 1052
probe_says "press reaches the window" 0 "${main[@]}" wait-text 1065 "added 2"
probe_says "wait-line" 0 "${main[@]}" wait-line $'line 2\twith tab'
probe_says "list" 0 "${main[@]}" list
expect_line "list: the count" "count 2" "$out"
expect_line "list: a line with its tab" $'line 0 line 1\twith tab' "$out"
probe_says "status" 0 "${main[@]}" status
expect_line "status: the status field" "status added 2" "$out"
probe_says "text" 0 "${main[@]}" text 1052
expect_line "text: a control's text" "text 1052 Add" "$out"
probe_says "wait-text times out" 1 "${main[@]}" --timeout 1 wait-text 1065 "never"
expect_line "wait-text: says the last text" "text 1065 added 2" "$out"
probe_says "double-click" 0 "${main[@]}" double-click 1072
expect_grep "double-click: says so" "^double-clicked 1072 " "$out"
probe_says "the system takes it for a click and a double-click" 0 "${main[@]}" wait-text 1065 "clicks 1 double 1"
probe_says "click after a double-click" 0 "${main[@]}" click 1072
probe_says "a click after it is a click of its own" 0 "${main[@]}" wait-text 1065 "clicks 2 double 1"

probe_says "key" 0 "${main[@]}" key escape
probe_says "a typed key reaches the window" 0 "${main[@]}" wait-text 1065 "escape 1"
probe_says "post-key" 0 "${main[@]}" post-key escape
probe_says "a posted key reaches the window" 0 "${main[@]}" wait-text 1065 "escape 2"

probe_says "click Ask" 0 "${main[@]}" click 1070
probe_says "wait for the question" 0 --title "Probe Question" wait
probe_says "the question" 0 --title "Probe Question" controls
expect_controls "a line feed is shown as <0A>" "$out" "65535 text Two<0A>lines?"
probe_says "press on a disabled window" 3 "${main[@]}" press 1052
expect_line "a window under a question is refused" "refused 1052 window-disabled" "$out"
probe_says "answer" 0 --title "Probe Question" click 7
probe_says "the answer arrives" 0 "${main[@]}" wait-text 1065 "answer 7"
probe_says "gone: the question" 0 --title "Probe Question" gone

probe_says "quit" 0 "${main[@]}" click 1071
expect_status "run: the exit code" 7 "$(ui_exit_code "$run" 60)"
expect_line "run: the windows it showed" "windows 3" "$run"
probe_says "gone" 0 --title "Probe Target" gone
probe_says "no window" 1 "${main[@]}" state
expect_line "no window: says so" "no-window" "$out"

probe_says "run: a program's own exit code" 5 run cmd /c exit 5
expect_line "run: no window" "windows 0" "$out"
probe_says "run: a program that does not end" 124 --timeout 2 run 'C:\qv\probe-target.exe' --no-window
expect_line "run: says it ended it" "timeout" "$out"
probe_says "usage" 2 frobnicate 2>/dev/null

summary
