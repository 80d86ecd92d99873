#!/usr/bin/env bash
# The admins' set-up script for the lookup folder, run by Wine's cmd in the
# build's own Wine prefix, over a folder of an earlier set-up with a
# clerk's hidden file in it: asked, its default keeps the folder; with /ja
# the old folder goes aside whole, hidden file included, and the new one,
# built aside, holds the two exchange files and nothing else; each owner is
# handed over with takeown /a; a second run puts the first one's folder
# aside under the next free name; /nur-rechte keeps the files; a step that
# fails stops the script there with its German message; /nur-neu leaves a
# folder that is there and never waits for a key; a link at c:ibu stops
# it; without an administrator's rights it changes nothing. Wine's
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

rm -rf "$drive/fibu" "$drive"/fibu.alt* "$drive/fibu-ziel" "$drive/keil-standins"
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

# Asked, without an answer (the default), it keeps the folder as it is.
status=0
said=$(set_up < /dev/null) || status=$?
check '[ "$status" -eq 0 ] && grep -q "bleibt, wie er ist" <<<"$said" && [ ! -e "$drive/fibu.alt" ] &&
  [ -f "$drive/fibu/versteckt.dll" ]' "the question's default keeps the folder"
check 'grep -q "Drücken Sie eine Taste" <<<"$said"' "it waits for a key before its window closes"

status=0
said=$(set_up /ja) || status=$?
check '[ "$status" -eq 0 ]' "the set-up ends well (status $status)"
check '[ -f "$drive/fibu.alt/Lief-adr.exe" ] && [ -f "$drive/fibu.alt/versteckt.dll" ]' \
  "the old folder went aside whole, the hidden file with it"
check '[ "$(ls -A "$drive/fibu" | tr "\n" " ")" = "in.txt out.txt " ] && [ ! -e "$drive/Program Files/Keilbrecher-Einrichtung" ]' \
  "the new folder, built aside, holds the two exchange files only"
check '[ "$(tr -d "\r" < "$drive/keil-standins/takeown.log" | tr "\n" "|")" = "/a /f C:\\Program Files\\Keilbrecher-Einrichtung\\fibu|/a /f C:\\Program Files\\Keilbrecher-Einrichtung\\fibu\\in.txt|/a /f C:\\Program Files\\Keilbrecher-Einrichtung\\fibu\\out.txt|" ]' \
  "takeown /a takes the folder and both files"
check 'grep -q "Installieren Sie das Suchprogramm" <<<"$said" && grep -q "out.txt" <<<"$said" && grep -q "icacls c:.fibu" <<<"$said"' \
  "it tells to install the lookup program anew, how to check, and lists the folder"

status=0
set_up /ja > /dev/null || status=$?
check '[ "$status" -eq 0 ] && [ -d "$drive/fibu.alt2" ] && [ -f "$drive/fibu.alt2/in.txt" ]' \
  "a second run puts the first one's folder aside under the next name"

# In place: the lookup program's files stay.
printf 'MZ' > "$drive/fibu/Lief-adr.exe"
rm "$drive/fibu/out.txt"
status=0
said=$(set_up /nur-rechte) || status=$?
check '[ "$status" -eq 0 ] && [ -f "$drive/fibu/Lief-adr.exe" ] && [ -f "$drive/fibu/out.txt" ] && [ ! -e "$drive/fibu.alt3" ]' \
  "/nur-rechte sets the rights in place and keeps the files"

touch "$drive/keil-standins/fail-out.txt"
status=0
said=$(set_up /ja) || status=$?
check '[ "$status" -eq 1 ] && grep -q "gescheitert beim Schritt: die Austauschdatei out.txt den Administratoren übergeben" <<<"$said" &&
  ! grep -q "Installieren Sie" <<<"$said" && [ -f "$drive/fibu/Lief-adr.exe" ]' \
  "a failing step stops the script with its German message, the folder as it was"
rm "$drive/keil-standins/fail-out.txt"

status=0
said=$(set_up /nur-neu) || status=$?
check '[ "$status" -eq 0 ] && grep -q "lässt ihn, wie er ist" <<<"$said" && [ ! -e "$drive/fibu.alt3" ] &&
  ! grep -q "Drücken Sie eine Taste" <<<"$said"' "/nur-neu leaves a folder that is there and never waits for a key"

# A link at c:\fibu is followed by nothing.
mv "$drive/fibu" "$drive/fibu-ziel"
ln -s "$drive/fibu-ziel" "$drive/fibu"
status=0
said=$(set_up /ja) || status=$?
check '[ "$status" -eq 1 ] && grep -q "symbolische Verknüpfung" <<<"$said" && [ -L "$drive/fibu" ] &&
  [ -f "$drive/fibu-ziel/Lief-adr.exe" ] && [ ! -e "$drive/fibu.alt3" ]' "a link at c:\\fibu stops it, nothing changed"
rm "$drive/fibu"
mv "$drive/fibu-ziel" "$drive/fibu"

touch "$drive/keil-standins/fail-fltmc"
status=0
said=$(set_up /ja) || status=$?
check '[ "$status" -eq 1 ] && grep -q "muss ein Administrator ausführen" <<<"$said" && [ ! -e "$drive/fibu.alt3" ]' \
  "without an administrator's rights it says so and changes nothing"
rm -rf "$drive/fibu" "$drive"/fibu.alt* "$drive/fibu-ziel" "$drive/keil-standins" "$drive/Program Files/Keilbrecher-Einrichtung"
[ "$failures" -eq 0 ]
