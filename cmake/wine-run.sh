#!/usr/bin/env bash
# Runs a Windows program under Wine in the build tree's own prefix, quietly
# and without the crash debugger. The prefix is made on first use.
# usage: wine-run.sh PREFIX PROGRAM [ARGS...]
set -euo pipefail
export WINEPREFIX=$1
shift
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d;mshtml=d"
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  wineboot --init > /dev/null 2>&1
  # No crash dialog or debugger when a test program crashes.
  wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' \
    /v Debugger /t REG_SZ /d '' /f > /dev/null 2>&1
  wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' \
    /v Auto /t REG_SZ /d 0 /f > /dev/null 2>&1
  wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f > /dev/null 2>&1
  wineserver -w
fi
exec wine "$@"
