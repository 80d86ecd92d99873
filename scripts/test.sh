#!/usr/bin/env bash
# Builds everything and runs the whole test suite: once as it ships, once
# under AddressSanitizer and UndefinedBehaviorSanitizer, once cross-built for
# Windows and run under Wine, then a bounded differential fuzz run of the
# block extraction. As root on Debian 12 it
# first installs the packages that are missing.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh
keil_ensure_packages "${KEIL_PACKAGES[@]}"

cmake --preset dev
cmake --build --preset dev
ctest --preset dev

cmake --preset asan
cmake --build --preset asan
ctest --preset asan

cmake --preset windows
cmake --build --preset windows
ctest --preset windows

bash scripts/fuzz.sh "${KEIL_FUZZ_SECONDS:-60}"

bash scripts/package.sh --check
