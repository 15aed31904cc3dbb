#!/usr/bin/env bash
# Which Wine the runner chooses: a program file's own header decides (a 32-bit
# program under 32-bit Wine, a 64-bit one under 64-bit Wine), --arch chooses for
# a program that is no file here, a contradicting --arch is refused, and a
# 32-bit run on a machine that cannot execute 32-bit programs is refused with a
# message that says so. The prefix itself proves which Wine made it: Wine writes
# its architecture into system.reg.
#
#   run_wine_arch_test.sh SIM_FOLDER win32|win64   (the architecture of this build)
set -uo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
runner="$here/../../tools/wine/run-wine.sh"
sim="$1"
build_arch="$2"
other_arch=win32
[ "$build_arch" = win32 ] && other_arch=win64

work="$(mktemp -d "${TMPDIR:-/tmp}/run-wine-arch-XXXXXX")"
trap 'rm -rf "$work"' EXIT
printf 'echo ran\nquit 0\n' >"$work/script.txt"

failed=0
fail() { echo "FAIL: $*"; failed=1; }
prefix_arch() { sed -n 's/^#arch=//p' "$1/system.reg" 2>/dev/null | head -1; }

probe="$("$runner" --probe-32)"
runs_32=$?
echo "probe: $probe"
case "$runs_32:$probe" in
  "0:"*"executes 32-bit programs"*|"1:"*"does not execute 32-bit programs"*) ;;
  *) fail "--probe-32 said '$probe' with exit $runs_32" ;;
esac

# The header decides.
arch_of="$("$runner" --arch-of "$sim/fs9.exe")"
[ "$arch_of" = "$build_arch" ] || fail "--arch-of says $arch_of for a $build_arch build"
"$runner" --arch-of "$work/script.txt" >/dev/null 2>&1 && fail "--arch-of accepted a text file"

"$runner" --prefix "$work/own" --workdir "$work" --timeout 120 "$sim/fs9.exe" --no-window script.txt \
  >"$work/own.txt" 2>&1
rc=$?
[ "$rc" = 0 ] || fail "the build's own fs9.exe exited $rc"
grep -q "ECHO ran" "$work/own.txt" || fail "the build's own fs9.exe did not run its script"
[ "$(prefix_arch "$work/own")" = "$build_arch" ] || fail "fs9.exe ran in a $(prefix_arch "$work/own") prefix"

# A matching --arch is taken; a contradicting one is refused before anything runs.
VOLANTIS_WINE_ARCH="$build_arch" "$runner" --workdir "$work" --timeout 120 "$sim/fs9.exe" --no-window script.txt \
  >/dev/null 2>&1 || fail "a matching VOLANTIS_WINE_ARCH was not taken"
"$runner" --arch "$other_arch" --workdir "$work" --timeout 120 "$sim/fs9.exe" --no-window script.txt \
  >"$work/contra.txt" 2>&1
rc=$?
[ "$rc" = 2 ] || fail "a contradicting --arch gave exit $rc, expected 2"
grep -q "is a $build_arch program; it cannot run under $other_arch Wine" "$work/contra.txt" ||
  fail "no clear message for a contradicting --arch: $(cat "$work/contra.txt")"
grep -q "ECHO ran" "$work/contra.txt" && fail "the program ran despite a contradicting --arch"

# A program that is no file here (Wine's own cmd) runs under the Wine --arch names.
for arch in win64 win32; do
  "$runner" --arch "$arch" --prefix "$work/forced-$arch" --timeout 120 cmd /c exit 7 >"$work/forced-$arch.txt" 2>&1
  rc=$?
  if [ "$arch" = win32 ] && [ "$runs_32" != 0 ]; then
    [ "$rc" = 125 ] || fail "32-bit Wine on a machine without 32-bit support gave exit $rc, expected 125"
    grep -q "does not execute 32-bit programs" "$work/forced-$arch.txt" || fail "no clear message: $(cat "$work/forced-$arch.txt")"
    [ -e "$work/forced-$arch" ] && fail "a prefix was made although 32-bit Wine cannot run"
    echo "forced $arch: refused as expected on this machine"
    continue
  fi
  [ "$rc" = 7 ] || fail "cmd /c exit 7 under forced $arch gave exit $rc"
  [ "$(prefix_arch "$work/forced-$arch")" = "$arch" ] || fail "forced $arch ran in a $(prefix_arch "$work/forced-$arch") prefix"
  echo "forced $arch: ran in a $arch prefix"
done

# A kept prefix keeps its architecture: the other kind of program is refused.
"$runner" --arch "$other_arch" --prefix "$work/own" --timeout 60 cmd /c exit 0 >"$work/mix.txt" 2>&1
rc=$?
[ "$rc" = 2 ] || [ "$rc" = 125 ] || fail "a $other_arch run in a $build_arch prefix gave exit $rc"

if [ "$failed" != 0 ]; then
  echo "---- own run"; tail -5 "$work/own.txt"
  exit 1
fi
echo "run-wine architecture choice passed"
