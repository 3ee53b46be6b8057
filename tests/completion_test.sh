#!/usr/bin/env bash
# SPDX-License-Identifier: ISC
# Drives the bash completion as bash does, through COMP_WORDS and COMP_CWORD,
# in a folder of known names. Each case: the word being completed, and the
# candidates expected, sorted and joined by '|', a newline in one written \n.
#   completion_test.sh COMPLETION-SCRIPT
set -uo pipefail
source "$1"
cd "$(mktemp -d)"
trap 'rm -rf "$PWD"' EXIT
mkdir 'dir x'
touch 'a b.nsf' 'C D.NSF' 'dir x/in.nsf' notes.txt nsf ./-x ./-t.nsf $'x\na b.nsf'
HOME=$PWD

status=0
while IFS=: read -r word expected; do
    COMP_WORDS=(ombrek "$word") COMP_CWORD=1
    _ombrek
    got=$(printf '%s\n' "${COMPREPLY[@]//$'\n'/\\n}" | LC_ALL=C sort | paste -sd '|')
    if [[ $got != "$expected" ]]; then
        echo "completing [$word]: expected [$expected], got [$got]"
        status=1
    fi
done <<'CASES'
:./-t.nsf|C D.NSF|a b.nsf|dir x|x\na b.nsf
x:x\na b.nsf
~/d:~/dir x
a\ b:a b.nsf
'C:C D.NSF
dir\ x/:dir x/in.nsf
-:-?|-a|-c|-h|-t|-v|-w
-c:-c
-tTitle:
CASES
exit "$status"
