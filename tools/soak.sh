#!/usr/bin/env bash
# The console front end on growing trees (by default 20,000, 50,000 and
# 200,000 files, with every sample and near miss among them): each scan
# must finish, and its peak memory must stay flat however many files the
# tree holds, as the scan keeps nothing per file (the folders hold 100
# entries each, in two levels). Prints the peak of each
# and fails when the largest is more than 10% above the smallest.
# usage: tools/soak.sh [FILES...]
set -euo pipefail

sizes=("$@")
[ "${#sizes[@]}" -gt 0 ] || sizes=(20000 50000 200000)
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd -P)
cd "$top"
[ -f build/native/CMakeCache.txt ] || cmake --preset native >/dev/null
cmake --build --preset native >/dev/null

work=$(mktemp -d "${TMPDIR:-/tmp}/qv-soak.XXXXXX")
trap 'rm -rf "$work"' EXIT
build/native/make-samples --near-misses "$work/samples" >/dev/null

peaks=()
for files in "${sizes[@]}"; do
    rm -rf "$work/tree"
    # No folder holds more than 100 entries, so that the peak measures what
    # the scan keeps per file, not the size of one large listing.
    tools/bench/make_tree "$work/tree" "$files" 1
    cp -a "$work/samples/near" "$work/tree/near"
    status=0
    /usr/bin/env time -f '%M' -o "$work/rss" build/native/quorvane-scan --quiet --choice leave "$work/tree" \
        >"$work/out" 2>"$work/err" || status=$?
    if [ "$status" -ne 1 ] || ! grep -q '^Scanning completed$' "$work/err"; then
        echo "$files files: the scan did not finish as it should (exit $status)" >&2
        exit 1
    fi
    peak=$(tail -n 1 "$work/rss")
    peaks+=("$peak")
    echo "$(grep 'scanned' "$work/out" | tr -s '\t ' ' ' | sed 's/^ //'): peak memory $peak KiB"
done
python3 - "${peaks[@]}" <<'PY'
import sys
peaks = [int(p) for p in sys.argv[1:]]
growth = max(peaks) / min(peaks) - 1
print("peak memory from %d to %d KiB: %+.1f%%" % (min(peaks), max(peaks), growth * 100))
sys.exit(0 if growth <= 0.10 else 1)
PY
