#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing Tallykey need.
set -euo pipefail

packages=(
  # building
  cmake ninja-build g++ pkg-config
  qt6-base-dev qt6-base-dev-tools libgl-dev
  libx11-dev libxtst-dev libxcb-xtest0-dev libasound2-dev
  # what the program calls while it runs (web links and help open with xdg-open)
  xdg-utils shared-mime-info desktop-file-utils
  # tests and benchmarks: synthetic input uses Qt's private headers
  qt6-base-private-dev libxkbcommon-dev
  libgtest-dev libgmock-dev libbenchmark-dev libssl-dev openssl
  xvfb xauth x11-utils xdotool xclip imagemagick fonts-wine openbox
  appstream
  # the Debian package (cpack -G DEB)
  dpkg-dev file
  # the Windows build (tkf.exe, the database) and its tests under Wine: the
  # GoogleTest sources, and GnuTLS for Wine's cryptography (bcrypt)
  g++-mingw-w64-x86-64-posix googletest wine wine64 libgnutls30
  # the Windows installer
  nsis
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
echo "Installing: ${missing[*]}"
$sudo apt-get update
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}"
