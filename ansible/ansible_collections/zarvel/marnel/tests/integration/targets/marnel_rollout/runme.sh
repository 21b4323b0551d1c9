#!/usr/bin/env bash
# The example roll-out over three hosts, each this machine with a simulated
# unit of its own; the second host's unit refuses to store a block. The play
# must stop after the second wave and leave the third host untouched.
set -eux

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
profile=$(python3 ../setup_marnel/files/make_profile.py marnel "$work" |
    python3 -c 'import json, sys; print(json.load(sys.stdin)["profile"])')

inventory=$work/hosts
echo '[marnel]' >"$inventory"
for host in wave1 wave2 wave3; do
    # The unit exists before the play, so that "untouched" can be seen.
    MARNEL_STATE_DIR=$work/scratch marnel --simulate=KQ-10 --simulate-state "$work/$host.json" --json list >/dev/null
    echo "$host ansible_connection=local ansible_python_interpreter=\"{{ ansible_playbook_python }}\"" \
        "marnel_simulate=KQ-10 marnel_simulate_state=$work/$host.json marnel_state_dir=$work/$host" >>"$inventory"
done
python3 - "$work/wave2.json" <<'PYTHON'
import json, sys
with open(sys.argv[1]) as data:
    state = json.load(data)
state["units"][0]["faults"] = ["refuses-store"]
with open(sys.argv[1], "w") as data:
    json.dump(state, data)
PYTHON
untouched=$(sha256sum <"$work/wave3.json")

if ansible-playbook -i "$inventory" zarvel.marnel.rollout \
    -e "marnel_profile=$profile" -e "marnel_history_dest=$work/history" "$@"; then
    echo "the roll-out went on past a failed host" >&2
    exit 1
fi

grep -q '"operation"' "$work/history/wave1.jsonl"
grep -q '"outcome":"failed"' "$work/history/wave2.jsonl"
test "$(sha256sum <"$work/wave3.json")" = "$untouched"
test ! -e "$work/wave3/history.jsonl"
