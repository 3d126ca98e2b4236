#!/usr/bin/env bash
# Installs the Debian packages Vexo View needs to build, test and run; with
# the argument "fuzz" also those the fuzz targets need (clang and libFuzzer),
# with "measure" those scripts/cpu-saturated.sh needs (a virtual display).
# Quiet and quick when everything is already there.
set -euo pipefail

packages=(
  build-essential
  cmake
  ninja-build
  qt6-base-dev
  qt6-serialbus-dev
  libqt6serialbus6-bin
  qt6-qpa-plugins
  fonts-liberation
  libsocketcan2
  desktop-file-utils
  can-utils
  python3-canmatrix
  qt6-charts-dev
  libqt6opengl6-dev
  locales
  qemu-system-x86
  busybox-static
)
if [[ "${1:-}" == fuzz ]]; then
  packages+=(clang libclang-rt-14-dev)
fi
if [[ "${1:-}" == measure ]]; then
  packages+=(xvfb xdotool imagemagick)
fi

missing=()
for pkg in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$pkg")
done

[[ ${#missing[@]} -eq 0 ]] && exit 0

echo "Installing Debian packages: ${missing[*]}"
if [[ $(id -u) -eq 0 ]]; then
  sudo=()
elif command -v sudo >/dev/null; then
  sudo=(sudo)
else
  echo "These packages are missing and sudo is not available: ${missing[*]}" >&2
  echo "Install them as root with: apt-get install ${missing[*]}" >&2
  exit 1
fi

export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
