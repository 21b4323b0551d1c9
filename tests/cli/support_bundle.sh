#!/bin/sh
# marnel support-bundle on the simulated device: the archive holds exactly
# the collected items under one folder, each item says how its command
# ended, an existing file is never replaced, and nothing is left behind.
# usage: support_bundle.sh MARNEL
set -eu
marnel=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export MARNEL_STATE_DIR="$work/state" TMPDIR="$work/tmp"
mkdir "$work/tmp"
fail() { echo "FAIL: $*" >&2; exit 1; }

# A history longer than the bundle keeps: 1.5 MiB of older lines first.
mkdir -p "$work/state"
awk 'BEGIN { for (i = 0; i < 20000; i++) printf "{\"time\":\"2026-01-01T00:00:00Z\",\"operation\":\"self-test\",\"printer\":\"old %05d\"}\n", i }' \
    >"$work/state/history.jsonl"
"$marnel" --simulate self-test >/dev/null  # leaves a history line
"$marnel" --simulate support-bundle "$work/b.tar.gz" >"$work/said" || fail "exit $?"
[ "$(stat -c %a "$work/b.tar.gz")" = 600 ] || fail "mode $(stat -c %a "$work/b.tar.gz")"
grep -q "^  report.txt  *exit 0 " "$work/said" || fail "no report line: $(cat "$work/said")"
grep -q "^Support bundle written to $work/b.tar.gz (10 items)" "$work/said" || fail "$(cat "$work/said")"

tar tzf "$work/b.tar.gz" | sed 's|^[^/]*/||' | grep -v '^$' | sort >"$work/listed"
sort >"$work/expected" <<EOL
MANIFEST.txt
README.txt
device-version.txt
doctor.json
doctor.stderr.txt
doctor.txt
history.jsonl
identity-trace.stderr.txt
identity-trace.txt
libraries.txt
list.txt
parameters.prm
report.txt
version.txt
EOL
# doctor is another command's work: whatever it said is kept, stderr or not.
grep -v '^doctor.stderr.txt$' "$work/listed" >"$work/l" || true
grep -v '^doctor.stderr.txt$' "$work/expected" >"$work/e" || true
diff "$work/e" "$work/l" || fail "archive contents differ"
[ "$(tar tzf "$work/b.tar.gz" | cut -d/ -f1 | sort -u | wc -l)" -eq 1 ] || fail "more than one folder"

mkdir "$work/x"
tar xzf "$work/b.tar.gz" -C "$work/x"
b=$(echo "$work"/x/marnel-support-*)
[ "$(wc -c <"$b/parameters.prm")" -eq 266 ] || fail "parameter block"
grep -q "Service Report" "$b/report.txt" || fail "report"
grep -q "^trace: get  identity:" "$b/identity-trace.stderr.txt" || fail "trace"
tail -n 1 "$b/history.jsonl" | grep -q '"operation":"self-test","printer":"Zarvel' \
    || fail "history: the latest line"
[ "$(wc -c <"$b/history.jsonl")" -le 1048576 ] || fail "history: more than 1 MiB"
head -n 1 "$b/history.jsonl" | grep -q '^{"time".*}$' || fail "history: a line cut"
grep -q "history.jsonl  *copied  *the history file's last whole lines within 1 MiB (.* older bytes left out)" \
    "$b/MANIFEST.txt" || fail "manifest: the history's cap"
grep -q "serial numbers" "$b/README.txt" || fail "README"
grep -q "^libusb [0-9]" "$b/libraries.txt" || fail "libusb version"
grep -q "^marnel [0-9]" "$b/version.txt" || fail "marnel version"
grep -q "parameters.prm  *exit 0  *marnel --simulate=KQ-10 get-params -" "$b/MANIFEST.txt" \
    || fail "manifest"
[ -z "$(ls -A "$work/tmp")" ] || fail "temporary files left: $(ls -A "$work/tmp")"

# An existing file is refused and stays as it was.
sum=$(cksum <"$work/b.tar.gz")
if "$marnel" --simulate support-bundle "$work/b.tar.gz" 2>"$work/err"; then fail "replaced"; fi
[ "$(cksum <"$work/b.tar.gz")" = "$sum" ] || fail "the existing file changed"
grep -q "exists already" "$work/err" || fail "$(cat "$work/err")"

# A FILE that cannot be made stops it before anything runs.
if "$marnel" --simulate support-bundle "$work/nodir/b.tar.gz" 2>"$work/err"; then fail "nodir"; fi
grep -q "contains an invalid path. (No such file or directory)" "$work/err" || fail "$(cat "$work/err")"

# A device that is not there does not stop the bundle; its items say so.
"$marnel" --simulate --printer nosuch support-bundle "$work/absent.tar.gz" >"$work/said" \
    || fail "absent device: exit $?"
grep -q "^  report.txt  *exit 3 " "$work/said" || fail "absent: $(cat "$work/said")"
tar xzOf "$work/absent.tar.gz" --wildcards '*/report.stderr.txt' | grep -q "Failed to connect" \
    || fail "absent: no reason kept"
# Ctrl+C while it is made (here as soon as it claimed the archive, while
# its children run) leaves neither the archive, which would block a rerun,
# nor the temporary folder.
"$marnel" --simulate support-bundle "$work/c.tar.gz" >/dev/null 2>"$work/err" &
pid=$!
for _ in $(seq 500); do [ -e "$work/c.tar.gz" ] && break; sleep 0.01; done
[ -e "$work/c.tar.gz" ] || fail "the archive was never claimed"
kill -INT "$pid"
status=0
wait "$pid" || status=$?
[ "$status" -eq 130 ] || fail "interrupted: exit $status"
[ ! -e "$work/c.tar.gz" ] || fail "interrupted: the archive is left"
[ -z "$(ls -A "$work/tmp")" ] || fail "interrupted: left $(ls -A "$work/tmp")"
grep -q "interrupted; no support bundle was made" "$work/err" || fail "$(cat "$work/err")"
echo "support bundle ok"
