#!/bin/sh
# Runs a test program on umockdev's emulated buses. The sanitizer runtime
# cannot be first in the library list when umockdev's library is preloaded.
ASAN_OPTIONS="verify_asan_link_order=0${ASAN_OPTIONS:+:$ASAN_OPTIONS}"
export ASAN_OPTIONS
exec umockdev-wrapper "$@"
