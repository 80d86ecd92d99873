#!/usr/bin/env bash
# Builds everything and runs the whole test suite. As root on Debian 12 it
# first installs the packages that are missing.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh
keil_ensure_packages "${KEIL_PACKAGES[@]}"

cmake --preset dev
cmake --build --preset dev
ctest --preset dev
