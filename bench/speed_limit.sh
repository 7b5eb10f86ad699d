#!/usr/bin/env bash
# Downloads under a speed limit from the local file host: at 50 MiB/s and at
# 1 MiB/s, one download alone and four at once under one global limit, each
# case SECONDS long at the limit. Reports achieved/target and CPU time of each
# case, and curl --limit-rate alone at each rate for comparison.
#   bench/speed_limit.sh [SECONDS]
# Default: 10 seconds a case. Goal: within ±3 % of the target, and at most
# 0.05 CPU-s per second while held back. Builds what it runs into build/bench.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-10}
scripts/install-deps.sh libbenchmark-dev bc curl time
scripts/build.sh bench bench_speed_limit corvale-fakehost >/dev/null
bin=build/bench
out=$(mktemp -d)
host_pid=
trap 'kill $host_pid 2>/dev/null || true; rm -rf "$out"' EXIT

mib=1048576
rates=(50 1)
counts=(1 4)
files=()
declare -A first_id
id=930000
for rate in "${rates[@]}"; do
    for count in "${counts[@]}"; do
        first_id[$rate.$count]=$id
        each=$((rate * mib * seconds / count))
        for _ in $(seq "$count"); do
            files+=(--file "$id:$each")
            id=$((id + 1))
        done
    done
    files+=(--file "$id:$((rate * mib * seconds))")  # curl's
    first_id[$rate.curl]=$id
    id=$((id + 1))
done
. bench/fakehost.sh
start_fakehost "${files[@]}"

verdicts=()
printf '%-28s %8s %10s %8s %10s\n' case wall_s ach/target cpu_s cpu_s/s
for rate in "${rates[@]}"; do
    for count in "${counts[@]}"; do
        rm -f "$out"/*.bin
        report=$("$bin/bench/bench_speed_limit" "$out" $((rate * mib)) "$count" "$seconds" \
            "${first_id[$rate.$count]}")
        wall=$(awk '/^wall_s/ { print $2 }' <<< "$report")
        ratio=$(awk '/^wall_s/ { print $6 }' <<< "$report")
        share=$(awk '/^furthest_share/ { print $2 }' <<< "$report")
        cpu=$(awk '/^cpu_s/ { print $2 }' <<< "$report")
        per_s=$(awk '/^cpu_s/ { print $4 }' <<< "$report")
        printf '%-28s %8s %10s %8s %10s  (furthest download/share %s)\n' \
            "corvale $rate MiB/s x$count" "$wall" "$ratio" "$cpu" "$per_s" "$share"
        verdicts+=("$(awk -v r="$ratio" -v c="$per_s" -v n="corvale $rate MiB/s x$count" 'BEGIN {
            printf "%s: rate %s, cpu %s", n,
                (r >= 0.97 && r <= 1.03) ? "meets ±3 %" : "MISSES ±3 %",
                (c <= 0.05) ? "meets 0.05 s/s" : "MISSES 0.05 s/s" }')")
    done
    rm -f "$out"/*.bin
    /usr/bin/time -f '%e %U %S' -o "$out/time" curl -s -x "$http_proxy" --limit-rate "${rate}M" \
        -o "$out/curl.bin" \
        "http://rs42.rapidshare.com/cgi-bin/rsapi.cgi?sub=download_v1&editparentlocation=0&bin=1&fileid=${first_id[$rate.curl]}&filename=curl.bin&dlauth=BENCH"
    read -r wall user system < "$out/time"
    printf '%-28s %8s %10.4f %8.2f %10.4f\n' "curl --limit-rate ${rate}M" "$wall" \
        "$(echo "$rate * $mib * $seconds / $wall / ($rate * $mib)" | bc -l)" \
        "$(echo "$user + $system" | bc -l)" "$(echo "($user + $system) / $wall" | bc -l)"
done
printf '%s\n' "${verdicts[@]}"
