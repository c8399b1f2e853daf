#!/usr/bin/env bash
# Installs what is missing, builds and runs every test, in stages: a plain build; the same suite under
# AddressSanitizer and UndefinedBehaviorSanitizer; the threaded suites under ThreadSanitizer; every
# fuzz target for a fixed number of inputs (scripts/fuzz.sh, which also runs them longer); the Debian
# package (scripts/package.sh, source and binary) and its checks. Every
# stage runs even when an earlier one failed; a summary of all of them closes the output, and the exit
# status is non-zero if any stage failed.
# Pass a CTest label (unit, gl, audio, net, e2e, wayland, assets, tsan, slow) to run one group in the
# plain build only, or "package" for the package stage only; or --stages with a comma-separated list of
# stages (plain, package, asan, tsan, fuzz) to run those in full.
set -uo pipefail
cd "$(dirname "$0")/.."

all_stages=plain,package,asan,tsan,fuzz
label="${1:-}" stages=$all_stages
if [ "$label" = --stages ]; then
  stages=${2:-} label=
  for s in ${stages//,/ }; do
    case ",$all_stages," in *",$s,"*) ;; *) echo "unknown stage '$s' (stages: $all_stages)" >&2; exit 2 ;; esac
  done
elif [ "$label" = package ]; then
  stages=package label=
elif [ -n "$label" ]; then
  stages=plain
fi
scripts/deps.sh test || exit 1

jobs=2
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

# The package and its files as installed, judged by Debian's own validators: the menu entry, the
# software-centre metainfo, the manual page and lintian on the source and binary packages.
package() {
  local deb root p=0 f=0 out status
  check() { # name, pattern, command...: shows the command's output; fails if the command fails or
    local name=$1 pattern=$2 # prints a line matching the pattern
    shift 2
    out=$("$@" 2>&1)
    status=$?
    out=$(echo "$out" | grep -v 'running with root privileges')
    if [ "$status" -eq 0 ] && ! echo "$out" | grep -qE "$pattern"; then
      p=$((p + 1)) && echo "ok      $name"
    else
      f=$((f + 1)) && echo "FAILED  $name"
    fi
    [ -z "$out" ] || echo "$out" | sed 's/^/        /'
  }
  local t0=$SECONDS
  scripts/package.sh -F | tee "$logs/package.out"
  status=${PIPESTATUS[0]}
  deb=$(tail -n 1 "$logs/package.out")
  [ "$status" -eq 0 ] && [ -f "$deb" ] || { echo "0 passed, 1 failed"; return 1; }
  root=$(echo build-release/tidecrawler-*/debian/tidecrawler) # the files as debhelper installed them
  echo "package: $deb, $(du -k "$deb" | cut -f1) kB; installed $(dpkg-deb -f "$deb" Installed-Size) kB;" \
    "made in $((SECONDS - t0)) s"
  echo "depends: $(dpkg-deb -f "$deb" Depends)"
  check "desktop-file-validate" . desktop-file-validate "$root/usr/share/applications/tidecrawler.desktop"
  check "appstreamcli validate" '^[EW]:' appstreamcli validate --no-net "$root"/usr/share/metainfo/*.metainfo.xml
  check "man -l" . sh -c 'LC_ALL=C.UTF-8 MANROFFSEQ= MANWIDTH=80 \
    man --warnings -E UTF-8 -l -Tutf8 -Z "$1" >/dev/null' - "$root/usr/share/man/man6/tidecrawler.6.gz"
  # An error or a warning fails; lintian's notes and pedantic tags are shown.
  check "lintian --pedantic" '^[EW]:' lintian --pedantic --display-info build-release/*.changes
  echo "$p passed, $f failed"
  [ "$f" -eq 0 ]
}

wanted() { case ",$stages," in *",$1,"*) return 0 ;; esac; return 1; }
if wanted plain; then stage plain plain; fi
if wanted package; then stage package package; fi
if wanted asan; then stage asan+ubsan asan; fi
if wanted tsan; then stage tsan tsan; fi
if wanted fuzz; then stage fuzz scripts/fuzz.sh; fi

echo
echo "=== test summary"
total_p=0 total_f=0
for i in "${!names[@]}"; do
  printf '%-12s %5d passed, %d failed\n' "${names[i]}" "${passed[i]}" "${failed[i]}"
  total_p=$((total_p + passed[i])) total_f=$((total_f + failed[i]))
done
echo "$total_p passed, $total_f failed"
[ "$total_f" -eq 0 ]
