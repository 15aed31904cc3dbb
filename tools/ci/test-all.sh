#!/usr/bin/env bash
# Every test of the project, from a fresh Debian 12 machine: installs what is
# needed, builds both halves, runs the native suite under AddressSanitizer +
# UndefinedBehaviorSanitizer, the threaded tests under ThreadSanitizer, and the
# Windows half under Wine. Ends with one line "N passed, N failed".
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
status=0
summary_lines=()

# run_suite NAME PRESET [ctest args...]
run_suite() {
  local name=$1 preset=$2
  shift 2
  echo "=== $name: configure and build ($preset)"
  if ! cmake --preset "$preset" >"$logdir/$preset.log" 2>&1; then
    cat "$logdir/$preset.log"; echo "=== $name: configure FAILED"; status=1; total_failed=$((total_failed + 1)); return
  fi
  if ! cmake --build --preset "$preset" -j "$jobs" >>"$logdir/$preset.log" 2>&1; then
    tail -n 80 "$logdir/$preset.log"; echo "=== $name: build FAILED"; status=1; total_failed=$((total_failed + 1)); return
  fi
  echo "=== $name: tests"
  local out
  out=$(mktemp)
  ctest --preset "$preset" -j "$jobs" "$@" 2>&1 | tee "$out"
  local line passed failed
  line=$(grep -E '[0-9]+% tests passed, [0-9]+ tests failed out of [0-9]+' "$out" | tail -n 1)
  if [ -n "$line" ]; then
    failed=$(echo "$line" | sed -E 's/.* ([0-9]+) tests failed out of ([0-9]+).*/\1/')
    local all
    all=$(echo "$line" | sed -E 's/.* tests failed out of ([0-9]+).*/\1/')
    passed=$((all - failed))
    total_passed=$((total_passed + passed))
    total_failed=$((total_failed + failed))
    summary_lines+=("$name: $passed passed, $failed failed")
    [ "$failed" = 0 ] || status=1
  elif grep -q 'No tests were found' "$out"; then
    summary_lines+=("$name: no tests")
  else
    summary_lines+=("$name: ctest did not finish")
    status=1
    total_failed=$((total_failed + 1))
  fi
  rm -f "$out"
}

run_suite "native (ASan+UBSan)" native-asan
run_suite "native (TSan, threaded code)" native-tsan -L thread
run_suite "win32 under Wine" win32


echo
echo "=== summary"
for l in "${summary_lines[@]}"; do echo "$l"; done
echo "$total_passed passed, $total_failed failed"
exit $status
