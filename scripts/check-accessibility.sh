#!/usr/bin/env bash
# Checks the desktop program as a keyboard-only and screen-reader user meets
# it: installs what is missing (X server, a window manager, xdotool, AT-SPI
# and its Python bindings, ImageMagick, a font with Arabic letters, xclip to
# copy a link as another program does), builds
# the release program, and runs scripts/accessibility/check.py in a session
# D-Bus of its own, in English and in Arabic. It prints the findings of each
# language and exits non-zero when there is one (1) or when the run itself
# failed (2).
#   scripts/check-accessibility.sh [--lang en,ar] [--shots DIR] [--verbose]
# --shots DIR also saves a picture of each window it opens, from a fresh
# profile at the size of the first start (scripts/accessibility/screenshots.sh
# writes them to docs/screenshots).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh xvfb xdotool python3-pyatspi python3-gi gir1.2-atspi-2.0 \
    dbus-x11 at-spi2-core imagemagick fonts-dejavu-core openbox xclip
scripts/build.sh release corvale corvale-cli corvale-fakehost >/dev/null
# The system's Python has the AT-SPI bindings; timeout bounds the whole run.
exec timeout -k 10 760 dbus-run-session -- /usr/bin/python3 scripts/accessibility/check.py \
    --build build/release "$@"
