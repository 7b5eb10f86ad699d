#!/usr/bin/env bash
# Configures and builds one flavour into build/<flavour>:
#   release (default), asan (AddressSanitizer + UBSan), tsan (ThreadSanitizer),
#   core (without the desktop program, as on a machine without Qt).
set -euo pipefail
cd "$(dirname "$0")/.."

flavour=${1:-release}
case "$flavour" in
    release) options=(-DCMAKE_BUILD_TYPE=RelWithDebInfo) ;;
    asan) options=(-DCMAKE_BUILD_TYPE=Debug -DCORVALE_ASAN=ON -DCORVALE_BENCH=OFF) ;;
    tsan) options=(-DCMAKE_BUILD_TYPE=Debug -DCORVALE_TSAN=ON -DCORVALE_BENCH=OFF) ;;
    core) options=(-DCMAKE_BUILD_TYPE=Debug -DCORVALE_GUI=OFF -DCORVALE_BENCH=OFF) ;;
    *) echo "usage: scripts/build.sh [release|asan|tsan|core]" >&2; exit 2 ;;
esac

scripts/install-deps.sh
cmake -S . -B "build/$flavour" -G Ninja "${options[@]}" >/dev/null
cmake --build "build/$flavour"
