#!/usr/bin/env bash
# Builds the Debian package tidecrawler_<version>_<arch>.deb in the repository's root: a Release build
# with Debian's hardening flags (build-release/), installed in Debian's layout for games, stripped,
# with its dependencies computed from the program's libraries. Prints the package's path.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh package

build=build-release
root=$build/deb
meta=$build/deb-meta

version=$(dpkg-parsechangelog -l packaging/changelog -S Version)
cmake_version=$(sed -nE 's/^project\(tidecrawler VERSION ([^ ]+) .*/\1/p' CMakeLists.txt)
# Every file that names the version must name the same one.
version_in() { # file, pattern holding VERSION
  grep -qF "${2//VERSION/$version}" "$1" || { echo "package: $1 does not name version $version" >&2; exit 1; }
}
[ "$version" = "$cmake_version" ] || {
  echo "package: packaging/changelog is at $version but CMakeLists.txt at $cmake_version" >&2
  exit 1
}
version_in app/desktop/*.metainfo.xml '<release version="VERSION"'
version_in app/desktop/tidecrawler.6 '"The Final Tidecrawler VERSION"'
arch=$(dpkg --print-architecture)
deb=tidecrawler_${version}_${arch}.deb

# Debian's compiler and linker flags (hardening included), read once when the build is configured.
eval "$(DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --export=sh)"
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DTIDE_TESTS=OFF -DTIDE_BENCH=OFF \
  -DCMAKE_C_FLAGS="$CPPFLAGS $CFLAGS" -DCMAKE_CXX_FLAGS="$CPPFLAGS $CXXFLAGS" \
  -DCMAKE_EXE_LINKER_FLAGS="$LDFLAGS" -DCMAKE_INSTALL_PREFIX=/usr \
  -DTIDE_INSTALL_BINDIR=games -DTIDE_INSTALL_PROGRAMDIR=lib/games/tidecrawler \
  -DTIDE_INSTALL_DATADIR=share/games/tidecrawler >/dev/null
cmake --build "$build" -j2 --target tidecrawler

rm -rf "$root" "$meta"
umask 022
DESTDIR=$PWD/$root cmake --install "$build" >/dev/null
program=$root/usr/lib/games/tidecrawler/tidecrawler
strip --strip-unneeded --remove-section=.comment --remove-section=.note "$program"
doc=$root/usr/share/doc/tidecrawler
mkdir -p "$doc"
cp packaging/copyright "$doc/copyright"
gzip -9n <packaging/changelog >"$doc/changelog.gz"
gzip -9n "$root/usr/share/man/man6/tidecrawler.6"
# Files as a package ships them, whatever the checkout's modes were.
chmod -R u=rwX,go=rX "$root"
chmod 0755 "$program" "$root/usr/games/tidecrawler"

# The control file: dependencies from the libraries the program links, the installed size.
mkdir -p "$meta/debian" "$root/DEBIAN"
cp packaging/control packaging/changelog "$meta/debian/"
(
  cd "$meta"
  dpkg-shlibdeps -Tdebian/substvars "../../$program"
  dpkg-gencontrol -ptidecrawler -P"../../$root" -Tdebian/substvars -fdebian/files
)
(cd "$root" && find usr -type f -print0 | LC_ALL=C sort -z | xargs -0 md5sum >DEBIAN/md5sums)
chmod 0644 "$root/DEBIAN/control" "$root/DEBIAN/md5sums"

SOURCE_DATE_EPOCH=$(dpkg-parsechangelog -l packaging/changelog -S Timestamp) \
  dpkg-deb --root-owner-group -Zxz --build "$root" "$deb" >/dev/null
echo "$PWD/$deb"
