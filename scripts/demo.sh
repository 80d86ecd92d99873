#!/usr/bin/env bash
# Builds the program and opens its window, wired to the demo lookup program
# in a folder inside the build tree. As root on Debian 12 it first installs
# the packages that are missing.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh
keil_ensure_packages "${KEIL_PACKAGES[@]}"

cmake --preset dev
cmake --build --preset dev --target keilbrecher place_demo

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "There is no display to open the window on (DISPLAY is not set)." >&2
  echo "Run it on a virtual X server instead:" >&2
  echo "  xvfb-run -a bash scripts/demo.sh" >&2
  exit 1
fi
exec build/dev/window/keilbrecher
