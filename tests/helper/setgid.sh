#!/usr/bin/env bash
# The helper as the Debian package installs it, tried by a clerk:
# a throwaway user and group (removed on every exit), the helper setgid to
# the group, the lookup folder root:group 0775 with the demo lookup program,
# all staged under the root-owned 0755 folder STAGE that the staged
# programs were built for (the user cannot enter the build tree). As the
# user: the attacks of clerk_attacks, then lookups of both records. Runs as
# root; skipped (77) otherwise.
# usage: setgid.sh STAGE HELPER DEMO ATTACKS LOOP
set -euo pipefail
stage=$1 helper=$2 demo=$3 attacks=$4 loop=$5
if [ "$(id -u)" -ne 0 ]; then
  echo "needs root: useradd, chgrp and a setgid helper"
  exit 77
fi

user=kbclerk$$ flooder=kbflood$$ group=kbgroup$$
scratch=$(dirname "$stage")/kbscratch$$
cleanup() {
  pkill -KILL -u "$flooder" 2> /dev/null || true
  userdel "$flooder" 2> /dev/null || true
  userdel "$user" 2> /dev/null || true
  groupdel "$group" 2> /dev/null || true
  rm -rf "$stage" "$scratch"
}
# Refuses before it sets the clean-up: the stage may only be one that an
# earlier run of this test left (it carries the mark), and the user, the
# group and the scratch folder must be new.
mark=.made-by-keilbrecher-setgid-test
if [ -e "$stage" ] && [ ! -e "$stage/$mark" ]; then
  echo "FAIL: $stage exists and is not this test's; not touched"
  exit 1
fi
if [ -e "$scratch" ] || getent passwd "$user" > /dev/null || getent passwd "$flooder" > /dev/null ||
  getent group "$group" > /dev/null; then
  echo "FAIL: $scratch, the user $user or $flooder or the group $group exists already; not touched"
  exit 1
fi
trap cleanup EXIT
groupadd "$group"
useradd --no-create-home --shell /usr/sbin/nologin "$user"
useradd --no-create-home --shell /usr/sbin/nologin "$flooder"

rm -rf "$stage"
mkdir -m 0755 "$stage"
touch "$stage/$mark"
install -o root -g "$group" -m 2755 "$helper" "$stage/keilbrecher-exchange"
install -d -o root -g "$group" -m 0775 "$stage/fibu"
install -o root -g root -m 0755 "$demo" "$stage/fibu/Lief-adr.exe"
install -o root -g root -m 0755 "$attacks" "$stage/clerk_attacks"
install -o root -g root -m 0755 "$loop" "$stage/lookup_loop"
install -d -o "$user" -m 0700 "$scratch"

# As the clerk, with a clean environment; no LeakSanitizer, which cannot
# run in a setgid process.
as_clerk() { runuser -u "$user" -- env -i PATH=/usr/bin:/bin ASAN_OPTIONS=detect_leaks=0 "$@"; }

status=0
as_clerk "$stage/clerk_attacks" "$scratch" || status=1
for record in 1 2; do
  if as_clerk "$stage/lookup_loop" "$record" 3; then
    echo "ok: her lookups of record $record work"
  else
    echo "FAIL: her lookups of record $record"
    status=1
  fi
done
# Another clerk asks her own helper to make the files again and again, each
# time on a new connection that she then drops: her helper waits its turn
# for the lock like everybody's, so every lookup of the first clerk's
# shows its record.
runuser -u "$flooder" -- env -i PATH=/usr/bin:/bin /usr/bin/python3 -c '
import socket, subprocess, sys
while True:
    ours, theirs = socket.socketpair(socket.AF_UNIX, socket.SOCK_SEQPACKET)
    helper = subprocess.Popen([sys.argv[1]], stdin=theirs)
    theirs.close()
    ours.send(b"m")
    ours.recv(32)
    ours.close()
    helper.wait()
' "$stage/keilbrecher-exchange" 2> /dev/null &
if as_clerk "$stage/lookup_loop" 1 50; then
  echo "ok: 50 lookups, each its record, while another clerk floods her helper with makes"
else
  echo "FAIL: a lookup failed while another clerk flooded her helper with makes"
  status=1
fi
pkill -KILL -u "$flooder" 2> /dev/null || true
sleep 0.2
# Without the group's right the helper cannot make the files: the lookup
# says that the helper is not set up (0x20000009), not a system error.
chmod g-s "$stage/keilbrecher-exchange"
unset_up=$(as_clerk "$stage/lookup_loop" 1 1 2>&1 || true)
if grep -q "error 536870921:" <<< "$unset_up"; then
  echo "ok: a helper without the group's right is reported as not set up"
else
  echo "FAIL: a helper without the group's right gave another error: $unset_up"
  status=1
fi
chmod g+s "$stage/keilbrecher-exchange"
as_clerk "$stage/lookup_loop" 2 1 > /dev/null || status=1
# What could let one clerk change what another runs stops every lookup
# before the lookup program starts: write for another clerk by an ACL
# entry, on the folder or on a DLL beside the program; a member in the helper's group;
# write for everybody on a folder on the way.
refused() {
  local got
  got=$(as_clerk "$stage/lookup_loop" 1 1 2>&1 || true)
  if grep -q "error 536870922:" <<< "$got"; then echo "ok: refused: $1"; else echo "FAIL: not refused: $1: $got"; status=1; fi
}
setfacl -m "u:$flooder:rwx" "$stage/fibu"
refused "an ACL entry that lets another clerk write the folder"
setfacl -b "$stage/fibu"
install -o root -g "$group" -m 0644 /dev/null "$stage/fibu/x.dll"
setfacl -m "u:$flooder:rw" "$stage/fibu/x.dll"
refused "an ACL entry that lets another clerk write a DLL beside the program"
rm -f "$stage/fibu/x.dll"
usermod -a -G "$group" "$flooder"
refused "the helper's group with a member"
gpasswd -d "$flooder" "$group" > /dev/null
chmod o+w "$stage"
refused "a folder on the way that everybody may write"
# Nor does the helper, asked directly, make anything there.
as_clerk /usr/bin/python3 -c '
import socket, subprocess, sys
ours, theirs = socket.socketpair(socket.AF_UNIX, socket.SOCK_SEQPACKET)
helper = subprocess.Popen([sys.argv[1]], stdin=theirs)
theirs.close()
ours.send(b"m")
ours.recv(64)
' "$stage/keilbrecher-exchange" 2> /dev/null || true
if [ -e "$stage/fibu/in.txt" ]; then
  echo "FAIL: the helper made in.txt below a folder that everybody may write"
  status=1
  rm -f "$stage/fibu/in.txt" "$stage/fibu/out.txt"
else
  echo "ok: the helper makes nothing below a folder that everybody may write"
fi
chmod o-w "$stage"
# Data beside the program that everybody may write harms nobody.
install -d -m 0777 "$stage/fibu/daten"
as_clerk "$stage/lookup_loop" 1 1 > /dev/null && echo "ok: a data folder beside the program that everybody may write" ||
  { echo "FAIL: a data folder that everybody may write stopped the lookup"; status=1; }
rm -rf "$stage/fibu/daten"
left=$(find "$stage/fibu" -mindepth 1 ! -name Lief-adr.exe)
if [ -z "$left" ]; then echo "ok: her lookups leave nothing in the folder"; else echo "FAIL: left: $left"; status=1; fi
exit "$status"
