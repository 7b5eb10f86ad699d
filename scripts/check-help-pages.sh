#!/usr/bin/env bash
# Checks the page breaks of help PDFs: the text that ends one page must not
# start the next one again (a line drawn on both pages, clipped from sight on
# one of them, still reads twice). Needs pdftotext and pdfinfo (poppler-utils).
#   scripts/check-help-pages.sh HELP.pdf...
set -euo pipefail

status=0
for pdf in "$@"; do
    pages=$(pdfinfo "$pdf" | awk '/^Pages:/ {print $2}')
    previous_last=""
    for ((page = 1; page <= pages; page++)); do
        text=$(pdftotext -f "$page" -l "$page" -layout "$pdf" - | sed -e 's/\f//g' -e 's/^ *//' -e 's/ *$//' -e '/^$/d')
        first=$(head -n 1 <<<"$text")
        if [ -n "$previous_last" ] && [ "$first" = "$previous_last" ]; then
            echo "$pdf: page $page starts with the line that ended page $((page - 1)): $first" >&2
            status=1
        fi
        previous_last=$(tail -n 1 <<<"$text")
    done
done
exit $status
