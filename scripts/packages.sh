# Debian 12 packages that the Linux window and the demo need
# (KEIL_DEMO_PACKAGES), and those that the build, the tests and the packages
# need besides (KEIL_PACKAGES, all of them); and a function that installs
# the missing ones (as root) or names them (otherwise).

KEIL_DEMO_PACKAGES=(
  g++ cmake ninja-build pkg-config
  qt6-base-dev qt6-translations-l10n fonts-dejavu-core librsvg2-bin
)

KEIL_PACKAGES=(
  "${KEIL_DEMO_PACKAGES[@]}"
  libgtest-dev libbenchmark-dev
  clang-14 libclang-rt-14-dev
  xvfb xauth xdotool xclip imagemagick x11-utils ibus dbus-x11
  openbox orca python3-pyatspi at-spi2-core speech-dispatcher-espeak-ng procps
  icoutils lintian dpkg-dev wixl msitools gir1.2-libmsi-1.0 python3-gi acl
  mingw-w64 wine wine64 fonts-wine
  libxrender1 libxfixes3 libxrandr2 libxi6 libxcursor1 libxinerama1 libxcomposite1
)

keil_missing_packages() {
  local pkg
  for pkg in "$@"; do
    if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed"; then
      printf '%s\n' "$pkg"
    fi
  done
}

keil_ensure_packages() {
  local missing
  mapfile -t missing < <(keil_missing_packages "$@")
  [ "${#missing[@]}" -eq 0 ] && return 0
  if [ "$(id -u)" -eq 0 ]; then
    echo "Installing: ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -q
    apt-get install -y -q --no-install-recommends "${missing[@]}"
  else
    echo "Missing Debian packages. Install them first:" >&2
    echo "  sudo apt-get install ${missing[*]}" >&2
    return 1
  fi
}
