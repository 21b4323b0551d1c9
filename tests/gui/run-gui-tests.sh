#!/usr/bin/env bash
# Runs the Windows program's GUI tests under Wine on a private X display:
# the resources built into the program, the test build against simulated
# machines, and the product against printers imported into Wine's registry.
# Screenshots of the main window, the About box, the warning, a command's
# box and the report window go to
# SHOT_DIR.
#
# usage: run-gui-tests.sh BUILD_DIR SOURCE_DIR SHOT_DIR
set -euo pipefail

build=$(cd "$1" && pwd)
here=$(cd "$2/tests/gui" && pwd)
mkdir -p "$3"
shots=$(cd "$3" && pwd)

app_dir=$build/src/window
driver=$build/tests/gui/gui_driver.exe
product=$app_dir/marnel.exe
simulated=$app_dir/marnel-sim.exe

work=$(mktemp -d "${TMPDIR:-/tmp}/marnel-gui.XXXXXX")
xvfb_pid=
cleanup() {
    status=$?
    if [ -n "${WINEPREFIX:-}" ] && [ -d "$WINEPREFIX" ]; then
        wineserver -k 2>/dev/null || true
    fi
    if [ -n "$xvfb_pid" ]; then
        kill "$xvfb_pid" 2>/dev/null || true
        wait "$xvfb_pid" 2>/dev/null || true
    fi
    rm -rf "$work"
    exit $status
}
trap cleanup EXIT

# A free display: Xvfb refuses a number that is taken, so try the next.
for display in $(seq 90 160); do
    [ -e "/tmp/.X11-unix/X$display" ] || [ -e "/tmp/.X$display-lock" ] && continue
    Xvfb ":$display" -screen 0 1024x768x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
    xvfb_pid=$!
    for _ in $(seq 100); do
        [ -e "/tmp/.X11-unix/X$display" ] && break
        kill -0 "$xvfb_pid" 2>/dev/null || break
        sleep 0.05
    done
    if kill -0 "$xvfb_pid" 2>/dev/null && [ -e "/tmp/.X11-unix/X$display" ]; then
        break
    fi
    xvfb_pid=
done
[ -n "$xvfb_pid" ] || { echo "no free X display" >&2; exit 1; }

export DISPLAY=":$display"
export WINEPREFIX=$work/prefix
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
# Keep the host's CUPS queues out of Wine's printer list.
export CUPS_SERVER=/nonexistent

echo "== Wine prefix and display :$display"
wine wineboot -i >/dev/null 2>&1
wine reg import "$(winepath -w "$here/managed.reg")" >/dev/null 2>&1

# ImageMagick runs as a Unix program, through the shell, from the driver.
unix_shell=$(winepath -w /bin/sh)
win() { winepath -w "$1"; }

failed=0
run() {
    echo "== $*" | sed "s|$build/||g"
    wine "$driver" "$@" || failed=1
}

printers_key='HKLM\System\CurrentControlSet\Control\Print\Printers'
product_case() {
    local regfile=$1 expected=$2 shot=$3
    if [ -n "$regfile" ]; then
        wine reg import "$(win "$here/$regfile")" >/dev/null 2>&1
    fi
    run product "$(win "$product")" "$expected" ${shot:+"$shots/$shot" "$unix_shell"}
}

run resources "$(win "$product")"
if [ -f "$simulated" ]; then
    run sim "$(win "$simulated")" "$(win "$here/scenarios")" "$shots" "$unix_shell"
    run drop "$(win "$simulated")" "$(win "$here/scenarios")"
    mkdir -p "$work/files"
    run commands "$(win "$simulated")" "$(win "$here/scenarios")" "$(win "$work/files")" \
        "$shots" "$unix_shell"
else
    echo "SKIP the test build marnel-sim.exe: no simulated world in this build"
fi
product_case "" "- No Device -" ""
product_case product-one.reg "Zarvel KQ-10" product-main-window.png
product_case product-offline.reg "- No Device -" ""
wine reg delete "$printers_key\\Zarvel KQ-10" /f >/dev/null 2>&1 || true

echo "== screenshots in $shots"
ls "$shots"
exit $failed
