#!/usr/bin/env bash
# Builds, once, a small Debian virtual machine that can run 32-bit code (and so Wine's
# 32-bit loader) for machines whose own kernel cannot: a debootstrapped amd64 root with
# the kernel and every package that tools/packages.txt marks "vm", in an ext4 image, plus
# a Wine prefix made at its first boot. Everything comes from Debian's packages.
# Idempotent; the image lives in $KQ_VM_DIR (default /var/cache/kq-vm) and is built anew
# when the marked packages or the machine's own scripts change.
set -euo pipefail
dir=${KQ_VM_DIR:-/var/cache/kq-vm}
here=$(cd "$(dirname "$0")" && pwd)
mapfile -t packages < <(sed -e 's/#.*//' "$here/../packages.txt" | awk '$2 == "vm" { print $1 }')
version=$( (printf '%s\n' "${packages[@]}"; cat "$here/init.sh" "$here/build-image.sh") |
  sha256sum | cut -c1-12)
stamp="$dir/ready-$version"
image="$dir/image-$version"
[ -f "$stamp" ] && exit 0
mirror=${KQ_VM_MIRROR:-http://deb.debian.org/debian}

if [ ! -f "$image" ]; then
  echo "vm: building the test machine image $version in $dir (a few minutes, once)"
  rm -rf "$dir"
  mkdir -p "$dir"
  root="$dir/root"
  debootstrap --variant=minbase --include=linux-image-amd64,kmod \
    bookworm "$root" "$mirror" > "$dir/debootstrap.log" 2>&1 ||
    { tail -n 20 "$dir/debootstrap.log"; exit 1; }
  cp /etc/resolv.conf "$root/etc/resolv.conf"
  mount -t proc proc "$root/proc"
  trap 'umount "$root/proc" 2>/dev/null || true' EXIT
  chroot "$root" bash -c "dpkg --add-architecture i386 && apt-get update -qq &&
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
      ${packages[*]} && apt-get clean" > "$dir/packages.log" 2>&1 ||
    { tail -n 20 "$dir/packages.log"; exit 1; }
  umount "$root/proc"
  trap - EXIT
  install -m 755 "$here/init.sh" "$root/kqinit"
  cp "$root"/boot/vmlinuz-* "$dir/vmlinuz"
  cp "$root"/boot/initrd.img-* "$dir/initrd"
  mke2fs -q -t ext4 -d "$root" -L kqroot "$dir/rootfs.tmp" 6G
  rm -rf "$root"
  mv "$dir/rootfs.tmp" "$dir/rootfs.img"
  touch "$image"
fi

# First boot: the Wine prefix, made once inside the image.
KQ_VM_DIR="$dir" KQ_VM_KEEP=1 "$here/run.sh" - bash -c \
  'export WINEPREFIX=$KQ_WINEPREFIX WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=";
   wineboot -i && wineserver -w && test -f "$WINEPREFIX/system.reg"'
touch "$stamp"
echo "vm: ready"
