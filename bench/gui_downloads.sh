#!/usr/bin/env bash
# COUNT downloads of BYTES each started at once in the main window (offscreen),
# then the same downloads by COUNT corvale-cli processes, from one local file
# host. Reports the GUI thread's timer lateness, CPU time and throughput.
#   bench/gui_downloads.sh [COUNT] [BYTES]
# Defaults: 20 downloads of 256 MiB. Files go to a tmpfs-backed folder under
# /dev/shm when there is one (the disk is not what is measured). Builds what
# it runs into build/bench.
set -euo pipefail
cd "$(dirname "$0")/.."

count=${1:-20}
bytes=${2:-268435456}
scripts/install-deps.sh libbenchmark-dev bc time
scripts/build.sh bench bench_gui_downloads corvale-cli corvale-fakehost >/dev/null
bin=build/bench
base=/dev/shm
[ -d "$base" ] && [ -w "$base" ] || base=${TMPDIR:-/tmp}
out=$(mktemp -d "$base/corvale-bench-XXXXXX")
host_pid=
trap 'kill $host_pid 2>/dev/null || true; rm -rf "$out"' EXIT

files=()
for i in $(seq 0 $((count - 1))); do
    files+=(--file "$((910000 + i)):$bytes" --file "$((920000 + i)):$bytes")
done
. bench/fakehost.sh
start_fakehost "${files[@]}"

echo "== main window: $count downloads started at once"
mkdir -p "$out/gui"
XDG_RUNTIME_DIR=$(mktemp -d) "$bin/bench/bench_gui_downloads" "$out/gui" "$count" "$bytes" 910000 \
    | tee "$out/gui.txt"
rm -rf "$out/gui"

echo "== $count corvale-cli download processes"
mkdir -p "$out/cli"
start=$(date +%s.%N)
/usr/bin/time -f '%U %S' -o "$out/cli.time" bash -c '
    for i in $(seq 0 $(('"$count"' - 1))); do
        "'"$bin"'/src/cli/corvale-cli" download "http://rapidshare.com/files/$((920000 + i))/cli$i.bin" \
            --folder "'"$out/cli"'" --yes > /dev/null 2>&1 &
    done
    wait'
end=$(date +%s.%N)
cli_wall=$(echo "$end - $start" | bc -l)
cli_cpu=$(awk '{ printf "%.2f", $1 + $2 }' "$out/cli.time")
cli_mbps=$(echo "$bytes * $count / $cli_wall / 1000000" | bc -l)
printf 'wall_s %.2f\ncpu_s %s\nthroughput_MBps %.0f\n' "$cli_wall" "$cli_cpu" "$cli_mbps"
gui_mbps=$(awk '/throughput_MBps/ { print $2 }' "$out/gui.txt")
printf '== throughput main window / CLI processes: %.2f\n' "$(echo "$gui_mbps / $cli_mbps" | bc -l)"
