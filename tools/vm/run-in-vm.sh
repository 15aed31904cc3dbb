#!/usr/bin/env bash
# Runs a command inside a small emulated x86-64 machine that executes 32-bit
# programs, for machines whose kernel refuses them: there 32-bit Wine cannot
# run at all, and the emulated machine (software emulation, no network device)
# runs it with the same results a machine with 32-bit support gives.
#
#   run-in-vm.sh [--share DIR]... [--timeout SECONDS] [--memory MIB] -- COMMAND [ARGS...]
#   run-in-vm.sh --build-image      only build (or find) the image
#
# The image is built once per machine from Debian 12 packages (image-packages.txt)
# into $VOLANTIS_VM_CACHE (default /var/cache/volantis-vm), keyed by the package
# list and these scripts, and reused after that. The command runs as root with
# the caller's environment (less what names this machine's session), in the
# caller's working folder; this checkout, every --share DIR and the working
# folder are at the same paths as here, so build folders work as they are. The
# command's output is printed as it comes and its exit status is returned. The
# emulator never outlives the command: it is ended when the command ends, when
# this script is stopped, and when the time limit (default 3600 s) passes,
# which exits 124.
set -uo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
checkout="$(cd "$here/../.." && pwd)"
version="volantis-vm-1"

usage() { sed -n '2,20p' "$0" | sed 's/^# \{0,1\}//' >&2; exit 2; }

shares=("$checkout")
timeout_s=3600
memory=12288
build_only=0
while [ $# -gt 0 ]; do
  case "$1" in
    --share) [ -d "${2:-}" ] || { echo "run-in-vm: --share needs a folder, not '${2:-}'" >&2; exit 2; }
             shares+=("$(cd "$2" && pwd)"); shift 2 ;;
    --timeout) [[ "${2:-}" =~ ^[0-9]+$ ]] || usage; timeout_s="$2"; shift 2 ;;
    --memory) [[ "${2:-}" =~ ^[0-9]+$ ]] || usage; memory="$2"; shift 2 ;;
    --build-image) build_only=1; shift ;;
    -h|--help) usage ;;
    --) shift; break ;;
    *) echo "run-in-vm: unknown option $1" >&2; usage ;;
  esac
done
[ "$build_only" = 1 ] || [ $# -ge 1 ] || usage
# The working folder is shared too when no shared folder holds it.
workdir="$(pwd)"
under_share=0
for dir in "${shares[@]}"; do
  case "$workdir/" in "$dir"/*) under_share=1 ;; esac
done
[ "$under_share" = 1 ] || shares+=("$workdir")

# ---------------------------------------------------------------- the image
cache_root="${VOLANTIS_VM_CACHE:-/var/cache/volantis-vm}"
key=$( { echo "$version"; cat "$here/image-packages.txt" "$here/build-image.sh" "$here/guest-init"; } |
       sha256sum | cut -c1-16)
image_dir="$cache_root/$key"
mkdir -p "$cache_root" || { echo "run-in-vm: cannot make $cache_root" >&2; exit 1; }
# A shared hold on the cache while the image is in use (the emulator keeps it);
# building takes the exclusive one, so no image is replaced under a machine.
exec {lock_fd}>"$cache_root/.lock"
flock -s "$lock_fd"
if [ ! -f "$image_dir/ready" ]; then
  flock -x "$lock_fd"
fi
if [ ! -f "$image_dir/ready" ]; then
  echo "run-in-vm: building the emulated machine's image in $image_dir (once per machine; several minutes)"
  started=$(date +%s)
  rm -rf "$image_dir.new"
  if ! bash "$here/build-image.sh" "$image_dir.new" {lock_fd}>&-; then
    echo "run-in-vm: building the image failed" >&2
    rm -rf "$image_dir.new"
    exit 1
  fi
  rm -rf "$image_dir"
  mv "$image_dir.new" "$image_dir"
  date -u +%FT%TZ >"$image_dir/ready"
  echo "run-in-vm: image built in $(( $(date +%s) - started )) s"
  # Images of older package lists or scripts are of no more use.
  for old in "$cache_root"/*/; do
    old="${old%/}"
    [ "$old" = "$image_dir" ] || rm -rf "$old"
  done
  flock -s "$lock_fd"
fi
[ "$build_only" = 1 ] && { echo "run-in-vm: image ready in $image_dir"; exit 0; }

command -v qemu-system-x86_64 >/dev/null ||
  { echo "run-in-vm: qemu-system-x86_64 is missing (tools/ci/install-deps.sh installs it)" >&2; exit 1; }

# ---------------------------------------------------------------- the job
job="$(mktemp -d "${TMPDIR:-/tmp}/volantis-vm-job-XXXXXX")"
qemu_pid=""
watch_pid=""
tail_pid=""
cleanup() {
  [ -n "$watch_pid" ] && kill "$watch_pid" 2>/dev/null
  if [ -n "$qemu_pid" ] && kill -0 "$qemu_pid" 2>/dev/null; then
    kill -TERM "$qemu_pid" 2>/dev/null
    sleep 1
    kill -KILL "$qemu_pid" 2>/dev/null
  fi
  [ -n "$tail_pid" ] && kill "$tail_pid" 2>/dev/null
  rm -rf "$job"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
trap 'exit 129' HUP

cp "$here/guest-run.sh" "$job/guest-run.sh"
: >"$job/output"
# Parents before the folders inside them.
IFS=$'\n' read -r -d '' -a sorted < <(printf '%s\n' "${shares[@]}" | awk '{print length($0) "\t" $0}' | sort -n -u | cut -f2-; printf '\0')
virtfs=()
security=passthrough
[ "$(id -u)" = 0 ] || security=none
: >"$job/shares"
n=0
declare -A seen=()
for dir in "${sorted[@]}"; do
  [ -n "$dir" ] && [ -z "${seen[$dir]:-}" ] || continue
  seen[$dir]=1
  virtfs+=(-virtfs "local,path=$dir,mount_tag=share$n,security_model=$security,id=share$n")
  printf 'share%s %s\n' "$n" "$dir" >>"$job/shares"
  n=$((n + 1))
done

{
  echo "# written by run-in-vm.sh"
  # The caller's environment, less what belongs to this machine alone.
  while IFS= read -r -d '' entry; do
    name="${entry%%=*}"
    case "$name" in
      ''|*[!A-Za-z0-9_]*|PATH|HOME|USER|LOGNAME|SHELL|PWD|OLDPWD|SHLVL|_|TERM|DISPLAY|XAUTHORITY|TMPDIR|SSH_*|XDG_RUNTIME_DIR|WINEPREFIX|WINESERVER|WINELOADER|VOLANTIS_WINE_CACHE|BASH_FUNC_*) continue ;;
    esac
    printf 'export %s=%q\n' "$name" "${entry#*=}"
  done < <(env -0)
  printf 'cd %q || exit 125\n' "$(pwd)"
  printf 'exec'
  printf ' %q' "$@"
  printf '\n'
} >"$job/job.sh"

kernel_args="root=/dev/vda rw console=ttyS0 quiet loglevel=1 panic=-1 init=/usr/local/sbin/volantis-vm-init volantis_job=$job"
qemu-system-x86_64 -machine q35 -cpu max,-smap,-pku -smp 2 -m "$memory" -accel tcg,thread=multi \
  -display none -monitor none -serial "file:$job/console.log" -nic none -no-reboot \
  -kernel "$image_dir/vmlinuz" -initrd "$image_dir/initrd.img" \
  -drive "file=$image_dir/rootfs.img,if=virtio,format=raw,snapshot=on" \
  -virtfs "local,path=$job,mount_tag=job,security_model=$security,id=job" "${virtfs[@]}" \
  -append "$kernel_args" </dev/null >"$job/qemu.log" 2>&1 &
qemu_pid=$!

# The watchdog: its sleep is ended with it, so nothing of it outlives the run.
( exec {lock_fd}>&-
  sleep "$timeout_s" &
  sleeper=$!
  trap 'kill "$sleeper" 2>/dev/null; exit 0' TERM
  wait "$sleeper"
  : >"$job/timed-out"
  kill -TERM "$qemu_pid" 2>/dev/null
  sleep 5
  kill -KILL "$qemu_pid" 2>/dev/null ) &
watch_pid=$!

tail -n +1 -F --pid="$qemu_pid" "$job/output" 2>/dev/null {lock_fd}>&- &
tail_pid=$!
wait "$qemu_pid"
qemu_rc=$?
wait "$tail_pid" 2>/dev/null
tail_pid=""
kill "$watch_pid" 2>/dev/null
watch_pid=""

if [ -e "$job/timed-out" ]; then
  echo "run-in-vm: the command outlived the time limit of $timeout_s s; the emulated machine was ended" >&2
  exit 124
fi
if [ ! -f "$job/rc" ]; then
  echo "run-in-vm: the emulated machine stopped (emulator exit $qemu_rc) without the command's exit status" >&2
  for f in qemu.log guest.log console.log; do
    [ -s "$job/$f" ] && { echo "--- $f" >&2; tail -n 25 "$job/$f" >&2; }
  done
  exit 125
fi
exit "$(cat "$job/rc")"
