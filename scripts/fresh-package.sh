# The Debian package step of scripts/fresh-machine.sh, which sources this file and uses its helpers
# (root, repo, die, begin, end, mount_in, inside, inside_isolated). The package is built the way
# Debian builds it: in a system that has nothing but its declared build dependencies. That system is
# a copy of the fresh debootstrap, kept untouched inside it (under $clean) from before the first step
# installs anything, so the build needs no second debootstrap and sees nothing the test command
# installed.
clean=/var/tmp/clean-system

# Keeps the untouched copy. Call it once the new system has its apt sources and before anything is
# installed or mounted in it.
fresh_package_copy() {
  mkdir -p "$root$clean"
  tar -C "$root" --one-file-system --exclude=".$clean" -c . | tar -C "$root$clean" -x
}

in_clean() { root=$root$clean inside "$@"; }
in_clean_isolated() { root=$root$clean inside_isolated "$@"; }

# Builds the source package and then the binary package from it in the copy, installs it with
# apt-get, runs its autopkgtest (the installed game shows its menu, saves, quits) and purges it.
fresh_package() {
  local log=$root$clean/tmp/package.log t deb depends dep section left
  begin "Debian package: clean build, install, autopkgtest, purge"
  mount_in proc proc "$clean/proc"
  mount_in sysfs sys "$clean/sys"
  mount_in --bind /dev "$clean/dev"
  mount_in --bind /dev/pts "$clean/dev/pts"
  mount_in tmpfs tmpfs "$clean/dev/shm"
  mount_in tmpfs tmpfs "$clean/tmp"
  mkdir -p "$root$clean/root/tidecrawler"
  (cd "$repo" && git archive HEAD) | tar -x -C "$root$clean/root/tidecrawler"

  t=$(date +%s)
  in_clean bash -c 'cd /root/tidecrawler && apt-get update -q &&
    DEBIAN_FRONTEND=noninteractive apt-get build-dep -y -q --no-install-recommends ./' >"$log" 2>&1 ||
    { tail -n 20 "$log" >&2; die "could not install the build dependencies"; }
  for tool in Xvfb xdotool clang lintian; do
    in_clean sh -c "command -v $tool" >/dev/null && die "the clean build system has $tool: it is not clean"
  done
  echo "build dependencies: $(($(date +%s) - t)) s, $(in_clean dpkg-query -W -f='.\n' | wc -l) packages installed"
  t=$(date +%s)
  in_clean bash -c 'set -e
    cd /root/tidecrawler && dpkg-buildpackage -S -us -uc
    mkdir /root/build && cd /root/build && dpkg-source -x ../tidecrawler_*.dsc tidecrawler
    cd tidecrawler && dpkg-buildpackage -us -uc' >"$log" 2>&1 ||
    { tail -n 30 "$log" >&2; die "the package build failed"; }
  echo "source package, then binary package from it: $(($(date +%s) - t)) s"
  deb=$(in_clean sh -c 'ls /root/build/tidecrawler_*.deb')
  in_clean sh -c 'cd /root/build && sha256sum *.deb *.dsc *.tar.*'
  echo "package: ${deb##*/}, $(du -k "$root$clean$deb" | cut -f1) kB"

  # Only run-time libraries: every dependency is in the archive's libs section.
  depends=$(in_clean dpkg-deb -f "$deb" Depends)
  echo "depends: $depends"
  for dep in $(echo "$depends" | sed -E 's/\([^)]*\)//g; s/[,|]/ /g'); do
    section=$(in_clean apt-cache show --no-all-versions "$dep" | sed -n 's/^Section: //p')
    [ "$section" = libs ] || die "the package depends on $dep (section ${section:-unknown}), not a run-time library"
  done
  in_clean bash -c "DEBIAN_FRONTEND=noninteractive apt-get install -y -q $deb" >"$log" 2>&1 ||
    { tail -n 20 "$log" >&2; die "apt-get could not install the package"; }
  echo "installed: $(in_clean dpkg-query -W -f='${Installed-Size}' tidecrawler) kB"
  in_clean dpkg -L tidecrawler >"$root$clean/tmp/package-files"

  # The autopkgtest with its null runner: its test dependencies are installed first, so that the test
  # itself runs without a network, on a loopback of its own.
  in_clean bash -c 'DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends \
    autopkgtest g++ xauth xdotool xvfb' >"$log" 2>&1 ||
    { tail -n 20 "$log" >&2; die "could not install autopkgtest"; }
  in_clean_isolated bash -c 'autopkgtest --no-built-binaries /root/build/tidecrawler_*.dsc -- null' ||
    die "the autopkgtest failed"

  in_clean bash -c 'DEBIAN_FRONTEND=noninteractive apt-get purge -y -q tidecrawler' >"$log" 2>&1 ||
    { tail -n 20 "$log" >&2; die "apt-get could not purge the package"; }
  left=$(in_clean bash -c 'while read -r f; do
      if [ ! -d "$f" ] && { [ -e "$f" ] || [ -L "$f" ]; }; then echo "$f"; fi
    done </tmp/package-files
    find /usr -name "*tidecrawler*"')
  [ -z "$left" ] || die "files of the package are left after the purge: $left"
  echo "purged: no file of the package left under /usr"
  end "Debian package (clean build, install, test)"
}
