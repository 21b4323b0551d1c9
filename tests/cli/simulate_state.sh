#!/bin/sh
# Separate processes on one state file: four at once, each changing its own
# unit, lose none of each other's changes.
# usage: simulate_state.sh MARNEL
set -eu
marnel=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
export MARNEL_STATE_DIR="$work/state"
state="$work/units.json"

"$marnel" --simulate=KQ-10,KQ-10,KQ-10,KQ-10 --simulate-state "$state" list >/dev/null \
    || fail "seeding: exit $?"
# A block every unit stores: the ZT-5's, with a valid checksum of its own.
"$marnel" --simulate=ZT-5 get-params "$work/zt5.prm" >/dev/null || fail "get-params: exit $?"
for n in 1 2 3 4; do
    "$marnel" --simulate-state "$state" --serial "KQ10SN000$n" put-params --force --no-backup \
        "$work/zt5.prm" >"$work/put$n.out" 2>&1 &
done
wait
for n in 1 2 3 4; do
    "$marnel" --simulate-state "$state" --serial "KQ10SN000$n" get-params "$work/unit$n.prm" \
        >/dev/null || fail "unit $n: get-params: exit $?"
    cmp -s "$work/zt5.prm" "$work/unit$n.prm" || fail "unit $n lost its change: $(cat "$work/put$n.out")"
done
echo "simulate state ok"
