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
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing: ${missing[*]}"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then
  SUDO="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
