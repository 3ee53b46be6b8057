# SPDX-License-Identifier: ISC
# fish completion for ombrek: after "-" the option letters, as whole words;
# otherwise folders and files whose names end in .nsf, in any case. fish adds
# a space after -t, -a and -c, whose text must follow the letter at once.
complete -c ombrek -f
complete -c ombrek -n __ombrek_option -a -t -d 'set the title: -tTitle'
complete -c ombrek -n __ombrek_option -a -a -d 'set the artist: -aArtist'
complete -c ombrek -n __ombrek_option -a -c -d 'set the copyright: -cText'
complete -c ombrek -n __ombrek_option -a -w -d 'write mode: store into the files after it'
complete -c ombrek -n __ombrek_option -a -v -d 'view mode: print the tags of the files after it'
complete -c ombrek -n __ombrek_option -a -h -d 'print the help'
complete -c ombrek -n __ombrek_option -a "'-?'" -d 'print the help'
complete -c ombrek -n 'not __ombrek_option' -a '(__ombrek_names | string split0)'

function __ombrek_option
    string match -q -- '-*' (commandline -ct)
end

# The folders and NSF files that begin with the word being completed, each
# whole (a newline and all), a name that begins with - as ./-name, names
# under the home folder as ~/name.
function __ombrek_names
    set -l token (commandline -ct)
    set -l word (string unescape -- $token); or set word $token
    set -l home
    if test "$token" = '~'; or string match -q -- '~/*' $token
        set home $HOME
        set word $HOME/(string sub -s 3 -- $word)
    end
    set -l dir (string replace -r '[^/]*$' '' -- $word)
    set -l names $dir*
    string match -q -- '.*' (string replace -r '.*/' '' -- $word); and set names $dir.*
    for name in $names
        if test -d $name
            set name $name/
        else if not test -f $name; or not string match -qi -- '*.nsf' $name
            continue
        end
        set -q home[1]; and set name '~'(string sub -s (math (string length -- $home) + 1) -- $name)
        string match -q -- '-*' $name; and set name ./$name
        printf '%s\0' $name
    end
end
