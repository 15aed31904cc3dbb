#!/usr/bin/env bash
# The Wine runner's options, driven with the stand-in simulator: files copied
# into the prefix, a working folder on its C: drive, the screenshot hook, and
# the program's exit code passed on.
set -uo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
runner="$here/../../tools/wine/run-wine.sh"
sim="$1"

work="$(mktemp -d "${TMPDIR:-/tmp}/run-wine-options-XXXXXX")"
trap 'rm -rf "$work"' EXIT
printf 'echo inside the prefix\nscreenshot first_view\nquit 3\n' >"$work/script.txt"

"$runner" --copy "$sim" "Games/FS9" --copy "$work/script.txt" "Games/FS9/script.txt" \
  --workdir-c "Games/FS9" --screenshot-dir "$work/shots" --timeout 120 \
  "C:/Games/FS9/fs9.exe" script.txt >"$work/out.txt" 2>"$work/err.txt"
rc=$?
tr -d '\r' <"$work/out.txt" >"$work/output.txt"

failed=0
check() { if ! eval "$1"; then echo "FAIL: $2"; failed=1; fi; }
check '[ "$rc" = 3 ]' "exit code $rc, expected the program's 3"
check 'grep -qx "ECHO inside the prefix" "$work/output.txt"' "the script copied into the prefix did not run"
check 'grep -qx "SCREENSHOT first_view" "$work/output.txt"' "no screenshot marker"
check '! grep -q "not taken" "$work/output.txt"' "the program did not see the screenshot taken"
check '[ -s "$work/shots/first_view.png" ]' "no screenshot file"
check 'file "$work/shots/first_view.png" 2>/dev/null | grep -q "PNG image" || head -c 8 "$work/shots/first_view.png" | grep -q PNG' "the screenshot is no PNG"
if [ "$failed" != 0 ]; then
  cat "$work/output.txt"
  tail -20 "$work/err.txt"
  exit 1
fi
echo "run-wine options passed"
