# bash completion for rubbly. The original paths in the Trash come from `rubbly trash list --paths0`,
# which reads only the info files (nothing is sized), so completing stays quick in a full Trash.

_rubbly_trash_paths()
{
    local path
    while IFS= read -r -d '' path; do
        [[ $path == "$1"* ]] && COMPREPLY+=("$path")
    done < <(rubbly trash list --paths0 2>/dev/null)
}

_rubbly()
{
    local cur prev
    cur=${COMP_WORDS[COMP_CWORD]}
    prev=${COMP_WORDS[COMP_CWORD-1]}
    COMPREPLY=()
    local group=${COMP_WORDS[1]:-} command=${COMP_WORDS[2]:-}

    if ((COMP_CWORD == 1)); then
        COMPREPLY=($(compgen -W "trash slim update --toggle-panel --settings --empty-trash --help --version" -- "$cur"))
        return
    fi
    if ((COMP_CWORD == 2)); then
        case $group in
            trash) COMPREPLY=($(compgen -W "status list empty put restore rm" -- "$cur")) ;;
            slim) COMPREPLY=($(compgen -W "scan purge" -- "$cur")) ;;
            update) COMPREPLY=($(compgen -W "check download install" -- "$cur")) ;;
        esac
        return
    fi
    [[ $group == trash ]] || {
        [[ $group/$command == slim/scan ]] && COMPREPLY=($(compgen -W "--json" -- "$cur"))
        return
    }
    case $prev in
        --to)
            compopt -o filenames 2>/dev/null
            COMPREPLY=($(compgen -d -- "$cur"))
            return
            ;;
        --older-than) return ;;
    esac
    case $command in
        status) COMPREPLY=($(compgen -W "--json" -- "$cur")) ;;
        empty) COMPREPLY=($(compgen -W "--older-than" -- "$cur")) ;;
        put)
            compopt -o filenames 2>/dev/null
            COMPREPLY=($(compgen -f -- "$cur"))
            ;;
        list)
            if [[ $cur == -* ]]; then
                COMPREPLY=($(compgen -W "--json" -- "$cur"))
            else
                compopt -o filenames 2>/dev/null
                COMPREPLY=($(compgen -d -- "$cur"))
            fi
            ;;
        restore | rm)
            if [[ $cur == -* ]]; then
                [[ $command == restore ]] && COMPREPLY=($(compgen -W "--all --rename --last --to" -- "$cur"))
            else
                # Paths hold spaces and other shell characters: readline quotes each as a file name.
                compopt -o filenames 2>/dev/null
                _rubbly_trash_paths "${cur//\\/}"
            fi
            ;;
    esac
}

complete -F _rubbly rubbly
