#!/usr/bin/env bash
# Installs what is missing, builds and runs every test, in stages: a plain build; the same suite under
# AddressSanitizer and UndefinedBehaviorSanitizer; the threaded suites under ThreadSanitizer; every
# fuzz target for a fixed number of inputs (scripts/fuzz.sh, which also runs them longer). Every
# stage runs even when an earlier one failed; a summary of all of them closes the output, and the exit
# status is non-zero if any stage failed.
# Pass a CTest label (unit, gl, audio, net, e2e, assets, tsan, slow) to run one group in the plain build only.
set -uo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh test || exit 1

jobs=2
label="${1:-}"
logs=$(mktemp -d /tmp/tidecrawler-test.XXXXXX)
trap 'rm -rf "$logs"' EXIT

# The sanitized build's tests take their sanitizer settings (and the leak suppressions) from CTest.

configure_and_build() { # folder, display number, extra cmake flags...; TARGETS limits what is built
  local dir=$1 disp=$2; shift 2
  cmake -S . -B "$dir" -DTIDE_TESTS=ON -DTIDE_TEST_DISPLAY="$disp" "$@" >/dev/null &&
    cmake --build "$dir" -j"$jobs" ${TARGETS:+--target $TARGETS}
}

names=() passed=() failed=()
record() { # name, log: reads the counts from a ctest log, or the "N passed, N failed" line of a stage
  local name=$1 log=$2 line p f
  line=$(grep -E '^[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -n 1)
  if [ -n "$line" ]; then
    f=$(echo "$line" | sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\1/')
    p=$(($(echo "$line" | sed -E 's/.* out of ([0-9]+).*/\1/') - f))
  else
    line=$(grep -E '(^|: )[0-9]+ passed, [0-9]+ failed' "$log" | tail -n 1)
    p=$(echo "$line" | sed -nE 's/.*([^0-9]|^)([0-9]+) passed.*/\2/p')
    f=$(echo "$line" | sed -nE 's/.* ([0-9]+) failed.*/\1/p')
  fi
  names+=("$name") passed+=("${p:-0}") failed+=("${f:-0}")
}

stage() { # name, command...: runs one stage, its output shown and kept for the summary
  local name=$1 log="$logs/$1.log" status; shift
  echo
  echo "=== stage $name"
  "$@" 2>&1 | tee "$log"
  status=${PIPESTATUS[0]}
  record "$name" "$log"
  # A stage that failed without a failing test (a build error, a crash of the runner) still counts.
  if [ "$status" -ne 0 ] && [ "${failed[-1]}" -eq 0 ]; then failed[-1]=1; fi
}

plain() {
  configure_and_build build 91 || return
  (cd build && ctest --output-on-failure -j"$jobs" ${label:+-L "$label"})
}
asan() {
  configure_and_build build-asan 92 -DTIDE_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug || return
  (cd build-asan && ctest --output-on-failure -j"$jobs" -LE "e2e|assets")
}
tsan() { # only the suites with worker threads
  TARGETS="data_tests net_tests" configure_and_build build-tsan 93 -DTIDE_TSAN=ON -DCMAKE_BUILD_TYPE=Debug ||
    return
  (cd build-tsan && ctest --output-on-failure -j"$jobs" -L "tsan")
}

stage plain plain
if [ -z "$label" ]; then
  stage asan+ubsan asan
  stage tsan tsan
  stage fuzz scripts/fuzz.sh
fi

echo
echo "=== test summary"
total_p=0 total_f=0
for i in "${!names[@]}"; do
  printf '%-12s %5d passed, %d failed\n' "${names[i]}" "${passed[i]}" "${failed[i]}"
  total_p=$((total_p + passed[i])) total_f=$((total_f + failed[i]))
done
echo "$total_p passed, $total_f failed"
[ "$total_f" -eq 0 ]
