#!/usr/bin/env bash
# Hostile answers, stray datagrams and events out of order, from the menu
# commands of the stand-in simulator with the real module, against the stand-in
# race server in its own network namespace (its control page scripts the
# failures):
#   race     a forged time sync answer from another address and a late one with
#            another request id are passed over; a second validation before the
#            first crossing restarts the race; once a gate is crossed Validate
#            Now is refused in one line; the race finishes and is submitted
#            once, with max_knots=0 as no speed limit; the Start Race and Race
#            Finished commands the module posts reach the host's own procedure
#            with long parameter 0, as its menu commands do
#   midrace  a validation started before the first crossing whose answer (a new
#            course) arrives after it: the race under way is stopped, the new
#            one starts and is flown to its finish, submitted once
#   ports    a stored port above 65535: one message in the Validate window and
#            one box from the Results window, no request (no course can load
#            without a validation, so no race reaches a submission here; the
#            submission's own refusal is a native test of the sender)
#   copies   a second copy of the simulator with an installation that passes
#            cannot pass this copy's validation
#   percent  a '%' in the player name, a configuration value and a server
#            message arrives at the server and in the log verbatim
#
#   race_guards_through_server.sh SIM_FOLDER [CASE...]   (all cases by default)
set -uo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/../.." && pwd)"
sim="$1"
shift
cases="${*:-race midrace ports copies percent}"
wanted() { case " $cases " in *" $1 "*) return 0 ;; *) return 1 ;; esac; }

. "$here/through_server_lib.sh"
# shellcheck disable=SC2086 # one argument for each case
under_race_server "$0" "$sim" $cases

work="$(mktemp -d "${TMPDIR:-/tmp}/race-guards-XXXXXX")"
trap 'rm -rf "$work"' EXIT
VOLANTIS_WINE_ARCH="$("$root/tools/wine/run-wine.sh" --arch-of "$sim/fs9.exe")" || exit 1
export VOLANTIS_WINE_ARCH
# prefix NAME PLAYER PORT: a Wine prefix with the pilot's settings.
prefix() { quiet_prefix "$work/$1" "$2" "$3"; }

# install DIR: a simulator folder with the stand-in installation of the race aircraft.
install() { install_sim "$1"; }

# run PREFIX DIR [wine arguments...]: runs the simulator (or the given command)
# in DIR; its output, without carriage returns, in DIR/output.txt, and the
# server's log lines of the run in DIR/server.txt.
run() {
  local prefix_dir="$work/$1" dir="$2"
  shift 2
  [ $# -gt 0 ] || set -- "$dir/fs9.exe" script.txt
  local before
  before=$(wc -l <"$VOLANTIS_RACE_LOG")
  "$root/tools/wine/run-wine.sh" --prefix "$prefix_dir" --timeout 180 --workdir "$dir" "$@" 2>&1 |
    tr -d '\r' >"$dir/output.txt"
  tail -n +"$((before + 1))" "$VOLANTIS_RACE_LOG" >"$dir/server.txt"
}

show() {
  echo "---- simulator ($1)"; tail -n 60 "$1/output.txt"
  echo "---- server ($1)"; cat "$1/server.txt"
}

mustang='Aircraft/RD_P-51D_Mustang'
zdir() { echo "Z:$(echo "$1" | tr '/' '\\')"; }

# ------------------------------------------------------------------ race
if wanted race; then
before_failures=$failures
prefix race "Ann Lee" "$VOLANTIS_RACE_PORT"
dir="$work/race"
install "$dir"
results_before=0
[ -f "$VOLANTIS_RACE_RESULTS" ] && results_before=$(wc -l <"$VOLANTIS_RACE_RESULTS")
control "reset=1&rule=time_sync:forged:1&rule=time_sync:wrong-id-first:1"
cat >"$dir/script.txt" <<'SCRIPT'
waitfor hooked 15000
watch 0x0111 0x0111
set crash 1
set collisions 0
set alt 1000
set lat 47.005
set lon -121.998
post 1020
post 1023
wait 500
# The first time sync gets a forged answer first, the second a late one.
post 1024
wait 8000
post 1024
wait 8000
echo through gate 1
set lon -122.002
wait 300
set lon -122.012
wait 300
post 1024
wait 1500
echo around
set lat 47.030
wait 200
set lon -121.998
wait 200
set lat 47.005
wait 200
echo through gate 1 again
set lon -122.002
wait 5000
text Volantis Validate
text Volantis Log
exit 0
SCRIPT
run race "$dir"
out="$dir/output.txt"
# Each time sync reports its aircraft at least once; a slow round trip (an
# emulated machine) takes further attempts, each reporting it again.
mustangs=$(grep -cF "Aircraft in use: RD_P-51D_Mustang" "$out")
if [ "$mustangs" -ge 2 ] && [ "$mustangs" -eq "$(grep -cF "Aircraft in use:" "$out")" ]; then
  pass "race: forged and late answers passed over"
else
  fail "race: forged and late answers passed over: $mustangs of $(grep -cF "Aircraft in use:" "$out") aircraft lines name the Mustang"
fi
expect_count "race: the forged aircraft never used" "$out" "Pitts" 0
expect_count "race: both validations reported" "$dir/server.txt" "do_validate: Ann Lee validated" 2
expect_count "race: the forged answer was sent" "$dir/server.txt" "time_sync: scripted forged" 1
expect_count "race: the late answer was sent" "$dir/server.txt" "time_sync: scripted wrong-id-first" 1
expect_count "race: restarted before the first crossing" "$out" "TEXT| Race started." 2
expect_count "race: stopped by the restart and by the finish" "$out" "TEXT| Race stopped." 2
expect_count "race: both Start Race commands reach the host with long parameter 0" "$out" \
  "RECV msg=0x0111 wp=0x0000afca lp=0x00000000" 2
expect_count "race: the Race Finished command reaches the host with long parameter 0" "$out" \
  "RECV msg=0x0111 wp=0x0000afcb lp=0x00000000" 1
expect_count "race: no module command with another long parameter" "$out" "RECV msg=0x0111 wp=0x0000afc" 3
expect_count "race: validation refused after a crossing" "$out" \
  "A race is under way: stop the race first (Stop Race in the Volantis menu), then validate." 1
expect_count "race: no third time sync" "$out" "Synchronizing the time with Tarvex (attempt 1/5)" 2
expect_count "race: one lap" "$out" "TEXT| Lap 1: " 1
expect_count "race: one finish" "$out" "TEXT| Race time: " 1
expect_count "race: submitted once" "$dir/server.txt" "submit_race_results: Ann Lee" 1
tail -n +"$((results_before + 1))" "$VOLANTIS_RACE_RESULTS" >"$dir/results.jsonl"
expect_count "race: one result, not too fast with max_knots=0" "$dir/results.jsonl" '"moved_too_fast":0' 1
[ "$failures" -eq "$before_failures" ] || show "$dir"
fi

# ------------------------------------------------------------------ midrace
if wanted midrace; then
before_failures=$failures
prefix midrace "Ann Lee" "$VOLANTIS_RACE_PORT"
dir="$work/midrace"
install "$dir"
# The second report's answer comes five seconds late: a gate is crossed meanwhile.
control "reset=1&rule=do_validate:slow=1:1&rule=do_validate:slow=5000:1"
cat >"$dir/script.txt" <<'SCRIPT'
waitfor hooked 15000
set crash 1
set collisions 0
set alt 1000
set lat 47.005
set lon -121.998
post 1020
post 1023
wait 500
post 1024
wait 8000
post 1024
wait 3000
echo through gate 1 of the first race
set lon -122.002
wait 300
set lon -122.004
wait 7000
echo around, the second race
set lat 47.030
wait 200
set lon -121.998
wait 200
set lat 47.005
wait 200
set lon -122.002
wait 300
set lon -122.012
wait 300
set lat 47.030
wait 200
set lon -121.998
wait 200
set lat 47.005
wait 200
set lon -122.002
wait 5000
text Volantis Validate
text Volantis Log
exit 0
SCRIPT
run midrace "$dir"
out="$dir/output.txt"
expect_count "midrace: both validations reported" "$dir/server.txt" "do_validate: Ann Lee validated" 2
expect_count "midrace: both answers started a race" "$out" "1 lap race started." 2
expect_count "midrace: the late answer was not refused" "$out" "A race is under way" 0
expect_count "midrace: the first race crossed its start gate" "$out" "TEXT| Gate 1 crossed." 3
expect_count "midrace: two races started" "$out" "TEXT| Race started." 2
expect_count "midrace: stopped by the new course and by the finish" "$out" "TEXT| Race stopped." 2
expect_count "midrace: one lap, of the second race" "$out" "TEXT| Lap 1: " 1
expect_count "midrace: one finish" "$out" "TEXT| Race time: " 1
expect_count "midrace: submitted once" "$dir/server.txt" "submit_race_results: Ann Lee" 1
# The first race is stopped before the second starts.
if grep -F "TEXT|" "$out" | grep -E "Race (started|stopped)\." | head -3 | tr -d '\n' |
  grep -q "Race started\..*Race stopped\..*Race started\."; then
  pass "midrace: started, stopped, started in that order"
else
  fail "midrace: started, stopped, started in that order"
fi
[ "$failures" -eq "$before_failures" ] || show "$dir"
fi

# ------------------------------------------------------------------ ports
if wanted ports; then
before_failures=$failures
prefix ports "Ann Lee" 70000
dir="$work/ports"
install "$dir"
control "reset=1"
cat >"$dir/script.txt" <<'SCRIPT'
waitfor hooked 15000
dialogs yes
set crash 1
post 1020
post 1023
wait 300
post 1024
wait 3000
post 32774
wait 2000
echo the Validate window
text Volantis Validate
echo the Log window
text Volantis Log
exit 0
SCRIPT
run ports "$dir"
out="$dir/output.txt"
port_text="Error: the web port 70000 in Race Settings is not a port number (0 to 65535); nothing was sent to Tarvex."
if [ "$(grep -F "TEXT|" "$out" | grep -cF "$port_text")" -eq 1 ] &&
  [ "$(sed -n '/^ECHO the Validate window/,/^ECHO the Log window/p' "$out" | grep -cF "$port_text")" -eq 1 ]; then
  echo "PASS ports: one message, in the Validate window"
else
  fail "ports: the message is not once, in the Validate window"
fi
expect_count "ports: the Results window's message box" "$out" "DIALOG 1 caption=\"TarvexCheck\" text=\"$port_text" 1
expect_count "ports: no time sync tried" "$out" "Synchronizing the time" 0
expect_count "ports: no retries" "$out" "Waiting 10 seconds" 0
if [ -s "$dir/server.txt" ]; then fail "ports: the server was reached"; cat "$dir/server.txt"; else echo "PASS ports: nothing reached the server"; fi
[ "$failures" -eq "$before_failures" ] || show "$dir"
fi

# ------------------------------------------------------------------ copies
if wanted copies; then
before_failures=$failures
prefix copies "Ann Lee" "$VOLANTIS_RACE_PORT"
other="$work/copies/other"
own="$work/copies/own"
install "$other"
install "$own"
(cd "$own" && sed -i 's/^cruise_lift_scalar=1.0/cruise_lift_scalar=1.25/' "$mustang/Aircraft.cfg")
printf 'echo other copy running\nwait 25000\nquit\n' >"$other/idle.txt"
cat >"$own/script.txt" <<'SCRIPT'
waitfor hooked 15000
set crash 1
set collisions 0
post 1024
wait 8000
exit 0
SCRIPT
# The other copy starts first, so it comes first in the process list.
# It has no main window (which this copy's module would find first otherwise).
run copies "$own" cmd /c start "" /d "$(zdir "$other")" /b "$(zdir "$other")\\fs9.exe" --no-window --no-module \
  idle.txt \
  '&' "$(zdir "$own")\\fs9.exe" script.txt
expect_count "copies: the other copy was running" "$own/output.txt" "ECHO other copy running" 1
expect_count "copies: this copy's installation was checked" "$own/server.txt" \
  "failed validation of Ann Lee: Bad config value. File: '$(zdir "$own")\\Aircraft\\RD_P-51D_Mustang\\Aircraft.cfg'" 1
expect_count "copies: the other copy passed nothing" "$own/server.txt" "Ann Lee validated" 0
[ "$failures" -eq "$before_failures" ] || show "$own"
fi

# ------------------------------------------------------------------ percent
if wanted percent; then
before_failures=$failures
prefix percent "Ann %s%n Lee" "$VOLANTIS_RACE_PORT"
dir="$work/percent"
install "$dir"
(cd "$dir" && sed -i 's/^cruise_lift_scalar=1.0/cruise_lift_scalar=1.0%s%n%d/' "$mustang/Aircraft.cfg")
control "reset=1"
cat >"$dir/script.txt" <<'SCRIPT'
waitfor hooked 15000
set crash 1
set collisions 0
post 1024
wait 8000
exit 0
SCRIPT
run percent "$dir"
expect_count "percent: the name and the configuration value reach the server verbatim" "$dir/server.txt" \
  "failed validation of Ann %s%n Lee: Bad config value. File: '$(zdir "$dir")\\Aircraft\\RD_P-51D_Mustang\\Aircraft.cfg', section: 'flight_tuning', key: 'cruise_lift_scalar', value: '1.0%s%n%d' should be '1.0'." 1
[ "$failures" -eq "$before_failures" ] || show "$dir"
before_failures=$failures
dir="$work/percent2"
install "$dir"
control "reset=1&rule=$(printf 'do_validate:405=Closed at 100%%s%%n:1' | sed 's/%/%25/g; s/ /%20/g; s/:/%3A/g; s/=/%3D/g')"
cat >"$dir/script.txt" <<'SCRIPT'
waitfor hooked 15000
set crash 1
set collisions 0
post 1023
wait 300
post 1024
wait 8000
text Volantis Validate
exit 0
SCRIPT
run percent "$dir"
expect_count "percent: the server's message in the log verbatim" "$dir/output.txt" \
  "Error sending results to Tarvex: Closed at 100%s%n" 1
expect_count "percent: the time sync carried the name verbatim" "$dir/server.txt" "player Ann_%s%n_Lee" 1
[ "$failures" -eq "$before_failures" ] || show "$dir"
fi

echo "$failures failed"
[ "$failures" -eq 0 ]
