#!/usr/bin/env bash
# A tree that another process keeps changing (tests/cli/churn.py) is scanned
# over and over, with "delete", for a minute: every scan must end by itself,
# with exit status 0, 1 or 2 and no sanitizer report, and the part of the
# tree nobody changes must come out as it should: its clean files exactly as
# they were, its samples gone.
# usage: tests/cli/cli_churn_test.sh PATH/TO/quorvane-scan PATH/TO/make-samples
#        tests/cli/cli_churn_test.sh --wine BUILD-DIR PATH/TO/quorvane-scan.exe PATH/TO/make-samples
# QUORVANE_CHURN_SECONDS sets how long the tree keeps changing (60).
set -uo pipefail

wine_build=""
if [ "${1:-}" = --wine ]; then
    wine_build=${2:?usage: cli_churn_test.sh --wine BUILD-DIR EXE MAKE-SAMPLES}
    shift 2
fi
scan=${1:?usage: cli_churn_test.sh PATH/TO/quorvane-scan PATH/TO/make-samples}
make_samples=${2:?usage: cli_churn_test.sh PATH/TO/quorvane-scan PATH/TO/make-samples}
seconds=${QUORVANE_CHURN_SECONDS:-60}
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd -P)
# shellcheck source=tests/cli/lib.sh
. "$here/lib.sh"

make_work qv-churn
"$make_samples" --near-misses "$work/gen" >/dev/null
tree=$work/tree
mkdir -p "$tree/still/clean" "$tree/still/samples" "$tree/churn"
cp "$work"/gen/near/* "$tree/still/clean/"
make_flat_tree "$tree/still/clean" 10 100
cp "$work"/gen/sample0[0-9].exe "$tree/still/samples/"
manifest_of_tree "$tree/still/clean" >"$work/before"

# One scan of the whole tree, with nobody to answer a question; its exit
# status, output and errors in $work/N.*
scan_once() { # N
    if [ -n "$wine_build" ]; then
        # C:\tree is a link to the tree the churn changes, so Wine sees every change.
        "$here/../../tools/wine/run.sh" --build-dir "$wine_build" --timeout 120 --put "$work/link=tree" -- \
            "$scan" --quiet --choice delete 'C:\tree' </dev/null >"$work/$1.out" 2>"$work/$1.err"
    else
        timeout 120 "$scan" --quiet --choice delete "$tree" </dev/null >"$work/$1.out" 2>"$work/$1.err"
    fi
    echo $? >"$work/$1.status"
}
[ -z "$wine_build" ] || ln -s "$tree" "$work/link"

python3 "$here/churn.py" "$tree/churn" "$work/gen" "$seconds" 20261209 >"$work/churn.out" &
churn=$!
runs=0
while kill -0 "$churn" 2>/dev/null; do
    runs=$((runs + 1))
    scan_once "$runs"
done
wait "$churn"
expect_status "the tree was changed throughout without a failure of its own" 0 $?
echo "changes made: $(tr '\n' ' ' <"$work/churn.out")"
expect_status "scans ran while the tree changed" 1 $((runs >= 1))

bad_status=0
unfinished=0
for n in $(seq 1 "$runs"); do
    status=$(cat "$work/$n.status")
    case $status in
        0 | 1 | 2) ;;
        *) bad_status=$((bad_status + 1)); echo "    scan $n: exit status $status" ;;
    esac
    if ! grep -q '^Scanning completed' "$work/$n.err"; then
        unfinished=$((unfinished + 1))
        echo "    scan $n, exit status $status, ended with: $(tail -c 400 "$work/$n.err")"
    fi
    if grep -qE 'Sanitizer|runtime error:' "$work/$n.err"; then fail "scan $n: sanitizer report: $(head -c 300 "$work/$n.err")"; fi
done
expect_status "every scan ended with 0, 1 or 2 ($runs scans)" 0 "$bad_status"
expect_status "every scan ran to its closing word" 0 "$unfinished"
expect_grep "the first scan removed the samples nobody moved" \
    'still.samples.sample09\.exe     W32/Karvex\..* removed' "$work/1.out"
expect_same "the samples nobody moved are gone" <(find "$tree/still/samples" -type f) </dev/null
expect_same "the clean files nobody changed are exactly as they were" <(manifest_of_tree "$tree/still/clean") \
    <"$work/before"

summary
