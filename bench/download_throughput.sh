#!/usr/bin/env bash
# Downloads one large file from the local file host with corvale-cli and with
# curl -o, alternating, and reports throughput and CPU time of each client,
# and how corvale compares with the raw loopback TCP stream (iperf3, BYTES
# received and thrown away). Goal: at least 1.6 times curl's throughput and
# 0.7 times the raw stream's.
#   bench/download_throughput.sh [BYTES] [ROUNDS]
# Defaults: 1 GiB, 3 rounds. Builds what it runs into build/bench.
set -euo pipefail
cd "$(dirname "$0")/.."

bytes=${1:-1073741824}
rounds=${2:-3}
scripts/install-deps.sh libbenchmark-dev bc curl time iperf3
scripts/build.sh bench corvale-cli corvale-fakehost >/dev/null
bin=build/bench
out=$(mktemp -d)
host_pid=
iperf_pid=
trap 'kill $host_pid $iperf_pid 2>/dev/null || true; rm -rf "$out"' EXIT

# The raw stream first, while nothing else of the benchmark runs.
iperf_port=5299
iperf3 -s -1 -p "$iperf_port" > /dev/null 2>&1 &
iperf_pid=$!
sleep 0.5
raw_mbps=$(iperf3 -c 127.0.0.1 -p "$iperf_port" -n "$bytes" -J 2>/dev/null |
    awk -F'[:,]' '/"bits_per_second"/ { bps = $2 } END { printf "%.0f", bps / 8e6 }')
wait "$iperf_pid" 2>/dev/null || true
iperf_pid=

. bench/fakehost.sh
start_fakehost --file "900001:$bytes"
proxy=$http_proxy
unset http_proxy
file_url="http://rs42.rapidshare.com/cgi-bin/rsapi.cgi?sub=download_v1&editparentlocation=0&bin=1&fileid=900001&filename=bench.bin&dlauth=BENCH"

# Prints "seconds user+system" of one command.
measure() {
    /usr/bin/time -f '%e %U %S' -o "$out/time" "$@" > /dev/null 2>&1
    awk '{ printf "%s %.2f\n", $1, $2 + $3 }' "$out/time"
}

echo "client      seconds  cpu-s  MB/s"
declare -A wall cpu
for round in $(seq "$rounds"); do
    for client in corvale curl; do
        rm -f "$out/bench.bin"
        if [ "$client" = corvale ]; then
            result=$(http_proxy=$proxy measure "$bin/src/cli/corvale-cli" download \
                "http://rapidshare.com/files/900001/bench.bin" --folder "$out" --second-ms 1 --yes)
        else
            result=$(measure curl -s -x "$proxy" -o "$out/bench.bin" "$file_url")
        fi
        size=$(stat -c %s "$out/bench.bin")
        [ "$size" = "$bytes" ] || { echo "$client wrote $size bytes, expected $bytes" >&2; exit 1; }
        read -r seconds cpu_s <<< "$result"
        wall[$client]=$(echo "${wall[$client]:-0} + $seconds" | bc -l)
        cpu[$client]=$(echo "${cpu[$client]:-0} + $cpu_s" | bc -l)
        printf '%-10s %8.2f %6.2f %6.0f  (round %d)\n' "$client" "$seconds" "$cpu_s" \
            "$(echo "$bytes / $seconds / 1000000" | bc -l)" "$round"
    done
done
corvale_mbps=$(echo "$bytes * $rounds / ${wall[corvale]} / 1000000" | bc -l)
printf 'raw loopback stream (iperf3): %s MB/s\n' "$raw_mbps"
printf 'throughput ratio corvale/curl: %.2f (goal 1.6)\n' "$(echo "${wall[curl]} / ${wall[corvale]}" | bc -l)"
printf 'throughput ratio corvale/raw:  %.2f (goal 0.7)\n' "$(echo "$corvale_mbps / $raw_mbps" | bc -l)"
printf 'cpu-time ratio corvale/curl:   %.2f\n' "$(echo "${cpu[corvale]} / ${cpu[curl]}" | bc -l)"
