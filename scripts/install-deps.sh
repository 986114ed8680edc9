#!/usr/bin/env bash
# Installs the Debian packages needed to build, run and test Vornak Uninstaller.
# Only missing packages are installed, so running it again is cheap and harmless.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools libqt6opengl6-dev libgl-dev
  # Qt's own texts (Yes, No, the file and font dialogs) in the languages we ship
  qt6-translations-l10n
  libsqlite3-dev sqlite3
  libicu-dev
  libjpeg-dev
  libgtest-dev googletest
  fonts-dejavu-core
  xvfb openbox x11-utils
  # The Windows build, cross-compiled and tested under Wine (scripts/test-windows.sh);
  # NSIS and wixl build the real installers (an .exe, an .msi) that the Wine prefix tests install.
  g++-mingw-w64-x86-64-posix mingw-w64-tools binutils-mingw-w64-x86-64 wine wine64 nsis wixl
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ "${#missing[@]}" -eq 0 ]; then
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then
  SUDO="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
