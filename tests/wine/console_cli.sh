#!/usr/bin/env bash
# marnel.com under Wine, inside the prefix run-in-wine.sh made: every command
# against the simulated device and its exit status, one valid JSON object
# on standard output for each, the history in %LOCALAPPDATA%\Marnel, and the
# real back ends through the registry fixture up to the device open, and
# the window's history writer (the core's, in backends_wine_test) appending
# beside marnel.com with no line lost.
# usage: console_cli.sh MARNEL.COM BACKENDS_WINE_TEST.EXE
set -uo pipefail
marnel=$1
writer=$2
work=$(mktemp -d "${TMPDIR:-/tmp}/marnel-console.XXXXXX")
trap 'rm -rf "$work"' EXIT
cd "$work"
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

# What the commands need: a firmware file, an empty one, a parameter block
# whose checksum fails, a file too short to be one.
printf 'FIRMWARE' >fw.kvf
: >empty.kvf
python3 -c 'import sys; sys.stdout.buffer.write(b"KQ-10   \x01\x02" + bytes(256))' >bad.prm
printf '0123456789' >short.prm
mkdir prof

# status | arguments (get-params before the commands that read its file)
cases='0|--simulate --json list
0|--simulate --json doctor
0|--simulate --json report
0|--simulate --json version
0|--simulate --json get-params block.prm
0|--json inspect block.prm
0|--simulate --json put-params block.prm
0|--simulate --json self-test
0|--simulate --json firmware fw.kvf --yes --timeout 5 --verify-timeout 5
0|--json history
0|--json backups
0|--simulate --json inventory
0|--simulate --json metrics --textfile .
0|--simulate --json profile capture prof/site.json
0|--simulate --json check --profile prof/site.json
0|--simulate --json apply --profile prof/site.json
0|--simulate --json inventory --profile prof/site.json
0|--simulate=KQ-10,ZT-5 --simulate-state units.json --json --serial ZT5SN0002 version
2|--simulate --json check --profile missing.json
3|--simulate --json --serial NOSUCHSERIAL check --profile prof/site.json
1|--json inspect bad.prm
2|--json inspect short.prm
2|--simulate --json firmware empty.kvf --yes
2|--simulate --json put-params missing.prm
2|--simulate=ZZ-9 --json report
2|--json no-such-command
3|--simulate --json --serial NOSUCHSERIAL report
3|--json --printer "Zarvel KQ-10" version'
while IFS='|' read -r want arguments; do
    eval "set -- $arguments"
    wine "$marnel" "$@" >out.json 2>err.txt
    got=$?
    [ "$got" = "$want" ] || fail "marnel $arguments: exit $got, not $want: $(cat err.txt)"
    python3 -c '
import json, sys
result = json.loads(sys.stdin.read().splitlines()[-1])
assert result["exitStatus"] == int(sys.argv[1]), result
assert result["ok"] == (result["exitStatus"] == 0), result
' "$got" <out.json || fail "marnel $arguments: $(cat out.json)"
    echo "ok $want marnel $arguments"
done <<<"$cases"

# The inventory names the host as Windows does; the metrics file was put in
# place whole, with nothing left beside it.
wine "$marnel" --simulate --json inventory >out.json 2>err.txt
python3 -c '
import json, sys
result = json.loads(sys.stdin.read())
assert result["host"] and result["units"][0]["mode"] == "service", result
' <out.json || fail "inventory: $(cat out.json)"
grep -q '^marnel_unit_up{printer="Zarvel KQ-10",serial="KQ10SN0001"} 1' marnel.prom ||
    fail "marnel.prom: $(cat marnel.prom)"
! ls -A | grep -q mrn || fail "a temporary file stayed: $(ls -A)"

# The default state folder is %LOCALAPPDATA%\Marnel: what changed a unit is
# recorded there, one line per change (put-params, self-test, firmware).
local_app_data=$(wine cmd /c echo %LOCALAPPDATA% 2>/dev/null | tr -d '\r')
history=$(winepath -u "$local_app_data\\Marnel\\history.jsonl" 2>/dev/null)
lines=$(wc -l <"$history" 2>/dev/null || echo 0)
[ "$lines" -eq 3 ] || fail "history in $history has $lines lines, not 3"

# Two processes append to the shared history under its lock: the window's
# writer (30 lines) and marnel.com (one line per put-params).
wine "$writer" appender >writer.txt 2>&1 &
writer_pid=$!
for _ in 1 2 3 4 5; do
    wine "$marnel" --simulate put-params block.prm >/dev/null 2>>err.txt || fail "put-params beside the writer"
done
wait "$writer_pid" || fail "window's writer: $(cat writer.txt)"
python3 -c '
import json, sys
lines = open(sys.argv[1], encoding="utf-8").read().splitlines()
assert len(lines) == 3 + 30 + 5, len(lines)
entries = [json.loads(line) for line in lines]
assert sum(e.get("printer", "").startswith("window writer") for e in entries) == 30
' "$history" || fail "history after two writers: $(tail -3 "$history")"

# The real back ends: the fixture's printer resolves through the registry
# walks to its device path, and only the open fails (no device behind it).
wine "$marnel" --printer "Zarvel KQ-10" version >out.txt 2>err.txt
grep -q 'did not open' err.txt && grep -q 'USB#VID_1A2B&PID_0010#KQ10SN0001' err.txt || fail "real path: $(cat err.txt)"
wine "$marnel" --json list >out.json 2>err.txt
grep -q '"Zarvel KQ-10"' out.json || fail "list: $(cat out.json)"
# The doctor's Windows checks, each with a verdict: the spooler service, the
# maker's device nodes, the state folder.
wine "$marnel" --json doctor >out.json 2>err.txt
python3 -c '
import json, sys
checks = json.load(open(sys.argv[1]))["checks"]
names = {c["name"]: c for c in checks}
assert {"spooler", "devices", "state-folder"} <= set(names), names
assert names["devices"]["status"] == "ok" and "VID_1A2B&PID_0010" in names["devices"]["detail"]
assert all(c["fix"] for c in checks if c["status"] == "fail" and c["name"] != "identity"), checks
' out.json || fail "doctor: $(cat out.json)"
# A block sent to standard output is the block's bytes, no CR added.
wine "$marnel" --simulate get-params - >raw.prm 2>err.txt
cmp -s raw.prm block.prm || fail "get-params -: $(wc -c <raw.prm) bytes, not the block's"

# JSON is UTF-8: a name that reaches the tool in the ANSI code page is read
# in it, not replaced.
wine "$marnel" --json put-params 'Müll.prm' >out.json 2>err.txt
grep -q 'Müll.prm' out.json || fail "not UTF-8: $(cat out.json)"
# A file error in the system's words, with what to do next.
wine "$marnel" --simulate --json get-params 'C:\nodir\x.prm' >out.json 2>err.txt
python3 -c '
import json, sys
r = json.load(open(sys.argv[1]))
assert r["exitStatus"] == 2 and r["detail"] and r["advice"], r
' out.json || fail "file error: $(cat out.json)"

[ "$failures" -eq 0 ] || exit 1
echo "console program ok"
