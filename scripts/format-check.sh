#!/usr/bin/env bash
# Checks that every tracked C++ source and header is formatted as the
# repository's .clang-format says; prints what differs and fails otherwise.
# `clang-format -i FILE...` formats files.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh clang-format
git ls-files -z '*.cpp' '*.h' | xargs -0 -r clang-format --dry-run --Werror
