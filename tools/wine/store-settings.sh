#!/usr/bin/env bash
# Stores a pilot's Volantis settings in a Wine prefix's registry, where the module
# reads them at start-up.
#
#   store-settings.sh PREFIX PLAYER SERVER PORT ["Name"=dword:XXXXXXXX ...]
#
# PREFIX is made from the harness's template when missing (run-wine.sh --prefix),
# of the architecture VOLANTIS_WINE_ARCH names (win32 or win64; by default the
# one this machine runs best): set it to the architecture of the programs that
# will use the prefix.
set -euo pipefail
[ $# -ge 4 ] || { echo "usage: $0 PREFIX PLAYER SERVER PORT [REGISTRY_VALUE_LINE...]" >&2; exit 2; }
here="$(cd "$(dirname "$0")" && pwd)"
prefix=$1 player=$2 server=$3 port=$4
shift 4
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
{
  printf 'REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Tarvex\\TarvexCheck\\Settings]\n'
  printf '"PlayerName"="%s"\n"ServerIP"="%s"\n"ServerPort"=dword:%08x\n' "$player" "$server" "$port"
  for line in "$@"; do printf '%s\n' "$line"; done
} >"$work/settings.reg"
"$here/run-wine.sh" --prefix "$prefix" --timeout 120 --workdir "$work" regedit /S settings.reg
