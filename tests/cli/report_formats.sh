#!/bin/sh
# Checks what other programs read from the inventory and the metrics with
# those programs' own tools, on real output of the simulated unit:
#   schema MARNEL SCHEMA    inventory --json against docs/inventory.schema.json
#   promtool MARNEL         the metrics file with promtool check metrics
#   systemd MARNEL UNITDIR  the service and timer with systemd-analyze verify
# Exits 77 (skipped) when the checking tool is missing here.
set -u
check=$1
marnel=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export MARNEL_STATE_DIR="$work/state"
skip() {
    echo "SKIPPED: $1 is not installed (scripts/install-deps.sh installs it)"
    exit 77
}

case $check in
schema)
    python3 -c 'import jsonschema' 2>/dev/null || skip python3-jsonschema
    # A change first, so that lastChange holds a history entry.
    "$marnel" --simulate get-params "$work/block.prm" >/dev/null &&
        "$marnel" --simulate put-params "$work/block.prm" >/dev/null || exit 1
    "$marnel" --simulate --json inventory >"$work/inventory.json" || exit 1
    python3 - "$3" "$work/inventory.json" <<'PY' || exit 1
import json, sys
import jsonschema
schema = json.load(open(sys.argv[1]))
jsonschema.Draft202012Validator.check_schema(schema)
inventory = json.load(open(sys.argv[2]))
jsonschema.Draft202012Validator(schema).validate(inventory)
assert inventory["units"][0]["lastChange"]["operation"] == "put-params", inventory
PY
    echo "inventory --json follows the schema"
    ;;
promtool)
    command -v promtool >/dev/null || skip "promtool (Debian's prometheus)"
    "$marnel" --simulate metrics --textfile "$work" >/dev/null || exit 1
    promtool check metrics <"$work/marnel.prom" || exit 1
    echo "promtool accepts marnel.prom"
    ;;
systemd)
    command -v systemd-analyze >/dev/null || skip systemd-analyze
    # verify wants the program the service starts to exist.
    sed "s|/usr/bin/marnel|$marnel|" "$3/marnel-metrics.service" >"$work/marnel-metrics.service"
    cp "$3/marnel-metrics.timer" "$work/"
    # It warns of a key it does not know and still exits 0: any word fails.
    said=$(systemd-analyze verify --man=no "$work/marnel-metrics.service" \
        "$work/marnel-metrics.timer" 2>&1) || { echo "$said"; exit 1; }
    [ -z "$said" ] || { echo "$said"; exit 1; }
    echo "systemd-analyze verify accepts the units"
    ;;
*)
    echo "usage: report_formats.sh schema|promtool|systemd MARNEL [SCHEMA|UNITDIR]" >&2
    exit 2
    ;;
esac
