#!/usr/bin/env bash
# Installs what building and playing need, builds the game (without the tests) and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh play
cmake -S . -B build -DTIDE_TESTS=OFF >/dev/null
cmake --build build -j2 --target tidecrawler
if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  echo "No display found: start the game from a desktop session (or set DISPLAY, e.g. under Xvfb)." >&2
  exit 1
fi
exec build/tidecrawler "$@"
