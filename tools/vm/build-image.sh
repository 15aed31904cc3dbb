#!/usr/bin/env bash
# Builds the emulated machine's disk image from Debian 12 packages alone:
# debootstrap into a folder, the packages of image-packages.txt installed in a
# chroot, our init program added, then one ext4 image made from the folder.
#
#   build-image.sh OUT_FOLDER
# Leaves OUT_FOLDER/rootfs.img, vmlinuz and initrd.img. Needs root, debootstrap,
# e2fsprogs and the machine's package mirror (read from its apt sources; set
# VOLANTIS_VM_MIRROR to choose another).
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
out="$1"
[ "$(id -u)" = 0 ] || { echo "build-image: needs root (debootstrap, chroot)" >&2; exit 1; }
for tool in debootstrap mke2fs chroot; do
  command -v "$tool" >/dev/null || { echo "build-image: $tool is missing (tools/ci/install-deps.sh installs it)" >&2; exit 1; }
done

# The first mirror of the machine's apt sources that serves bookworm.
mirror_of_machine() {
  local f
  for f in /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] || continue
    awk 'BEGIN{RS=""} /Suites:[^\n]*bookworm([ \n]|$)/ && !/bookworm-security/ {
           if (match($0, /URIs:[ \t]*[^ \t\n]+/)) { s=substr($0,RSTART,RLENGTH); sub(/URIs:[ \t]*/,"",s); print s; exit } }' "$f"
  done
  if [ -f /etc/apt/sources.list ]; then
    awk '$1=="deb" && $3=="bookworm" {print $2; exit}' /etc/apt/sources.list
  fi
}
mirror="${VOLANTIS_VM_MIRROR:-$(mirror_of_machine | head -n 1)}"
[ -n "$mirror" ] || { echo "build-image: no bookworm mirror in the machine's apt sources" >&2; exit 1; }

mkdir -p "$out"
root="$out/root"
mounted=()
cleanup() {
  local i
  for (( i=${#mounted[@]}-1; i>=0; i-- )); do umount -l "${mounted[$i]}" 2>/dev/null || true; done
  rm -rf "$root"
}
trap cleanup EXIT
rm -rf "$root"

step() { echo "build-image: $(date -u +%H:%M:%S) $*"; }
step "debootstrap bookworm (minbase) from the machine's mirror into $root"
debootstrap --variant=minbase --arch=amd64 bookworm "$root" "$mirror" >"$out/debootstrap.log" 2>&1 ||
  { tail -n 30 "$out/debootstrap.log" >&2; exit 1; }

for m in proc sys dev dev/pts; do
  mount --bind "/$m" "$root/$m"; mounted+=("$root/$m")
done
cat >"$root/usr/sbin/policy-rc.d" <<'P'
#!/bin/sh
exit 101
P
chmod +x "$root/usr/sbin/policy-rc.d"
packages=$(grep -v '^#' "$here/image-packages.txt" | tr '\n' ' ')
step "installing in the chroot: $packages"
chroot "$root" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin DEBIAN_FRONTEND=noninteractive \
  bash -c "dpkg --add-architecture i386 && apt-get update -qq &&
           apt-get install -y -qq --no-install-recommends $packages && apt-get clean" \
  >"$out/install.log" 2>&1 || { tail -n 40 "$out/install.log" >&2; exit 1; }
rm -f "$root/usr/sbin/policy-rc.d"
rm -rf "$root/var/lib/apt/lists"/*
install -m 0755 "$here/guest-init" "$root/usr/local/sbin/volantis-vm-init"
echo "volantis-vm" >"$root/etc/hostname"

kernel=$(ls "$root"/boot/vmlinuz-* | sort -V | tail -n 1)
initrd=$(ls "$root"/boot/initrd.img-* | sort -V | tail -n 1)
[ -f "$kernel" ] && [ -f "$initrd" ] || { echo "build-image: no kernel or initrd in the image" >&2; exit 1; }
cp "$kernel" "$out/vmlinuz"
cp "$initrd" "$out/initrd.img"

for (( i=${#mounted[@]}-1; i>=0; i-- )); do umount "${mounted[$i]}"; done
mounted=()
step "making the disk image"
mke2fs -q -t ext4 -L volantis-vm -d "$root" -F "$out/rootfs.img" 8G
step "image ready: $out"
