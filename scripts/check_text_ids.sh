#!/usr/bin/env bash
# Fails when code in src/ addresses a text of the string table by its number
# instead of its name (texts::invalid_url, named in res/string_names.txt):
#   - a bare 3-to-5-digit number in the first argument of load_string,
#     format_message, show_message, ask_yes_no, ask_yes_no_cancel or text();
#   - a `constexpr int k_...` (or auto) whose value is an id of
#     res/strings_en.txt. A constant that only happens to have such a value
#     (a wait in seconds, an exit status) says "not a text id" in a comment on
#     its line.
# Usage: scripts/check_text_ids.sh [SOURCE_ROOT]
set -euo pipefail
cd "${1:-$(dirname "$0")/..}"

status=0
report() {
    if [ -n "$2" ]; then
        echo "$1"
        echo "$2"
        status=1
    fi
}

calls='\b(load_string|format_message|show_message|ask_yes_no|ask_yes_no_cancel|text)\([^,;()]*\b[0-9]{3,5}\b'
report "Text ids given as numbers (use the names of res/string_names.txt):" \
    "$(grep -rnE --include='*.cpp' --include='*.h' "$calls" src || true)"

ids=$(awk -F'\t' '/^[0-9]+\t/ { print $1 }' res/strings_en.txt | paste -sd'|' -)
[ -n "$ids" ] || { echo "no ids read from res/strings_en.txt"; exit 2; }
constants="constexpr +(int|auto) +k_[A-Za-z0-9_]+ *= *($ids)\b"
report "Constants that hold text ids (use the names of res/string_names.txt):" \
    "$(grep -rnE --include='*.cpp' --include='*.h' "$constants" src | grep -v 'not a text id' || true)"

exit $status
