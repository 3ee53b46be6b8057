# SPDX-License-Identifier: ISC
# fish completion for ombrek-rename: its options, and folders.
complete -c ombrek-rename -f -a '(__fish_complete_directories)'
complete -c ombrek-rename -s n -d 'print the renames, and rename nothing'
complete -c ombrek-rename -s f -x -d 'the new name: %t title, %a artist, %c copyright'
complete -c ombrek-rename -l encoding -x -d 'tags that are not UTF-8 are in this iconv encoding'
complete -c ombrek-rename -s h -d 'print the help'
