#!/usr/bin/env bash
# Installs the Debian packages the project needs that are not installed yet.
#   scripts/deps.sh [extra-package ...]
set -euo pipefail

# socat and python3-pymodbus (with the serial modules its RTU server needs): a third-party Modbus slave
# on a pty pair for the tests.
packages=(build-essential cmake ninja-build qt6-base-dev qt6-serialport-dev qt6-charts-dev libqt6opengl6-dev
          libgl-dev fonts-dejavu-core xvfb xauth libmodbus-dev pkg-config libqt6sql6-sqlite
          socat python3-pymodbus python3-serial python3-serial-asyncio "$@")

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
