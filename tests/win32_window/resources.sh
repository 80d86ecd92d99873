#!/usr/bin/env bash
# The Windows program carries its icon, its application manifest and its
# version information.
# usage: resources.sh PROGRAM VERSION
set -euo pipefail
program=$1 version=$2
failures=0
check() {
  if "${@:2}" > /dev/null; then echo "ok: $1"; else echo "FAIL: $1"; failures=$((failures + 1)); fi
}
listed=$(wrestool -l "$program")
manifest=$(wrestool -x --raw --type=24 --name=1 "$program")
strings=$(wrestool -x --raw --type=16 "$program" | strings -el)
check "icon" grep -q "type=group_icon" <<<"$listed"
check "Common Controls 6" grep -q 'name="Microsoft.Windows.Common-Controls" version="6.0.0.0"' <<<"$manifest"
check "per-monitor DPI awareness, version 2" grep -q ">PerMonitorV2<" <<<"$manifest"
check "Windows 10 and 11" grep -q "8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a" <<<"$manifest"
check "product name" grep -qx "Der Keilbrecher" <<<"$strings"
# Task Manager shows the file description: the name, an en dash, the one
# description that the MSI and the manual page use too.
text=$(wrestool -x --raw --type=16 "$program" | iconv -f UTF-16LE -t UTF-8 | tr '\0' '\n')
check "file description" grep -q "Der Keilbrecher – Lieferantenadressen im Suchprogramm nachschlagen" <<<"$text"
check "version $version" grep -qx "$version" <<<"$strings"
[ "$failures" -eq 0 ]
