#!/usr/bin/env bash
# The inner half of the demo: runs with VOLANTIS_RACE_SERVER / VOLANTIS_RACE_PORT
# set by tools/netns/with-race-server.sh. Stores the pilot's settings in the Wine
# prefix's registry, runs the stand-in simulator's script, then fetches the
# server's results page.
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

for bmp in "$out"/sim/*.bmp; do
  [ -e "$bmp" ] || continue
  convert "$bmp" "$out/$(basename "$bmp" .bmp).png" && rm -f "$bmp"
done
cp "$VOLANTIS_RACE_RESULTS" "$out/results.jsonl" 2>/dev/null || true
curl -s --max-time 10 "http://$VOLANTIS_RACE_SERVER:$VOLANTIS_RACE_PORT/validate?op=show_race_results" \
  >"$out/results-page.html" || true
# The results page as the pilot's browser shows it (Wine here has no browser engine).
results_url="http://$VOLANTIS_RACE_SERVER:$VOLANTIS_RACE_PORT/validate?op=show_race_results"
if command -v chromium >/dev/null; then
  profile="$(mktemp -d)"
  timeout 90 chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run \
    --disable-background-networking --disable-component-update --disable-sync --user-data-dir="$profile" \
    --window-size=1024,400 --screenshot="$out/4-results-page.png" "$results_url" >/dev/null 2>&1 || true
  rm -rf "$profile"
fi
echo
echo "== results recorded by the race server"
cat "$out/results.jsonl" 2>/dev/null || echo "(none)"
exit "$rc"
