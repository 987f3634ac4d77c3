#!/usr/bin/env bash
# Times a native scan of a generated tree: FILES small files in folders of
# 100, every sample and its near misses among them. Prints the wall time,
# files per second and the peak memory. Not a test: numbers, not verdicts.
# usage: tools/benchmark.sh [FILES]   (default 100000)
set -euo pipefail

files=${1:-100000}
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd -P)
cd "$top"
[ -f build/native/CMakeCache.txt ] || cmake --preset native >/dev/null
cmake --build --preset native >/dev/null

tree=$(mktemp -d "${TMPDIR:-/tmp}/qv-bench.XXXXXX")
trap 'rm -rf "$tree"' EXIT
python3 - "$tree" "$files" <<'PY'
import os, sys
root, total = sys.argv[1], int(sys.argv[2])
per_folder = 100
for n in range(total):
    folder = os.path.join(root, "f%04d" % (n // per_folder))
    if n % per_folder == 0:
        os.makedirs(folder)
    with open(os.path.join(folder, "file%03d.dat" % (n % per_folder)), "wb") as out:
        out.write(b"MZ" + bytes(n % 512))
PY
build/native/make-samples --near-misses "$tree/samples" >/dev/null
count=$(find "$tree" -type f | wc -l)

start=$(date +%s.%N)
/usr/bin/env time -f '%M' -o "$tree.rss" build/native/quorvane-scan --quiet --choice leave "$tree" >/dev/null 2>&1 || true
end=$(date +%s.%N)
rss=$(tail -n 1 "$tree.rss"); rm -f "$tree.rss"
python3 -c "import sys; s=$end-$start; print('%d files in %.2f s: %.0f files/s, peak memory %d KiB' % ($count, s, $count/s, $rss))"
