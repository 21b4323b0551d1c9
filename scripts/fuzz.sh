#!/usr/bin/env bash
# Runs the fuzz targets that `scripts/build.sh fuzz` built, and fails on any
# finding. Each target grows its own working corpus in build/fuzz/corpus/,
# starting from its seeds in tests/fuzz/corpus/; a finding is written to
# build/fuzz/findings/.
#
# usage: fuzz.sh SECONDS [TARGET...]    each target (default: every one) for SECONDS
#        fuzz.sh --runs N [TARGET...]   each target for N executions
#
# A target with inputs in tests/fuzz/pending/<target>/ has known findings
# whose fix has not landed: it is left out unless it is named.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
bin=$top/build/fuzz/tests/fuzz
usage() { echo "usage: fuzz.sh SECONDS [TARGET...] | fuzz.sh --runs N [TARGET...]" >&2; exit 2; }

[ $# -ge 1 ] || usage
if [ "$1" = --runs ]; then
    [ $# -ge 2 ] && [[ $2 =~ ^[0-9]+$ ]] || usage
    limit=(-runs="$2"); shift 2
else
    [[ $1 =~ ^[0-9]+$ ]] || usage
    limit=(-max_total_time="$1"); shift
fi
[ -d "$bin" ] || { echo "no fuzz build: run scripts/build.sh fuzz first" >&2; exit 2; }

targets=("$@")
named=$#
if [ "$named" -eq 0 ]; then
    for path in "$bin"/*_fuzz; do targets+=("$(basename "$path")"); done
fi

failed=()
for target in "${targets[@]}"; do
    [ -x "$bin/$target" ] || { echo "no such target: $target" >&2; exit 2; }
    pending=$top/tests/fuzz/pending/$target
    if [ "$named" -eq 0 ] && [ -n "$(ls -A "$pending" 2>/dev/null)" ]; then
        echo "$target: left out, its known findings in tests/fuzz/pending/$target wait for their fix"
        continue
    fi
    work=$top/build/fuzz/corpus/$target
    findings=$top/build/fuzz/findings
    mkdir -p "$work" "$findings"
    log=$top/build/fuzz/$target.log
    status=0
    "$bin/$target" "${limit[@]}" -timeout=25 -print_final_stats=1 \
        -artifact_prefix="$findings/$target-" "$work" "$top/tests/fuzz/corpus/$target" \
        >"$log" 2>&1 || status=$?
    stat() { grep -a "stat::$1" "$log" | awk '{print $2}'; }
    runs=$(stat number_of_executed_units || true)
    # libFuzzer exits 72 when interrupted (Ctrl+C): a stopped run, not a finding.
    if [ "$status" -eq 72 ] && grep -aq 'run interrupted' "$log"; then
        echo "$target: interrupted after $runs runs, $(stat average_exec_per_sec) exec/s"
        failed+=("$target (interrupted)")
        continue
    fi
    if [ "$status" -ne 0 ] || [ -z "$runs" ]; then
        echo "$target: FINDING (exit $status), see $log"
        grep -aE 'promise broken|ERROR:|SUMMARY:|Test unit written' "$log" | head -n 5 || true
        failed+=("$target")
        continue
    fi
    last=$(grep -a ' cov: ' "$log" | tail -n 1)
    echo "$target: $runs runs, $(stat average_exec_per_sec) exec/s," \
         "$(grep -oE 'cov: [0-9]+' <<<"$last"), $(grep -oE 'ft: [0-9]+' <<<"$last")"
done

if [ ${#failed[@]} -gt 0 ]; then
    echo "fuzzing found faults in, or did not finish: ${failed[*]}" >&2
    exit 1
fi
