#!/usr/bin/env bash
# Installs the system packages needed to build, run and test the program.
# Skips what is already installed; runs apt-get as root directly, otherwise with sudo.
set -euo pipefail

PACKAGES=(
  build-essential
  cmake
  ninja-build
  pkg-config
  qt6-base-dev
  qt6-charts-dev
  qt6-translations-l10n
  libqt6opengl6-dev
  libgl-dev
  r-base-core
  fonts-dejavu-core
  libgtest-dev
  libgmock-dev
  libbenchmark-dev
  nlohmann-json3-dev
  libcli11-dev
  libnlopt-cxx-dev
  libboost-dev
  libeigen3-dev
  clang-format
  file
  clang
  libclang-rt-dev
  locales
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

SUDO=""
if [ "$(id -u)" -ne 0 ]; then
  SUDO="sudo"
fi

if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# The Russian locale, the locale of nearly every user: the window's tests run
# in it too (a number must read and write the same in every locale).
if ! locale -a 2>/dev/null | grep -qix 'ru_RU\.utf-\?8'; then
  echo "Generating the locale ru_RU.UTF-8"
  $SUDO sed -i 's/^# *\(ru_RU\.UTF-8 UTF-8\)/\1/' /etc/locale.gen
  grep -q '^ru_RU\.UTF-8 UTF-8' /etc/locale.gen || echo 'ru_RU.UTF-8 UTF-8' | $SUDO tee -a /etc/locale.gen >/dev/null
  $SUDO locale-gen
fi
