#!/usr/bin/env bash
# A soak run of the desktop program (offscreen): COUNT downloads through the
# automatic queue ROUNDS times from one local file host, every tenth missing
# on the host and every tenth refused once with a wait. Reports resident
# memory, file descriptors and threads after each round and their growth after
# the first; fails when descriptors or threads were left behind.
#   bench/soak.sh [COUNT] [ROUNDS] [BYTES]
# Defaults: 50 downloads, 6 rounds, 1 MiB each. Builds what it runs into
# build/bench.
set -euo pipefail
cd "$(dirname "$0")/.."

count=${1:-50}
rounds=${2:-6}
bytes=${3:-1048576}
scripts/install-deps.sh libbenchmark-dev
scripts/build.sh bench bench_soak corvale-fakehost >/dev/null
bin=build/bench
first=930000
base=/dev/shm
[ -d "$base" ] && [ -w "$base" ] || base=${TMPDIR:-/tmp}
out=$(mktemp -d "$base/corvale-soak-XXXXXX")
host_pid=
trap 'kill $host_pid 2>/dev/null || true; rm -rf "$out"' EXIT

files=()
for i in $(seq 0 $((count - 1))); do
    case $((i % 10)) in
        7) ;;  # missing on the host: the API says "File not found"
        3) files+=(--wait-file "$((first + i)):$bytes") ;;
        *) files+=(--file "$((first + i)):$bytes") ;;
    esac
done
. bench/fakehost.sh
start_fakehost "${files[@]}"

XDG_RUNTIME_DIR=$(mktemp -d) "$bin/bench/bench_soak" "$out" "$count" "$rounds" "$first"
