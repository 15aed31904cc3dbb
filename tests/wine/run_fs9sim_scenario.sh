#!/usr/bin/env bash
# Runs one scenario of the stand-in simulator with the real module and checks
# what it printed.
#
#   run_fs9sim_scenario.sh SIM_FOLDER SCENARIO_FILE
#
# A scenario file has header lines, then three sections:
#   options: fs9.exe options on one line (may be empty)
#   files: files beside the scenario to copy into the working folder (optional)
#   server: OPTIONS   run against the stand-in race server (tools/race-server)
#                     started with these options in a network namespace of its
#                     own (tools/netns/with-race-server.sh; needs root and the
#                     native half's build, else the scenario is skipped: 77)
#   race: sprint      the race server's course is the two-gate sprint
#                     (fixtures/two_gate_sprint.course, its race aircraft the
#                     P-51D) and the working folder holds the stand-in
#                     installation of the race aircraft, so a validation passes
#                     and the script can fly the course (implies a server)
#   settings: PLAYER SERVER PORT [VALUE...]
#                     the pilot's settings in the run's Wine prefix, as
#                     tools/wine/store-settings.sh takes them; @server and @port
#                     stand for the race server's address and port
#   audio: null       give the run's Wine an audio device (ALSA's null device),
#                     so sounds really play
#   quit-within: MS   the unload's "QUIT ms=" figure must stay within MS (a
#                     guard against a hanging quit; the figure is always shown)
#   --- script       the fs9.exe script; a line "include NAME" stands for the
#                    steps of fixtures/NAME (e.g. sprint_validate.txt: validate
#                    against the race server; sprint_lap.txt: fly the sprint's lap)
#   --- expect       literal texts that must appear in the output in this
#                    order (a text may follow the previous one in the same line)
#   --- reject       literal texts that must appear nowhere in the output
# The run must end with exit code 0 unless an "exit: N" line says otherwise.
set -uo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/../.." && pwd)"
runner="$root/tools/wine/run-wine.sh"
sim="$1"
scenario="$2"
name="$(basename "$scenario" .scn)"
header() { sed -n "s/^$1:[[:space:]]*//p" "$scenario" | head -1; }

. "$here/through_server_lib.sh"
server_options="$(header server)"
race="$(header race)"
course_options=()
case "$race" in
  "") ;;
  sprint) course_options=("${sprint_server_options[@]}") ;;
  *) echo "FAIL: race takes sprint"; exit 1 ;;
esac
if { [ -n "$server_options" ] || [ -n "$race" ]; } && [ -z "${VOLANTIS_RACE_SERVER:-}" ]; then
  # shellcheck disable=SC2086
  with_race_server "${course_options[@]}" $server_options -- "$0" "$@"
fi

work="$(mktemp -d "${TMPDIR:-/tmp}/fs9sim-$name-XXXXXX")"
trap 'rm -rf "$work"' EXIT
if [ -n "$race" ]; then install_sim "$work"; else cp -a "$sim/." "$work/"; fi

options="$(sed -n 's/^options:[[:space:]]*//p' "$scenario" | head -1)"
for file in $(sed -n 's/^files:[[:space:]]*//p' "$scenario" | head -1); do
  cp "$(dirname "$scenario")/$file" "$work/" || { echo "FAIL: no file $file"; exit 1; }
done
expected_exit="$(sed -n 's/^exit:[[:space:]]*//p' "$scenario" | head -1)"
expected_exit="${expected_exit:-0}"
awk '/^--- /{section=$2; next} section=="script"' "$scenario" |
  while IFS= read -r line; do
    case "$line" in
      "include "*) cat "$here/fixtures/${line#include }" || echo "include of a missing file: $line" ;;
      *) printf '%s\n' "$line" ;;
    esac
  done >"$work/script.txt"
awk '/^--- /{section=$2; next} section=="expect" && NF' "$scenario" >"$work/expect.txt"
awk '/^--- /{section=$2; next} section=="reject" && NF' "$scenario" >"$work/reject.txt"

# A prefix of the run's own when the scenario stores settings or wants sound.
prefix_option=()
settings="$(header settings)"
audio="$(header audio)"
if [ -n "$settings" ] || [ -n "$audio" ]; then
  prefix="$work/prefix"
  prefix_option=(--prefix "$prefix")
  VOLANTIS_WINE_ARCH="$("$runner" --arch-of "$sim/fs9.exe")" || exit 1
  export VOLANTIS_WINE_ARCH
fi
if [ -n "$settings" ]; then
  settings="${settings//@server/${VOLANTIS_RACE_SERVER:-}}"
  settings="${settings//@port/${VOLANTIS_RACE_PORT:-}}"
  # shellcheck disable=SC2086
  "$root/tools/wine/store-settings.sh" "$prefix" $settings >"$work/settings.txt" 2>&1 ||
    { echo "FAIL: cannot store the settings"; cat "$work/settings.txt"; exit 1; }
fi
if [ "$audio" = null ]; then
  # Wine's ALSA driver on ALSA's null device: sounds play at their own pace and go nowhere.
  printf '</usr/share/alsa/alsa.conf>\npcm.!default { type null }\n' >"$work/asound.conf"
  export ALSA_CONFIG_PATH="$work/asound.conf"
  printf 'REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Wine\\Drivers]\n"Audio"="alsa"\n' >"$work/audio.reg"
  "$runner" --prefix "$prefix" --timeout 120 --workdir "$work" regedit /S audio.reg >"$work/audio.txt" 2>&1 ||
    { echo "FAIL: cannot give Wine an audio device"; cat "$work/audio.txt"; exit 1; }
elif [ -n "$audio" ]; then
  echo "FAIL: audio takes null"
  exit 1
fi

# shellcheck disable=SC2086
"$runner" "${prefix_option[@]}" --workdir "$work" --timeout 120 "$work/fs9.exe" $options script.txt \
  >"$work/output.txt" 2>"$work/stderr.txt"
rc=$?
tr -d '\r' <"$work/output.txt" >"$work/out.txt"

failed=0
if [ "$rc" != "$expected_exit" ]; then
  echo "FAIL: exit code $rc, expected $expected_exit"
  failed=1
fi
# Ordered match: each expected text after the previous match (later in the same
# line or in a later line).
missing="$(awk 'NR==FNR { want[++n]=$0; next }
  { rest = $0
    while (i < n && (p = index(rest, want[i+1])) > 0) { rest = substr(rest, p + length(want[i+1])); i++ } }
  END { if (i < n) print want[i+1] }' "$work/expect.txt" "$work/out.txt")"
if [ -n "$missing" ]; then
  echo "FAIL: expected (in order) but not found: $missing"
  failed=1
fi
while IFS= read -r text; do
  if grep -qF -- "$text" "$work/out.txt"; then
    echo "FAIL: must not appear: $text"
    grep -nF -- "$text" "$work/out.txt" | head -3
    failed=1
  fi
done <"$work/reject.txt"

quit_line="$(grep -m1 '^QUIT ms=' "$work/out.txt")"
quit_ms="$(printf '%s' "$quit_line" | sed -n 's/^QUIT ms=\([0-9.]*\).*/\1/p')"
quit_within="$(header quit-within)"
if [ -n "$quit_within" ]; then
  if [ -z "$quit_ms" ]; then
    echo "FAIL: no QUIT line: the module was never unloaded"
    failed=1
  elif awk -v took="$quit_ms" -v bound="$quit_within" 'BEGIN { exit !(took > bound) }'; then
    echo "FAIL: the quit took $quit_ms ms, more than $quit_within ms"
    failed=1
  fi
fi

if [ "$failed" != 0 ]; then
  echo "---- output of $name"
  cat "$work/out.txt"
  echo "---- stderr"
  tail -20 "$work/stderr.txt"
  exit 1
fi
[ -n "$quit_line" ] && echo "scenario $name: $quit_line"
echo "scenario $name passed"
