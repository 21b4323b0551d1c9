#!/usr/bin/env bash
# marnel.com support-bundle under Wine, inside the prefix run-in-wine.sh
# made, against the simulated device: GNU tar reads the archive, which holds
# the Linux bundle's items with windows.txt for the library versions (the
# fixture's printer and device node in it), no temporary folder is left,
# and an existing file is refused.
# usage: support_bundle.sh MARNEL.COM
set -uo pipefail
marnel=$1
work=$(mktemp -d "${TMPDIR:-/tmp}/marnel-bundle.XXXXXX")
trap 'rm -rf "$work"' EXIT
cd "$work"
fail() { echo "FAIL: $*" >&2; exit 1; }

wine "$marnel" --simulate self-test >/dev/null 2>&1 || fail "self-test"  # leaves a history line
wine "$marnel" --simulate support-bundle b.tar.gz >said.txt 2>err.txt || fail "exit $?: $(cat err.txt)"
tr -d '\r' <said.txt | grep -q "^Support bundle written to b.tar.gz (10 items)" || fail "$(cat said.txt)"
tar -tzf b.tar.gz >listed.txt || fail "GNU tar cannot list it"
[ "$(cut -d/ -f1 listed.txt | sort -u | wc -l)" -eq 1 ] || fail "more than one folder"
# doctor is another command's work: whatever it said is kept, stderr or not.
sed 's|^[^/]*/||' listed.txt | grep -v -e '^$' -e '^doctor.stderr.txt$' | sort >got.txt
printf '%s\n' MANIFEST.txt README.txt device-version.txt doctor.json doctor.txt history.jsonl \
    identity-trace.stderr.txt identity-trace.txt list.txt parameters.prm report.txt \
    version.txt windows.txt | sort >want.txt
diff want.txt got.txt || fail "archive contents differ"

mkdir x && tar -xzf b.tar.gz -C x || fail "GNU tar cannot extract it"
b=$(echo x/marnel-support-*)
[ "$(wc -c <"$b/parameters.prm")" -eq 266 ] || fail "parameter block"
grep -q "Service Report" "$b/report.txt" || fail "report"
grep -q "^trace: get  identity:" "$b/identity-trace.stderr.txt" || fail "trace"
grep -q "^Windows [0-9]" "$b/windows.txt" || fail "no Windows version: $(cat "$b/windows.txt")"
grep -q "Zarvel KQ-10 | Zarvel KQ-10 | " "$b/windows.txt" || fail "no printer: $(cat "$b/windows.txt")"
grep -qi "VID_1A2B&PID_0010\\\\KQ10SN0001" "$b/windows.txt" || fail "no device node: $(cat "$b/windows.txt")"
tail -n 1 "$b/history.jsonl" | grep -q '"operation":"self-test"' || fail "history"
grep -q "parameters.prm  *exit 0  *marnel --simulate=KQ-10 get-params -" "$b/MANIFEST.txt" \
    || fail "manifest: $(cat "$b/MANIFEST.txt")"
temp=$(winepath -u "$(wine cmd /c echo %TEMP% 2>/dev/null | tr -d '\r')" 2>/dev/null)
[ -d "$temp" ] || fail "no temporary folder: $temp"
[ -z "$(ls -d "$temp"/marnel-support-* 2>/dev/null)" ] || fail "temporary folder left in $temp"

sum=$(cksum <b.tar.gz)
if wine "$marnel" --simulate support-bundle b.tar.gz >/dev/null 2>err.txt; then fail "replaced"; fi
[ "$(cksum <b.tar.gz)" = "$sum" ] || fail "the existing file changed"
grep -q "exists already" err.txt || fail "$(cat err.txt)"
echo "support bundle ok: $(wc -c <b.tar.gz) bytes"
