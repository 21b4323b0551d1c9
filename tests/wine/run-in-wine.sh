#!/usr/bin/env bash
# Runs a Windows test program under 64-bit Wine in a prefix of its own, in a
# temporary folder, after importing the given registry file into it. A
# PROGRAM.sh is a script run by bash inside that prefix (it calls wine).
# usage: run-in-wine.sh FILE.reg PROGRAM.exe|PROGRAM.sh [ARGUMENT ...]
set -euo pipefail
reg_file=$1
program=$2
shift 2

work=$(mktemp -d "${TMPDIR:-/tmp}/marnel-wine.XXXXXX")
export WINEPREFIX="$work/prefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
# Keep the host's print queues out of the spooler under test.
export CUPS_SERVER=/nonexistent
unset DISPLAY WAYLAND_DISPLAY
cleanup() {
    wineserver -k >/dev/null 2>&1 || true
    wineserver -w >/dev/null 2>&1 || true
    rm -rf "$work"
}
trap cleanup EXIT

wine wineboot -i >/dev/null 2>&1
cp "$reg_file" "$work/import.reg"
(cd "$work" && wine reg import import.reg >/dev/null)
case $program in
*.sh) bash "$program" "$@" ;;
*) wine "$program" "$@" ;;
esac
