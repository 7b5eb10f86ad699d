#!/usr/bin/env bash
# Takes the pictures of a finished download's desktop notification, in
# English and in Arabic: docs/notification_en.png, docs/notification_ar.png.
# The real program runs under its own X server (Xvfb) and a private session
# bus with a real notification service (notification-daemon), downloads one
# file from the local file host (corvale-fakehost as the proxy), and the
# screen is taken while the notification shows. Installs what is missing;
# notification-daemon is only for these pictures, not a dependency.
set -euo pipefail
cd "$(dirname "$0")/../.."

if [ -z "${CORVALE_NOTIFY_SESSION:-}" ]; then
    scripts/install-deps.sh xvfb xdotool imagemagick openbox notification-daemon \
        dbus-daemon fonts-dejavu-core
    scripts/build.sh release corvale corvale-cli corvale-fakehost >/dev/null
    CORVALE_NOTIFY_SESSION=1 exec timeout -k 10 300 dbus-run-session -- "$0" "$@"
fi

bin=build/release
work=$(mktemp -d /tmp/corvale-notify.XXXXXX)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

display=:$((90 + RANDOM % 100))
Xvfb "$display" -screen 0 1000x640x24 -nolisten tcp >/dev/null 2>&1 &
pids+=($!)
export DISPLAY=$display
for _ in $(seq 100); do [ -e "/tmp/.X11-unix/X${display#:}" ] && break; sleep 0.1; done
openbox --sm-disable >/dev/null 2>&1 &
pids+=($!)
daemon=""
for candidate in /usr/lib/notification-daemon/notification-daemon /usr/libexec/notification-daemon; do
    [ -x "$candidate" ] && daemon=$candidate && break
done
[ -n "$daemon" ] || { echo "notification-daemon is not installed" >&2; exit 1; }
"$daemon" >/dev/null 2>&1 &
pids+=($!)
if [ -n "${CORVALE_NOTIFY_MONITOR:-}" ]; then
    dbus-monitor "interface=org.freedesktop.Notifications" >"$CORVALE_NOTIFY_MONITOR" 2>&1 &
    pids+=($!)
fi

"$bin/tests/fakehost/corvale-fakehost" >"$work/host.log" &
pids+=($!)
for _ in $(seq 50); do grep -q listening "$work/host.log" && break; sleep 0.1; done
port=$(sed -n 's/.*127\.0\.0\.1:\([0-9]*\).*/\1/p' "$work/host.log")
[ -n "$port" ] || { echo "the local file host did not start" >&2; exit 1; }
export http_proxy="http://127.0.0.1:$port"
sleep 1

shoot() {
    local lang=$1 language=$2
    local home="$work/$lang"
    mkdir -p "$home/config/Zrv" "$home/tmp" "$home/Downloads"
    printf '[settings]\nlanguage=%s\nnotifications=1\n' "$language" \
        >"$home/config/Zrv/Corvale.conf"
    "$bin/src/cli/corvale-cli" add "$home/demo.zrv" \
        --url "http://rapidshare.com/files/204851/holiday_photos.part1.rar" \
        --folder "$home/Downloads" --name holiday_photos.part1.rar --yes >/dev/null
    XDG_CONFIG_HOME="$home/config" TMPDIR="$home/tmp" LANG=C.UTF-8 \
        "$bin/src/app/corvale" "$home/demo.zrv" &
    local program=$!
    local window=""
    for _ in $(seq 100); do
        window=$(xdotool search --onlyvisible --pid "$program" 2>/dev/null | head -n 1 || true)
        [ -n "$window" ] && break
        sleep 0.1
    done
    [ -n "$window" ] || { echo "the program did not show its window" >&2; return 1; }
    sleep 1
    xdotool windowactivate --sync "$window" 2>/dev/null || xdotool windowfocus "$window"
    # The first row, then Download (Return), until the progress window opens.
    for _ in $(seq 10); do
        xdotool key --window "$window" Home space Return
        sleep 1.5
        [ "$(xdotool search --all --onlyvisible --pid "$program" 2>/dev/null | wc -l)" -gt 1 ] &&
            break
    done
    # The progress window's title says 100 % at the end (in either
    # language); the notification follows within a second.
    for _ in $(seq 600); do
        xdotool search --all --onlyvisible --pid "$program" --name "100" >/dev/null 2>&1 && break
        sleep 0.1
    done
    sleep 1.5
    # The daemon's popup, once it is drawn (its first Arabic text may take a
    # while to lay out).
    for _ in $(seq 80); do
        xdotool search --onlyvisible --classname "notification-daemon" >/dev/null 2>&1 && break
        sleep 0.1
    done
    sleep 0.5
    xdotool search --onlyvisible --classname "notification-daemon" >/dev/null ||
        echo "no notification popup seen in $lang" >&2
    import -window root "docs/notification_$lang.png"
    echo "docs/notification_$lang.png"
    kill "$program" 2>/dev/null || true
    wait "$program" 2>/dev/null || true
}

shoot en 2
shoot ar 1
