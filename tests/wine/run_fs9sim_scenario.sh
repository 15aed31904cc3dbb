#!/usr/bin/env bash
# Runs one scenario of the stand-in simulator with the real module and checks
# what it printed.
#
#   run_fs9sim_scenario.sh SIM_FOLDER SCENARIO_FILE
#
# A scenario file has three sections:
#   options: fs9.exe options on one line (may be empty)
#   files: files beside the scenario to copy into the working folder (optional)
#   --- script       the fs9.exe script
#   --- expect       literal texts that must appear in the output in this
#                    order (a text may follow the previous one in the same line)
#   --- reject       literal texts that must appear nowhere in the output
# The run must end with exit code 0 unless an "exit: N" line says otherwise.
set -uo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
runner="$here/../../tools/wine/run-wine.sh"
sim="$1"
scenario="$2"
name="$(basename "$scenario" .scn)"

work="$(mktemp -d "${TMPDIR:-/tmp}/fs9sim-$name-XXXXXX")"
trap 'rm -rf "$work"' EXIT
cp -a "$sim/." "$work/"

options="$(sed -n 's/^options:[[:space:]]*//p' "$scenario" | head -1)"
for file in $(sed -n 's/^files:[[:space:]]*//p' "$scenario" | head -1); do
  cp "$(dirname "$scenario")/$file" "$work/" || { echo "FAIL: no file $file"; exit 1; }
done
expected_exit="$(sed -n 's/^exit:[[:space:]]*//p' "$scenario" | head -1)"
expected_exit="${expected_exit:-0}"
awk '/^--- /{section=$2; next} section=="script"' "$scenario" >"$work/script.txt"
awk '/^--- /{section=$2; next} section=="expect" && NF' "$scenario" >"$work/expect.txt"
awk '/^--- /{section=$2; next} section=="reject" && NF' "$scenario" >"$work/reject.txt"

# shellcheck disable=SC2086
"$runner" --workdir "$work" --timeout 120 "$work/fs9.exe" $options script.txt >"$work/output.txt" 2>"$work/stderr.txt"
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

if [ "$failed" != 0 ]; then
  echo "---- output of $name"
  cat "$work/out.txt"
  echo "---- stderr"
  tail -20 "$work/stderr.txt"
  exit 1
fi
echo "scenario $name passed"
