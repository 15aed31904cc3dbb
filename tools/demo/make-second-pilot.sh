#!/usr/bin/env bash
# Remakes tools/demo/second-pilot/, the race record of a second pilot on the
# demo course that the demo compares its own pilot with: the stand-in
# simulator, with the real module, flies the second pilot's line
# (make_demo_course --second-pilot: a wider line, a little slower, the third
# gate missed in the second lap) against the stand-in race server, and the
# record the module writes is copied here. Run it (as root, packages
# installed) whenever the demo course or the record's format changes.
#
#   bash tools/demo/make-second-pilot.sh
#
# VOLANTIS_WINE_ARCH=win32 (the default where this machine executes 32-bit
# programs) or win64 (the default elsewhere): the record is the same from both.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
cd "$root"

if [ "${1:-}" = "--fly" ]; then
  # The inner half, run by tools/netns/with-race-server.sh with the server's address set.
  work=$2
  prefix="$work/wine-prefix"
  VOLANTIS_WINE_ARCH="$(tools/wine/run-wine.sh --arch-of "$work/sim/fs9.exe")"
  export VOLANTIS_WINE_ARCH
  tools/wine/store-settings.sh "$prefix" "Second Pilot" "$VOLANTIS_RACE_SERVER" "$VOLANTIS_RACE_PORT"
  tools/wine/run-wine.sh --prefix "$prefix" --timeout 600 --workdir "$work/sim" \
    "$work/sim/fs9.exe" second-pilot.fs9
  exit
fi

jobs=${VOLANTIS_JOBS:-2}
if [ -z "${VOLANTIS_WINE_ARCH:-}" ]; then
  if tools/wine/run-wine.sh --probe-32 >/dev/null; then VOLANTIS_WINE_ARCH=win32; else VOLANTIS_WINE_ARCH=win64; fi
fi
wine_arch=$VOLANTIS_WINE_ARCH
case "$wine_arch" in
  win32 | win64) ;;
  *) echo "VOLANTIS_WINE_ARCH must be win32 or win64, not '$wine_arch'" >&2; exit 2 ;;
esac

echo "== building the race server, the course generator ($wine_arch: the module and the stand-in simulator)"
cmake --preset native >/dev/null
cmake --build --preset native -j "$jobs" --target volantis-race-server make_demo_course volantis-replay
cmake --preset "$wine_arch" >/dev/null
cmake --build --preset "$wine_arch" -j "$jobs" --target volantis_dll fs9sim fs9sim_global

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
build/native/tools/demo/make_demo_course --second-pilot "$work/demo.course" "$work/second-pilot.csv"
mkdir -p "$work/sim"
cp -r "build/$wine_arch/sim/." "$work/sim/"
cp -r tests/fixtures/sim/Aircraft "$work/sim/"
cp "$work/second-pilot.csv" tools/demo/second-pilot.fs9 "$work/sim/"

echo "== the second pilot races (the stand-in race server runs in its own network namespace)"
tools/netns/with-race-server.sh build/native/tools/race-server/volantis-race-server \
  --course "$work/demo.course" --aircraft 0 -- bash "$0" --fly "$work"

shopt -s nullglob
records=("$work"/wine-prefix/drive_c/users/*/AppData/Roaming/Volantis/races/*/)
shopt -u nullglob
if [ ${#records[@]} -ne 1 ]; then
  echo "make-second-pilot: expected one race record in the Wine prefix, found ${#records[@]}" >&2
  exit 1
fi
# The record must be the race as planned: finished, one gate skipped, agreeing with its replay.
build/native/tools/replay/volantis-replay "${records[0]}" >"$work/rejudged.txt" || {
  cat "$work/rejudged.txt" >&2
  echo "make-second-pilot: the record does not agree with its replay" >&2
  exit 1
}
grep -q 'Race time: .*(skipped 1 gate total)' "${records[0]}/log.txt" || {
  cat "${records[0]}/log.txt" >&2
  echo "make-second-pilot: the race did not finish with one gate skipped" >&2
  exit 1
}
rm -rf tools/demo/second-pilot
mkdir -p tools/demo/second-pilot
cp "${records[0]}"/*.txt "${records[0]}"/track.csv tools/demo/second-pilot/
echo "== tools/demo/second-pilot/ remade from $(basename "${records[0]}")"
grep '^RECORD' "$work/rejudged.txt" || true
