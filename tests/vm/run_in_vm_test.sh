#!/usr/bin/env bash
# The emulated machine's runner (tools/vm/run-in-vm.sh), checked from outside:
#   - a 32-bit and a 64-bit Windows program run inside under their own Wine,
#     and each one's exit code comes back through the runner;
#   - a 32-bit Linux program executes inside (whatever this machine does);
#   - a --share folder is at the same path inside, and what the command
#     writes there is here afterwards; the working folder is kept;
#   - a command that outlives the time limit is ended, reported, exits 124,
#     and no emulator is left running.
#
#   run_in_vm_test.sh WORK_FOLDER
set -uo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/../.." && pwd)"
runner="$root/tools/vm/run-in-vm.sh"
work="$1/vm-runner-check"
rm -rf "$work"
mkdir -p "$work"
passed=0
failed=0
pass() { echo "PASS $1"; passed=$((passed + 1)); }
fail() { echo "FAIL $1"; failed=$((failed + 1)); }
# This check's own emulators only: its jobs are made under a folder of its own,
# so an emulated machine that something else runs at the same time is not one.
jobs="$work/jobs"
mkdir -p "$jobs"
emulators() { pgrep -f "qemu-system-x86_64.*volantis_job=$jobs/" | wc -l; }

cat >"$work/exit_with.c" <<'C'
#include <stdlib.h>
int main(int argc, char** argv) { return argc > 1 ? atoi(argv[1]) : 0; }
C
i686-w64-mingw32-gcc -O1 -o "$work/exit32.exe" "$work/exit_with.c" || { echo "FAIL no 32-bit compiler"; exit 1; }
x86_64-w64-mingw32-gcc -O1 -o "$work/exit64.exe" "$work/exit_with.c" || { echo "FAIL no 64-bit compiler"; exit 1; }
other="$(mktemp -d "${TMPDIR:-/tmp}/vm-share-XXXXXX")"
trap 'rm -rf "$other"' EXIT

before=$(emulators)
# One boot for the programs and the share: the guest script checks and reports.
cat >"$work/inside.sh" <<'SH'
#!/usr/bin/env bash
dir="$1"; other="$2"; runner_root="$3"
# Each program's own header chooses its Wine here, whatever the caller forced.
unset VOLANTIS_WINE_ARCH
echo "inside: $(uname -m) in $(pwd)"
/lib/ld-linux.so.2 --version >/dev/null 2>&1; echo "linux32=$?"
"$runner_root/tools/wine/run-wine.sh" "$dir/exit32.exe" 7 </dev/null >/dev/null 2>&1; echo "win32=$?"
"$runner_root/tools/wine/run-wine.sh" "$dir/exit64.exe" 9 </dev/null >/dev/null 2>&1; echo "win64=$?"
echo "written inside" >"$other/from-inside.txt"
exit 42
SH
chmod +x "$work/inside.sh"
cd "$work" || exit 1
out="$("$runner" --share "$other" --timeout 900 -- ./inside.sh "$work" "$other" "$root" 2>&1)"
rc=$?
printf '%s\n' "$out" | sed 's/^/  | /'
[ "$rc" = 42 ] && pass "the command's exit status comes back (42)" || fail "exit status $rc, not 42"
grep -qx "inside: x86_64 in $work" <<<"$out" && pass "the working folder is the caller's" || fail "not run in $work"
grep -qx "linux32=0" <<<"$out" && pass "a 32-bit Linux program executes inside" || fail "no 32-bit Linux program inside"
grep -qx "win32=7" <<<"$out" && pass "a 32-bit Windows program under 32-bit Wine returns 7" || fail "32-bit Windows program"
grep -qx "win64=9" <<<"$out" && pass "a 64-bit Windows program under 64-bit Wine returns 9" || fail "64-bit Windows program"
[ "$(cat "$other/from-inside.txt" 2>/dev/null)" = "written inside" ] && pass "the shared folder is at its own path inside" ||
  fail "nothing written to the shared folder"

started=$(date +%s)
out="$(TMPDIR="$jobs" "$runner" --timeout 45 -- sleep 600 2>&1)"
rc=$?
took=$(( $(date +%s) - started ))
printf '%s\n' "$out" | sed 's/^/  | /'
[ "$rc" = 124 ] && pass "a command past the time limit exits 124" || fail "past the time limit: exit $rc, not 124"
grep -q "outlived the time limit of 45 s" <<<"$out" && pass "the time limit is reported" || fail "no report of the time limit"
[ "$took" -lt 120 ] && pass "ended at the limit (${took} s)" || fail "took ${took} s for a 45 s limit"
[ "$(emulators)" = "$before" ] && pass "no emulator left running" || fail "an emulator is still running"

echo "$passed passed, $failed failed"
[ "$failed" = 0 ]
