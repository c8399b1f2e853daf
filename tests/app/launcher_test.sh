#!/usr/bin/env bash
# The launcher's move of a save left in the home folder: a player's own relative link, a link to
# nothing, and two launchers started at once, ROUNDS times with the data folder on the home folder's
# file system and ROUNDS times on a tmpfs of its own (as root; without root that half is skipped).
# Usage: launcher_test.sh LAUNCHER_IN [ROUNDS]. Prints the counts; fails on any lost save, false message
# or launcher that did not start the game.
set -u
launcher_in=$1 rounds=${2:-20}
work=$(mktemp -d /tmp/tide-launcher.XXXXXX)
mnt=$work/tmpfs
cleanup() {
  mountpoint -q "$mnt" 2>/dev/null && umount "$mnt"
  rm -rf "$work"
}
trap cleanup EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# The launcher as installed, starting a stand-in program that shows where it runs and the save it sees.
sed "s|@TIDE_PROGRAM@|$work/program|" "$launcher_in" >"$work/tidecrawler"
printf '#!/bin/sh\necho "started in $PWD with: $(cat .zindlestate 2>&1)"\n' >"$work/program"
chmod +x "$work/tidecrawler" "$work/program"

home=$work/home
launch() { # data home, output file: runs the launcher, prints its status
  HOME=$home XDG_DATA_HOME=$1 sh "$work/tidecrawler" >"$2" 2>&1
}

# A save that is the player's own relative link: the data folder gets a link that still resolves, the
# player's file stays where it is, and the game reads it.
mkdir -p "$home/saves"
echo "best 4321" >"$home/saves/tc.state"
ln -s saves/tc.state "$home/.zindlestate"
xdg=$work/xdg-link
launch "$xdg" "$work/out" || fail "relative link: the launcher failed: $(cat "$work/out")"
grep -q "started in $xdg/tidecrawler with: best 4321" "$work/out" ||
  fail "relative link: the game did not see the save: $(cat "$work/out")"
[ "$(readlink -e "$xdg/tidecrawler/.zindlestate")" = "$home/saves/tc.state" ] ||
  fail "relative link: the data folder's save does not lead to the player's file"
[ ! -e "$home/.zindlestate" ] && [ ! -L "$home/.zindlestate" ] || fail "relative link: the old link is still there"
[ "$(cat "$home/saves/tc.state")" = "best 4321" ] || fail "relative link: the player's file changed"

# A link to nothing is left where it is, and the launcher says so and starts the game.
ln -s saves/missing "$home/.zindlestate"
xdg=$work/xdg-dangling
launch "$xdg" "$work/out" || fail "dangling link: the launcher failed: $(cat "$work/out")"
grep -q "started in" "$work/out" || fail "dangling link: the game did not start: $(cat "$work/out")"
grep -q "left where it is" "$work/out" || fail "dangling link: nothing was said: $(cat "$work/out")"
[ -L "$home/.zindlestate" ] || fail "dangling link: the link was removed"
[ ! -e "$xdg/tidecrawler/.zindlestate" ] && [ ! -L "$xdg/tidecrawler/.zindlestate" ] ||
  fail "dangling link: something was put in the data folder"
rm -f "$home/.zindlestate"

# Two launchers at once, each round from a fresh data folder and a save in the home folder.
double_starts() { # data home, label
  local xdg=$1 label=$2 lost=0 false=0 unstarted=0 i n out pids=() outs=(a b)
  for ((i = 1; i <= rounds; i++)); do
    rm -rf "$xdg/tidecrawler"
    echo "save $i" >"$home/.zindlestate"
    launch "$xdg" "$work/a" &
    pids[0]=$!
    launch "$xdg" "$work/b" &
    pids[1]=$!
    for n in 0 1; do
      out=$work/${outs[n]}
      if ! wait "${pids[n]}" || ! grep -q "started in $xdg/tidecrawler with: save $i" "$out"; then
        unstarted=$((unstarted + 1))
      fi
      grep -q "cannot\|left where it is" "$out" && false=$((false + 1))
    done
    [ "$(cat "$xdg/tidecrawler/.zindlestate" 2>/dev/null)" = "save $i" ] || lost=$((lost + 1))
    [ ! -e "$home/.zindlestate" ] || fail "$label round $i: the old save is still there"
  done
  echo "$label: $rounds rounds, $lost saves lost, $false false messages, $unstarted launchers that did not start the game"
  [ "$lost" -eq 0 ] && [ "$false" -eq 0 ] && [ "$unstarted" -eq 0 ] || fail "$label"
}

double_starts "$work/xdg" "one file system"
mkdir -p "$mnt"
if [ "$(id -u)" -eq 0 ] && mount -t tmpfs -o size=8m tmpfs "$mnt" 2>/dev/null; then
  double_starts "$mnt" "across file systems"
else
  echo "across file systems: skipped (mounting a tmpfs needs root)"
fi

[ "$failures" -eq 0 ] && echo "all passed"
[ "$failures" -eq 0 ]
