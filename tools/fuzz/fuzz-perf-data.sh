#!/usr/bin/env bash
# Fuzzes the performance data readers (engine/perf_data.cpp) with libFuzzer
# under the address and undefined-behaviour sanitizers, starting from seeds
# made by make_perf_seeds. Exits nonzero when an input crashes, hangs or
# breaks what the readers promise; the input is left in build/fuzz/crashes/.
#
# usage: tools/fuzz/fuzz-perf-data.sh [SECONDS]   (default 600)
set -euo pipefail

seconds=${1:-600}
case $seconds in
    '' | *[!0-9]*) echo "usage: $0 [SECONDS]" >&2; exit 2 ;;
esac

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd -P)
out=$root/build/fuzz
mkdir -p "$out/corpus" "$out/crashes"

compile=(clang++ -std=c++17 -g -O1 -Wall -Wextra -I"$root/platform" -I"$root/engine")
"${compile[@]}" -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all \
    "$root/tools/fuzz/perf_data_fuzz.cpp" "$root/engine/perf_data.cpp" \
    "$root/platform/sim/text_conversion.cpp" "$root/tools/fuzz/last_error.cpp" \
    -o "$out/perf_data_fuzz"
"${compile[@]}" "$root/tools/fuzz/make_perf_seeds.cpp" -o "$out/make_perf_seeds"
"$out/make_perf_seeds" "$out/corpus"

# An input that takes a second is a hang: the readers are linear in the size.
exec "$out/perf_data_fuzz" -max_total_time="$seconds" -timeout=10 -print_final_stats=1 \
    -artifact_prefix="$out/crashes/" "$out/corpus"
