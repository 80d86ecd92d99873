#!/usr/bin/env bash
# Runs a Windows program under Wine as if the screen had DPI dots per inch,
# then sets the prefix back to 96.
# usage: at_dpi.sh WINE_RUN PREFIX DPI PROGRAM [ARGS...]
set -euo pipefail
wine_run=$1 prefix=$2 dpi=$3
shift 3
set_dpi() {
  "$wine_run" "$prefix" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f > /dev/null
  WINEPREFIX=$prefix wineserver -k 2> /dev/null || true
}
trap 'set_dpi 96' EXIT
set_dpi "$dpi"
"$wine_run" "$prefix" "$@"
