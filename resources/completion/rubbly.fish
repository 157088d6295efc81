# fish completion for rubbly. The original paths in the Trash come from `rubbly trash list --paths0`,
# which reads only the info files (nothing is sized), so completing stays quick in a full Trash.

function __rubbly_trash_paths
    rubbly trash list --paths0 2>/dev/null | string split0
end

function __rubbly_trash_command
    set -l words (commandline -opc)
    test (count $words) -ge 3; and test $words[2] = trash; and contains -- $words[3] $argv
end

complete -c rubbly -f
complete -c rubbly -n __fish_use_subcommand -a trash -d 'show, list, empty, fill and put back the Trash'
complete -c rubbly -n __fish_use_subcommand -a slim -d 'measure and purge caches, logs and build output'
complete -c rubbly -n __fish_use_subcommand -a update -d 'check for, download or install a newer version'
complete -c rubbly -n __fish_use_subcommand -l toggle-panel -d 'open or close the panel'
complete -c rubbly -n __fish_use_subcommand -l settings -d 'open the settings window'
complete -c rubbly -n __fish_use_subcommand -l empty-trash -d 'empty the Trash through the tray application'

complete -c rubbly -n '__fish_seen_subcommand_from trash; and not __fish_seen_subcommand_from status list empty put restore rm' \
    -a 'status list empty put restore rm'
complete -c rubbly -n '__fish_seen_subcommand_from slim; and not __fish_seen_subcommand_from scan purge' -a 'scan purge'
complete -c rubbly -n '__fish_seen_subcommand_from update; and not __fish_seen_subcommand_from check download install' \
    -a 'check download install'

complete -c rubbly -n '__rubbly_trash_command status list' -l json -d 'print JSON'
complete -c rubbly -n '__fish_seen_subcommand_from scan' -l json -d 'print JSON'
complete -c rubbly -n '__rubbly_trash_command list' -a '(__fish_complete_directories)'
complete -c rubbly -n '__rubbly_trash_command empty' -l older-than -x -d 'only what was trashed more than DAYS days ago'
complete -c rubbly -n '__rubbly_trash_command put' -F
complete -c rubbly -n '__rubbly_trash_command restore' -l all -d 'every entry the path names'
complete -c rubbly -n '__rubbly_trash_command restore' -l rename -d 'beside a taken place'
complete -c rubbly -n '__rubbly_trash_command restore' -l last -d 'what the last put moved'
complete -c rubbly -n '__rubbly_trash_command restore' -l to -x -a '(__fish_complete_directories)' -d 'into a folder'
complete -c rubbly -n '__rubbly_trash_command restore rm' -a '(__rubbly_trash_paths)'
