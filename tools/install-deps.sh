#!/usr/bin/env bash
# Installs the Debian packages Tovalin needs to build, test and run, when any is missing.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config
  qt6-base-dev qt6-webengine-dev libgl-dev libx11-dev libxext-dev libxtst-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  clang libclang-rt-14-dev
  xvfb xauth x11-utils xdotool imagemagick fonts-wqy-microhei
  curl nginx-light python3
  libssl-dev openssl libpsl-dev publicsuffix libgumbo-dev libcmark-dev libcli11-dev
  help2man lintian appstream desktop-file-utils dpkg-dev fakeroot
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing: ${missing[*]}"
sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
