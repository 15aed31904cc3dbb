#!/usr/bin/env bash
# The release checks, from a machine set up by tools/ci/install-deps.sh:
#
# - the pilots' package: the win32-release preset's Volantis.dll (i686, published
#   reference set) and Volantis-<version>-win32.zip (the package target), then the
#   check of the package's contents (tools/release, label "release");
# - the published reference data: a native build with the published set
#   (build/native-shipped) and its reference-data tests (labels "reference" and
#   "docs").
#
# Both trees' tests run in one ctest run, so the output ends with ctest's summary.
# Exits non-zero when a build or a test fails. Nothing runs under Wine.
set -uo pipefail
here=$(cd "$(dirname "$0")/../.." && pwd)
cd "$here"

jobs=${VOLANTIS_JOBS:-2}
# Nothing of ours talks through a proxy.
unset http_proxy https_proxy HTTP_PROXY HTTPS_PROXY all_proxy ALL_PROXY no_proxy NO_PROXY

logdir=build/logs
mkdir -p "$logdir"
native=build/native-shipped
release=build/win32-release
native_targets=(validation_tests validation_reference_data_tests refdata_tests volantis_refdata docs_tests)

# run NAME LOG COMMAND...: runs one step, its output kept in the log; on failure
# shows the log's end and stops.
run() {
  local name=$1 log=$2
  shift 2
  echo "=== $name"
  if ! "$@" >>"$log" 2>&1; then
    tail -n 80 "$log"
    echo "=== $name FAILED (log: $log)"
    exit 1
  fi
}

: >"$logdir/native-shipped.log"
: >"$logdir/win32-release.log"
run "native build with the published reference set ($native)" "$logdir/native-shipped.log" \
  cmake -S . -B "$native" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVOLANTIS_REFERENCE_SET=shipped
run "build: ${native_targets[*]}" "$logdir/native-shipped.log" \
  cmake --build "$native" -j "$jobs" --target "${native_targets[@]}"
run "configure the release (preset win32-release)" "$logdir/win32-release.log" cmake --preset win32-release
run "build Volantis.dll" "$logdir/win32-release.log" cmake --build --preset win32-release -j "$jobs"
run "package" "$logdir/win32-release.log" cmake --build --preset win32-release -j "$jobs" --target package
ls -l "$release"/Volantis-*-win32.zip

# One ctest run over both trees: the native reference tests and the package check
# (the release build's own folder of it, without the build's Wine tests).
suite=build/release-checks
mkdir -p "$suite"
cat >"$suite/CTestTestfile.cmake" <<TESTS
# Written by tools/ci/release-checks.sh: the release checks of both build trees.
subdirs("$here/$native")
subdirs("$here/$release/tools/release")
TESTS
echo "=== tests"
ctest --test-dir "$suite" -L 'reference|docs|release' --no-tests=error --output-on-failure -j "$jobs"
