# SPDX-License-Identifier: ISC
# fish completion for ombrek-tsv: the subcommands, then their options, and
# folders after export, table files (or folders) after import.
complete -c ombrek-tsv -f
complete -c ombrek-tsv -n __fish_use_subcommand -a export -d 'print the tags of a collection as a table'
complete -c ombrek-tsv -n __fish_use_subcommand -a import -d 'write the fields a table changes into the files'
complete -c ombrek-tsv -n __fish_use_subcommand -s h -d 'print the help'
complete -c ombrek-tsv -n '__fish_seen_subcommand_from export import' -l encoding -x \
    -d 'tags that are not UTF-8 are in this iconv encoding'
complete -c ombrek-tsv -n '__fish_seen_subcommand_from import' -s n -d 'print each field that would change; write nothing'
complete -c ombrek-tsv -n '__fish_seen_subcommand_from export' -a '(__fish_complete_directories)'
complete -c ombrek-tsv -n '__fish_seen_subcommand_from import' -a '(__fish_complete_suffix .tsv)'
