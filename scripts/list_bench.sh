#!/usr/bin/env bash
# Times `marnel list` with 16 and 48 emulated units and `marnel report` with
# one, beside a private CUPS server, and prints the medians and the ratio of
# the two listings. Not part of ctest.
# usage: list_bench.sh [BUILD_DIR] [TOOL]   (default build/native and its marnel;
# TOOL: another build's marnel, to compare with)
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$top/build/native}
cmake --build "$build" -j2 --target marnel marnel_list_bench >/dev/null
cups=$(mktemp -d /tmp/marnel-bench-XXXXXX)
trap '"$top/tests/posix/cups_server.sh" stop "$cups"; rm -rf "$cups"' EXIT
"$top/tests/posix/cups_server.sh" start "$cups"
MARNEL_BENCH_TOOL=${2:-} MARNEL_TEST_CUPS_DIR=$cups MARNEL_STATE_DIR=$cups/state \
    "$top/tests/posix/under_umockdev.sh" "$build/tests/posix/marnel_list_bench"
