#!/usr/bin/env bash
# deps.sh play|package|test: installs the Debian packages that are missing for playing (build the game
# and run it), for making the Debian package (Debian's packaging tools and the build dependencies that
# debian/control declares) or for testing (all of that, plus what the test suites, the asset checks and
# the package's checks use).
set -euo pipefail
control=$(cd "$(dirname "$0")/.." && pwd)/debian/control

# Building and playing: libpng and libvorbisfile decode the pictures and the music; stb cuts the
# program icon at build time.
PLAY=(
  build-essential cmake pkg-config
  libglfw3-dev libgl-dev libgl1-mesa-dri libopenal-dev libpng-dev libvorbis-dev libstb-dev
)
# Making the Debian package: dpkg-buildpackage and the compilers; the rest comes from debian/control.
PACKAGE=(build-essential dpkg-dev)
# What the tests add: the test framework, a virtual display with a window manager and input
# injection, image and sound tools for the checks, the asset generator's Python, and clang with
# libFuzzer and its sanitizers for the fuzz targets; a Wayland compositor with its screenshot tool and
# the Wayland and keymap libraries for the virtual keyboard of the Wayland end-to-end group.
TEST=(
  sway grim libwayland-dev libwayland-bin libxkbcommon-dev
  googletest libgtest-dev libgmock-dev clang libclang-rt-dev
  xvfb xauth xdotool x11-utils openbox imagemagick libx11-dev libxrandr-dev
  python3 python3-pil python3-numpy vorbis-tools sox
  lintian desktop-file-utils appstream man-db
)

case "${1:-}" in
play) wanted=("${PLAY[@]}") ;;
package) wanted=("${PACKAGE[@]}") ;;
test) wanted=("${PLAY[@]}" "${PACKAGE[@]}" "${TEST[@]}") ;;
list-play) echo "${PLAY[*]}"; exit 0 ;;
list-package) echo "${PACKAGE[*]} and the Build-Depends of debian/control"; exit 0 ;;
list-test) echo "${PLAY[*]} ${PACKAGE[*]} ${TEST[*]} and the Build-Depends of debian/control"; exit 0 ;;
*) echo "usage: $0 play|package|test|list-play|list-package|list-test" >&2; exit 2 ;;
esac

missing=()
for p in "${wanted[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
# The source package's build dependencies, as apt-get build-dep installs them.
build_dep=()
if [ "$1" != play ] && { [ ${#missing[@]} -gt 0 ] || ! dpkg-checkbuilddeps "$control" >/dev/null 2>&1; }; then
  build_dep=("${control%/debian/control}/")
fi
[ ${#missing[@]} -eq 0 ] && [ ${#build_dep[@]} -eq 0 ] && exit 0

SUDO=()
if [ "$(id -u)" -ne 0 ]; then
  if command -v sudo >/dev/null && sudo -n true 2>/dev/null; then
    SUDO=(sudo -n)
  elif command -v sudo >/dev/null && [ -t 0 ]; then
    SUDO=(sudo)
  else
    echo "Some packages are missing. Run this as root, then run $0 again:" >&2
    echo "  apt-get update" >&2
    [ ${#missing[@]} -eq 0 ] || echo "  apt-get install -y --no-install-recommends ${missing[*]}" >&2
    [ ${#build_dep[@]} -eq 0 ] || echo "  apt-get build-dep -y --no-install-recommends ${build_dep[*]}" >&2
    exit 1
  fi
fi

# apt's progress goes to a log; only a failure shows it.
log=$(mktemp /tmp/tidecrawler-apt.XXXXXX)
trap 'rm -f "$log"' EXIT
[ ${#missing[@]} -eq 0 ] || echo "Installing ${#missing[@]} Debian packages: ${missing[*]}"
[ ${#build_dep[@]} -eq 0 ] || echo "Installing the build dependencies of debian/control"
apt() { "${SUDO[@]}" env DEBIAN_FRONTEND=noninteractive apt-get -y -q --no-install-recommends "$@" >>"$log" 2>&1; }
if ! "${SUDO[@]}" apt-get update -q >"$log" 2>&1 ||
  { [ ${#missing[@]} -gt 0 ] && ! apt install "${missing[@]}"; } ||
  { [ ${#build_dep[@]} -gt 0 ] && ! apt build-dep "${build_dep[@]}"; }; then
  echo "Installing the packages failed; apt-get said:" >&2
  tail -n 30 "$log" >&2
  exit 1
fi
