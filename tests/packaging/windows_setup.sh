#!/usr/bin/env bash
# The admins' set-up script for the lookup folder, run by Wine's cmd in the
# build's own Wine prefix, over a folder of an earlier set-up with a
# clerk's hidden file in it: the old folder goes aside whole, hidden file
# included; the new one holds the two exchange files and nothing else;
# each owner is handed over with takeown /a; a second run puts the first
# one's folder aside under the next free name; a step that fails stops the
# script there with its German message; /nur-neu leaves a folder that is
# there; without an administrator's rights it changes nothing. Wine's
# icacls takes every line and changes nothing, and Wine has neither
# takeown nor fltmc: stand-ins record takeown's arguments, and fail for a
# name, or for fltmc, when told to. Owners and rights themselves cannot be
# shown under Wine. The script is in code page 850; Wine writes what it
# says in the ANSI code page, 1252 (Windows in the console's, 850).
# usage: windows_setup.sh PREFIX SCRIPT STAND_IN
#   STAND_IN  the stand-in tool, placed as takeown.exe and fltmc.exe
set -euo pipefail
prefix=$1 script=$2 stand_in=$3
drive=$prefix/drive_c
# Refuses before it removes anything: the prefix must be one that Wine made.
[ -f "$prefix/system.reg" ] || { echo "FAIL: $prefix is no Wine prefix; not touched"; exit 1; }
run() { "$(dirname "$0")/../../cmake/wine-run.sh" "$prefix" "$@"; }
failures=0
check() { if eval "$1"; then echo "ok: $2"; else echo "FAIL: $2"; failures=$((failures + 1)); fi; }

rm -rf "$drive/fibu" "$drive"/fibu.alt* "$drive/keil-standins"
mkdir -p "$drive/fibu" "$drive/keil-standins"
printf 'MZ' > "$drive/fibu/Lief-adr.exe"
printf 'MZ' > "$drive/fibu/versteckt.dll"
: > "$drive/fibu/in.txt"
run attrib +h 'c:\fibu\versteckt.dll' > /dev/null
cp "$stand_in" "$drive/keil-standins/takeown.exe"
cp "$stand_in" "$drive/keil-standins/fltmc.exe"
windows_script=$(run winepath -w "$script" 2> /dev/null | tr -d '\r')
set_up() {
  run cmd /c "set PATH=C:\\keil-standins;%PATH% && $windows_script $*" 2>&1 | iconv -f CP1252 -t UTF-8 | tr -d '\r'
}

status=0
said=$(set_up) || status=$?
check '[ "$status" -eq 0 ]' "the set-up ends well (status $status)"
check '[ -f "$drive/fibu.alt/Lief-adr.exe" ] && [ -f "$drive/fibu.alt/versteckt.dll" ]' \
  "the old folder went aside whole, the hidden file with it"
check '[ "$(ls -A "$drive/fibu" | tr "\n" " ")" = "in.txt out.txt " ]' "the new folder holds the two exchange files only"
check '[ "$(tr -d "\r" < "$drive/keil-standins/takeown.log" | tr "\n" "|")" = "/a /f c:\\fibu|/a /f c:\\fibu\\in.txt|/a /f c:\\fibu\\out.txt|" ]' \
  "takeown /a takes the folder and both files"
check 'grep -q "Installieren Sie das Suchprogramm" <<<"$said" && grep -q "out.txt" <<<"$said"' \
  "it tells to install the lookup program anew and lists the folder"

status=0
set_up > /dev/null || status=$?
check '[ "$status" -eq 0 ] && [ -d "$drive/fibu.alt2" ] && [ -f "$drive/fibu.alt2/in.txt" ]' \
  "a second run puts the first one's folder aside under the next name"

touch "$drive/keil-standins/fail-out.txt"
status=0
said=$(set_up) || status=$?
check '[ "$status" -eq 1 ] && grep -q "gescheitert beim Schritt: die Austauschdatei c:.fibu.out.txt den Administratoren übergeben" <<<"$said" &&
  ! grep -q "Installieren Sie" <<<"$said"' "a failing step stops the script with its German message"

status=0
said=$(set_up /nur-neu) || status=$?
check '[ "$status" -eq 0 ] && grep -q "lässt ihn, wie er ist" <<<"$said" && [ ! -e "$drive/fibu.alt4" ]' \
  "/nur-neu leaves a folder that is there"
touch "$drive/keil-standins/fail-fltmc"
status=0
said=$(set_up) || status=$?
check '[ "$status" -eq 1 ] && grep -q "muss ein Administrator ausführen" <<<"$said" && [ ! -e "$drive/fibu.alt4" ]' \
  "without an administrator's rights it says so and changes nothing"
rm -rf "$drive/fibu" "$drive"/fibu.alt* "$drive/keil-standins"
[ "$failures" -eq 0 ]
