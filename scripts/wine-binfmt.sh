# Makes the kernel hand Windows executables to Wine for as long as the
# caller needs, whatever the machine was set up with, and then puts back
# what it changed. Source it, call wine_binfmt_on, and wine_binfmt_off when
# done. Where no entry for Windows executables is registered yet, it needs
# root: it mounts binfmt_misc where that is not mounted and registers an
# entry of its own.

binfmt_dir=/proc/sys/fs/binfmt_misc
wine_binfmt_mounted=
wine_binfmt_entry=

# Whether an enabled entry hands executables that start with "MZ" on.
wine_binfmt_present() {
  local entry
  for entry in "$binfmt_dir"/*; do
    case ${entry##*/} in register | status) continue ;; esac
    grep -qx enabled "$entry" && grep -qx "magic 4d5a" "$entry" && return 0
  done
  return 1
}

wine_binfmt_on() {
  if [ ! -e "$binfmt_dir/register" ]; then
    mount -t binfmt_misc binfmt_misc "$binfmt_dir" ||
      { echo "cannot mount binfmt_misc at $binfmt_dir (as root it can)" >&2; return 1; }
    wine_binfmt_mounted=1
  fi
  wine_binfmt_present && return 0
  wine_binfmt_entry=keilbrecher-wine-$$
  echo ":$wine_binfmt_entry:M::MZ::$(command -v wine):" > "$binfmt_dir/register" ||
    { echo "cannot register Wine with binfmt_misc (as root it can)" >&2; wine_binfmt_entry=; return 1; }
}

wine_binfmt_off() {
  if [ -n "$wine_binfmt_entry" ]; then echo -1 > "$binfmt_dir/$wine_binfmt_entry" || true; fi
  if [ -n "$wine_binfmt_mounted" ]; then umount "$binfmt_dir" || true; fi
  wine_binfmt_entry=
  wine_binfmt_mounted=
}
