#!/usr/bin/env bash
# Builds the program and runs it against the bundled local file host
# (corvale-fakehost on 127.0.0.1, used as the proxy), so a newcomer sees a
# download work without the real file host. Without arguments it grabs and
# verifies the links of the demo page and downloads one of them into
# /tmp/corvale-demo; with arguments they go to corvale-cli as they are, e.g.
#   scripts/run.sh download http://rapidshare.com/files/204851/holiday_photos.part1.rar
# "scripts/run.sh window" opens the desktop program's main window instead
# (it needs a display).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/build.sh release >/dev/null
bin=build/release
log=$(mktemp)
"$bin/tests/fakehost/corvale-fakehost" > "$log" &
host_pid=$!
trap 'kill $host_pid 2>/dev/null || true; rm -f "$log"' EXIT
for _ in $(seq 50); do grep -q listening "$log" && break; sleep 0.1; done
port=$(sed -n 's/.*127\.0\.0\.1:\([0-9]*\).*/\1/p' "$log")
[ -n "$port" ] || { echo "the local file host did not start" >&2; exit 1; }
export http_proxy="http://127.0.0.1:$port"
echo "local file host on 127.0.0.1:$port (used as http_proxy)"

cli="$bin/src/cli/corvale-cli"
if [ "${1:-}" = window ]; then
    "$bin/src/app/corvale"
    exit $?
fi
if [ $# -gt 0 ]; then
    "$cli" "$@"
    exit $?
fi
demo=/tmp/corvale-demo
mkdir -p "$demo"
echo
echo "\$ corvale-cli grab http://rapidshare.com/links.html --verify --second-ms 100"
"$cli" grab http://rapidshare.com/links.html --verify --second-ms 100
echo
echo "\$ corvale-cli download http://rapidshare.com/files/204852/holiday_photos.part2.rar --folder $demo --yes --second-ms 250"
"$cli" download http://rapidshare.com/files/204852/holiday_photos.part2.rar \
    --folder "$demo" --yes --second-ms 250
ls -l "$demo"
