#!/usr/bin/env bash
# Installs what is missing, builds the game and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh play
cmake -S . -B build >/dev/null
cmake --build build -j2 --target tidecrawler
if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  echo "No display found: start the game from a desktop session (or set DISPLAY, e.g. under Xvfb)." >&2
  exit 1
fi
exec build/tidecrawler "$@"
