#!/usr/bin/env bash
# SPDX-License-Identifier: ISC
# Runs the README's recipes for a collection, as written there, on a folder
# of awkward names, and checks what each one did.
#   recipes_test.sh README TOOL SAMPLE
# shellcheck disable=SC2154 # t, a and c are set by the README's tags()
set -uo pipefail
blocks=()
block=
while IFS= read -r line; do
    [[ $line == '## '* ]] && { [[ $line == '## Recipes'* ]] && in=1 || in=; }
    if [[ ${in:-} && ( $line == '    '* || ( -z $line && -n $block ) ) ]]; then
        block+=${line#    }$'\n'
    elif [[ -n $block ]]; then
        blocks+=("$block") block=
    fi
done <"$1"
PATH=$(dirname "$(realpath "$2")"):$PATH
sample=$(realpath "$3")
cd "$(mktemp -d "${TMPDIR:-/tmp}/ombrek-recipes-XXXXXX")" || exit 1
trap 'rm -rf "$PWD"' EXIT
failed=0
check() { [[ $2 == "$3" ]] || { printf '%s:\nexpected [%s]\ngot      [%s]\n' "$1" "$3" "$2"; failed=1; }; }
tab=$'\t'
sorted() { printf '%s\n' "$@" | LC_ALL=C sort; }

# name, title, artist, copyright
mkdir sub
files=('./a b.nsf' 'Song A' Ann '' "./it's \"q\".nsf" Q Bob '2026 Bob' ./-t.nsf Dash '' ''
       $'./new\nline.nsf' NL N/A C $'./sub/DEEP \xE9.NSF' Deep D '' ./full.nsf F "$(printf 'X%.0s' {1..32})" F
       ./evil.nsf $'x\nCopyright : ' E E ./tab.nsf T $'a\tb' T)
for ((i = 0; i < ${#files[@]}; i += 4)); do
    cp "$sample" "${files[i]}"
    ombrek -w "-t${files[i + 1]}" "-a${files[i + 2]}" "-c${files[i + 3]}" "${files[i]}" >/dev/null
done
echo 'not NSF' >text.nsf
eval "${blocks[1]}" # tags()
LC_ALL=C

shown=$(eval "${blocks[0]%%$'\n'*}")
tags ./full.nsf
check "the show recipe" "$(grep -c -- '-------- file : ' <<<"$shown")" 8
check "tags() on a full field" "$a" "$(printf 'X%.0s' {1..31})"
check "files with no copyright" "$(eval "${blocks[2]}" 2>/dev/null | LC_ALL=C sort)" \
    "$(sorted "$(printf %q './a b.nsf')" ./-t.nsf "$(printf %q $'./sub/DEEP \xE9.NSF')")"

eval "${blocks[3]}" 2>err
check "the tab-separated file" "$(LC_ALL=C sort tags.tsv)" "$(sorted $'./-t.nsf\tDash\t\t' \
    $'./a b.nsf\tSong A\tAnn\t' $'./full.nsf\tF\tXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXX\tF' \
    $'./it\'s "q".nsf\tQ\tBob\t2026 Bob' $'./new\\nline.nsf\tNL\tN/A\tC' $'./sub/DEEP \xE9.NSF\tDeep\tD\t')"
check "what cannot go through" "$(LC_ALL=C sort err)" \
    "$(sorted './evil.nsf: a tag holds a newline' './tab.nsf: a tag holds a tab' './text.nsf: the file is not NSF format')"
before=$(md5sum ./full.nsf)
sed -i -e 's/\tQ\t/\tQ2\t/' -e 's/\tC$/\tC2/' tags.tsv
eval "${blocks[4]}"
tags "./it's \"q\".nsf" && check "an edited title" "$t/$a/$c" "Q2/Bob/2026 Bob"
tags $'./new\nline.nsf' && check "an edited copyright" "$t/$a/$c" "NL/N/A/C2"
check "an unedited file, its 32nd byte too" "$(md5sum ./full.nsf)" "$before"

eval "${blocks[5]}" 2>/dev/null
check "the renamed files" "$(find . -name '*.[nN]*' -print0 | LC_ALL=C sort -z | tr '\0' '|')" \
    "./Ann - Song A.nsf|./Bob - Q2.nsf|./Dash.nsf|./N_A - NL.nsf|./$(printf 'X%.0s' {1..31}) - F.nsf|./a${tab}b - T.nsf|./evil.nsf|./sub/D - Deep.nsf|./text.nsf|"
eval "${blocks[0]#*$'\n'}" >/dev/null
tags './sub/D - Deep.nsf' && check "one field set on every file" "$t/$a/$c" "Deep/D/2026 Team"
exit "$failed"
