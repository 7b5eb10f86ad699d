#!/usr/bin/env bash
# Builds the program and runs it against the bundled local file host
# (corvale-fakehost on 127.0.0.1, used as the proxy), so a newcomer sees
# downloads work without the real file host.
#
# Without arguments, when a display is available, it starts the desktop
# program on a demo list of five downloads, with a profile of its own in a
# temporary folder (your own profile and a Corvale you run are not touched).
# Without a display, or with "cli", it runs the command-line demo: it grabs
# and verifies the links of the demo page and downloads one of them into
# /tmp/corvale-demo. Other arguments go to corvale-cli as they are, e.g.
#   scripts/run.sh download http://rapidshare.com/files/204851/holiday_photos.part1.rar
# "scripts/run.sh window" opens the desktop program with your own profile.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
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
if [ $# -eq 0 ] && [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    demo=$(mktemp -d /tmp/corvale-window-demo.XXXXXX)
    mkdir -p "$demo/config/Zrv" "$demo/tmp" "$demo/Downloads"
    # The demo's own profile (English; the language menu switches) and its
    # own single-instance socket, which lives in TMPDIR.
    printf '[settings]\nlanguage=2\n' > "$demo/config/Zrv/Corvale.conf"
    add() {
        "$cli" add "$demo/demo.zrv" --url "http://rapidshare.com/files/$1" \
            --folder "$demo/Downloads" --name "$2" --description "$3" --yes >/dev/null
    }
    add 204851/holiday_photos.part1.rar holiday_photos.part1.rar "finishes"
    add 204852/holiday_photos.part2.rar holiday_photos.part2.rar "the host asks to wait 3 seconds first"
    add 204853/holiday_photos.part3.rar holiday_photos.part3.rar "the first file request expires"
    add 204854/holiday_photos.part4.rar holiday_photos.part4.rar "sent without a length"
    add 999999/deleted.zip deleted.zip "missing on the host"
    cat <<GUIDE

Demo list: $demo/demo.zrv (files go to $demo/Downloads)
  - Select rows and press Download, or select all (Ctrl+A) and press
    "Add To Auto Download List" to run them one after another.
  - Links Grabber: enter http://rapidshare.com/links.html, press Get Links,
    select the links and press Verify.
  - Help > Check for updates: the local host reports a newer version.
GUIDE
    status=0
    XDG_CONFIG_HOME="$demo/config" TMPDIR="$demo/tmp" "$bin/src/app/corvale" "$demo/demo.zrv" ||
        status=$?
    rm -rf "$demo"
    exit $status
fi
if [ "${1:-}" = cli ]; then
    shift
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
