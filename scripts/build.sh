#!/usr/bin/env bash
# Configures and builds one tree. usage: build.sh native|asan|win64|fuzz
# win64 is the MinGW-w64 cross build of the Windows side; its tests run under Wine.
# fuzz is the libFuzzer targets, built with clang (scripts/fuzz.sh runs them).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
kind=${1:-native}
jobs=$(nproc)
case $kind in
# MARNEL_TESTS=ON: a native tree that the demo configured for the tool alone
# gains its tests.
native) cmake -S "$top" -B "$top/build/native" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
            -DMARNEL_TESTS=ON >/dev/null ;;
asan) cmake -S "$top" -B "$top/build/asan" -DCMAKE_BUILD_TYPE=Debug -DMARNEL_SANITIZE=ON \
          -DMARNEL_TESTS=ON >/dev/null ;;
win64) cmake -S "$top" -B "$top/build/win64" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
           -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-w64-x86_64.cmake" >/dev/null ;;
fuzz) CC=clang-14 CXX=clang++-14 cmake -S "$top" -B "$top/build/fuzz" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
          -DMARNEL_FUZZ=ON >/dev/null ;;
*) echo "usage: build.sh native|asan|win64|fuzz" >&2; exit 2 ;;
esac
if [ "$kind" = fuzz ]; then
    cmake --build "$top/build/fuzz" -j "$jobs" --target marnel_fuzzers
else
    cmake --build "$top/build/$kind" -j "$jobs"
fi
