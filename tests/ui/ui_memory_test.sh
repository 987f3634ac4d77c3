#!/usr/bin/env bash
# A detected program that is running (the runnable sample, started beside
# the program by run-beside) is ended and its file removed. On the NT family
# the scan's memory sweep finds it and the program ends after the sweep, so
# that it is run again to scan the drives (Wine ends the sample at the first
# attempt and lets the second one pass, so no restart is needed and none is
# offered). On Windows 98 Wine's process list names bare file names, which
# the sweep cannot test, so the drive scan finds the file: its delete ends
# the process first, and the scan goes on to its end.
# usage: tests/ui/ui_memory_test.sh QUORVANE-EXE UI-PROBE-EXE RUN-BESIDE-EXE NATIVE-SCAN BUILD-DIR
set -uo pipefail

program=${1:?usage: ui_memory_test.sh QUORVANE-EXE UI-PROBE-EXE RUN-BESIDE-EXE NATIVE-SCAN BUILD-DIR}
probe=${2:?}
run_beside=${3:?}
native_scan=${4:?}
build_dir=${5:?}
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd -P)
# shellcheck source=tests/ui/lib.sh
. "$here/lib.sh"
# shellcheck source=tests/ui/quorvane.sh
. "$here/quorvane.sh"

qv_find_make_samples "$native_scan"
ui_setup memory "$build_dir" "$probe"
mkdir -p "$ui_work/t"
record=$("$make_samples" --running "$ui_work/t" | sed -n 's/^running\.exe  //p')
[ -n "$record" ] || { echo "make-samples wrote no runnable sample"; exit 1; }

# VERSION: the sample runs beside the program; its window is up.
start_beside_sample() {
    qv_prepare "$program" "$1"
    ui_put "$ui_work/t" t
    ui_put "$run_beside" qv/run-beside.exe
    qv_start run-beside.exe 'C:\t\running.exe' 'C:\qv\Quorvane.exe'
}

# NAME: the sample's process was ended and its file is gone.
expect_sample_gone() {
    expect_line "$1: the sample's process was ended" "run-beside: image ended" "$qv_run"
    if [ -e "$ui_drive/t/running.exe" ]; then fail "$1: the sample's file is gone"; else
        pass "$1: the sample's file is gone"
    fi
}

if start_beside_sample win98; then pass "win98: the window shows"; else fail "win98: the window shows"; fi
ui_probe "${qv_main[@]}" click 1052 >/dev/null
qv_wait_finished
qv_state "$ui_work/finished"
ui_shot main-finished-memory-win98
expect_line "win98: the file's line comes first" "line 0 C:\\t\\running.exe     $record removed" "$ui_work/finished"
expect_line "win98: then the statistics" "line 2 Scanning statistics" "$ui_work/finished"
expect_controls "win98: the drive scan follows to its end" "$ui_work/finished" "1065 text Scanning completed" \
    "${qv_finished_facts[@]}"
ui_probe "${qv_main[@]}" click 1070 >/dev/null
expect_ended "win98, OK"
expect_sample_gone win98

if start_beside_sample winxp; then pass "winxp: the window shows"; else fail "winxp: the window shows"; fi
ui_probe "${qv_main[@]}" click 1052 >/dev/null
expect_ended "winxp: after the sweep"
expect_sample_gone winxp
expect_line "winxp: no question was asked" "windows 0" "$qv_run"

summary
