#!/usr/bin/env bash
# Fuzzes the engine's readers of hostile input with libFuzzer, under the
# address and undefined-behaviour sanitizers, each target starting from the
# seeds its seed program writes anew. The engine and the simulated machine
# are built once with clang in build/fuzz (the QUORVANE_FUZZ option).
#
# usage: tools/fuzz/run.sh TARGET [SECONDS]   one target (default 600 s)
#        tools/fuzz/run.sh all [SECONDS]      every target in turn, SECONDS each
#        tools/fuzz/run.sh list               the targets
#
# The corpus of each target grows in build/fuzz/corpus/TARGET; an input that
# crashes, hangs or breaks a promise is left in build/fuzz/crashes/ and the
# exit status is nonzero (for all: after every target has run, naming the
# ones that failed). Each run's output is kept in build/fuzz/logs/TARGET.log.
set -euo pipefail

targets=(perf_data exe_check text_check restart_file run_value walk_names hive_load hive_log_replay hive_writer)

usage() {
    echo "usage: $0 TARGET|all [SECONDS]    (targets: ${targets[*]})" >&2
    exit 2
}

[ $# -ge 1 ] && [ $# -le 2 ] || usage
which=$1
seconds=${2:-600}
case $seconds in
    '' | *[!0-9]*) usage ;;
esac
if [ "$which" = list ]; then
    printf '%s\n' "${targets[@]}"
    exit 0
fi

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd -P)
out=$root/build/fuzz

known() {
    local target
    for target in "${targets[@]}"; do [ "$target" = "$1" ] && return 0; done
    return 1
}
[ "$which" = all ] || known "$which" || usage

build() {
    if [ ! -f "$out/CMakeCache.txt" ]; then
        local generator=()
        command -v ninja >/dev/null && generator=(-G Ninja)
        cmake -S "$root" -B "$out" "${generator[@]}" -DQUORVANE_FUZZ=ON -DQUORVANE_TESTS=OFF \
            -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
            -DCMAKE_C_FLAGS="-g -O1" -DCMAKE_CXX_FLAGS="-g -O1" >/dev/null
    fi
    cmake --build "$out" --target fuzz-targets -j2
}

# seed TARGET FOLDER: the target's first inputs, written anew.
seed() {
    case $1 in
        perf_data) "$out/tools/fuzz/make_perf_seeds" "$2" ;;
        exe_check) "$out/tools/fuzz/make_exe_seeds" "$2" ;;
        text_check) "$out/tools/fuzz/make_text_seeds" "$2" ;;
        restart_file) "$out/tools/fuzz/make_restart_seeds" "$2" ;;
        run_value) "$out/tools/fuzz/make_run_value_seeds" "$2" ;;
        walk_names) "$out/tools/fuzz/make_walk_seeds" "$2" ;;
        hive_load | hive_writer) "$root/tools/fuzz/make-hive-seeds.sh" "$2" "$out/make-hive" ;;
        hive_log_replay) "$out/tools/fuzz/make_log_replay_seeds" "$2" ;;
    esac
}

# dictionary TARGET FILE: the words of the target's format, for the
# mutator to put in; false when it has none. libFuzzer reads only \\, \"
# and \xNN escapes in them.
dictionary() {
    case $1 in
        restart_file) printf '%s\n' '"[rename]"' '"[RENAME]"' '"NUL="' '"\x0d\x0a"' '"["' '"\x0a"' ;;
        text_check) printf '%s\n' '"begin"' '"BEGIN"' '" 644 "' '"\x0d\x0a"' '"\x09"' '"end"' ;;
        walk_names) printf '%s\n' '"/"' '"."' '" "' '"~1"' '"\\"' '"<"' '">"' '"?"' '"\x00"' ;;
        hive_load | hive_writer) printf '%s\n' '"regf"' '"hbin"' '"nk"' '"vk"' '"sk"' '"lf"' '"lh"' '"li"' '"ri"' '"db"' \
            '"\xff\xff\xff\xff"' '"\x00\x10\x00\x00"' ;;
        hive_log_replay) printf '%s\n' '"regf"' '"HvLE"' '"DIRT"' '"hbin"' '"\x06\x00\x00\x00"' '"\x00\x10\x00\x00"' \
            '"\x00\x02\x00\x00"' ;;
        run_value) printf '%s\n' '"\\"' '"\""' '"%windir%"' '"\\system\\"' '"\\system32\\"' '".exe"' '" "' ;;
        *) return 1 ;;
    esac >"$2"
}

# The final figures of a run's log: executions, coverage, features, corpus.
summary() {
    local log=$1 execs done_line
    execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
    done_line=$(grep -E '^#[0-9]+[[:space:]]+DONE' "$log" | tail -n 1 || true)
    [ -n "$done_line" ] || done_line=$(grep -E '^#[0-9]+[[:space:]]' "$log" | tail -n 1 || true)
    local cov ft corp
    cov=$(sed -n 's/.* cov: \([0-9]*\).*/\1/p' <<<"$done_line")
    ft=$(sed -n 's/.* ft: \([0-9]*\).*/\1/p' <<<"$done_line")
    corp=$(sed -n 's/.* corp: \([0-9]*\/[0-9A-Za-z]*\).*/\1/p' <<<"$done_line")
    echo "execs ${execs:-?} cov ${cov:-?} ft ${ft:-?} corpus ${corp:-?}"
}

# fuzz TARGET: one run of SECONDS; its status is the fuzzer's.
fuzz() {
    local target=$1 corpus=$out/corpus/$1 log=$out/logs/$1.log
    local dict=$out/dict/$1.dict options=() work_base=/dev/shm work
    mkdir -p "$corpus" "$out/crashes" "$out/logs" "$out/dict"
    # The targets' drive C: lives in memory where it can: each input makes
    # and removes its files there.
    [ -d "$work_base" ] && [ -w "$work_base" ] || work_base=$out/tmp
    mkdir -p "$work_base"
    work=$(mktemp -d "$work_base/quorvane-fuzz-$target.XXXXXX")
    seed "$target" "$corpus"
    if dictionary "$target" "$dict"; then options+=(-dict="$dict"); fi
    echo "fuzz: $target for $seconds s" >&2
    local status=0
    # An input that takes ten seconds is a hang: every reader is linear in its size.
    TMPDIR=$work "$out/tools/fuzz/${target}_fuzz" -max_total_time="$seconds" -timeout=10 -print_final_stats=1 \
        -artifact_prefix="$out/crashes/$target-" "${options[@]}" "$corpus" >"$log" 2>&1 || status=$?
    rm -rf "$work"
    echo "fuzz: $target: $(summary "$log")$([ "$status" -eq 0 ] || echo ", FAILED (status $status, see $log)")" >&2
    return "$status"
}

build
if [ "$which" != all ]; then
    fuzz "$which"
    exit
fi

failed=()
for target in "${targets[@]}"; do
    fuzz "$target" || failed+=("$target")
done
if [ "${#failed[@]}" -gt 0 ]; then
    echo "fuzz: failed: ${failed[*]}; the inputs are in $out/crashes/" >&2
    exit 1
fi
