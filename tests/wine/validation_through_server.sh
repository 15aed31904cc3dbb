#!/usr/bin/env bash
# Whole validation runs from the menu command, in the stand-in simulator with the
# real module, against the stand-in race server in its own network namespace:
# one that passes, and one failure of each kind, each arriving at the server with
# its exact error text.
#
#   validation_through_server.sh SIM_FOLDER
set -uo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/../.." && pwd)"
sim="$1"

if [ -z "${VOLANTIS_RACE_SERVER:-}" ]; then
  servers=""
  for b in native native-asan native-tsan native-bench; do
    servers="$servers:$root/build/$b/tools/race-server/volantis-race-server"
  done
  exec "$root/tools/netns/with-race-server.sh" "${servers#:}" --aircraft 0 -- "$0" "$@"
fi

work="$(mktemp -d "${TMPDIR:-/tmp}/validation-e2e-XXXXXX")"
trap 'rm -rf "$work"' EXIT
prefix="$work/prefix"
# The settings go into a prefix of the architecture the simulator is built for.
VOLANTIS_WINE_ARCH="$("$root/tools/wine/run-wine.sh" --arch-of "$sim/fs9.exe")" || exit 1
export VOLANTIS_WINE_ARCH
"$root/tools/wine/store-settings.sh" "$prefix" "Ann Lee" "$VOLANTIS_RACE_SERVER" "$VOLANTIS_RACE_PORT" \
  '"SoundValidate"=dword:00000000' || exit 1

failures=0
# run_case NAME CRASH COLLISIONS DAMAGE EXPECTED
#   DAMAGE: a shell snippet run inside the case's simulator folder.
#   EXPECTED: the text the server must log for this run.
run_case() {
  local name=$1 crash=$2 collisions=$3 damage=$4 expected=$5
  local dir="$work/$name"
  mkdir -p "$dir"
  cp -a "$sim/." "$dir/"
  cp -a "$root/tests/fixtures/sim/Aircraft" "$dir/"
  (cd "$dir" && eval "$damage")
  cat >"$dir/script.txt" <<SCRIPT
waitfor hooked 15000
set crash $crash
set collisions $collisions
post 1024
wait 7000
text Volantis Validate
exit 0
SCRIPT
  local before
  before=$(wc -l <"$VOLANTIS_RACE_LOG")
  "$root/tools/wine/run-wine.sh" --prefix "$prefix" --timeout 120 --workdir "$dir" "$dir/fs9.exe" script.txt \
    >"$dir/output.txt" 2>&1
  tail -n +"$((before + 1))" "$VOLANTIS_RACE_LOG" >"$dir/server.txt"
  if grep -qF -- "$expected" "$dir/server.txt"; then
    echo "PASS $name: $(grep -F -- "$expected" "$dir/server.txt" | head -1)"
  else
    echo "FAIL $name: the server did not log: $expected"
    echo "---- server"; cat "$dir/server.txt"
    echo "---- simulator"; tr -d '\r' <"$dir/output.txt" | tail -n 20
    failures=$((failures + 1))
  fi
}

mustang='Aircraft/RD_P-51D_Mustang'
zdir() { echo "Z:$(echo "$work/$1" | tr '/' '\\')"; }

run_case passes 1 0 ':' \
  "do_validate: Ann Lee validated"
run_case crash_detection_off 0 0 ':' \
  "failed validation of Ann Lee: Crash detection is not enabled. Value: 0"
run_case collisions_on 1 255 ':' \
  "failed validation of Ann Lee: Aircraft collisions are not disabled. Value: -1"
run_case air_file_changed 1 0 "printf 'x' | dd of=$mustang/RD_P-51D_GMAX.air bs=1 seek=3 conv=notrunc 2>/dev/null" \
  "failed validation of Ann Lee: Bad .air file '$(zdir air_file_changed)\\Aircraft\\RD_P-51D_Mustang\\RD_P-51D_GMAX.air', file size:"
run_case config_missing 1 0 "rm $mustang/Aircraft.cfg" \
  "failed validation of Ann Lee: Error finding config file '$(zdir config_missing)\\Aircraft\\RD_P-51D_Mustang\\Aircraft.cfg'"
run_case config_value_changed 1 0 "sed -i 's/^cruise_lift_scalar=1.0/cruise_lift_scalar=1/' $mustang/Aircraft.cfg" \
  "failed validation of Ann Lee: Bad config value. File: '$(zdir config_value_changed)\\Aircraft\\RD_P-51D_Mustang\\Aircraft.cfg', section: 'flight_tuning', key: 'cruise_lift_scalar', value: '1' should be '1.0'."
run_case sim_line_changed 1 0 "sed -i '0,/^sim=RD_P-51D_GMAX/s//sim=Other/' $mustang/Aircraft.cfg" \
  "failed validation of Ann Lee: Bad 'sim=' line in config file: '$(zdir sim_line_changed)\\Aircraft\\RD_P-51D_Mustang\\Aircraft.cfg', section: 'fltsim.0', title: 'F1 P-51D Mustang-PROPS', 'sim=Other' should be 'sim=RD_P-51D_GMAX'."
run_case title_elsewhere 1 0 "cp -r $mustang 'Aircraft/Mustang copy'" \
  "failed validation of Ann Lee: Found title 'F1 P-51D Mustang-PROPS' in wrong config file: '$(zdir title_elsewhere)\\Aircraft\\Mustang copy\\aircraft.cfg', section: 'fltsim.0'."

echo "$failures failed"
[ "$failures" -eq 0 ]
