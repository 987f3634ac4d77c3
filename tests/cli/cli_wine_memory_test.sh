#!/usr/bin/env bash
# The memory sweep under Wine: a detected program that is running is found
# among the processes, ended and its file removed; with the choice to leave
# detected files, it runs on and its file stays. The program is the runnable
# sample (make-samples --running), started beside the scanner by run-beside,
# which then says whether it still runs. Each run has a throw-away prefix of
# its own, and every Wine process of it is ended afterwards.
# usage: tests/cli/cli_wine_memory_test.sh WINDOWS-EXE RUN-BESIDE-EXE NATIVE-EXE BUILD-DIR
set -uo pipefail

windows_scan=${1:?usage: cli_wine_memory_test.sh WINDOWS-EXE RUN-BESIDE-EXE NATIVE-EXE BUILD-DIR}
run_beside=${2:?}
native_scan=${3:?}
build_dir=${4:?}
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd -P)
run="$here/../../tools/wine/run.sh"
# shellcheck source=tests/cli/lib.sh
. "$here/lib.sh"
make_work qv-wine-memory

prefix=""
# The kept prefix of the last run: its Wine processes (the looping sample
# above all, which keeps a core busy) are ended, then it is removed.
drop_prefix() {
    if [ -z "$prefix" ] && [ -f "$work/err" ]; then
        prefix=$(sed -n 's/^run.sh: kept prefix //p' "$work/err")
    fi
    if [ -n "$prefix" ] && [ -d "$prefix" ]; then
        env WINEPREFIX="$prefix" wineserver -k >/dev/null 2>&1
        env WINEPREFIX="$prefix" wineserver -w >/dev/null 2>&1
        rm -rf "$prefix"
    fi
    prefix=""
}
# shellcheck disable=SC2317  # called from the EXIT trap
cleanup() {
    drop_prefix
    chmod -R u+rwx "$work" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

make_samples="$(dirname "$native_scan")/make-samples"
mkdir -p "$work/tree"
record=$("$make_samples" --running "$work/tree" | sed -n 's/^running\.exe  //p')
if [ -z "$record" ] || [ ! -f "$work/tree/running.exe" ]; then
    fail "make-samples writes the runnable sample"
    summary
    exit 1
fi
image='C:\t\running.exe'
memory_line='System Memory    W32/Karvex.Trojan  removed'
# A file disposed of from memory is reported under the checker's name, whose
# trailing space gives two before the last word, not under its record's.
file_line='C:\t\running.exe     W32/Karvex.Trojan  removed'


# PROGRAM [ARGS...]: runs PROGRAM beside the running sample in a fresh
# winxp prefix with the sample at C:\t and the scanner at C:\qv; leaves the
# prefix in $prefix, standard output in $work/out, standard error (less
# run.sh's own line) in $work/err and the exit status in $status.
run_beside_sample() {
    rm -f "$work/err"
    "$run" --keep --build-dir "$build_dir" --version winxp --timeout 180 --put "$work/tree=t" \
        --put "$windows_scan=qv/quorvane-scan.exe" -- "$run_beside" "$image" "$@" >"$work/raw" 2>"$work/err"
    status=$?
    tr -d '\r' <"$work/raw" >"$work/out"
    prefix=$(sed -n 's/^run.sh: kept prefix //p' "$work/err")
    grep -v '^run.sh: kept prefix ' "$work/err" | tr -d '\r' >"$work/scan-err"
}

# NAME LINE FILE: LINE is one whole line of FILE.
expect_line() {
    if grep -q -x -F -e "$2" "$3"; then pass "$1"; else fail "$1 (no line '$2' in: $(head -c 400 "$3"))"; fi
}

# NAME FIRST SECOND FILE: both whole lines are there, FIRST before SECOND.
expect_in_order() {
    local first second
    first=$(grep -n -x -F -e "$2" "$4" | head -n 1 | cut -d: -f1)
    second=$(grep -n -x -F -e "$3" "$4" | tail -n 1 | cut -d: -f1)
    if [ -n "$first" ] && [ -n "$second" ] && [ "$first" -lt "$second" ]; then pass "$1"; else
        fail "$1 (lines ${first:-none} and ${second:-none} in: $(head -c 400 "$4"))"
    fi
}

# NAME FILE: none of the scan's result lines in FILE: no memory or registry
# line, no line of a path and a detection name.
expect_no_result_lines() {
    if grep -q -e '^System Memory' -e '^System Registry' -e '^[^ ].*     W32/Karvex\.' "$2"; then
        fail "$1 (got: $(head -c 300 "$2"))"
    else pass "$1"; fi
}

# The harness itself: the sample starts and runs beside a program, and
# run-beside hands on that program's exit code.
run_beside_sample cmd /c exit 3
expect_line "harness: run-beside hands on the program's exit code" 'run-beside: exit 3' "$work/out"
expect_line "harness: the sample runs beside the program" 'run-beside: image still running' "$work/out"
expect_status "harness: run-beside exits with the program's code" 3 "$status"
expect_empty "harness: nothing on standard error" "$work/scan-err"
drop_prefix

# The default choice deletes: the process is ended, then its file removed.
run_beside_sample 'C:\qv\quorvane-scan.exe' --no --quiet 'C:\t'
expect_line "delete: the memory line" "$memory_line" "$work/out"
expect_in_order "delete: the sample's file is removed after the memory line" "$memory_line" "$file_line" "$work/out"
expect_no_result_lines "delete: no result lines on standard error" "$work/scan-err"
expect_line "delete: the scan's exit status is 1" 'run-beside: exit 1' "$work/out"
expect_status "delete: run-beside exits with the scan's status" 1 "$status"
expect_line "delete: the process was ended" 'run-beside: image ended' "$work/out"
if [ -n "$prefix" ] && [ ! -e "$prefix/drive_c/t/running.exe" ]; then
    pass "delete: the file is gone"
else
    fail "delete: the file is gone"
fi
drop_prefix

# Leaving detected files leaves the process too.
run_beside_sample 'C:\qv\quorvane-scan.exe' --no --quiet --choice=leave 'C:\t'
if grep -q -x -F -e "$memory_line" "$work/out"; then fail "leave: no memory line says removed"; else
    pass "leave: no memory line says removed"
fi
expect_no_result_lines "leave: no result lines on standard error" "$work/scan-err"
expect_line "leave: the scan's exit status is 1" 'run-beside: exit 1' "$work/out"
expect_status "leave: run-beside exits with the scan's status" 1 "$status"
expect_line "leave: the process runs on" 'run-beside: image still running' "$work/out"
if [ -n "$prefix" ] && [ -f "$prefix/drive_c/t/running.exe" ]; then
    pass "leave: the file stays"
else
    fail "leave: the file stays"
fi
drop_prefix

summary
