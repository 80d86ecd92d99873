#!/usr/bin/env bash
# Builds the packages: the Debian package of the Linux program from the
# release build (build/release/keilbrecher_*.deb) and the ZIP of the
# Windows program from the Windows build (build/windows/keilbrecher-*.zip).
#
# With --check, what CI runs as root, it also has lintian check the .deb,
# installs it with apt-get, starts the installed program on a virtual X
# server and sees its window, removes the package again, and checks what
# the ZIP holds.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh
keil_ensure_packages "${KEIL_PACKAGES[@]}"

cmake --preset release
cmake --build --preset release
cpack --preset deb
cmake --preset windows
cmake --build --preset windows
cpack --preset windows-zip

[ "${1:-}" = --check ] || exit 0
deb=$(ls build/release/keilbrecher_*.deb)
zip=$(ls build/windows/keilbrecher-*-windows-x64.zip)
lintian --fail-on error "$deb"
echo "ok: lintian finds no error in $deb"
apt-get install -y -q "./$deb"
trap 'apt-get remove -y -q keilbrecher > /dev/null' EXIT
[ "$(command -v keilbrecher)" = /usr/bin/keilbrecher ]
xvfb-run -a tests/e2e/installed_window.sh /usr/bin/keilbrecher
[ "$(cmake -E tar tf "$zip" | sort | tr '\n' ' ')" = "README.txt keilbrecher.exe " ]
echo "ok: $zip holds keilbrecher.exe and README.txt"
