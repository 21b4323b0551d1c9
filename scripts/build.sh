#!/usr/bin/env bash
# Configures and builds one tree. usage: build.sh native|asan
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
kind=${1:-native}
jobs=$(nproc)
case $kind in
native) cmake -S "$top" -B "$top/build/native" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null ;;
asan) cmake -S "$top" -B "$top/build/asan" -DCMAKE_BUILD_TYPE=Debug -DMARNEL_SANITIZE=ON >/dev/null ;;
*) echo "usage: build.sh native|asan" >&2; exit 2 ;;
esac
cmake --build "$top/build/$kind" -j "$jobs"
