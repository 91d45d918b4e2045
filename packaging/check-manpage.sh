#!/bin/sh
# SPDX-License-Identifier: MIT
# Checks the manual page: groff (every warning on), mandoc's linter down to style hints and
# man-db's own run (the one lintian does) print nothing; and the rendered page names every
# message that the README's tables of error messages list (the Linux part: from
# "### Error messages" up to the next "## " heading), so the two cannot drift apart.
# Usage: check-manpage.sh PAGE README
set -eu
page=$1 readme=$2
status=0
fail() { echo "FAIL: $*"; status=1; }

for tool in groff mandoc man; do
    command -v $tool >/dev/null || { echo "$tool is not installed"; exit 77; }
done
[ -s "$page" ] || { echo "FAIL: no manual page $page"; exit 1; }

# Each must print nothing; a failure without words is still a failure.
out=$(groff -ww -mandoc -z "$page" 2>&1) || out="${out:-groff exited with an error}"
[ -z "$out" ] || fail "groff -ww:
$out"
out=$(mandoc -T lint -W style "$page" 2>&1) || out="${out:-mandoc exited with an error}"
[ -z "$out" ] || fail "mandoc -T lint:
$out"
# What lintian runs for its check of manual pages.
out=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z "$page" 2>&1 >/dev/null) ||
    out="${out:-man exited with an error}"
[ -z "$out" ] || fail "man --warnings:
$out"

# The page as a reader sees it, on one line: no bold or underlining, no line breaks.
text=$(groff -mandoc -Tutf8 -P-cbou -rLL=300n "$page" 2>/dev/null | tr -s ' \n' '  ')
for section in NAME SYNOPSIS DESCRIPTION OPTIONS "DEVICE AND PERMISSIONS" DIAGNOSTICS \
               "EXIT STATUS" FILES EXAMPLES "SEE ALSO"; do
    case $text in *" $section "*) ;; *) fail "no section $section" ;; esac
done

# First cells of the README's message tables, without the header and the ruler rows.
messages=$(awk '/^### Error messages/ { on = 1; next }
                on && /^## / { exit }
                on && /^\|/ { split($0, cell, "|"); print cell[2] }' "$readme" |
           sed 's/^ *//; s/ *$//' | grep -v -e '^Message' -e '^-*$' | sort -u)
[ -n "$messages" ] || fail "found no message table in $readme"
count=0
while IFS= read -r message; do
    count=$((count + 1))
    # Followed by a blank: "I/O-Fehler 1" is not found inside "I/O-Fehler 1117".
    case $text in *"$message "*) ;; *) fail "the page does not name the message \"$message\"" ;; esac
done <<MESSAGES
$messages
MESSAGES

[ $status -eq 0 ] && echo "PASS: $page (groff, mandoc and man quiet; all $count messages of the README named)"
exit $status
