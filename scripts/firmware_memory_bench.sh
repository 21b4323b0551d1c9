#!/usr/bin/env bash
# Sends 64 MiB and 1 GiB firmware files through a private CUPS server to the
# emulated KQ-10, with `marnel firmware` and with `lp -o raw`, and prints the
# times and each tool's peak memory. Slow (minutes) and not part of ctest.
# usage: firmware_memory_bench.sh [BUILD_DIR]   (default build/native)
# MARNEL_BENCH_MIB=64 measures one size only.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$top/build/native}
cmake --build "$build" -j2 --target marnel marnel_firmware_bench >/dev/null
cups=$(mktemp -d /tmp/marnel-bench-XXXXXX)
trap '"$top/tests/posix/cups_server.sh" stop "$cups"; rm -rf "$cups"' EXIT
"$top/tests/posix/cups_server.sh" start "$cups"
MARNEL_TEST_CUPS_DIR=$cups "$top/tests/posix/under_umockdev.sh" \
    "$build/tests/posix/marnel_firmware_bench"
