#!/usr/bin/env zsh
# What zsh's completion offers for each command line, as completion_check.sh
# reads it: the words offered, then "@@ LINE". An interactive zsh on a
# pseudo-terminal gets each line and a Tab; a compadd wrapper writes down the
# matches that are added. usage: zsh_offers.zsh COMPLETION_DIR OUT LINE...
zmodload zsh/zpty
dir=$1 out=$2
shift 2
: >$out

# Runs a command in the shell and waits until it has run; typing ahead of
# the shell would lose keys.
run() {
    local before=$(grep -c '^@@' $out)
    local echoed
    zpty -w z "$1; print -r -- '@@ $2' >>$out"
    local echoed
    repeat 200; do
        # What the shell echoes is read and dropped: a full terminal would
        # stop it once enough lines were typed.
        while zpty -rt z echoed 2>/dev/null; do :; done
        (( $(grep -c '^@@' $out) > before )) && return 0
        sleep 0.05
    done
    print -u2 "zsh did not answer: $1"
    exit 1
}

zpty z zsh -f -i
# No listing: a long one would stop for a "do you wish to see all" prompt.
run "unsetopt auto_list; fpath=($dir \$fpath); autoload -U compinit; compinit -u -D" setup
run 'compadd() {
    if (( ${@[(I)-[OAD]*]} )); then builtin compadd "$@"; return; fi
    local -a hits; builtin compadd -O hits "$@"
    (( $#hits )) && print -rl -- $hits >>'$out'
    builtin compadd "$@"
}' ready
for line in "$@"; do
    zpty -w -n z "$line"$'\t'
    run $'\C-u:' "$line"
done
zpty -d z
