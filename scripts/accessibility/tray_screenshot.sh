#!/usr/bin/env bash
# Pictures of the program's tray menu under a real tray, in English and in
# Arabic: docs/tray_menu_en.png and docs/tray_menu_ar.png. Each language runs
# its own X server (Xvfb) with a window manager (openbox) and a tray host
# (trayer), and the built program from a fresh profile that keeps it in the
# tray. The script closes the window (the program must keep running in the
# tray), opens the icon's menu with xdotool, takes the picture, and chooses
# Exit from the menu (the program must end). Exit status 1 when one of these
# does not happen.
#   scripts/accessibility/tray_screenshot.sh [BUILD_DIR]   (default build/release)
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${1:-build/release}
program=$build/src/app/corvale
[ -x "$program" ] || { echo "no program at $program: build it first" >&2; exit 2; }

missing=()
for tool in Xvfb:xvfb xdpyinfo:x11-utils openbox:openbox trayer:trayer xdotool:xdotool import:imagemagick; do
    command -v "${tool%%:*}" >/dev/null || missing+=("${tool#*:}")
done
if [ ${#missing[@]} -gt 0 ]; then
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

work=$(mktemp -d)
pids=()
stop_all() {
    for pid in "${pids[@]}"; do
        kill "$pid" 2>/dev/null || true
    done
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap stop_all EXIT

# Waits up to $1 tenths of a second for the command after it to succeed.
wait_for() {
    local tries=$1
    shift
    for ((i = 0; i < tries; i++)); do
        if "$@" >/dev/null 2>&1; then
            return 0
        fi
        sleep 0.1
    done
    return 1
}

# The program's visible window at least $1 pixels wide and $2 high (the
# tray icon is a window of the program too); fails when there is none.
program_window() {
    local w
    for w in $(xdotool search --onlyvisible --class corvale); do
        eval "$(xdotool getwindowgeometry --shell "$w")"
        if [ "$WIDTH" -ge "$1" ] && [ "$HEIGHT" -ge "$2" ]; then
            echo "$w"
            return 0
        fi
    done
    return 1
}
export -f program_window

status=0
display_number=140
for lang in en ar; do
    # A display that no other X server holds.
    while [ -e "/tmp/.X$display_number-lock" ] || [ -e "/tmp/.X11-unix/X$display_number" ]; do
        display_number=$((display_number + 1))
    done
    display=:$display_number
    display_number=$((display_number + 1))
    language=$([ "$lang" = ar ] && echo 1 || echo 2)
    home=$work/$lang
    mkdir -p "$home/config/Zrv" "$home/runtime"
    chmod 700 "$home/runtime"
    printf '[settings]\nlanguage=%s\nkeep_in_tray=1\n' "$language" >"$home/config/Zrv/Corvale.conf"

    Xvfb "$display" -screen 0 800x600x24 -nolisten tcp &
    pids+=($!)
    if ! wait_for 100 xdpyinfo -display "$display"; then
        echo "$lang: the X server did not start" >&2
        exit 2
    fi
    export DISPLAY=$display
    openbox &
    pids+=($!)
    # A tray along the screen's top edge, its icons from the left.
    trayer --edge top --align left --widthtype pixel --width 200 --height 32 \
        --SetDockType false --transparent false &
    pids+=($!)
    wait_for 50 xdotool search --class trayer

    HOME=$home XDG_CONFIG_HOME=$home/config XDG_RUNTIME_DIR=$home/runtime \
        QT_QPA_PLATFORM=xcb DBUS_SESSION_BUS_ADDRESS=disabled: "$program" &
    program_pid=$!
    pids+=("$program_pid")
    if ! wait_for 100 program_window 300 200; then
        echo "$lang: the main window did not show" >&2
        status=1
        continue
    fi
    sleep 1
    # Closing the window hides it in the tray; the program keeps running.
    xdotool windowactivate --sync "$(program_window 300 200)" key alt+F4
    sleep 2
    if ! kill -0 "$program_pid" 2>/dev/null; then
        echo "$lang: closing the window ended the program instead of keeping it in the tray" >&2
        status=1
        continue
    fi
    if program_window 300 200 >/dev/null; then
        echo "$lang: the window is still shown after closing it" >&2
        status=1
    fi
    # The icon is the tray's first, at its left end; the menu opens on the
    # right button.
    xdotool mousemove 300 300
    sleep 0.5
    xdotool mousemove 12 16
    sleep 0.5 # the icon takes a click once the pointer has entered it
    xdotool click 3
    # Shown now: the icon and the menu (taller than a tooltip).
    if ! wait_for 30 program_window 100 41; then
        echo "$lang: the tray menu did not open" >&2
        status=1
    fi
    sleep 1
    import -display "$display" -window root -crop 320x180+0+0 +repage "docs/tray_menu_$lang.png"
    echo "docs/tray_menu_$lang.png"
    # Exit is the menu's last item.
    xdotool key Up
    sleep 0.3
    xdotool key Return
    if wait_for 100 bash -c "! kill -0 $program_pid"; then
        echo "$lang: Exit from the tray menu ended the program"
    else
        echo "$lang: Exit from the tray menu did not end the program" >&2
        status=1
    fi
    for pid in "${pids[@]}"; do
        kill "$pid" 2>/dev/null || true
    done
    wait 2>/dev/null || true
    pids=()
done
exit $status
