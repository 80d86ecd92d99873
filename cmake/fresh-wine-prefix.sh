#!/usr/bin/env bash
# Replaces the Wine prefix PREFIX with a new one, set up for tests.
set -euo pipefail
prefix=$1
rm -rf "$prefix"
exec "$(dirname "$0")/wine-run.sh" "$prefix" cmd /c exit 0
