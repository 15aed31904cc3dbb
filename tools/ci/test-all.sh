#!/usr/bin/env bash
# Every test of the project, from a fresh Debian 12 machine: installs what is
# needed, builds both halves, runs the native suite under AddressSanitizer +
# UndefinedBehaviorSanitizer (with the static check of the 32-bit module), the
# threaded tests under ThreadSanitizer, and the Windows half under Wine:
#   - the 64-bit Windows build (win64) under 64-bit Wine, on every machine;
#   - the 32-bit Windows build (win32, the product) under 32-bit Wine: directly
#     where the machine executes 32-bit programs, and inside a small emulated
#     machine (tools/vm/run-in-vm.sh) where it does not; the summary names which.
#     The 32-bit build is also checked statically on every machine.
# VOLANTIS_WINE_ARCH=win32 or win64 runs only that Windows suite under Wine.
# VOLANTIS_VM_TIME_LIMIT (seconds, default 2700) bounds the emulated machine's run.
# Ends with one line "N passed, N failed".
set -uo pipefail
here=$(cd "$(dirname "$0")/../.." && pwd)
cd "$here"

jobs=${VOLANTIS_JOBS:-2}
bash tools/ci/install-deps.sh || { echo "installing dependencies failed"; exit 1; }

# Nothing of ours talks through a proxy.
unset http_proxy https_proxy HTTP_PROXY HTTPS_PROXY all_proxy ALL_PROXY no_proxy NO_PROXY

logdir=build/logs
mkdir -p "$logdir"
total_passed=0
total_failed=0
total_skipped=0
status=0
summary_lines=()

# count_ctest NAME OUTPUT_FILE: adds one ctest run's counts to the totals and the
# summary; 1 when it failed or did not finish.
count_ctest() {
  local name=$1 out=$2 line all failed skipped passed
  line=$(grep -E '[0-9]+% tests passed, [0-9]+ tests failed out of [0-9]+' "$out" | tail -n 1)
  if [ -z "$line" ]; then
    if grep -q 'No tests were found' "$out"; then summary_lines+=("$name: no tests"); return 0; fi
    summary_lines+=("$name: ctest did not finish")
    total_failed=$((total_failed + 1))
    return 1
  fi
  failed=$(echo "$line" | sed -E 's/.* ([0-9]+) tests failed out of ([0-9]+).*/\1/')
  all=$(echo "$line" | sed -E 's/.* tests failed out of ([0-9]+).*/\1/')
  skipped=$(grep -cE '^[[:space:]]+[0-9]+ - .*\((Skipped|Not Run|Disabled)\)' "$out")
  passed=$((all - failed - skipped))
  total_passed=$((total_passed + passed))
  total_failed=$((total_failed + failed))
  total_skipped=$((total_skipped + skipped))
  summary_lines+=("$name: $passed passed, $failed failed, $skipped skipped")
  [ "$failed" = 0 ]
}

# build_preset NAME PRESET [cmake -D options...]: configure and build; 1 on failure.
build_preset() {
  local name=$1 preset=$2
  shift 2
  echo "=== $name: configure and build ($preset)"
  if ! cmake --preset "$preset" "$@" >"$logdir/$preset.log" 2>&1; then
    cat "$logdir/$preset.log"; echo "=== $name: configure FAILED"; status=1; total_failed=$((total_failed + 1)); return 1
  fi
  if ! cmake --build --preset "$preset" -j "$jobs" >>"$logdir/$preset.log" 2>&1; then
    tail -n 80 "$logdir/$preset.log"; echo "=== $name: build FAILED"; status=1; total_failed=$((total_failed + 1)); return 1
  fi
  return 0
}

# The first Wine job of a machine boots the template prefix, which takes minutes
# on a slow machine; done before a suite, that time is not charged to the time
# limit of whichever test happens to run first.
warm_wine() {
  echo "=== booting the $1 Wine prefix"
  bash tools/wine/run-wine.sh --arch "$1" -- cmd /c exit 0 >/dev/null 2>&1 ||
    echo "(booting the $1 Wine prefix failed; the suite says why)"
}

# run_suite NAME PRESET [--configure -DX=Y ...] [ctest args...]
run_suite() {
  local name=$1 preset=$2
  shift 2
  local configure=()
  while [ "${1:-}" = "--configure" ]; do configure+=("$2"); shift 2; done
  build_preset "$name" "$preset" "${configure[@]}" || return
  case "$preset" in win32|win64) warm_wine "$preset" ;; esac
  echo "=== $name: tests"
  local out
  out=$(mktemp)
  ctest --preset "$preset" -j "$jobs" "$@" 2>&1 | tee "$out"
  count_ctest "$name" "$out" || status=1
  rm -f "$out"
}

# run_script NAME COMMAND...: a script that ends with ctest's own summary.
run_script() {
  local name=$1
  shift
  echo "=== $name"
  local out
  out=$(mktemp)
  "$@" 2>&1 | tee "$out"
  local rc=${PIPESTATUS[0]}
  count_ctest "$name" "$out" || status=1
  [ "$rc" = 0 ] || status=1
  rm -f "$out"
}

wine_arch=${VOLANTIS_WINE_ARCH:-}
case "$wine_arch" in
  ""|win32|win64) ;;
  *) echo "VOLANTIS_WINE_ARCH must be win32 or win64, not '$wine_arch'"; exit 2 ;;
esac
probe=$(bash tools/wine/run-wine.sh --probe-32)
runs_32=$?
echo "$probe"

# The product: always built, so the 32-bit compile and the static check of its
# module run on every machine.
win32_built=0
if build_preset "win32 (32-bit build, the product)" win32; then win32_built=1; fi
run_suite "native (ASan+UBSan)" native-asan --configure "-DVOLANTIS_WIN32_DLL=$here/build/win32/sim/Modules/Volantis.dll"
run_suite "native (TSan, threaded code)" native-tsan -L thread

if [ "$wine_arch" = win32 ]; then
  summary_lines+=("win64 under 64-bit Wine: not run (VOLANTIS_WINE_ARCH=win32)")
else
  run_suite "win64 under 64-bit Wine" win64
fi
# run_win32_in_vm: the 32-bit suite under 32-bit Wine inside the emulated
# machine, for machines that do not execute 32-bit programs. The build folders
# are shared at their own paths: the suite runs what was built here, against the
# native half's stand-in race server.
run_win32_in_vm() {
  local name="win32 under 32-bit Wine, inside the emulated machine"
  echo "=== $name: this machine does not execute 32-bit programs"
  if ! bash tools/vm/run-in-vm.sh --build-image; then
    summary_lines+=("$name: FAILED: the emulated machine's image could not be built")
    total_failed=$((total_failed + 1)); status=1
    return
  fi
  run_script "the emulated machine's runner" ctest --test-dir build/native-asan -L vm --output-on-failure
  run_script "$name" bash tools/vm/run-in-vm.sh --timeout "${VOLANTIS_VM_TIME_LIMIT:-2700}" -- \
    bash -c "$(declare -f warm_wine); warm_wine win32; exec ctest --preset win32 -j $jobs"
}

if [ "$wine_arch" = win64 ]; then
  summary_lines+=("win32 under 32-bit Wine: not run (VOLANTIS_WINE_ARCH=win64)")
elif [ "$win32_built" != 1 ]; then
  summary_lines+=("win32 under 32-bit Wine: not run: the 32-bit build failed")
elif [ "$runs_32" = 0 ]; then
  run_suite "win32 under 32-bit Wine, directly on this machine" win32
else
  run_win32_in_vm
fi

run_script "release package and published reference set" bash tools/ci/release-checks.sh

echo
echo "=== summary"
for l in "${summary_lines[@]}"; do echo "$l"; done
echo "$total_passed passed, $total_failed failed, $total_skipped skipped"
exit $status
