#!/usr/bin/env bash
# Installs the Debian packages that building and testing need, only when one
# is missing; packages named as arguments are wanted as well. Runs apt-get as
# root, or through sudo when that is available.
set -euo pipefail

packages=(cmake ninja-build g++ pkg-config libgtest-dev libgmock-dev
          libcurl4-openssl-dev libcpp-httplib-dev
          qt6-base-dev qt6-svg-dev libqt6svg6 qt6-translations-l10n fonts-dejavu-core
          poppler-utils dbus-daemon)
# Scripts that need more name their packages as arguments: fuzz.sh clang,
# the benchmarks Google Benchmark, package.sh its checking tools.
packages+=("$@")

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$package")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing missing packages: ${missing[*]}"
sudo=""
if [ "$(id -u)" -ne 0 ]; then
    sudo="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
