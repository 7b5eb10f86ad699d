#!/usr/bin/env bash
# Renders the main window with a sample list in English and in Arabic under
# the offscreen platform and writes docs/main_window_en.png and _ar.png, and
# the Arabic Save As dialog and replace question (save_as_ar.png,
# replace_question_ar.png), and two downloads running from the local file host
# with a progress window, in English and Arabic (live_rows_*.png,
# progress_window_*.png), the Add dialog and the scheduler in both
# languages (add_download_*.png, scheduler_*.png), the Preferences dialog
# (preferences_*.png), and the links grabber after
# a grab and a verification and the update window after a check, from the
# local file host (links_grabber_*.png, update_check_*.png).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh release >/dev/null
XDG_RUNTIME_DIR=$(mktemp -d) build/release/tests/ui/ui_screenshots docs
