#!/usr/bin/env bash
# Builds corvale-cli and runs it. Without arguments it grabs the links from
# the bundled sample page, so a newcomer sees the program work at once; with
# arguments they go to corvale-cli as they are (try --help).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/build.sh release >/dev/null
if [ $# -eq 0 ]; then
    echo "corvale-cli grab - < res/samples/links_page.html"
    exec build/release/src/cli/corvale-cli grab - < res/samples/links_page.html
fi
exec build/release/src/cli/corvale-cli "$@"
