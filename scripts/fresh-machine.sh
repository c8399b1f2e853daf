#!/usr/bin/env bash
# fresh-machine.sh [trixie|bookworm] [--stages LIST]: proves the README's set-up on a fresh Debian 13
# (trixie, the default) or Debian 12 (bookworm): makes a minimal system with debootstrap in a temporary
# folder, copies this tree into it (as committed), and runs there, as a newcomer would:
#   1. the play command without a display: it must say so and exit 1;
#   2. the play command under a virtual display: the window opens and shows the main menu;
#   3. the test command (every stage, or the stages listed, as scripts/test.sh --stages takes them);
#   4. the Debian package (scripts/fresh-package.sh): the source package and then the binary package
#      from it, built in an untouched copy of the fresh system that gets only the declared build
#      dependencies; installed with apt-get, its autopkgtest run, then purged without a trace in /usr.
# Prints each step's time and the disk used. Run as root. Everything it makes is unmounted and removed
# at the end, also when it fails or is interrupted.
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$PWD

die() { echo "fresh-machine: $*" >&2; exit 1; }
release=trixie test_args=()
while [ $# -gt 0 ]; do
  case "$1" in
  trixie | bookworm) release=$1 ;;
  --stages) test_args=(--stages "${2:-}") && shift ;;
  *) die "usage: $0 [trixie|bookworm] [--stages plain,package,asan,tsan,fuzz]" ;;
  esac
  shift
done
case $release in trixie) version=13 ;; bookworm) version=12 ;; esac
[ "$(id -u)" -eq 0 ] || die "must run as root (it mounts and chroots)"
git rev-parse HEAD >/dev/null 2>&1 || die "not a git checkout"

if ! command -v debootstrap >/dev/null; then
  echo "Installing debootstrap on this machine"
  { apt-get update -q && DEBIAN_FRONTEND=noninteractive apt-get install -y -q debootstrap; } >/tmp/fresh-debootstrap.log 2>&1 ||
    { tail -n 20 /tmp/fresh-debootstrap.log >&2; die "could not install debootstrap"; }
fi

# The archive comes from this machine's own apt configuration: the one that serves its Debian 12, which
# serves the other releases under the same address.
mirror=$(apt-get indextargets --format '$(RELEASE) $(REPO_URI)' 'Created-By: Packages' 2>/dev/null |
  awk '$1 == "bookworm" { print $2; exit }')
[ -n "$mirror" ] || die "no Debian 12 (bookworm) archive in this machine's apt sources"

root=$(mktemp -d "${TMPDIR:-/var/tmp}/tidecrawler-fresh.XXXXXX")
chmod 0755 "$root" # the new system's own /, which every user must be able to enter
mounts=()

processes_inside() {
  local p
  for p in /proc/[0-9]*; do
    [ "$(readlink "$p/root" 2>/dev/null)" = "$root" ] && echo "${p#/proc/}"
  done
  return 0
}

cleanup() {
  local status=$? i pids
  trap '' INT TERM
  pids=$(processes_inside)
  [ -n "$pids" ] && kill $pids 2>/dev/null && sleep 1
  pids=$(processes_inside)
  [ -n "$pids" ] && kill -9 $pids 2>/dev/null && sleep 0.5
  for ((i = ${#mounts[@]} - 1; i >= 0; i--)); do
    umount "${mounts[i]}" 2>/dev/null || umount -l "${mounts[i]}" 2>/dev/null || true
  done
  # Never delete through a mount that is still there (that would empty the host's /dev).
  if grep -q " $root/" /proc/mounts; then
    echo "fresh-machine: mounts are left under $root; not removing it" >&2
    grep " $root/" /proc/mounts >&2
    exit 1
  fi
  rm -rf --one-file-system "$root"
  exit "$status"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

mount_in() { # type-or---bind source target
  mkdir -p "$root$3"
  if [ "$1" = --bind ]; then mount --bind "$2" "$root$3"; else mount -t "$1" "$2" "$root$3"; fi
  mounts+=("$root$3")
}

steps=()
t_step=0
begin() { t_step=$(date +%s); echo; echo "=== $1"; }
end() { # name
  local t=$(($(date +%s) - t_step)) disk
  disk=$(du -sx --block-size=1M "$root" | cut -f1)
  steps+=("$(printf '%-44s %5d s   disk %6d MB' "$1" "$t" "$disk")")
}

inside() { # command...: runs in the new system as root, with a plain environment
  chroot "$root" /usr/bin/env -i HOME=/root TERM=dumb LANG=C.UTF-8 \
    PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin "$@"
}
# The same with a network of its own (loopback only), so that its displays and test servers cannot
# meet anything else running on this machine.
inside_isolated() {
  unshare --net /bin/bash -c 'ip link set lo up 2>/dev/null || true; exec "$@"' -- \
    chroot "$root" /usr/bin/env -i HOME=/root TERM=dumb LANG=C.UTF-8 \
    PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin "$@"
}

# Shell functions for the new system. show_menu DISPLAY COMMAND...: starts a virtual display with its
# screen in /tmp/fb, runs the command on it in the background ($game, output in /tmp/game.log) and
# waits up to 60 s for the main menu's colours; fails if they never show or the command ends first.
# stop_display: ends the command and the display and shows what the command printed.
display_steps='
show_menu() {
  local d=$1
  shift
  mkdir -p /tmp/fb
  Xvfb :$d -screen 0 640x480x24 -fbdir /tmp/fb -nolisten tcp >/tmp/xvfb.log 2>&1 &
  xvfb=$!
  for _ in $(seq 50); do [ -e /tmp/.X11-unix/X$d ] && break; sleep 0.1; done
  export DISPLAY=:$d
  ALSOFT_DRIVERS=null "$@" >/tmp/game.log 2>&1 &
  game=$!
  for _ in $(seq 60); do
    sleep 1
    /tmp/menu-colours /tmp/fb/Xvfb_screen0 && return 0
    kill -0 $game 2>/dev/null || return 1
  done
  return 1
}
stop_display() {
  kill $game 2>/dev/null; wait $game 2>/dev/null
  kill $xvfb 2>/dev/null; wait $xvfb 2>/dev/null
  echo "--- the game printed:"; cat /tmp/game.log
}
'

. "$repo/scripts/fresh-package.sh"

t_all=$(date +%s)
begin "minimal Debian $version ($release, debootstrap --variant=minbase) from $mirror"
debootstrap --variant=minbase "$release" "$root" "$mirror" >"$root.debootstrap.log" 2>&1 ||
  { tail -n 30 "$root.debootstrap.log" >&2; rm -f "$root.debootstrap.log"; die "debootstrap failed"; }
rm -f "$root.debootstrap.log"
# The new system reads the same archives, with the same settings, as this one, for its own release:
# this machine's sources with every "bookworm" suite (bookworm-updates, bookworm-security...) renamed.
rm -f "$root/etc/apt/sources.list"
for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list /etc/apt/sources.list.d/*.sources; do
  [ -f "$f" ] && sed -E "s/\bbookworm/$release/g" "$f" >"$root$f"
done
# Only the settings made by hand: a package's own file would meet the new system's copy of it as a
# changed configuration file, and its installation would stop to ask.
for f in /etc/apt/apt.conf.d/*; do
  [ -f "$f" ] && ! dpkg -S "$f" >/dev/null 2>&1 && cp -a "$f" "$root$f"
done
cp /etc/resolv.conf "$root/etc/resolv.conf"
fresh_package_copy
mount_in proc proc /proc
mount_in sysfs sys /sys
mount_in --bind /dev /dev
mount_in --bind /dev/pts /dev/pts
mount_in tmpfs tmpfs /dev/shm
mount_in tmpfs tmpfs /tmp
for tool in gcc g++ cmake Xvfb; do
  inside sh -c "command -v $tool" >/dev/null && die "the new system already has $tool: it is not fresh"
done
end "debootstrap"

# The tree as committed, where a newcomer's clone would be.
mkdir -p "$root/root/tidecrawler"
git archive HEAD | tar -x -C "$root/root/tidecrawler"

begin "README play command, no display"
set +e
out=$(inside bash -c 'cd /root/tidecrawler && scripts/play.sh' 2>&1)
status=$?
set -e
echo "$out" | tail -n 15
[ "$status" -eq 1 ] || die "the play command without a display exited $status, not 1"
echo "$out" | grep -q "No display found" || die "the play command without a display did not say so"
echo "$out" | grep -q "Installing" || die "the play command installed nothing on a fresh system"
inside test -x /root/tidecrawler/build/tidecrawler || die "the play command built no game"
inside grep -q '^TIDE_TESTS:BOOL=OFF' /root/tidecrawler/build/CMakeCache.txt ||
  die "the play command configured its build with the tests on"
inside sh -c 'command -v Xvfb' >/dev/null && die "the play command installed test packages"
end "play command without a display (installs, builds)"

begin "README play command under a virtual display"
# Only the display server is added for this step, and taken away again afterwards, so that the test
# command below still has to install everything it needs itself.
inside bash -c 'DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends xvfb xauth' \
  >/dev/null 2>&1 || die "could not install Xvfb in the new system"
inside g++ -O2 -o /tmp/menu-colours /root/tidecrawler/scripts/menu-colours.cpp ||
  die "could not build the screen checker"
inside_isolated bash -c "$display_steps"'
  cd /root/tidecrawler
  show_menu 7 scripts/play.sh
  ok=$?
  /tmp/menu-colours -v /tmp/fb/Xvfb_screen0 || true
  stop_display
  exit $ok' || die "the main menu did not appear on the virtual display"
inside bash -c 'DEBIAN_FRONTEND=noninteractive apt-get purge -y -q --autoremove xvfb xauth' >/dev/null 2>&1 ||
  die "could not remove Xvfb again"
end "play command under Xvfb (window shows the menu)"

begin "README test command"
set +e
inside bash -c 'cd /root/tidecrawler && scripts/deps.sh test' 2>&1
inside_isolated bash -c 'cd /root/tidecrawler && scripts/test.sh "$@"' - "${test_args[@]}" 2>&1 |
  tee "$root/tmp/test.log"
status=${PIPESTATUS[0]}
set -e
end "test command (installs, builds, runs its stages)"

fresh_package

echo
echo "=== fresh machine summary: Debian $version ($release)"
printf '%s\n' "${steps[@]}"
printf '%-44s %5d s\n' "total" "$(($(date +%s) - t_all))"
echo
# The test command's own summary closes the output.
sed -n '/^=== test summary/,$p' "$root/tmp/test.log"
[ "$status" -eq 0 ] || die "the test command failed (status $status)"
