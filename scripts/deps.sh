#!/usr/bin/env bash
# Installs the Debian packages that building, playing and testing need, skipping those already present.
set -euo pipefail

PACKAGES=(
  # build
  build-essential cmake pkg-config git
  # runtime libraries
  libglfw3-dev libgl-dev libgl1-mesa-dri libopenal-dev libstb-dev
  # tests and benchmarks
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  xvfb xauth xdotool x11-utils openbox imagemagick libx11-dev libxrandr-dev
  python3 python3-pil python3-numpy vorbis-tools sox
)

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

SUDO=""
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null || { echo "Installing ${missing[*]} needs root: run as root or install sudo." >&2; exit 1; }
  SUDO=sudo
fi
echo "Installing: ${missing[*]}"
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
