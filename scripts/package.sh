#!/usr/bin/env bash
# Builds the packages: the Debian package of the Linux program from the
# release build (build/release/keilbrecher_*.deb), and the ZIP and the MSI
# of the Windows program from the Windows build
# (build/windows/keilbrecher-*-windows-x64.zip and .msi).
#
# With --check, what CI runs as root, it also has lintian check the .deb,
# installs it with apt-get over the shared folder's old set-up and moves
# that by the Linux guide's lines, starts the installed program on a virtual X
# server and sees its window, and purges the package again
# (tests/packaging/linux_setup.sh); it checks what the ZIP holds. The MSI's properties are checked with msiinfo; under Wine,
# in a fresh prefix, it is installed silently, the installed program shows
# its window, and it is removed silently again.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh
keil_ensure_packages "${KEIL_PACKAGES[@]}"

cmake --preset release
cmake --build --preset release
cpack --preset deb
cmake --preset windows
cmake --build --preset windows
cpack --preset windows-zip
cmake --build --preset windows --target msi

[ "${1:-}" = --check ] || exit 0
deb=$(ls build/release/keilbrecher_*.deb)
zip=$(ls build/windows/keilbrecher-*-windows-x64.zip)
lintian --fail-on error "$deb"
echo "ok: lintian finds no error in $deb"
dpkg-deb -f "$deb" Depends | grep -qw qt6-translations-l10n || { echo "FAIL: $deb does not depend on Qt's translations"; exit 1; }
echo "ok: $deb depends on Qt's translations"
bash tests/packaging/linux_setup.sh "$deb" docs/admin-linux.md
# The manual page has the sections an admin looks for, and the version.
manual=$(dpkg-deb --fsys-tarfile "$deb" | tar -xO ./usr/share/man/man1/keilbrecher.1.gz | gunzip)
for section in NAME BESCHREIBUNG DATEIEN UMSTELLUNG DIAGNOSE '"FEHLER MELDEN"' '"SIEHE AUCH"'; do
  grep -qxF ".SH $section" <<<"$manual" || { echo "FAIL: the manual page lacks the section $section"; exit 1; }
done
grep -q "Der Keilbrecher $(dpkg-deb -f "$deb" Version)" <<<"$manual" || { echo "FAIL: the manual page names another version"; exit 1; }
echo "ok: the manual page has its sections and the package's version"
[ "$(cmake -E tar tf "$zip" | sort | tr '\n' ' ')" = "README.txt keilbrecher-ordner-einrichten.cmd keilbrecher.exe " ]
echo "ok: $zip holds keilbrecher.exe, README.txt and the set-up script"
# Notepad shows the admins' README.txt right: a UTF-8 byte order mark, and
# CR LF at the end of every line.
readme=$(mktemp -d)
cmake -E chdir "$readme" cmake -E tar xf "$PWD/$zip" README.txt
[ "$(head -c 3 "$readme/README.txt" | od -An -tx1 | tr -d ' ')" = efbbbf ] &&
  [ "$(grep -c $'\r$' "$readme/README.txt")" = "$(wc -l < "$readme/README.txt")" ] ||
  { echo "FAIL: README.txt lacks the byte order mark or CR LF line ends"; exit 1; }
rm -rf "$readme"
echo "ok: README.txt has a byte order mark and CR LF line ends"

msi=$(ls build/windows/keilbrecher-*-windows-x64.msi)
version=${msi#build/windows/keilbrecher-}
version=${version%-windows-x64.msi}
properties=$(msiinfo export "$msi" Property | tr -d '\r')
for want in "ProductName	Der Keilbrecher" "ProductVersion	$version" "Manufacturer	Der Keilbrecher" \
            "UpgradeCode	{C2CD38F1-4128-4BA7-85E1-B50DC49AB68A}" "ALLUSERS	1"; do
  grep -qxF "$want" <<<"$properties" || { echo "FAIL: $msi lacks the property ${want/	/=}"; exit 1; }
done
echo "ok: $msi is Der Keilbrecher $version for the whole machine, with its fixed upgrade code"
summary=$(msiinfo suminfo "$msi")
for want in "Title: Installationsdatenbank" "Comments: Installiert den Keilbrecher" "Template: x64;1031"; do
  grep -qF "$want" <<<"$summary" || { echo "FAIL: $msi's summary information lacks \"$want\""; exit 1; }
done
echo "ok: $msi's summary information is German"
contact=$(grep -xF "ARPCONTACT	maintainers@keilbrecher.example.org" <<<"$properties") ||
  { echo "FAIL: $msi names no contact"; exit 1; }
echo "ok: $msi names ${contact#*	} as its contact"
# The set-up script runs once the files are in place, and, being deferred,
# before InstallFinalize (Microsoft's ICE77; Wine would skip it silently).
sequence=$(msiinfo export "$msi" InstallExecuteSequence | tr -d '\r')
at() { awk -F'\t' -v action="$1" '$1 == action { print $3 }' <<<"$sequence"; }
[ "$(at InstallFiles)" -lt "$(at SetUpFolder)" ] && [ "$(at SetUpFolder)" -lt "$(at InstallFinalize)" ] ||
  { echo "FAIL: $msi runs the set-up script outside InstallFiles to InstallFinalize"; exit 1; }
echo "ok: $msi runs the set-up script after InstallFiles and before InstallFinalize"

prefix=$PWD/build/windows/msi-prefix
cmake/fresh-wine-prefix.sh "$prefix"
# Wine has neither fltmc, which the set-up script runs to see that an
# administrator runs it, nor takeown, with which it hands the new folder to
# the administrators: the tests' stand-in answers for both as Windows does.
for tool in fltmc takeown; do
  cp build/windows/tests/stand_ins/stand_in_tool.exe "$prefix/drive_c/windows/system32/$tool.exe"
done
program_files="$prefix/drive_c/Program Files/Der Keilbrecher"
# Wine's msiexec puts a shortcut for all users into the installing user's
# Start menu; Windows puts it into the Start menu of all users.
shortcuts() { find "$prefix/drive_c/users" "$prefix/drive_c/ProgramData" -name 'Der Keilbrecher.lnk' 2>/dev/null; }
cmake/wine-run.sh "$prefix" msiexec /i "Z:${PWD}/$msi" /qn
[ -f "$program_files/keilbrecher.exe" ] && [ -f "$program_files/README.txt" ] &&
  [ -f "$program_files/keilbrecher-ordner-einrichten.cmd" ] && [ -n "$(shortcuts)" ] ||
  { echo "FAIL: the MSI did not install the program, its README.txt, its set-up script and its Start menu entry"; exit 1; }
echo "ok: msiexec /i /qn installs keilbrecher.exe, README.txt, the set-up script and the Start menu entry"
# It ran the set-up script, which handed the folder over and made it.
grep -q 'Keilbrecher-Einrichtung\\fibu' "$prefix/drive_c/windows/system32/takeown.log" && [ -d "$prefix/drive_c/fibu" ] || { echo "FAIL: the MSI did not run the set-up script"; exit 1; }
echo "ok: the MSI ran the set-up script, which made c:\fibu"
# The installer's wineserver ran without a display; the window needs one
# started on the virtual X server. Wine says so when it cannot connect.
WINEPREFIX=$prefix wineserver -w
WINEDEBUG=-all,+winediag xvfb-run -a tests/e2e/installed_window.sh \
  cmake/wine-run.sh "$prefix" 'C:\Program Files\Der Keilbrecher\keilbrecher.exe'
WINEPREFIX=$prefix wineserver -w
cmake/wine-run.sh "$prefix" msiexec /x "Z:${PWD}/$msi" /qn
[ ! -e "$program_files/keilbrecher.exe" ] && [ ! -e "$program_files/README.txt" ] && [ -z "$(shortcuts)" ] || { echo "FAIL: msiexec /x left the program or its Start menu entry"; exit 1; }
echo "ok: msiexec /x /qn removes the program and the Start menu entry"
