#!/usr/bin/env bash
# Builds the Linux window, its helper and the demo lookup program,
# and opens the window, wired to the demo in a folder inside the build tree,
# where the helper runs unprivileged. As root on Debian 12 it first
# installs what these need and is missing; the tests' tools
# (scripts/test.sh) are not among it.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh
keil_ensure_packages "${KEIL_DEMO_PACKAGES[@]}"

cmake --preset demo
cmake --build --preset demo --target keilbrecher keilbrecher-exchange place_demo

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "There is no display to open the window on (DISPLAY is not set)." >&2
  echo "Run it on a virtual X server instead (Debian's package xvfb):" >&2
  echo "  xvfb-run -a bash scripts/demo.sh" >&2
  exit 1
fi
exec build/demo/qt_window/keilbrecher
