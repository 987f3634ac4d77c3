#!/usr/bin/env bash
# Fuzzes the performance data readers (engine/perf_data.cpp): the perf_data
# target of tools/fuzz/run.sh, kept under its old name.
#
# usage: tools/fuzz/fuzz-perf-data.sh [SECONDS]   (default 600)
set -euo pipefail
exec "$(dirname "${BASH_SOURCE[0]}")/run.sh" perf_data "$@"
