# Sourced by the benchmark scripts. start_fakehost ARGS... starts the local
# file host of the benchmark build (build/bench) with ARGS, waits until it
# listens, exports http_proxy for it and sets host_pid (the caller's EXIT trap
# kills it).
start_fakehost() {
    local log port
    log=$(mktemp)
    build/bench/tests/fakehost/corvale-fakehost "$@" > "$log" &
    host_pid=$!
    for _ in $(seq 50); do grep -q listening "$log" && break; sleep 0.1; done
    port=$(sed -n 's/.*127\.0\.0\.1:\([0-9]*\).*/\1/p' "$log")
    rm -f "$log"
    if [ -z "$port" ]; then
        echo "the local file host did not start" >&2
        return 1
    fi
    export http_proxy="http://127.0.0.1:$port"
}
