#!/usr/bin/env bash
# Runs the package's postinst against stand-ins for udevadm and ischroot: it
# reloads the rules and triggers the maker's USB devices only where that can
# work, and never fails the installation. usage: postinst_check.sh POSTINST
set -u
postinst=$1
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
failures=0
reload="control --reload-rules"
trigger="trigger --subsystem-match=usb --attr-match=idVendor=1a2b"

# udevadm: the status of its control and trigger runs (- for no udevadm);
# ischroot: its status; the calls expected (reload, trigger).
while IFS='|' read -r argument udevadm ischroot expected; do
    bin=$scratch/bin
    rm -rf "$bin" "$scratch/calls" && mkdir "$bin" && touch "$scratch/calls"
    if [ "$udevadm" != - ]; then
        # shellcheck disable=SC2016 # the stand-in's own $* and $1
        printf '#!/bin/sh\necho "$*" >>%s/calls\n[ "$1" = control ] && exit %s\nexit %s\n' \
            "$scratch" "${udevadm%,*}" "${udevadm#*,}" >"$bin/udevadm"
    fi
    printf '#!/bin/sh\nexit %s\n' "$ischroot" >"$bin/ischroot"
    chmod +x "$bin"/*
    PATH=$bin "$postinst" "$argument" >/dev/null 2>&1
    status=$?
    calls=$(paste -sd';' "$scratch/calls")
    expected=${expected/reload/$reload}
    expected=${expected/trigger/$trigger}
    if [ "$status" -ne 0 ] || [ "$calls" != "$expected" ]; then
        echo "FAIL: postinst $argument (udevadm $udevadm, ischroot $ischroot): exit $status, calls '$calls', expected '$expected'"
        failures=$((failures + 1))
    fi
done <<'CASES'
configure|0,0|1|reload;trigger
configure|1,0|1|reload
configure|0,1|1|reload;trigger
configure|0,0|0|
configure|-|1|
abort-upgrade|0,0|1|
CASES

[ "$failures" -eq 0 ] && echo "postinst reloads the rules only where it can, and never fails"
exit "$((failures > 0))"
