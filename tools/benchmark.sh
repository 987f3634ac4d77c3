#!/usr/bin/env bash
# Kept for old habits: the benchmark is tools/bench/run.sh (make bench).
# usage: tools/benchmark.sh [FILES] [tools/bench/run.sh options]
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd -P)
files=${1:-50000}
[ "$#" -eq 0 ] || shift
exec "$here/bench/run.sh" --files "$files" "$@"
