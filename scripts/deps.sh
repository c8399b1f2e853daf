#!/usr/bin/env bash
# deps.sh play|package|test: installs the Debian packages that are missing for playing (build the game
# and run it), for making the Debian package (that and Debian's packaging tools) or for testing (all of
# that, plus what the test suites, the asset checks and the package's checks use).
set -euo pipefail

# Building and playing: libpng and libvorbisfile decode the pictures and the music; stb cuts the
# program icon at build time.
PLAY=(
  build-essential cmake pkg-config
  libglfw3-dev libgl-dev libgl1-mesa-dri libopenal-dev libpng-dev libvorbis-dev libstb-dev
)
# Making the Debian package: build flags, library dependencies, control file and archive.
PACKAGE=(dpkg-dev)
# What the tests add: the test framework, a virtual display with a window manager and input
# injection, image and sound tools for the checks, the asset generator's Python, and clang with
# libFuzzer and its sanitizers for the fuzz targets.
TEST=(
  googletest libgtest-dev libgmock-dev clang libclang-rt-dev
  xvfb xauth xdotool x11-utils openbox imagemagick libx11-dev libxrandr-dev
  python3 python3-pil python3-numpy vorbis-tools sox
  lintian desktop-file-utils appstream man-db
)

case "${1:-}" in
play) wanted=("${PLAY[@]}") ;;
package) wanted=("${PLAY[@]}" "${PACKAGE[@]}") ;;
test) wanted=("${PLAY[@]}" "${PACKAGE[@]}" "${TEST[@]}") ;;
list-play) echo "${PLAY[*]}"; exit 0 ;;
list-package) echo "${PLAY[*]} ${PACKAGE[*]}"; exit 0 ;;
list-test) echo "${PLAY[*]} ${PACKAGE[*]} ${TEST[*]}"; exit 0 ;;
*) echo "usage: $0 play|package|test|list-play|list-package|list-test" >&2; exit 2 ;;
esac

missing=()
for p in "${wanted[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

SUDO=()
if [ "$(id -u)" -ne 0 ]; then
  if command -v sudo >/dev/null && sudo -n true 2>/dev/null; then
    SUDO=(sudo -n)
  elif command -v sudo >/dev/null && [ -t 0 ]; then
    SUDO=(sudo)
  else
    echo "Some packages are missing. Run this as root, then run $0 again:" >&2
    echo "  apt-get update && apt-get install -y --no-install-recommends ${missing[*]}" >&2
    exit 1
  fi
fi

# apt's progress goes to a log; only a failure shows it.
log=$(mktemp /tmp/tidecrawler-apt.XXXXXX)
trap 'rm -f "$log"' EXIT
echo "Installing ${#missing[@]} Debian packages: ${missing[*]}"
if ! "${SUDO[@]}" apt-get update -q >"$log" 2>&1 ||
  ! "${SUDO[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends \
    "${missing[@]}" >>"$log" 2>&1; then
  echo "Installing the packages failed; apt-get said:" >&2
  tail -n 30 "$log" >&2
  exit 1
fi
