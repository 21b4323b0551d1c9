# bash completion for marnel: commands, options, printer names for
# --printer (from lpstat), simulated models and file names.

_marnel_commands="help list report get-params put-params version self-test firmware check apply
    profile inventory metrics history backups inspect doctor support-bundle"
_marnel_global_options="-h --printer --serial --simulate --simulate-state --json --trace --help --help-all --version"

# The options of one command, beside the global ones.
_marnel_command_options() {
    case $1 in
    report) echo "-o --output" ;;
    put-params) echo "--force --no-backup" ;;
    firmware) echo "--yes --timeout --verify --no-verify --verify-timeout --restore-params" ;;
    check) echo "--profile" ;;
    apply) echo "--profile --timeout" ;;
    metrics) echo "--textfile" ;;
    esac
}

# Whether the option $1 takes the next word as its value.
_marnel_takes_value() {
    case $1 in
    --printer | --serial | --simulate-state | -o | --output | --timeout | --verify-timeout | --profile | --textfile) return 0 ;;
    esac
    return 1
}

_marnel_files() {
    compopt -o filenames 2>/dev/null
    mapfile -t COMPREPLY < <(compgen -f -- "$1")
}

_marnel() {
    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD - 1]}
    COMPREPLY=()

    # "--simulate=KQ": bash splits the word at "=".
    if [[ $prev == = && ${COMP_WORDS[COMP_CWORD - 2]} == --simulate ]] ||
        [[ $prev == --simulate && $cur == = ]]; then
        [[ $cur == = ]] && cur=
        mapfile -t COMPREPLY < <(compgen -W "KQ-10 KQ-20 ZT-5" -- "$cur")
        return
    fi
    case $prev in
    --printer)
        mapfile -t COMPREPLY < <(compgen -W "$(lpstat -e 2>/dev/null)" -- "$cur")
        return
        ;;
    -o | --output | --profile | --simulate-state)
        _marnel_files "$cur"
        return
        ;;
    --textfile)
        compopt -o filenames 2>/dev/null
        mapfile -t COMPREPLY < <(compgen -d -- "$cur")
        return
        ;;
    --serial | --timeout | --verify-timeout) return ;;
    esac

    # The command is the first word that is neither an option nor its value.
    local command='' arguments=0 i word
    for ((i = 1; i < COMP_CWORD; i++)); do
        word=${COMP_WORDS[i]}
        if _marnel_takes_value "$word"; then
            ((i++))
        elif [[ $word == -* || $word == = || ${COMP_WORDS[i - 1]} == = ]]; then
            :
        elif [[ -z $command ]]; then
            command=$word
        else
            ((arguments++))
        fi
    done

    if [[ $cur == -* ]]; then
        mapfile -t COMPREPLY < <(compgen -W "$_marnel_global_options $(_marnel_command_options "$command")" -- "$cur")
        return
    fi
    case $command in
    '') mapfile -t COMPREPLY < <(compgen -W "$_marnel_commands" -- "$cur") ;;
    help) ((arguments == 0)) && mapfile -t COMPREPLY < <(compgen -W "$_marnel_commands" -- "$cur") ;;
    get-params | put-params | firmware | inspect | support-bundle)
        ((arguments == 0)) && _marnel_files "$cur"
        ;;
    profile)
        if ((arguments == 0)); then
            mapfile -t COMPREPLY < <(compgen -W "capture" -- "$cur")
        elif ((arguments == 1)); then
            _marnel_files "$cur"
        fi
        ;;
    esac
}
complete -F _marnel marnel
