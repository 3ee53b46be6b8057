#!/usr/bin/env bash
# SPDX-License-Identifier: ISC
# Runs ombrek-tsv and ombrek-rename as a user would, on a folder of awkward
# names and tags, and checks what they left: the table's rules, a round trip
# through Python's csv module, and the renames.
#   collection_test.sh BIN-FOLDER SAMPLE
# shellcheck disable=SC2016 # $(id) is a tag, not an expansion
set -uo pipefail
bin=$(realpath "$1") sample=$(realpath "$2")
export PATH=$bin:$PATH
cd "$(mktemp -d "${TMPDIR:-/tmp}/ombrek-collection-XXXXXX")" && mkdir t && cd t || exit 1
trap 'rm -rf "${PWD%/t}"' EXIT
failed=0
check() { [[ $2 == "$3" ]] || { printf '%s:\nexpected [%s]\ngot      [%s]\n' "$1" "$3" "$2"; failed=1; }; }
lines() { printf '%s\n' "$@"; }
# What a run could change: each file's bytes and times; the contents alone.
snap() { find . -type f -printf '%p %T@ %C@\n' -exec md5sum {} + | LC_ALL=C sort; }
sums() { find . -type f -exec md5sum {} + | sed 's/^\\//' | cut -c1-32 | sort; }
# Standard output, then standard error, then the status.
tsv() { ombrek-tsv "$@" 2>../stderr; set -- "$?" && cat ../stderr && echo "$1"; }
x31=$(printf 'X%.0s' {1..31}) long=$(printf 'L%.0s' {1..240}) j15=$(printf 'Ж%.0s' {1..15})
q="./it's \"q\".nsf" deep=$'./sub/DEEP \xE9*?[.NSF'
# name, title, artist, copyright
files=("./a b.nsf" "Song A" Ann "" "$q" Q '%s \ $(id)' "" ./-t.nsf Dash "" "" $'./new\nline.nsf' NL N/A C
    "$deep" Deep D "" './mega man.nsf' "MEGA MAN" "" "" ./full.nsf F "${x31}X" F ./hid.nsf .hack "" ""
    ./l1.nsf $'\xE9t\xE9' $'\x83\x5E\x83\x43' "$x31" "./$long.nsf" text "" ""
    ./evil.nsf $'x\nCopyright : ' E E $'./tab\r.nsf' T $'a\tb' T ./ret.nsf R $'a\rb' R)
mkdir sub 'Ann - X.nsf' .trash && mkfifo fifo.nsf && echo 'not NSF' >text.nsf
ln -s ../.. Dash.nsf && ln -s missing 'N_A - NL.nsf' && ln -s 'a b.nsf' tags.tsv
for ((i = 0; i < ${#files[@]}; i += 4)); do
    cp "$sample" "${files[i]}"
    ombrek -w "-t${files[i + 1]}" "-a${files[i + 2]}" "-c${files[i + 3]}" "${files[i]}" >/dev/null
done
cp "$sample" .trash/gone.nsf
ln 'a b.nsf' hard.nsf && printf 'ab\0cd' | dd of=./-t.nsf bs=1 seek=78 conv=notrunc 2>/dev/null
before=$(snap)
ombrek-tsv export >../tsv 2>../err
check "export: status" $? 1
check "export: every byte, each file once, no hidden folder" "$(cat ../tsv)" "$(lines $'name\ttitle\tartist\tcopyright' \
    $'./-t.nsf\tDash\t\tab' "./$long.nsf"$'\ttext\t\t' $'./a b.nsf\tSong A\tAnn\t' $'./evil.nsf\tx\\nCopyright : \tE\tE' \
    $'./full.nsf\tF\t'"$x31"$'X\tF' $'./hid.nsf\t.hack\t\t' $'"./it\'s ""q"".nsf"\tQ\t%s \\\\ $(id)\t' \
    $'./l1.nsf\t\\xE9t\\xE9\t\\x83^\\x83C\t'"$x31" $'./mega man.nsf\tMEGA MAN\t\t' $'./new\\nline.nsf\tNL\tN/A\tC' \
    $'./ret.nsf\tR\ta\\rb\tR' $'./sub/DEEP \\xE9*?[.NSF\tDeep\tD\t' $'./tab\\r.nsf\tT\ta\\tb\tT')"
check "export: what is left out" "$(cat ../err)" "ombrek-tsv: ./text.nsf: the file is not NSF format"
check "import with no edit" "$(tsv import ../tsv)" "$(lines 'ombrek-tsv: 0 files written, 13 unchanged, 0 refused' 0)"
check "...opens no file for writing" "$(snap)" "$before"
# Into copies whose tags are gone, the import restores every field's text.
cp -a . ../copy && (cd ../copy && find . -name '*.nsf' -type f -exec ombrek -w -t -a -c {} + >/dev/null &&
    ombrek-tsv import <../tsv >/dev/null 2>&1 && ombrek-tsv export 2>/dev/null) >../restored
cmp -s ../tsv ../restored || check "import into copies restores every field" "$(diff ../tsv ../restored)" ""
cp full.nsf ../full && cp "$q" ../q && cp ./-t.nsf ../dash
# A header, one field each, a case-only edit, a text cut, a second name; CRLF, no last newline.
{ printf 'name\ttitle\tartist\tcopyright\r\nhard.nsf\tX\tAnn\t\r\n\r\n' && sed -e 1d -e 's/\tQ\t/\tQ2\t/' \
    -e 's/MEGA MAN/Mega Man/' -e "s/\\tDeep\\t/\\t${j15}ЖЖ\\t/" -e 's/$/\r/' ../tsv | head -c -2; } >../edited
check "import -n: each field that would change" "$(tsv import -n ../edited)" "$(lines \
    $'hard.nsf\ttitle\tSong A\tX' $'"./it\'s ""q"".nsf"\ttitle\tQ\tQ2' $'./mega man.nsf\ttitle\tMEGA MAN\tMega Man' \
    $'./sub/DEEP \\xE9*?[.NSF\ttitle\tDeep\t'"$j15" "ombrek-tsv: line 6: ./a b.nsf: the file of line 2, by another name" \
    "ombrek-tsv: line 15: ./sub/DEEP \\xE9*?[.NSF: the title is longer than 32 bytes; stored: $j15" \
    'ombrek-tsv: 4 files to be written, 9 unchanged, 1 refused' 1)"
check "...writes nothing" "$(snap)" "$before"
check "import of edits" "$(tsv import ../edited | grep -v longer)" "$(lines hard.nsf $'"./it\'s ""q"".nsf"' \
    './mega man.nsf' './sub/DEEP \xE9*?[.NSF' "ombrek-tsv: line 6: ./a b.nsf: the file of line 2, by another name" \
    'ombrek-tsv: 4 files written, 9 unchanged, 1 refused' 1)"
check "...one field alone" "$(cmp -l ../q "$q" | awk '$1 < 15 || $1 > 46')" ""
check "...a cut field is unchanged at the next import" "$(tsv import ../edited | tail -n 2)" "$(lines \
    'ombrek-tsv: 0 files written, 13 unchanged, 1 refused' 1)"
# Columns by the header, in any order; a missing cell keeps its field.
printf 'copyright\tname\ttitle\nNew C\t./full.nsf\n\tfull.nsf\t\n' >../columns
check "columns by the header" "$(tsv import ../columns)" "$(lines ./full.nsf \
    'ombrek-tsv: line 3: full.nsf: the file of line 2, by another name' 'ombrek-tsv: 1 files written, 0 unchanged, 1 refused' 1)"
check "...only the copyright written" "$(cmp -l ../full full.nsf | awk '$1 < 79')" ""
before=$(snap)
iconv -f UTF-8 -t UTF-16 ../edited >../utf16
check "a UTF-16 table is refused whole" "$(tsv import ../utf16)" \
    "$(lines $'ombrek-tsv: ../utf16: it is UTF-16 (little-endian), as Excel\'s "Unicode Text"; save it as UTF-8: nothing written' 1)"
printf './-t.nsf\t\\x1B]0;pwned\\x07\tA\\q\n./-t.nsf\t\\x1B[2J\n./hid.nsf\tx\ry\n' >../evil
check "a pipe gets escapes; refused rows say why" "$(tsv import -n ../evil)" "$(lines \
    $'./-t.nsf\ttitle\tDash\t\\x1B[2J' 'ombrek-tsv: line 1: ./-t.nsf: a cell holds a \ that begins no escape (write \\ for one)' \
    'ombrek-tsv: line 3: ./hid.nsf: a CR inside a cell (a line end gone wrong)' \
    'ombrek-tsv: 1 files to be written, 0 unchanged, 2 refused' 1)"
check "a terminal gets ? for control characters" "$(script -qec 'ombrek-tsv import -n ../evil' /dev/null </dev/null |
    grep -a title | tr -d '\r')" $'./-t.nsf\ttitle\tDash\t?[2J'
# CP932 shown as UTF-8, and written back in CP932; a text it cannot hold is refused.
printf 'name\tartist\n./l1.nsf\t😀\n' >../bad && printf 'name\tartist\n./l1.nsf\tタイト\n' >../cp932
check "--encoding: export" "$(ombrek-tsv export --encoding=CP932 . 2>/dev/null | grep -a l1)" \
    $'./l1.nsf\t\\xE9t\\xE9\tタイ\t'"$x31"
check "--encoding: import" "$(tsv import --encoding=CP932 ../bad; tsv import --encoding=CP932 ../cp932)" "$(lines \
    'ombrek-tsv: line 2: ./l1.nsf: the artist cannot be written in CP932' 'ombrek-tsv: 0 files written, 0 unchanged, 1 refused' 1 \
    ./l1.nsf 'ombrek-tsv: 1 files written, 0 unchanged, 0 refused' 0)"
check "...in CP932" "$(ombrek ./l1.nsf | sed -n 3p | od -An -tx1 | tr -d ' ')" "417274697374203a20835e834383670a"
check "...and nothing else changed" "$(snap | grep -av l1.nsf)" "$(printf '%s\n' "$before" | grep -av l1.nsf)"
# Python's csv module (excel-tab) reads and writes the table back as it was, LF and CRLF.
for end in '\n' '\r\n'; do
    python3 -c 'import csv, sys
rows = list(csv.reader(open(sys.argv[1], newline="", encoding="utf-8"), dialect="excel-tab"))
rows[4][1] = "Python"
csv.writer(sys.stdout, dialect="excel-tab", lineterminator=sys.argv[2].encode().decode("unicode_escape")).writerows(rows)' \
        <(ombrek-tsv export 2>/dev/null) "$end" >../python
    check "Python's csv, $end: only the edited cell" "$(tsv import -n ../python)" "$(lines \
        $'./evil.nsf\ttitle\tx\\nCopyright : \tPython' 'ombrek-tsv: 1 files to be written, 12 unchanged, 0 refused' 0)"
done
before=$(snap) sums=$(sums)
# A dry run prints what the run does, and the run does it.
ombrek-rename -n >../out 2>&1
check "a dry run renames nothing" "$(snap)" "$before"
check "rename: as the dry run said" "$(ombrek-rename 2>&1; echo $?)" "$(sed 's/ to be renamed,/ renamed,/' ../out; echo 1)"
check "...each file kept for its reason" "$(grep -a -o '^ombrek-rename: [^:]*: kept: [a-zNSF ]*' ../out)" "$(lines \
    "ombrek-rename: ./-t.nsf: kept: the new name is taken" "ombrek-rename: ./$long.nsf: kept: the new name is taken" \
    "ombrek-rename: ./a b.nsf: kept: the new name is taken" "ombrek-rename: ./hid.nsf: kept: the new name would hide it" \
    'ombrek-rename: ./new\nline.nsf: kept: the new name is taken' 'ombrek-rename: ./text.nsf: kept: the file is not NSF format')"
check "...no file lost or changed" "$(sums)" "$sums"
check "...none moved elsewhere; names any filesystem takes" \
    "$(find . -name '*.[nN]*' -printf '%p %y\0' | LC_ALL=C sort -z | tr '\0' '|')" \
    "$(printf '%s\0' './%s _ $(id) - Q2.nsf f' './-t.nsf f' './Ann - X.nsf d' './Dash.nsf l' "./$long.nsf f" \
        './E - x_Copyright _ .nsf f' './Mega Man.nsf f' './N_A - NL.nsf l' "./${x31}X - F.nsf f" './a b.nsf f' \
        './fifo.nsf p' './hard.nsf f' './hid.nsf f' $'./new\nline.nsf f' "./sub/D - $j15.nsf f" './a_b - T.nsf f' \
        './a_b - R.nsf f' './text.nsf f' './_^_C_g - _t_.nsf f' './.trash/gone.nsf f' | LC_ALL=C sort -z | tr '\0' '|')"
check "rename: a terminal gets ? for control characters" "$(script -qec 'ombrek-rename -n' /dev/null </dev/null |
    grep -a 'line.nsf:' | tr -d '\r')" 'ombrek-rename: ./new?line.nsf: kept: the new name is taken: ./N_A - NL.nsf'
check "a folder with no NSF file: nothing said" "$(ombrek-rename sub/.. 2>&1 >/dev/null | tail -n 1; mkdir ../none
    ombrek-rename ../none 2>&1; echo $?)" "$(lines 'ombrek-rename: 0 renamed, 6 kept (4 name taken, 1 would be hidden, 1 not read), 8 unchanged' 0)"
check "usage" "$(ombrek-tsv -h | head -n 1; ombrek-tsv export -x 2>&1 >/dev/null | head -n 1
    ombrek-rename -x 2>&1 >/dev/null | head -n 1; echo $?)" "$(lines "usage: ombrek-tsv export [--encoding=NAME] [FOLDER...] >FILE" \
    "usage: ombrek-tsv export [--encoding=NAME] [FOLDER...] >FILE" "usage: ombrek-rename [-n] [-f FORMAT] [--encoding=NAME] [--] [FOLDER...]" 2)"
exit "$failed"
