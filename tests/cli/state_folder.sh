#!/bin/sh
# Where marnel keeps its state, as the real environment gives it: none known
# without HOME and MARNEL_STATE_DIR, a relative MARNEL_STATE_DIR taken from
# the current folder and recorded so.
# usage: state_folder.sh MARNEL
set -eu
marnel=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

for command in history backups; do
    status=0
    env -i "$marnel" "$command" >"$work/out" 2>"$work/err" || status=$?
    [ "$status" -eq 2 ] || fail "$command without HOME: exit $status"
    grep -q "no state folder is known" "$work/err" || fail "$command: $(cat "$work/err")"
done

cd "$work"
MARNEL_STATE_DIR=rel "$marnel" --simulate self-test >/dev/null || fail "self-test: exit $?"
grep -q "\"backup\":\"$work/rel/backups/KQ-10_" "$work/rel/history.jsonl" \
    || fail "not recorded as an absolute path: $(cat "$work/rel/history.jsonl")"
mkdir "$work/elsewhere"
cd "$work/elsewhere"
MARNEL_STATE_DIR=../rel "$marnel" backups | grep -q "^$work/elsewhere/../rel/backups/KQ-10_" \
    || fail "backups: $(MARNEL_STATE_DIR=../rel "$marnel" backups 2>&1)"
echo "state folder ok"
