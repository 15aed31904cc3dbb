#!/usr/bin/env bash
# Results kept in the race record until the race server has them, across a
# restart of the simulator: each case flies the two-gate sprint in the stand-in
# simulator with the real module, against the stand-in race server in its own
# network namespace, then starts the simulator again in the same Wine prefix:
#   down       the server is down for every attempt (the retry wait shortened
#              through VOLANTIS_RESULTS_RETRY_WAIT_MS): the record says unsent;
#              the restart sends the results once, with the record's fields,
#              and the record says sent; a third start, with a validation,
#              sends nothing
#   ended      the simulator ends while the results wait to be retried: after
#              an orderly quit the record says unsent, after an abrupt end
#              pending; either way the restart sends them once
#   ok         sent at the first attempt; the restart sends nothing
#   refused    a final answer (unknown player; invalid data twice): the record
#              says refused and the restart sends nothing
#   retryable  an answer that is no final one (503) leaves the results unsent;
#              the resend at the restart finds the server down (one attempt,
#              still unsent); the validation accepted after it ends the
#              automatic resends (the server has moved on to a new race): the
#              results stay unsent in the record and are not sent
#   shared     two installations (their own prefixes and simulator folders)
#              share one data folder, which keeps the unsent results of a race;
#              both simulators start at once while the server is slow to hand
#              out a code: the results reach the server exactly once
#   rejudge    the record of the "ok" race, copied out of the prefix, re-judged
#              by volantis-replay agrees with itself
#
#   results_kept_through_restart.sh SIM_FOLDER [CASE...]   (all cases by default)
#
# volantis-replay comes from VOLANTIS_REPLAY or the native half's build folders.
set -uo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/../.." && pwd)"
sim="$1"
shift
cases="${*:-down ended ok refused retryable shared rejudge}"
wanted() { case " $cases " in *" $1 "*) return 0 ;; *) return 1 ;; esac; }
. "$here/through_server_lib.sh"
# shellcheck disable=SC2086 # one argument for each case
under_race_server "$0" "$sim" $cases

work="$(mktemp -d "${TMPDIR:-/tmp}/results-kept-XXXXXX")"
trap 'rm -rf "$work"' EXIT
VOLANTIS_WINE_ARCH="$("$root/tools/wine/run-wine.sh" --arch-of "$sim/fs9.exe")" || exit 1
export VOLANTIS_WINE_ARCH
resend_text="Resending the results of the race of "

expect_equal() {
  if [ "$2" = "$3" ]; then pass "$1"; else fail "$1: '$2', not '$3'"; fi
}

# prefix NAME: a Wine prefix with the pilot's settings, kept across the runs of a case.
prefix() { quiet_prefix "$work/$1/prefix" "Ann Lee" "$VOLANTIS_RACE_PORT"; }

# install NAME: the case's simulator folder with the stand-in installation of the race aircraft.
install() { install_sim "$work/$1/sim"; }

# run NAME RUN SCRIPT: runs the simulator of case NAME with SCRIPT in its prefix;
# the simulator's output, without carriage returns, in NAME/RUN.out, the server's
# log lines of the run in NAME/RUN.server and its new results in NAME/RUN.results.
run() {
  local dir="$work/$1" log_before results_before=0
  cp "$3" "$dir/sim/script.txt"
  log_before=$(wc -l <"$VOLANTIS_RACE_LOG")
  [ -f "$VOLANTIS_RACE_RESULTS" ] && results_before=$(wc -l <"$VOLANTIS_RACE_RESULTS")
  "$root/tools/wine/run-wine.sh" --prefix "$dir/prefix" --timeout 180 --workdir "$dir/sim" \
    "$dir/sim/fs9.exe" script.txt 2>&1 | tr -d '\r' >"$dir/$2.out"
  tail -n +"$((log_before + 1))" "$VOLANTIS_RACE_LOG" >"$dir/$2.server"
  : >"$dir/$2.results"
  [ -f "$VOLANTIS_RACE_RESULTS" ] && tail -n +"$((results_before + 1))" "$VOLANTIS_RACE_RESULTS" >"$dir/$2.results"
}

show() {
  local dir="$work/$1" run
  for run in "$dir"/*.out; do
    run="${run%.out}"
    echo "---- simulator (${run##*/})"; tail -n 50 "$run.out"
    echo "---- server (${run##*/})"; cat "$run.server"
  done
  for run in "$dir"/prefix/drive_c/users/*/AppData/Roaming/Volantis/races/*/results.txt; do
    [ -f "$run" ] && { echo "---- $run"; cat "$run"; }
  done
}

# race_script FILE END WAIT: validate, fly the sprint (through gate 1, gate 2,
# around and through gate 1 again), wait WAIT ms, then end the run with END
# ("quit": the module unloads in order; "exit 0": the process ends at once).
race_script() {
  cat >"$1" <<SCRIPT
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
wait $3
text Volantis Log
$2
SCRIPT
}

# start_script FILE [validate]: a start that only looks (and validates, if asked).
start_script() {
  {
    printf 'waitfor hooked 15000\nset crash 1\nset collisions 0\npost 1020\nwait 5000\n'
    [ "${2:-}" = validate ] && printf 'post 1024\nwait 8000\n'
    printf 'text Volantis Log\nquit\n'
  } >"$1"
}

# record NAME: sets folder to the record of the case's race, the first in the
# case's prefix (a later validation starts a race of its own); a failure when
# there is none.
record() {
  local found=("$work/$1"/prefix/drive_c/users/*/AppData/Roaming/Volantis/races/*/)
  folder="${found[0]%/}"
  if [ ! -f "$folder/results.txt" ]; then
    fail "$1: no race record with results.txt: ${found[*]}"
    return 1
  fi
}

# expect_status WHAT NAME STATUS: the last status= line of the case's results.txt.
expect_status() {
  record "$2" || return
  expect_equal "$1" "$(sed -n 's/^status=//p' "$folder/results.txt" | tail -n 1)" "$3"
}

# submissions NAME RUN: the query of every submission the server recorded in the run.
submissions() {
  sed -n 's/^race-server: HTTP \/validate?\(op=submit_race_results&.*\) -> 200$/\1/p' "$work/$1/$2.server"
}

percent_decode() {
  local text="${1//+/ }"
  printf '%b' "${text//%/\\x}"
}

# same_fields WHAT NAME QUERY: every field of the record's results.txt (but the
# time they were kept) is the submission's, and the submission has no field the record lacks (but the code).
same_fields() {
  local line key value pair got diffs=0
  record "$2" || return
  declare -A sent=()
  IFS='&' read -r -a pairs <<<"$3"
  for pair in "${pairs[@]}"; do sent["${pair%%=*}"]="$(percent_decode "${pair#*=}")"; done
  unset 'sent[op]' 'sent[type]' 'sent[code]'
  sent[server_ip]="$VOLANTIS_RACE_SERVER"
  sent[server_port]="$VOLANTIS_RACE_PORT"
  while IFS= read -r line; do
    case "$line" in status=*) break ;; finished=*) continue ;; esac  # when they were kept: not sent
    key="${line%%=*}"
    value="${line#*=}"
    if [ -z "${sent[$key]+set}" ]; then
      echo "  results.txt has $key, the submission does not"; diffs=$((diffs + 1)); continue
    fi
    got="${sent[$key]}"
    unset "sent[$key]"
    [ "$got" = "$value" ] || { echo "  $key: sent '$got', kept '$value'"; diffs=$((diffs + 1)); }
  done <"$folder/results.txt"
  for key in "${!sent[@]}"; do echo "  the submission has $key, results.txt does not"; diffs=$((diffs + 1)); done
  if [ "$diffs" -eq 0 ]; then pass "$1"; else fail "$1: $diffs fields differ"; fi
}

# arrived_once WHAT NAME RUN: exactly one submission reached the server in the
# run, one result was recorded, and it carries the record's fields.
arrived_once() {
  local queries
  queries=$(submissions "$2" "$3")
  if [ "$(grep -c . <<<"$queries")" -ne 1 ] || [ "$(grep -c . "$work/$2/$3.results")" -ne 1 ]; then
    fail "$1: not exactly one submission recorded"
    return
  fi
  pass "$1: one submission"
  same_fields "$1: the record's fields" "$2" "$queries"
}

# nothing_sent WHAT NAME RUN: no resend in the log, no submission at the server.
nothing_sent() {
  expect_count "$1: no resend" "$work/$2/$3.out" "$resend_text" 0
  expect_count "$1: nothing submitted" "$work/$2/$3.server" "op=submit_race_results" 0
}

# resent_once WHAT NAME RUN: one resend line in the Log window, naming the race
# by its start as race.txt gives it.
resent_once() {
  local lines started
  record "$2" || return
  started=$(sed -n 's/^started=//p' "$folder/race.txt")
  lines=$(grep -F "TEXT| $resend_text" "$work/$2/$3.out")
  if [ "$(grep -c . <<<"$lines")" -ne 1 ]; then
    fail "$1: not one resend line: $lines"
  elif [ -z "$started" ] || ! grep -qF "$resend_text$started " <<<"$lines"; then
    fail "$1: the resend line does not name the race started $started: $lines"
  else
    pass "$1: one resend line ($lines)"
  fi
}

start=$(mktemp "$work/start-XXXXXX")
start_script "$start"
start_validating=$(mktemp "$work/start-XXXXXX")
start_script "$start_validating" validate

# ------------------------------------------------------------------ down
if wanted down; then
  before=$failures
  prefix down
  install down
  control "reset=1&rule=submit_race_results:down"
  race_script "$work/down/race.txt" quit 8000
  export VOLANTIS_RESULTS_RETRY_WAIT_MS=100  # all fifteen attempts within seconds
  run down race "$work/down/race.txt"
  unset VOLANTIS_RESULTS_RETRY_WAIT_MS
  expect_count "down: the race finished" "$work/down/race.out" "TEXT| Race time: " 1
  expect_count "down: every attempt made" "$work/down/race.server" "submit_race_results: scripted down" 15
  expect_count "down: the last attempt logged" "$work/down/race.out" "(attempt 15/15)" 1
  expect_equal "down: nothing recorded by the server" "$(grep -c . "$work/down/race.results")" 0
  expect_status "down: the record says unsent" down unsent
  record down && expect_equal "down: every attempt kept" "$(grep -c '^attempt ' "$folder/results.txt")" 15

  control "reset=1"
  run down restart "$start"
  resent_once "down: restart" down restart
  arrived_once "down: restart" down restart
  expect_status "down: the record says sent" down sent

  run down third "$start_validating"
  expect_count "down: third start validated" "$work/down/third.server" "do_validate: Ann Lee validated" 1
  nothing_sent "down: third start" down third
  expect_status "down: the record still says sent" down sent
  [ "$failures" -eq "$before" ] || show down
fi

# ------------------------------------------------------------------ ended
if wanted ended; then
  # How the run ends, and the status it leaves.
  for ending in "quit:unsent" "exit 0:pending"; do
    end="${ending%%:*}"
    name="ended-${end%% *}"
    before=$failures
    prefix "$name"
    install "$name"
    control "reset=1&rule=submit_race_results:down"
    # The first attempt fails and waits ten seconds for the next; the run ends during the wait.
    race_script "$work/$name/race.txt" "$end" 3000
    run "$name" race "$work/$name/race.txt"
    expect_count "$name: the race finished" "$work/$name/race.out" "TEXT| Race time: " 1
    expect_count "$name: waiting to retry" "$work/$name/race.out" "TEXT| Waiting 10 seconds before automatic retry..." 1
    expect_count "$name: one attempt" "$work/$name/race.server" "submit_race_results: scripted down" 1
    expect_status "$name: the record says ${ending#*:}" "$name" "${ending#*:}"

    control "reset=1"
    run "$name" restart "$start"
    resent_once "$name: restart" "$name" restart
    arrived_once "$name: restart" "$name" restart
    expect_status "$name: the record says sent" "$name" sent
    [ "$failures" -eq "$before" ] || show "$name"
  done
fi

# ------------------------------------------------------------------ ok
ok_race() {
  prefix ok
  install ok
  control "reset=1"
  race_script "$work/ok/race.txt" quit 4000
  run ok race "$work/ok/race.txt"
}
if wanted ok; then
  before=$failures
  ok_race
  expect_count "ok: sent at once" "$work/ok/race.out" "TEXT| Sent results to Tarvex ok." 1
  arrived_once "ok: race" ok race
  expect_status "ok: the record says sent" ok sent
  run ok restart "$start"
  nothing_sent "ok: restart" ok restart
  [ "$failures" -eq "$before" ] || show ok
fi

# ------------------------------------------------------------------ refused
if wanted refused; then
  # The server's final answer, and the line the module logs for it.
  for refusal in "401:Error: Unknown player." "400:Error sending results to Tarvex. Invalid data."; do
    status="${refusal%%:*}"
    name="refused-$status"
    before=$failures
    prefix "$name"
    install "$name"
    control "reset=1&rule=submit_race_results:$status"
    race_script "$work/$name/race.txt" quit 4000
    run "$name" race "$work/$name/race.txt"
    expect_count "$name: the refusal logged" "$work/$name/race.out" "TEXT| ${refusal#*:}" 1
    expect_count "$name: no retry after a wait" "$work/$name/race.out" "Waiting 10 seconds" 0
    expect_status "$name: the record says refused" "$name" refused
    control "reset=1"
    run "$name" restart "$start"
    nothing_sent "$name: restart" "$name" restart
    expect_status "$name: the record still says refused" "$name" refused
    [ "$failures" -eq "$before" ] || show "$name"
  done
fi

# ------------------------------------------------------------------ retryable
if wanted retryable; then
  name=retryable
  before=$failures
  prefix "$name"
  install "$name"
  control "reset=1&rule=submit_race_results:503"
  race_script "$work/$name/race.txt" quit 4000
  run "$name" race "$work/$name/race.txt"
  expect_count "$name: the answer logged" "$work/$name/race.out" "TEXT| Error 503 sending results to Tarvex." 1
  expect_count "$name: one attempt" "$work/$name/race.server" "submit_race_results: scripted status 503" 1
  expect_status "$name: the record says unsent" "$name" unsent
  # The resend at the start finds the server down: one attempt, still unsent;
  # the validation after it closes the automatic resends.
  control "reset=1&rule=submit_race_results:down:1"
  cat >"$work/$name/restart.txt" <<'SCRIPT'
waitfor hooked 15000
set crash 1
set collisions 0
post 1020
wait 5000
echo validating
post 1024
wait 8000
text Volantis Log
quit
SCRIPT
  run "$name" restart "$work/$name/restart.txt"
  expect_count "$name: the resend at the start tried once" "$work/$name/restart.server" \
    "submit_race_results: scripted down" 1
  expect_count "$name: one resend line" "$work/$name/restart.out" "TEXT| $resend_text" 1
  expect_count "$name: validated" "$work/$name/restart.server" "do_validate: Ann Lee validated" 1
  expect_equal "$name: nothing submitted after the validation" "$(submissions "$name" restart | grep -c .)" 0
  expect_status "$name: the record says unsent" "$name" unsent
  record "$name" && expect_count "$name: the automatic resends closed" "$folder/results.txt" "resend=closed" 1
  [ "$failures" -eq "$before" ] || show "$name"
fi

# ------------------------------------------------------------------ shared
if wanted shared; then
  name=shared
  before=$failures
  prefix "$name"
  install "$name"
  control "reset=1&rule=submit_race_results:down"
  race_script "$work/$name/race.txt" quit 3000
  run "$name" race "$work/$name/race.txt"
  expect_status "$name: the record says unsent" "$name" unsent
  # The second installation's data folder is the first one's.
  prefix "$name-2"
  install "$name-2"
  shared_data=""
  for d in "$work/$name"/prefix/drive_c/users/*/AppData/Roaming/Volantis; do [ -d "$d" ] && shared_data="$d"; done
  roaming=""
  for d in "$work/$name-2"/prefix/drive_c/users/*/AppData/Roaming; do [ -d "$d" ] && roaming="$d"; done
  if [ -z "$shared_data" ] || [ -z "$roaming" ]; then
    fail "$name: no data folder to share ('$shared_data', '$roaming')"
  else
    rm -rf "$roaming/Volantis"
    ln -s "$shared_data" "$roaming/Volantis"
    # A slow code keeps the first sender inside its exchange while the other starts.
    control "reset=1&rule=get_code:slow=8000"
    cat >"$work/$name/both.txt" <<'SCRIPT'
waitfor hooked 15000
set crash 1
set collisions 0
post 1020
wait 20000
text Volantis Log
quit
SCRIPT
    log_before=$(wc -l <"$VOLANTIS_RACE_LOG")
    results_before=0
    [ -f "$VOLANTIS_RACE_RESULTS" ] && results_before=$(wc -l <"$VOLANTIS_RACE_RESULTS")
    run "$name" first "$work/$name/both.txt" &
    first_run=$!
    run "$name-2" second "$work/$name/both.txt" &
    second_run=$!
    wait "$first_run" "$second_run"
    results_after=0
    [ -f "$VOLANTIS_RACE_RESULTS" ] && results_after=$(wc -l <"$VOLANTIS_RACE_RESULTS")
    expect_equal "$name: results recorded by the server" "$((results_after - results_before))" 1
    expect_equal "$name: submissions accepted" \
      "$(tail -n +"$((log_before + 1))" "$VOLANTIS_RACE_LOG" | grep -c 'op=submit_race_results&.* -> 200$')" 1
    resends=$(cat "$work/$name/first.out" "$work/$name-2/second.out" | grep -c "TEXT| $resend_text")
    if [ "$resends" -ge 1 ]; then pass "$name: resent ($resends resend lines)"; else fail "$name: no resend line"; fi
    expect_status "$name: the record says sent" "$name" sent
  fi
  [ "$failures" -eq "$before" ] || { show "$name"; show "$name-2"; }
fi

# ------------------------------------------------------------------ rejudge
if wanted rejudge; then
  replay="${VOLANTIS_REPLAY:-}"
  if [ -z "$replay" ]; then
    for b in $native_builds; do
      if [ -x "$root/build/$b/tools/replay/volantis-replay" ]; then replay="$root/build/$b/tools/replay/volantis-replay"; break; fi
    done
  fi
  if [ -z "$replay" ]; then
    echo "SKIP rejudge: no volantis-replay (build the native half, or set VOLANTIS_REPLAY)"
  else
    before=$failures
    [ -d "$work/ok/prefix" ] || ok_race
    if record ok; then
      cp -a "$folder" "$work/rejudged"
      "$replay" "$work/rejudged" >"$work/rejudge.out" 2>&1
      rc=$?
      expect_equal "rejudge: exit code" "$rc" 0
      if grep -q '^RECORD agrees:' "$work/rejudge.out"; then
        pass "rejudge: $(grep '^RECORD agrees:' "$work/rejudge.out")"
      else
        fail "rejudge: no 'RECORD agrees:' line"
      fi
      [ "$failures" -eq "$before" ] || { echo "---- volantis-replay"; cat "$work/rejudge.out"; }
    fi
  fi
fi

echo "$failures failed"
[ "$failures" -eq 0 ]
