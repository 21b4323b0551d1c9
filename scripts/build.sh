#!/usr/bin/env bash
# Configures and builds one tree. usage: build.sh native|asan|win64
# win64 is the MinGW-w64 cross build of the Windows side; its tests run under Wine.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
kind=${1:-native}
jobs=$(nproc)
case $kind in
native) cmake -S "$top" -B "$top/build/native" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null ;;
asan) cmake -S "$top" -B "$top/build/asan" -DCMAKE_BUILD_TYPE=Debug -DMARNEL_SANITIZE=ON >/dev/null ;;
win64) cmake -S "$top" -B "$top/build/win64" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
           -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-w64-x86_64.cmake" >/dev/null ;;
*) echo "usage: build.sh native|asan|win64" >&2; exit 2 ;;
esac
cmake --build "$top/build/$kind" -j "$jobs"
