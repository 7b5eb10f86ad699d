#!/usr/bin/env bash
# Installs what is missing, builds and runs every test; with "asan" or "tsan"
# under that sanitizer (tsan runs the engine tests only, where the threads
# are), with "core" without the desktop program.
set -euo pipefail
cd "$(dirname "$0")/.."

flavour=${1:-release}
scripts/install-deps.sh
scripts/build.sh "$flavour"
filter=()
if [ "$flavour" = tsan ]; then
    filter=(-L 'engine_tests|platform_tests')
fi
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
# A test that hangs fails after five minutes instead of holding the run.
ctest --test-dir "build/$flavour" --output-on-failure --timeout 300 -j "$(nproc)" "${filter[@]}"
