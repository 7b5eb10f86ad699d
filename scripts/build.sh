#!/usr/bin/env bash
# Configures and builds one flavour into build/<flavour>:
#   release (default), asan (AddressSanitizer + UBSan), tsan (ThreadSanitizer),
#   core (without the desktop program, as on a machine without Qt),
#   bench (the release build with the benchmarks, which need Google Benchmark).
# TARGETs build only those (and what they need); by default everything.
# It installs nothing: scripts/install-deps.sh does (scripts/test.sh and
# scripts/run.sh call it). CORVALE_WERROR=ON in the environment makes
# warnings fail the build (CI does), OFF turns that off again; unset, the
# build folder keeps what it had.
#   scripts/build.sh [FLAVOUR [TARGET...]]
set -euo pipefail
cd "$(dirname "$0")/.."

flavour=${1:-release}
shift || true
case "$flavour" in
    release) options=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DCORVALE_BENCH=OFF) ;;
    asan) options=(-DCMAKE_BUILD_TYPE=Debug -DCORVALE_ASAN=ON -DCORVALE_BENCH=OFF) ;;
    tsan) options=(-DCMAKE_BUILD_TYPE=Debug -DCORVALE_TSAN=ON -DCORVALE_BENCH=OFF) ;;
    core) options=(-DCMAKE_BUILD_TYPE=Debug -DCORVALE_GUI=OFF -DCORVALE_BENCH=OFF) ;;
    bench) options=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DCORVALE_BENCH=ON) ;;
    *) echo "usage: scripts/build.sh [release|asan|tsan|core|bench] [TARGET...]" >&2; exit 2 ;;
esac
if [ -n "${CORVALE_WERROR:-}" ]; then
    options+=(-DCORVALE_WERROR="$CORVALE_WERROR")
fi

targets=()
if [ $# -gt 0 ]; then
    targets=(--target "$@")
fi
cmake -S . -B "build/$flavour" -G Ninja "${options[@]}" >/dev/null
cmake --build "build/$flavour" "${targets[@]}"
