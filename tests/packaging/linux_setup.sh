#!/usr/bin/env bash
# The Debian package over the shared folder's old set-up, as an admin meets
# it: the group fibu with clerks in it, the folder 2770 with a default ACL,
# the lookup program immutable, and files a clerk placed there, one of them
# a file of root's that she renamed, and one that she makes through a
# descriptor of the folder kept open while the move runs. The package
# installs (and warns of the groups' members), the guide's moving lines
# run as written, and then the new folder holds nothing of hers, she can
# place nothing in it, and the installed helper makes and removes her
# exchange files; the installed window shows; the package purges cleanly.
# Removes its own users, groups and folders.
# Runs as root.
# usage: linux_setup.sh DEB GUIDE
set -euo pipefail
deb=$1 guide=$2
helper=/usr/libexec/keilbrecher/keilbrecher-exchange
clerk=kbmove$$ other=kbprim$$
ready=/tmp/kbready$$ go=/tmp/kbgo$$
status=0
fail() { echo "FAIL: $*"; status=1; }
pass() { echo "ok: $*"; }
cleanup() {
  pkill -KILL -u "$clerk" 2> /dev/null || true
  if dpkg-query -W -f='${Status}' keilbrecher 2> /dev/null | grep -q "ok installed"; then
    apt-get purge -y -q keilbrecher > /dev/null 2>&1 || true
  fi
  chattr -i /c/fibu/Lief-adr.exe 2> /dev/null || true
  rm -rf /c/fibu /c/fibu.alt "$ready" "$go" "${media:-}"
  rmdir /c 2> /dev/null || true
  userdel "$clerk" 2> /dev/null || true
  userdel "$other" 2> /dev/null || true
  groupdel fibu 2> /dev/null || true
  groupdel keilbrecher 2> /dev/null || true
}
# Refuses before it sets the clean-up, which removes the folder, the groups
# fibu and keilbrecher, the users and the package: none of them may be
# there already.
for path in /c/fibu /c/fibu.alt "$ready" "$go"; do
  [ ! -e "$path" ] || { echo "FAIL: $path exists already; not touched"; exit 1; }
done
for group in fibu keilbrecher; do
  ! getent group "$group" > /dev/null || { echo "FAIL: the group $group exists already; not touched"; exit 1; }
done
for user in "$clerk" "$other"; do
  ! getent passwd "$user" > /dev/null || { echo "FAIL: the user $user exists already; not touched"; exit 1; }
done
! dpkg-query -W -f='${Status}' keilbrecher 2> /dev/null | grep -q "ok installed" ||
  { echo "FAIL: keilbrecher is installed already; not touched"; exit 1; }
trap cleanup EXIT

# The old set-up, as admins made it.
groupadd fibu
useradd --no-create-home --shell /usr/sbin/nologin "$clerk"
usermod -a -G fibu "$clerk"
# A clerk whose primary group is fibu, and who was also put into a group
# keilbrecher that an admin made before the package.
groupadd keilbrecher
useradd --no-create-home --shell /usr/sbin/nologin -g fibu -G keilbrecher "$other"
mkdir -p /c/fibu
chown root:fibu /c/fibu
chmod 2770 /c/fibu
setfacl -m d:u::rwx,d:g::rwx,d:o::--- /c/fibu
install -o root -g root -m 0755 /bin/true /c/fibu/Lief-adr.exe
chattr +i /c/fibu/Lief-adr.exe
install -o root -g root -m 0644 /etc/hostname /c/fibu/daten.dat
runuser -u "$clerk" -- sh -c 'cp /bin/true /c/fibu/shcore.dll && mkdir /c/fibu/sub && cp /bin/true /c/fibu/sub/x.dll &&
  mv /c/fibu/daten.dat /c/fibu/version.dll'
# She keeps the folder open (as her current folder) and creates a file
# through it once the move has run.
mkfifo -m 0666 "$go"
runuser -u "$clerk" -- sh -c "cd /c/fibu && : > $ready && read _ < $go && cp /bin/true kept.dll" 2> /dev/null &
kept=$!
for _ in $(seq 100); do [ -e "$ready" ] && break; sleep 0.1; done

out=$(apt-get install -y -q "./$deb" 2>&1)
if grep -q "Die Gruppe fibu hat noch Mitglieder ($clerk,$other)" <<<"$out" &&
  grep -q "Die Gruppe keilbrecher hat Mitglieder ($other)" <<<"$out"; then
  pass "the package warns of the old group's members, by either group, and of the helper group's"
else
  fail "no warning of the groups' members: $out"
fi
[ "$(stat -c '%a %U %G' "$helper")" = "2755 root keilbrecher" ] && pass "the helper is root:keilbrecher 2755" ||
  fail "the helper is $(stat -c '%a %U %G' "$helper")"

# The guide's lines, as written (sudo is root here).
lines=$(awk '/^### Umstellung von der Gruppen-Einrichtung/ {on = 1} on && /^```sh/ {inside = 1; next}
             inside && /^```/ {exit} inside' "$guide")
[ -n "$lines" ] || { echo "FAIL: no moving lines in $guide"; exit 1; }
sudo() { "$@"; }
media=$(mktemp -d)
install -m 0755 /bin/true "$media/Lief-adr.exe"
(cd "$media" && eval "$lines") > /dev/null
timeout 10 sh -c "echo go > $go" || true
wait "$kept" && fail "she created a file through the folder she kept open" || true

[ "$(stat -c '%a %U %G' /c/fibu)" = "775 root keilbrecher" ] && pass "the folder is root:keilbrecher 0775" ||
  fail "the folder is $(stat -c '%a %U %G' /c/fibu)"
[ "$(ls -A /c/fibu)" = Lief-adr.exe ] && [ "$(stat -c '%a %U %G' /c/fibu/Lief-adr.exe)" = "755 root root" ] &&
  pass "the new folder holds the lookup program from the media alone" || fail "left: $(ls -A /c/fibu)"
[ "$(stat -c '%a %U' /c/fibu.alt)" = "700 root" ] && pass "the old folder lies aside, root's alone" ||
  fail "the old folder is $(stat -c '%a %U' /c/fibu.alt)"
[ -z "$(getfacl -s -R /c/fibu 2> /dev/null)" ] && pass "no ACL stays" || fail "ACLs stay"
if runuser -u "$clerk" -- touch /c/fibu/shcore.dll 2> /dev/null; then fail "the clerk still places files"; else
  pass "the clerk places nothing in the folder"
fi

# The installed helper makes and removes her exchange files.
if runuser -u "$clerk" -- /usr/bin/python3 - "$helper" <<'EOF'
import os, socket, struct, subprocess, sys
ours, theirs = socket.socketpair(socket.AF_UNIX, socket.SOCK_SEQPACKET)
helper = subprocess.Popen([sys.argv[1]], stdin=theirs)
theirs.close()
ours.send(b"m")
replies, fds, _, _ = socket.recv_fds(ours, 32, 2)
for fd in fds:
    info = os.fstat(fd)
    assert info.st_uid == os.getuid() and info.st_mode & 0o7777 == 0o600
assert struct.unpack("8i", replies)[0::4] == (0, 0) and len(fds) == 2
ours.send(b"r")
assert struct.unpack("8i", ours.recv(32))[0::4] == (0, 0)
assert not os.path.exists("/c/fibu/in.txt") and not os.path.exists("/c/fibu/out.txt")
ours.close()
sys.exit(helper.wait())
EOF
then pass "the installed helper makes and removes her exchange files"; else fail "the installed helper"; fi

[ "$(command -v keilbrecher)" = /usr/bin/keilbrecher ] || fail "keilbrecher is not /usr/bin/keilbrecher"
xvfb-run -a "$(dirname "$0")/../e2e/installed_window.sh" /usr/bin/keilbrecher || status=1

# Purged, the helper's override goes; the group and the folder stay.
apt-get purge -y -q keilbrecher > /dev/null
if ! dpkg-statoverride --list "$helper" > /dev/null && getent group keilbrecher > /dev/null &&
  [ "$(ls -A /c/fibu)" = Lief-adr.exe ]; then
  pass "purged: the override is gone, the group and the folder stay"
else
  fail "the purge left the override, or took the group or the folder"
fi
exit "$status"
