#!/usr/bin/env bash
# Runs a Windows test program under Wine with a network share: the job's own
# prefix maps \\volantis-host\share (Wine's dosdevices/unc) to a fresh folder,
# and VOLANTIS_TEST_SHARE names it to the program.
#
#   with_wine_share.sh PROGRAM.exe [ARGS...]
set -uo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
work="$(mktemp -d "${TMPDIR:-/tmp}/volantis-share-XXXXXX")"
trap 'rm -rf "$work"' EXIT
prefix="$work/prefix"
# The first run makes the prefix; it lists the tests and touches nothing.
"$root/tools/wine/run-wine.sh" --prefix "$prefix" --timeout 120 -- "$1" --gtest_list_tests >/dev/null 2>&1 || {
  echo "with_wine_share: the Wine prefix could not be made" >&2
  exit 1
}
mkdir -p "$prefix/dosdevices/unc/volantis-host" "$work/share"
ln -s "$work/share" "$prefix/dosdevices/unc/volantis-host/share"
VOLANTIS_TEST_SHARE='\\volantis-host\share' "$root/tools/wine/run-wine.sh" --prefix "$prefix" --timeout 240 -- "$@"
