#!/usr/bin/env bash
# The generator of the text ids: it names every text, and refuses names that
# disagree with the string tables, saying where, and then generates nothing.
# Usage: string_table_gen_test.sh PATH/TO/string_table_gen
set -uo pipefail
generator=$1
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
failures=0

# check WHY ENGLISH NAMES OTHER EXPECTED: the three files (printf %b escapes),
# and what the generator must say (an extended regex); empty when it must
# succeed.
check() {
    local why=$1 expected=$5 status
    printf '%b' "$2" >"$dir/en.txt"
    printf '%b' "$3" >"$dir/names.txt"
    printf '%b' "$4" >"$dir/other.txt"
    rm -f "$dir/table.cpp" "$dir/ids.h"
    "$generator" "$dir/en.txt" "$dir/names.txt" "$dir/other.txt" "$dir/table.cpp" "$dir/ids.h" \
        2>"$dir/said"
    status=$?
    if [ -z "$expected" ]; then
        if [ $status -ne 0 ] || ! grep -q 'inline constexpr int second = 102;' "$dir/ids.h"; then
            echo "FAIL ($why): expected success, got $status: $(cat "$dir/said")"
            failures=$((failures + 1))
        fi
    elif [ $status -eq 0 ] || ! grep -qE "$expected" "$dir/said" || [ -e "$dir/ids.h" ] ||
        [ -e "$dir/table.cpp" ]; then
        echo "FAIL ($why): expected /$expected/ and nothing generated; got $status:"
        cat "$dir/said"
        failures=$((failures + 1))
    fi
}

en='# a comment\n101\tFirst\n102\tSecond\n'
named='101\tfirst\n\n102\tsecond\n'
check "names and tables agree" "$en" "$named" '102\tthani\n' ''
check "a text without a name" "$en" '101\tfirst\n' '' 'en.txt: text 102 has no name in .*names.txt'
check "a name without a text" "$en" "${named}103\tthird\n" '' 'names.txt:4: third \(103\) has no text'
check "a name used twice" "$en" '101\tfirst\n102\tfirst\n' '' \
    'names.txt:2: the name first is used twice \(first on line 1\)'
check "an id named twice" "$en" "${named}101\tagain\n" '' 'names.txt:4: 101 is named twice'
check "a name with capitals" "$en" '101\tFirst\n102\tsecond\n' '' 'names.txt:1: "First" is no good'
check "a keyword as a name" "$en" '101\tfirst\n102\tdelete\n' '' 'names.txt:2: "delete" is no good'
check "a line without a tab" "$en" '101 first\n102\tsecond\n' '' 'names.txt:1: expected ID<TAB>name'
check "another language's extra text" "$en" "$named" '102\tthani\n104\tx\n' \
    'other.txt: text 104 is not in .*en.txt'
check "a malformed English table" '101\tbad \\q\n' "$named" '' 'en.txt: line 1'
exit $((failures > 0))
