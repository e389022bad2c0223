# bash completion for kaldo-ctl: commands, options, page names and parameter names.
_kaldo_ctl()
{
    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]}
    local commands="list info get set get-text set-text exec save dump watch backup restore
        event reboot update-main update-usb names"
    local globals="--device --serial --json --terse -t --quiet -q --verbose -v --show-secrets
        --yes -y --retries --timeout --wait-busy --trace --help --version"
    local command="" i
    for ((i = 1; i < COMP_CWORD; i++)); do
        case " ${commands//$'\n'/ } " in
        *" ${COMP_WORDS[i]} "*) command=${COMP_WORDS[i]}; break ;;
        esac
    done

    local IFS=$'\n'
    case $prev in
    --device | backup | restore | update-main | update-usb)
        COMPREPLY=($(compgen -f -- "$cur"))
        return ;;
    --page | --only)
        COMPREPLY=($(compgen -W "$(kaldo-ctl names --pages 2>/dev/null)" -- "$cur"))
        COMPREPLY=("${COMPREPLY[@]// /\\ }")
        return ;;
    --exclude)
        COMPREPLY=($(compgen -W $'network\nidentity\nnetwork,identity' -- "$cur"))
        return ;;
    --serial | --retries | --timeout | --wait-busy | --interval | --count | --wait | --port | --reply-port)
        return ;;
    esac

    local options=""
    case $command in
    get) options="--raw" ;;
    set) options="--raw --save" ;;
    set-text) options="--save" ;;
    dump) options="--page" ;;
    watch) options="--page --interval --count" ;;
    restore) options="--dry-run --force --exclude --only --save --verbose" ;;
    event) options="--check --wait --port --reply-port" ;;
    reboot) options="--wait" ;;
    names) options="--pages" ;;
    esac
    if [[ $cur == -* ]]; then
        IFS=$' \t\n'
        COMPREPLY=($(compgen -W "$globals $options" -- "$cur"))
        return
    fi
    case $command in
    "")
        IFS=$' \t\n'
        COMPREPLY=($(compgen -W "$commands" -- "$cur")) ;;
    get | watch | exec | set)
        # set takes one name, then a value.
        if [[ $command != set || $prev == set || $prev == --raw || $prev == --save ]]; then
            COMPREPLY=($(compgen -W "$(kaldo-ctl names 2>/dev/null)" -- "$cur"))
            COMPREPLY=("${COMPREPLY[@]// /\\ }")
        fi ;;
    esac
}
complete -F _kaldo_ctl kaldo-ctl
