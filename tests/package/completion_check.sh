#!/usr/bin/env bash
# Checks a shell completion against the tool: every command and option that
# `marnel --help-all` shows is offered, and option values and file arguments
# are completed. usage: completion_check.sh bash|zsh MARNEL COMPLETION_FILE
set -u
shell=$1
marnel=$2
completion=$(cd "$(dirname "$3")" && pwd)/$(basename "$3")
here=$(cd "$(dirname "$0")" && pwd)

# The command lines to complete (the last word is being typed), each with a
# word that must be offered (or, after "!", must not be).
queries=()
expect() { queries+=("$1|$2"); }

help=$("$marnel" --help-all) || { echo "marnel --help-all failed"; exit 1; }
commands=$(sed -n '/^Subcommands:/,$p' <<<"$help" | grep -E '^[a-z][a-z-]*$')
[ -n "$commands" ] || { echo "no commands found in marnel --help-all"; exit 1; }
options_of() {  # the options listed under one command ('' for the global ones)
    local section
    if [ -z "$1" ]; then
        section=$(sed '/^Subcommands:/q' <<<"$help")
    else
        section=$(sed -n "/^$1\$/,/^\$/p" <<<"$help")
    fi
    grep -oE '^ +-[^ ]+' <<<"$section" | tr ',' '\n' | sed -e 's/^ *//' -e 's/{.*//' | grep -E '^--?[a-z]'
}
typed() { [[ $1 == --* ]] && echo "${1:0:3}" || echo -; }  # the start of an option
for command in $commands; do
    expect "marnel " "$command"
    expect "marnel help " "$command"
    for option in $(options_of "$command"); do
        expect "marnel $command $(typed "$option")" "$option"
    done
done
for option in $(options_of ""); do
    expect "marnel $(typed "$option")" "$option"
    expect "marnel report $(typed "$option")" "$option"
done
# Option values and file arguments, in a folder with known files and a
# stand-in for lpstat.
while IFS='|' read -r line what; do
    expect "$line" "$what"
done <<'CASES'
marnel --printer Z|Zarvel_KQ-10
marnel report --printer |Office
marnel --simulate=KQ-2|KQ-20
marnel --simulate=|ZT-5
marnel get-params b|backup.prm
marnel put-params --force |backup.prm
marnel firmware --yes b|backup.prm
marnel report -o b|backup.prm
marnel --printer Office inspect |backup.prm
marnel support-bundle bu|bundle.tar.gz
marnel --printer Office put-params --f|--force
marnel --json |list
marnel inspect backup.prm |!backup.prm
CASES

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
cd "$scratch" && touch backup.prm bundle.tar.gz
mkdir bin && printf '#!/bin/sh\necho Zarvel_KQ-10\necho Office\n' >bin/lpstat && chmod +x bin/lpstat
export PATH=$scratch/bin:$PATH
lines=()
for query in "${queries[@]}"; do
    lines+=("${query%%|*}")
done

# What the shell offers: the words for each line, then "@@ LINE".
offers=$scratch/offers
if [ "$shell" = zsh ]; then
    "$here/zsh_offers.zsh" "$(dirname "$completion")" "$offers" "${lines[@]}" || exit 1
else
    # shellcheck source=/dev/null
    source "$completion"
    for line in "${lines[@]}"; do
        # bash splits words at "=" too, and the last word may be empty.
        read -ra COMP_WORDS <<<"${line//=/ = }"
        [[ $line == *[\ =] ]] && COMP_WORDS+=("")
        COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
        COMPREPLY=()
        _marnel
        printf '%s\n' "${COMPREPLY[@]}" "@@ $line"
    done >"$offers"
fi

declare -A offered
words=
while IFS= read -r word; do
    if [[ $word == "@@ "* ]]; then
        offered[${word#@@ }]=$words
        words=
    else
        words+="$word"$'\n'
    fi
done <"$offers"
failures=0
for query in "${queries[@]}"; do
    line=${query%%|*}
    what=${query#*|}
    if [[ $what == !* ]]; then
        grep -qxF -- "${what#!}" <<<"${offered[$line]-}" || continue
    elif grep -qxF -- "$what" <<<"${offered[$line]-}"; then
        continue
    fi
    echo "FAIL ($shell): '$line' offers $(tr '\n' ' ' <<<"${offered[$line]-}")- expected $what"
    failures=$((failures + 1))
done

[ "$failures" -eq 0 ] && echo "$shell completes every command and option of marnel --help-all (${#queries[@]} cases)"
exit "$((failures > 0))"
