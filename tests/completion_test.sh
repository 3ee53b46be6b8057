#!/usr/bin/env bash
# SPDX-License-Identifier: ISC
# Completes words after "ombrek " in bash, zsh and fish, in a folder of known
# names, and checks what each offers: bash's function driven as bash drives
# it (COMP_LINE, COMP_POINT, COMP_WORDS split at : as bash splits them), with
# and without the caller's glob options; fish by `complete -C`; zsh, and a
# real bash with bash-completion loaded, by typing Tab on a pseudo-terminal
# and reading what it inserted. Each case: the
# word, and the candidates sorted and joined by '|', a newline in one written
# \n, a folder with its /.
#   completion_test.sh COMPLETION-FOLDER
set -uo pipefail
comp=$(realpath "$1")
# shellcheck source=/dev/null
source "$comp/ombrek"
cd "$(mktemp -d "${TMPDIR:-/tmp}/ombrek-completion-XXXXXX")" && mkdir t && cd t || exit 1
trap 'rm -rf "${PWD%/t}"' EXIT
mkdir 'dir x' w && touch w/c:d.nsf w/d.nsf && ln -s missing gone.nsf
touch 'a b.nsf' 'C D.NSF' 'dir x/in.nsf' notes.txt nsf ./-x ./-t.nsf $'x\na b.nsf' 'Mega Man 2: W.nsf' ' D.nsf'
export HOME=$PWD
status=0
check() { [[ $3 == "$4" ]] || { printf '%s [%s]: expected [%s], got [%s]\n' "$1" "$2" "$4" "$3"; status=1; }; }
joined() { LC_ALL=C sort | paste -sd '|'; }
bash_offers() {
    local COMP_LINE="ombrek $1" COMP_POINT=$((7 + ${#1})) COMP_WORDS COMP_CWORD COMPREPLY c
    mapfile -t COMP_WORDS <<<"ombrek"$'\n'"${1//:/$'\n:\n'}"
    [[ $1 != *: ]] || unset 'COMP_WORDS[-1]'
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    _ombrek
    for c in "${COMPREPLY[@]}"; do
        [[ -d ${c/#\~/$HOME} ]] && c+=/
        echo "${c//$'\n'/\\n}"
    done | joined
}
# What Tab makes of the word in zsh: the word unquoted, then a blank if one
# follows it; = when it stays as it was (no candidate, or several).
cat >../zsh-tab <<'ZSH'
zmodload zsh/zpty && zpty -b z 'zsh -f -i' || exit 1
zpty -w z "fpath=(${(q)1} \$fpath); autoload -U compinit; compinit -u; bindkey ^X dump
    dump() { print -rn -- \"\$BUFFER\" >../zsh-line; BUFFER=; }; zle -N dump"
for w in "${@:2}"; do
    rm -f ../zsh-line && zpty -n -w z "${CMD:-ombrek} $w"$'\t' && sleep 0.3 && zpty -n -w z $'\C-x'
    for i in {1..30}; do [[ -e ../zsh-line ]] && break || sleep 0.1; done
    line=$(<../zsh-line) && [[ $line == "${CMD:-ombrek} $w" ]] && print = && continue
    print -r -- "${${(Q)${(z)line}[2]}//$'\n'/\\n}${${(M)line% }:+ }"
done
ZSH
# What Tab makes of each word in an interactive bash, the characters $2 taken
# out of COMP_WORDBREAKS, as a user's setup may (a colon, npm's =).
cat >../bash-tab <<'ZSH'
zmodload zsh/zpty && zpty -b b 'bash --norc --noprofile -i' || exit 1
zpty -w b "source /usr/share/bash-completion/bash_completion; source ${(q)1}/ombrek; source ${(q)1}/ombrek-tsv; source ${(q)1}/ombrek-rename
    COMP_WORDBREAKS=\${COMP_WORDBREAKS//[${2}]}
    bind -x '\"\\C-x\": printf %s \"\$READLINE_LINE\" >../bash-line; READLINE_LINE='"
for w in "${@:3}"; do
    rm -f ../bash-line && zpty -n -w b "$w"$'\t' && sleep 0.3 && zpty -n -w b $'\C-x'
    for i in {1..30}; do [[ -e ../bash-line ]] && break || sleep 0.1; done
    print -r -- "$(<../bash-line)|"
done
ZSH
# shellcheck disable=SC2016 # the words as typed
for breaks in ':=' Q; do
    check "real bash, without [$breaks] in COMP_WORDBREAKS" '' "$(zsh -f ../bash-tab "$comp" "$breaks" \
        'ombrek -w -tX w/c:d' 'ombrek $HOME/dir\ x/' 'ombrek ${HOME}/w/c:' 'ombrek gon' 'ombrek-tsv imp' \
        'ombrek-tsv export di' 'ombrek-tsv import --enc' 'ombrek-rename -n di' | paste -sd '#')" \
        'ombrek -w -tX w/c:d.nsf |#ombrek $HOME/dir\ x/in.nsf |#ombrek ${HOME}/w/c:d.nsf |#ombrek gon|#ombrek-tsv import |#ombrek-tsv export dir\ x/|#ombrek-tsv import --encoding=|#ombrek-rename -n dir\ x/|'
done
check 'fish, ombrek-tsv' '' "$(fish -c "source ${comp@Q}/ombrek-tsv.fish; complete -C 'ombrek-tsv '
    complete -C 'ombrek-tsv import --'; complete -C 'ombrek-tsv export di'; source ${comp@Q}/ombrek-rename.fish
    complete -C 'ombrek-rename --'" | cut -f1 | paste -sd '|')" 'export|import|--encoding|dir x/|--encoding'
check 'zsh, ombrek-tsv' '' "$(CMD=ombrek-tsv zsh -f ../zsh-tab "$comp" ex imp | paste -sd '|')" 'export |import '
# shellcheck disable=SC2016 # fish's own variables
echo 'source $argv[1]; complete -C "ombrek $argv[2]"' >../fish-complete
# shellcheck disable=SC2088 # the words as typed
words=('' x '~/d' 'a\ b' "'C" 'dir\ x/' - -c -w -tTitle no ./- 'Mega\ Man\ 2:\ D' 'Mega\ Man\ 2:' '~')
mapfile -t zsh_inserts < <(zsh -f ../zsh-tab "$comp" "${words[@]}")
# zsh and fish do not split a word at :, and take a bare ~ for ~user; fish 3
# offers no ./-name until the word begins with ./ (fish 4 does).
i=0
while IFS='>' read -r expected zsh; do
    word=${words[i]} insert=${zsh_inserts[i++]:-}
    check bash "$word" "$(bash_offers "$word")" "$expected"
    check 'bash, the glob options set' "$word" "$(shopt -s nullglob failglob nocaseglob dotglob extglob \
        globstar && set -f && bash_offers "$word" 2>&1)" "$expected"
    [[ $word != *: ]] || continue
    [[ -n $zsh ]] || { zsh=$([[ -n $expected && $expected != *'|'* ]] && echo "$expected" || echo '=') &&
        insert=${insert% }; }
    check zsh "$word" "$insert" "$zsh"
    [[ $word == ./* ]] && drop='^$' || drop='^\./-'
    [[ $word == '~' ]] || check fish "$word" "$(fish -N ../fish-complete "$comp/ombrek.fish" "$word" |
        cut -f1 | grep -v -e "$drop" | joined)" "$(printf %b "${expected//|/\\n}" | grep -v -e "$drop" | joined)"
done <<'CASES'
 D.nsf|./-t.nsf|C D.NSF|Mega Man 2: W.nsf|a b.nsf|dir x/|w/|x\na b.nsf
x\na b.nsf
~/dir x/
a b.nsf
C D.NSF
dir x/in.nsf
-?|-a|-c|-h|-t|-v|-w
-c>=
-w>-w 


./-t.nsf

 W.nsf
~/ D.nsf|~/-t.nsf|~/C D.NSF|~/Mega Man 2: W.nsf|~/a b.nsf|~/dir x/|~/w/|~/x\na b.nsf>=
CASES
exit "$status"
