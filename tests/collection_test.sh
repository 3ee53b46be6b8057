#!/usr/bin/env bash
# SPDX-License-Identifier: ISC
# Runs ombrek-tsv and ombrek-rename as a user would, under hostile shell
# options, on a folder of awkward names and tags, and checks what they left.
#   examples_test.sh EXAMPLES-FOLDER TOOL SAMPLE
# shellcheck disable=SC2016 # $(id) is a tag, not an expansion
set -uo pipefail
ex=$(realpath "$1") sample=$(realpath "$3") OMBREK=$(realpath "$2")
export OMBREK
cd "$(mktemp -d "${TMPDIR:-/tmp}/ombrek-examples-XXXXXX")" && mkdir t && cd t || exit 1
trap 'rm -rf "${PWD%/t}"' EXIT
failed=0
check() { [[ $2 == "$3" ]] || { printf '%s:\nexpected [%s]\ngot      [%s]\n' "$1" "$3" "$2"; failed=1; }; }
lines() { printf '%s\n' "$@"; }
# Every option that could change a script's result, set as exported options set them.
run() { env BASHOPTS=nocasematch:nocaseglob:nullglob:failglob:dotglob:extglob:globstar:lastpipe \
    SHELLOPTS=errexit:nounset:noglob:noclobber:allexport:posix:pipefail LC_ALL=C.UTF-8 "$ex/$1" "${@:2}"; }
# What a run could change: each file's bytes and times; the contents alone.
snap() { find . -type f -printf '%p %T@ %C@\n' -exec md5sum {} + | LC_ALL=C sort; }
sums() { find . -type f -exec md5sum {} + | sed 's/^\\//' | cut -c1-32 | sort; }
x31=$(printf 'X%.0s' {1..31}) long=$(printf 'L%.0s' {1..240}) j15=$(printf 'Ж%.0s' {1..15})
q="./it's \"q\".nsf" deep=$'./sub/DEEP \xE9*?[.NSF'
# name, title, artist, copyright
files=("./a b.nsf" "Song A" Ann "" "$q" Q '%s \ $(id)' "" ./-t.nsf Dash "" "" $'./new\nline.nsf' NL N/A C
    "$deep" Deep D "" './mega man.nsf' "MEGA MAN" "" "" ./full.nsf F "${x31}X" F ./hid.nsf .hack "" ""
    ./l1.nsf $'\xE9t\xE9' $'\x83\x5E\x83\x43' "$x31" "./$long.nsf" text "" ""
    ./evil.nsf $'x\nCopyright : ' E E $'./tab\r.nsf' T $'a\tb' T ./ret.nsf R $'a\rb' R)
mkdir sub 'Ann - X.nsf' && mkfifo fifo.nsf && echo 'not NSF' >text.nsf
ln -s ../.. Dash.nsf && ln -s missing 'N_A - NL.nsf' && ln -s 'a b.nsf' tags.tsv
for ((i = 0; i < ${#files[@]}; i += 4)); do
    cp "$sample" "${files[i]}"
    "$OMBREK" -w "-t${files[i + 1]}" "-a${files[i + 2]}" "-c${files[i + 3]}" "${files[i]}" >/dev/null
done
ln 'a b.nsf' hard.nsf && printf 'ab\0cd' | dd of=./-t.nsf bs=1 seek=78 conv=notrunc 2>/dev/null
before=$(snap)
run ombrek-tsv export >../tsv 2>../err
check "export: status" $? 1
check "export: each file once" "$(cat ../tsv)" "$(lines $'./-t.nsf\tDash\t\tab' "./$long.nsf"$'\ttext\t\t' \
    $'./a b.nsf\tSong A\tAnn\t' $'./full.nsf\tF\t'"$x31"$'\tF' $'./hid.nsf\t.hack\t\t' \
    "$q"$'\tQ\t%s \\ $(id)\t' $'./l1.nsf\t\xE9t\xE9\t\x83\x5E\x83\x43\t'"$x31" $'./mega man.nsf\tMEGA MAN\t\t' $'./new\\nline.nsf\tNL\tN/A\tC' "$deep"$'\tDeep\tD\t')"
check "export: what is left out" "$(cat ../err)" "$(lines "ombrek-tsv: ./evil.nsf: a tag holds a newline" \
    "ombrek-tsv: ./ret.nsf: a tag holds a carriage return" \
    'ombrek-tsv: ./tab\r.nsf: a tag holds a tab' "ombrek-tsv: ./text.nsf: the file is not NSF format")"
check "import with no edit" "$(run ombrek-tsv import ../tsv 2>&1; echo $?)" 0
check "...changes no byte and no time" "$(snap)" "$before"
cp full.nsf ../full && cp "$q" ../q
# One field each, a case-only edit, a UTF-8 text cut, a second name; CRLF, no last newline.
{ printf 'hard.nsf\tX\tAnn\t\r\n\r\n' && sed -e 's/\tQ\t/\tQ2\t/' -e 's/MEGA MAN/Mega Man/' \
    -e "s/\\tDeep\\t/\\t${j15}ЖЖ\\t/" -e 's/$/\r/' ../tsv | head -c -2; } >../edited
check "import of edits" "$(run ombrek-tsv import ../edited 2>&1; echo $?)" "$(lines \
    "ombrek-tsv: line 5: ./a b.nsf is the file of line 1: left out" hard.nsf "$q" './mega man.nsf' "$deep" 1)"
check "...one field alone" "$(cmp -l ../q "$q" | awk '$1 < 15 || $1 > 46')" ""
cmp -s ../full full.nsf || check "...an unedited full field keeps its 32nd byte" changed kept
check "...each as asked" "$(run ombrek-tsv export 2>/dev/null | grep -a -e Q2 -e Mega -e Ж -e $'\tX\t')" \
    "$(lines $'./a b.nsf\tX\tAnn\t' "$q"$'\tQ2\t%s \\ $(id)\t' $'./mega man.nsf\tMega Man\t\t' "$deep"$'\t'"$j15"$'\tD\t')"
before=$(snap) sums=$(sums)
run ombrek-rename -n >../out 2>&1
check "a dry run renames nothing" "$(snap)" "$before"
check "rename: as the dry run said" "$(run ombrek-rename 2>&1; echo $?)" "$(cat ../out; echo 1)"
check "...each file kept for its reason" "$(grep -a -o '^ombrek-rename: [^:]*: kept: [a-z ]*' ../out)" "$(lines \
    "ombrek-rename: ./-t.nsf: kept: the new name is taken" "ombrek-rename: ./$long.nsf: kept: the new name is taken" \
    "ombrek-rename: ./a b.nsf: kept: the new name is taken" \
    "ombrek-rename: ./hid.nsf: kept: the new name would hide it" 'ombrek-rename: ./new\nline.nsf: kept: the new name is taken')"
check "...no file lost or changed" "$(sums)" "$sums"
check "...none moved elsewhere" "$(find . -name '*.[nN]*' -printf '%p %y\0' | LC_ALL=C sort -z | tr '\0' '|')" \
    "$(printf '%s\0' "./%s \\ \$(id) - Q2.nsf f" './-t.nsf f' './Ann - X.nsf d' './Dash.nsf l' "./$long.nsf f" \
        './Mega Man.nsf f' './N_A - NL.nsf l' "./$x31 - F.nsf f" './a b.nsf f' './evil.nsf f' './fifo.nsf p' \
        './hard.nsf f' './hid.nsf f' $'./new\nline.nsf f' "./sub/D - $j15.nsf f" $'./tab\r.nsf f' './ret.nsf f' './text.nsf f' \
        $'./\x83\x5E\x83\x43 - \xE9t\xE9.nsf f' | LC_ALL=C sort -z | tr '\0' '|')"
check "usage" "$(run ombrek-tsv -h | head -n 1; run ombrek-rename -x 2>&1 >/dev/null | head -n 1; echo $?)" \
    "$(lines "usage: ombrek-tsv export [FOLDER...] >FILE" "usage: ombrek-rename [-n] [--] [FOLDER...]" 2)"
exit "$failed"
