#!/usr/bin/env bash
# The dialog program's part of the speed benchmark (tools/bench/run.sh
# --dialog): a scan of a generated tree through Quorvane.exe's window under
# Wine and Xvfb, against quorvane-scan.exe under Wine on the same drive C:.
# It drives the window with the probe of the dialog tests (tests/ui/lib.sh,
# tests/ui/quorvane.sh). Not a test: it fails only when a program does not
# run as it should (a scan that does not end, does not scan every file of
# drive C: or does not remove every sample).
#
# usage: tools/bench/dialog.sh FILES SEED RUNS
#   FILES  files in the tree besides the samples (tools/bench/make_tree)
#   SEED   the tree's seed
#   RUNS   timed runs of each program, after an untimed one of each
# Wants the native preset (make-samples) and the windows preset (Quorvane.exe,
# quorvane-scan.exe, ui-probe.exe) built; tools/bench/run.sh --dialog does both.
#
# Prints "NAME VALUE" lines, times as medians in seconds:
#   dialog_files           files the window scanned in each run (the console
#                          program scanned as many)
#   dialog_s               Scan pressed until the scan has ended, in the window
#   wine_cli_s             quorvane-scan.exe under Wine, start to exit
#   wine_cli_start_s       quorvane-scan.exe --version under Wine: the part of
#                          wine_cli_s that is starting a program at all
#   ratio_dialog_wine_cli  dialog_s over wine_cli_s
set -uo pipefail

top=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd -P)
cd "$top" || exit 1

usage() {
    sed -n '/^# usage:/,/^[^#]/s/^# \{0,1\}//p' "${BASH_SOURCE[0]}" >&2
    exit 2
}
[ "$#" -eq 3 ] || usage
files=$1 seed=$2 runs=$3
if ! [[ "$files" =~ ^[0-9]+$ && "$runs" =~ ^[1-9][0-9]*$ ]]; then usage; fi

build=build/windows
program=$build/Quorvane.exe
scan_exe=$build/quorvane-scan.exe
probe=$build/tests/ui/ui-probe.exe
for built in "$program" "$scan_exe" "$probe" build/native/make-samples; do
    [ -f "$built" ] || { echo "dialog.sh: no $built: build the native and windows presets first" >&2; exit 1; }
done

# shellcheck source=tests/ui/lib.sh
. tests/ui/lib.sh
# shellcheck source=tests/ui/quorvane.sh
. tests/ui/quorvane.sh

# A probe or program that is still busy after this has hung: a big tree
# scans slowly through the window on a busy machine, so allow 50 ms a file.
ui_command_limit=$((180 + files / 20))

ui_setup bench-dialog "$build" "$probe"

die() {
    echo "dialog.sh: $*" >&2
    ui_shot bench-dialog-failed >&2
    exit 1
}

tree=$ui_work/tree
tools/bench/make_tree "$tree" "$files" "$seed" || die "make_tree failed"
samples=$(find "$tree/samples" -type f | wc -l)

# One prefix for every run: the program and the console program in C:\qv,
# the tree in C:\tree, drive C: the only fixed drive. Both scan every fixed
# drive, so both walk the prefix's own Windows folder as well as the tree.
qv_prepare "$program"
ui_put "$scan_exe" qv/quorvane-scan.exe
ui_put "$tree" tree

# The Wine server and the services it starts stay up for the whole
# benchmark, and an untimed run of each program comes first: no timed run
# holds Wine's own start-up, only its program's.
env WINEPREFIX="$ui_prefix" wineserver -w
env WINEPREFIX="$ui_prefix" wineserver -p || die "could not start a lasting Wine server"

# The window has no choice: it deletes what it finds. So the console
# program deletes too (--choice delete), and before every run of either the
# samples' folder is put back as make_tree wrote it: every run starts from
# the same drive C: and does the same work, the deletions and the registry
# and hosts file checks that follow each detection included. Leaving the
# samples out instead would time a scan that finds nothing, which is not
# the work a user asks of the window.
restore_samples() {
    rm -rf "$ui_drive/tree/samples"
    ui_put "$tree/samples" tree/samples
    on_c=$(qv_files_on_c)
}

# STATISTICS-FILE LABEL: the "Total files ..." figure of LABEL (scanned, removed).
total() { sed -n "s/^\(line [0-9]* \)\{0,1\}Total files $2[[:space:]]*:[[:space:]]*\([0-9]*\)\$/\2/p" "$1"; }

# NAME FILE: the statistics in FILE say every file of C: was scanned and every sample removed.
check_statistics() {
    local scanned removed
    scanned=$(total "$2" scanned)
    removed=$(total "$2" removed)
    [ "$scanned" = "$on_c" ] || die "$1 scanned ${scanned:-no} files, drive C: holds $on_c"
    [ "$removed" = "$samples" ] || die "$1 removed ${removed:-no} files, not the $samples samples"
}

elapsed() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.6f\n", b - a }'; }

# The window's time runs from the return of the probe's click on Scan (the
# press is in the window's input by then; the scan begins at the timer the
# press sets) to the moment the probe sees OK, which shows only once the
# scan has returned. That probe is started as the scan begins and looks
# every 50 ms, so its own start is not in the time. Then, untimed, the end
# as the dialog tests take it: the searching line is gone too.
dialog_run() { # TIMES-FILE
    local start end code
    restore_samples
    # shellcheck disable=SC2119  # started with no arguments, as a person does
    qv_start || die "the window did not show"
    ui_probe "${qv_main[@]}" click 1052 >/dev/null || die "could not click Scan"
    start=$EPOCHREALTIME
    ui_probe "${qv_main[@]}" --timeout "$ui_command_limit" wait-shown 1070 >/dev/null ||
        die "the scan did not end within ${ui_command_limit}s"
    end=$EPOCHREALTIME
    ui_probe "${qv_main[@]}" --timeout 30 wait-hidden 1076 >/dev/null || die "the searching line stays after the scan"
    qv_state "$ui_work/dialog.state"
    check_statistics "the window" "$ui_work/dialog.state"
    dialog_files=$(total "$ui_work/dialog.state" scanned)
    ui_probe "${qv_main[@]}" click 1070 >/dev/null || die "could not click OK"
    code=$(ui_exit_code "$qv_run" 60)
    [ "$code" = 0 ] || die "the window's program ended with $code, not 0"
    elapsed "$start" "$end" >>"$1"
}

# NAME TIMES-FILE STATUS ARGS...: quorvane-scan.exe ARGS under Wine, from
# its start to its exit, which must be STATUS.
cli_run() {
    local name=$1 times=$2 expected=$3 start end status=0
    shift 3
    start=$EPOCHREALTIME
    ui_wine 'C:\qv\quorvane-scan.exe' "$@" >"$ui_work/$name.out" 2>"$ui_work/$name.err" || status=$?
    end=$EPOCHREALTIME
    [ "$status" -eq "$expected" ] ||
        die "quorvane-scan.exe $* exited $status, not $expected: $(tail -n 3 "$ui_work/$name.err")"
    elapsed "$start" "$end" >>"$times"
}

scan_run() { # TIMES-FILE
    restore_samples
    cli_run scan "$1" 1 --choice delete --quiet
    tr -d '\r' <"$ui_work/scan.out" >"$ui_work/scan.statistics"
    check_statistics "quorvane-scan.exe" "$ui_work/scan.statistics"
}

dump_times() { for f in "$ui_work"/*.times; do echo "$(basename "$f"): $(tr "\n" " " <"$f")" >&2; done; }
median() { sort -g "$1" | awk '{ v[NR] = $1 } END { printf "%.4f\n", (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

# The untimed pass, then the timed runs, alternating.
dialog_run "$ui_work/warm.times"
scan_run "$ui_work/warm.times"
for ((run = 0; run < runs; run++)); do
    dialog_run "$ui_work/dialog.times"
    scan_run "$ui_work/scan.times"
    cli_run start "$ui_work/start.times" 0 --version
done

dump_times
dialog_s=$(median "$ui_work/dialog.times")
wine_cli_s=$(median "$ui_work/scan.times")
echo "dialog_files $dialog_files"
echo "dialog_s $dialog_s"
echo "wine_cli_s $wine_cli_s"
echo "wine_cli_start_s $(median "$ui_work/start.times")"
echo "ratio_dialog_wine_cli $(awk -v a="$dialog_s" -v b="$wine_cli_s" 'BEGIN { printf "%.2f\n", a / b }')"
