#!/usr/bin/env bash
# Installs what is missing, builds and runs every test: a plain build, then the same suite under
# AddressSanitizer and UndefinedBehaviorSanitizer, then the threaded suites under ThreadSanitizer.
# Pass a CTest label (unit, gl, audio, net, e2e, assets, tsan) to run one group in the plain build only.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh test

jobs=2
label="${1:-}"

build() { # folder, display number, extra cmake flags; TARGETS limits what is built
  local dir=$1 disp=$2; shift 2
  cmake -S . -B "$dir" -DTIDE_TESTS=ON -DTIDE_TEST_DISPLAY="$disp" "$@" >/dev/null
  cmake --build "$dir" -j"$jobs" ${TARGETS:+--target $TARGETS}
}

build build 91
if [ -n "$label" ]; then
  (cd build && ctest -L "$label" --output-on-failure -j"$jobs")
  exit
fi
(cd build && ctest --output-on-failure -j"$jobs")

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
build build-asan 92 -DTIDE_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug
(cd build-asan && ctest --output-on-failure -j"$jobs" -LE "e2e|assets")

# Only the suites with worker threads run under ThreadSanitizer.
TARGETS="data_tests net_tests" build build-tsan 93 -DTIDE_TSAN=ON -DCMAKE_BUILD_TYPE=Debug
(cd build-tsan && ctest --output-on-failure -j"$jobs" -L "tsan")
