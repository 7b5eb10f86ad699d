#!/usr/bin/env bash
# Builds the libFuzzer targets (tests/fuzz) with clang, AddressSanitizer and
# UndefinedBehaviorSanitizer into build/fuzz, replays each target's kept
# regression inputs (tests/fuzz/regressions/NAME), then fuzzes each for
# SECONDS (default 30) from a copy of its seed corpus (tests/fuzz/corpus/NAME).
# A crash or a broken invariant fails the run; the input that caused it is
# written to build/fuzz/crashes/ (keep it under tests/fuzz/regressions/NAME
# once fixed).
#   scripts/fuzz.sh [SECONDS] [NAME...]
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-30}
shift || true
scripts/install-deps.sh clang
# libFuzzer and the sanitizer runtimes are the compiler-rt package of the
# installed clang's own version.
clang_major=$(clang -dumpversion | cut -d. -f1)
scripts/install-deps.sh "libclang-rt-$clang_major-dev"
export ASAN_OPTIONS=detect_leaks=0  # the build-time table generator runs instrumented
CC=clang CXX=clang++ cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCORVALE_FUZZ=ON -DCORVALE_GUI=OFF -DCORVALE_TESTS=OFF -DCORVALE_BENCH=OFF >/dev/null
cmake --build build/fuzz >/dev/null

names=("$@")
if [ ${#names[@]} -eq 0 ]; then
    names=(list_file api_reply link_extraction paste_split page_classification version_file url
           string_table)
fi
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
mkdir -p build/fuzz/crashes
for name in "${names[@]}"; do
    target=build/fuzz/tests/fuzz/fuzz_$name
    if [ -d "tests/fuzz/regressions/$name" ]; then
        "$target" -runs=1 tests/fuzz/regressions/"$name"/* >/dev/null 2>&1 ||
            { echo "fuzz_$name: a kept regression input fails again" >&2;
              "$target" -runs=1 tests/fuzz/regressions/"$name"/*; exit 1; }
    fi
    corpus=build/fuzz/corpus/$name
    rm -rf "$corpus"
    mkdir -p "$corpus"
    cp tests/fuzz/corpus/"$name"/* "$corpus"/
    if [ "$name" = link_extraction ]; then
        cp res/samples/links_page.html "$corpus"/  # the demo page is a seed too
    fi
    echo "fuzz_$name: ${seconds} s"
    if ! "$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=0 \
        -artifact_prefix="build/fuzz/crashes/$name-" "$corpus" > "build/fuzz/$name.log" 2>&1; then
        tail -40 "build/fuzz/$name.log" >&2
        echo "fuzz_$name found a failure; its input is in build/fuzz/crashes/" >&2
        exit 1
    fi
    grep -E "^Done [0-9]+ runs" "build/fuzz/$name.log" | tail -1 || true
done
