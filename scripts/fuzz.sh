#!/usr/bin/env bash
# fuzz.sh [seconds [runs]]: builds the libFuzzer targets of tests/fuzz with clang (ASan and UBSan) in
# build-fuzz and runs each one, two at a time, starting from its committed seed corpus. Without
# arguments every target runs a fixed number of inputs (at least 200 thousand each); with `seconds` each
# runs that long, or until `runs` inputs when that comes first. One line per target; the exit status is
# non-zero when any target crashed, leaked or drew a sanitizer report (its log and the input that did
# it stay in build-fuzz/artifacts/).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${TIDE_FUZZ_BUILD:-$root/build-fuzz}
jobs=${TIDE_FUZZ_JOBS:-2}
seconds=${1:-}
runs=${2:-}

# Inputs per target for the fixed run: at least 200 thousand each, and about 30 seconds for the fast
# targets on the reference machine. The save target drives the whole game and takes three and a half
# minutes for its share, so it starts first and the others run beside it, one after another.
declare -A fixed=(
  [png]=1000000 [ogg]=300000 [wav]=1000000 [text]=700000 [databuffer]=330000
  [url]=320000 [http]=200000 [save]=200000
)
targets=(save png ogg wav text databuffer url http)

command -v clang++ >/dev/null || { echo "fuzz.sh: clang++ is missing (scripts/deps.sh test installs it)" >&2; exit 2; }
mkdir -p "$build"
if [ ! -f "$build/CMakeCache.txt" ]; then
  CC=clang CXX=clang++ cmake -S "$root" -B "$build" -DTIDE_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    >"$build/configure.log" 2>&1 || { cat "$build/configure.log" >&2; exit 2; }
fi
log=$build/build.log
if ! cmake --build "$build" -j"$jobs" --target "${targets[@]/#/fuzz_}" >"$log" 2>&1; then
  tail -n 40 "$log" >&2
  exit 2
fi

mkdir -p "$build/artifacts" "$build/corpus"
export ALSOFT_DRIVERS=null
# Leaks are reported at the end of the run and on inputs that raise the heap; either fails the target.
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:allocator_may_return_null=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}

run_one() {
  local t=$1 out=$build/artifacts/$t
  mkdir -p "$out" "$build/corpus/$t"
  # The fixed run is the same every time (one seed); it still stops after ten minutes on a slow machine.
  local limit=(-runs="${fixed[$t]}" -seed=1 -max_total_time=600)
  if [ -n "$seconds" ]; then
    limit=(-max_total_time="$seconds")
    [ -n "$runs" ] && limit+=(-runs="$runs")
  fi
  # New inputs go to the scratch corpus in the build folder; the committed seeds are only read.
  "$build/tests/fuzz/fuzz_$t" "${limit[@]}" -rss_limit_mb=2048 -timeout=20 -print_final_stats=1 \
    -artifact_prefix="$out/" "$build/corpus/$t" "$root/tests/fuzz/$t" >"$out/log" 2>&1
}

summary() {
  local t=$1 status=$2 out=$build/artifacts/$t/log
  local execs cov ft verdict=pass
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$out" | tail -n 1)
  cov=$(grep -o 'cov: [0-9]*' "$out" | tail -n 1 | cut -d' ' -f2)
  ft=$(grep -o 'ft: [0-9]*' "$out" | tail -n 1 | cut -d' ' -f2)
  if [ "$status" -ne 0 ] || grep -qE 'ERROR: (AddressSanitizer|LeakSanitizer|libFuzzer)|runtime error:' "$out"; then
    verdict="FAIL (see $out)"
  fi
  printf 'fuzz_%-10s %10s runs  coverage %5s edges %6s features  %s\n' "$t" "${execs:-?}" "${cov:-?}" "${ft:-?}" "$verdict"
  [ "$verdict" = pass ]
}

declare -A target_of=()
passed=0 failed=0
pending=("${targets[@]}")
while [ ${#pending[@]} -gt 0 ] || [ ${#target_of[@]} -gt 0 ]; do
  while [ ${#pending[@]} -gt 0 ] && [ ${#target_of[@]} -lt "$jobs" ]; do
    t=${pending[0]}
    pending=("${pending[@]:1}")
    run_one "$t" &
    target_of[$!]=$t
  done
  # Report whichever target ends first, then refill its place.
  status=0
  wait -n -p ended "${!target_of[@]}" || status=$?
  t=${target_of[$ended]}
  unset "target_of[$ended]"
  if summary "$t" "$status"; then passed=$((passed + 1)); else failed=$((failed + 1)); fi
done
echo "fuzz: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
