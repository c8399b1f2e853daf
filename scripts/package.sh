#!/usr/bin/env bash
# package.sh [dpkg-buildpackage options]: builds the Debian package tidecrawler_<version>_<arch>.deb
# from the source package in debian/ and leaves it in the repository's root; prints its path. It
# installs the build dependencies that debian/control declares, copies the tree into
# build-release/tidecrawler-<version>/ (the checkout stays as it is) and runs dpkg-buildpackage there
# (by default with -b, the binary package only; -F adds the source package). Everything
# dpkg-buildpackage writes (.changes, .buildinfo, the debug symbols) stays in build-release/.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh package

version=$(dpkg-parsechangelog -S Version)
cmake_version=$(sed -nE 's/^project\(tidecrawler VERSION ([^ ]+) .*/\1/p' CMakeLists.txt)
# Every file that names the version must name the same one.
version_in() { # file, pattern holding VERSION
  grep -qF "${2//VERSION/$version}" "$1" || { echo "package: $1 does not name version $version" >&2; exit 1; }
}
[ "$version" = "$cmake_version" ] || {
  echo "package: debian/changelog is at $version but CMakeLists.txt at $cmake_version" >&2
  exit 1
}
version_in app/desktop/*.metainfo.xml '<release version="VERSION"'
version_in app/desktop/tidecrawler.6 '"The Final Tidecrawler VERSION"'
deb=tidecrawler_${version}_$(dpkg --print-architecture).deb

out=build-release
src=$out/tidecrawler-$version
rm -rf "$out"
mkdir -p "$src"
# The tree as a source package holds it: no build folders, packages or saves of this checkout.
tar -c --exclude=./.git --exclude='./build*' --exclude='./obj-*' --exclude='./tidecrawler_*' \
  --exclude=./debian/tidecrawler --exclude=./debian/.debhelper --exclude=.zindlestate \
  --exclude=__pycache__ . | tar -x -C "$src"
(cd "$src" && dpkg-buildpackage -us -uc "${@:--b}")
cp "$out/$deb" "$deb"
echo "$PWD/$deb"
