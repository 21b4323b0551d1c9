#!/usr/bin/env bash
# Installs what is missing, builds, and prints the simulated device's report.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/install-deps.sh"
"$top/scripts/build.sh" native >/dev/null
"$top/build/native/src/cli/marnel" --simulate report
