#!/usr/bin/env bash
# Installs what building the tool needs, builds the tool alone and prints the
# simulated device's report. A native tree already configured (by
# scripts/build.sh native, with its tests) is reused as it is.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
tree=$top/build/native
"$top/scripts/install-deps.sh" native
if [ ! -f "$tree/CMakeCache.txt" ]; then
    cmake -S "$top" -B "$tree" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMARNEL_TESTS=OFF >/dev/null
fi
cmake --build "$tree" -j "$(nproc)" --target marnel >/dev/null
"$tree/src/cli/marnel" --simulate report
