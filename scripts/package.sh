#!/usr/bin/env bash
# Makes the Debian package of the release build (build/release/corvale_*.deb)
# and checks the desktop entry and the AppStream file. With --check it then
# installs the package with apt-get, starts "corvale --version" and
# "corvale-cli --version" from /usr/bin, and removes it again (as root).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh dpkg-dev desktop-file-utils appstream libxml2-utils shared-mime-info
scripts/build.sh release
desktop-file-validate res/desktop/org.example.Corvale.desktop
appstreamcli validate --no-net res/desktop/org.example.Corvale.metainfo.xml
# The MIME type: well-formed, and it names .zrv files and list files by content.
xmllint --noout res/desktop/corvale-list.xml
mime=$(mktemp -d)
trap 'rm -rf "$mime"' EXIT
mkdir -p "$mime/packages"
cp res/desktop/corvale-list.xml "$mime/packages/"
update-mime-database "$mime"
test -f "$mime/application/x-corvale-list.xml"
rm -f build/release/corvale_*.deb
(cd build/release && cpack -G DEB >/dev/null)
deb=$(ls build/release/corvale_*.deb)
echo "$deb"
dpkg-deb --field "$deb" Depends

if [ "${1:-}" = --check ]; then
    sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    export DEBIAN_FRONTEND=noninteractive
    $sudo apt-get install -y -qq "./$deb" >/dev/null
    trap 'rm -rf "$mime"; $sudo apt-get remove -y -qq corvale >/dev/null' EXIT
    /usr/bin/corvale --version
    /usr/bin/corvale-cli --version
    test -f /usr/share/corvale/resource_ara.strings
    test -f /usr/share/corvale/help_arabic.pdf
    test -f /usr/share/applications/org.example.Corvale.desktop
fi
