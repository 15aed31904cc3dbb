#!/usr/bin/env bash
# The inner half of the demo: runs with VOLANTIS_RACE_SERVER / VOLANTIS_RACE_PORT
# set by tools/netns/with-race-server.sh. Stores the pilot's settings in the Wine
# prefix's registry, runs the stand-in simulator's script, then fetches the
# server's results page (the demo shows it in a browser afterwards).
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
out=$1
cd "$root"

prefix="$out/wine-prefix"
# The prefix is of the architecture the simulator was built for.
VOLANTIS_WINE_ARCH="$(tools/wine/run-wine.sh --arch-of "$out/sim/fs9.exe")"
export VOLANTIS_WINE_ARCH
echo "race server at $VOLANTIS_RACE_SERVER:$VOLANTIS_RACE_PORT; player \"Demo Pilot\""
tools/wine/store-settings.sh "$prefix" "Demo Pilot" "$VOLANTIS_RACE_SERVER" "$VOLANTIS_RACE_PORT"

echo "== the stand-in simulator runs the demo script (tools/demo/demo-race.fs9)"
set +e
tools/wine/run-wine.sh --prefix "$prefix" --timeout 600 --workdir "$out/sim" \
  "$out/sim/fs9.exe" demo-race.fs9 | tee "$out/simulator-output.txt"
rc=${PIPESTATUS[0]}
set -e

# The same run without the module, for the figure the module is measured
# against: how late the simulator's user-interface thread delivers its own
# messages anyway (the steps that need the module or picture it are left out).
echo "== the same run without the module (the simulator's own message delays)"
sed -e '/^capture /d' -e 's/^waitfor hooked .*/wait 1000/' "$out/sim/demo-race.fs9" >"$out/sim/demo-without-module.fs9"
tools/wine/run-wine.sh --prefix "$prefix" --timeout 600 --workdir "$out/sim" \
  "$out/sim/fs9.exe" --no-module demo-without-module.fs9 >"$out/simulator-output-without-module.txt" || true
echo
echo "== the simulator's user-interface thread: the worst delay of a message over the whole run"
echo "   (a message posted every 5 ms; validation, race, submission and the Results window)"
with_module="$(grep -m1 '^UI-DELAY' "$out/simulator-output.txt" | tr -d '\r' || true)"
without_module="$(grep -m1 '^UI-DELAY' "$out/simulator-output-without-module.txt" | tr -d '\r' || true)"
echo "   with the module:    ${with_module:-(not measured)}"
echo "   without the module: ${without_module:-(not measured)}"
# Where the late messages came: the script's steps with the worst delays (a
# step counts the messages delivered from its start to the next step's).
echo "   the steps with the worst delays, with the module:"
grep '^UI-DELAY-STEP' "$out/simulator-output.txt" | tr -d '\r' | sed 's/^UI-DELAY-STEP /     /' || true
echo "   and without the module:"
grep '^UI-DELAY-STEP' "$out/simulator-output-without-module.txt" | tr -d '\r' | sed 's/^UI-DELAY-STEP /     /' || true
echo "   what held the loop longest, with the module (a dispatched message, or PeekMessage itself):"
grep '^UI-SLOW' "$out/simulator-output.txt" | tr -d '\r' | sed 's/^UI-SLOW /     /' || true

for bmp in "$out"/sim/*.bmp; do
  [ -e "$bmp" ] || continue
  convert "$bmp" "$out/$(basename "$bmp" .bmp).png" && rm -f "$bmp"
done
cp "$VOLANTIS_RACE_RESULTS" "$out/results.jsonl" 2>/dev/null || true
results_url="http://$VOLANTIS_RACE_SERVER:$VOLANTIS_RACE_PORT/validate?op=show_race_results"
python3 - "$results_url" "$out/results-page.html" <<'PY' || true
import sys, urllib.request
with urllib.request.urlopen(sys.argv[1], timeout=10) as answer, open(sys.argv[2], "wb") as page:
    page.write(answer.read())
PY
echo
echo "== results recorded by the race server"
cat "$out/results.jsonl" 2>/dev/null || echo "(none)"
exit "$rc"
