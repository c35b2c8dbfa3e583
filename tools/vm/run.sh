#!/usr/bin/env bash
# Runs a command inside the test machine (see build-image.sh) with the folder DIR of
# this machine mounted at the same path (none for "-"), and the folder "shared" beside
# it when there is one, in the current folder when it lies inside DIR, and gives the
# command's output and exit code.
# Usage: run.sh DIR|- COMMAND [ARGS...]
set -euo pipefail
dir=${KQ_VM_DIR:-/var/cache/kq-vm}
share=$1; shift
job=$(mktemp -d)
trap 'rm -rf "$job"' EXIT
# Hardware acceleration where this machine's KVM boots an ordinary kernel, software
# emulation (about thirty times slower) otherwise. Some hosts offer a /dev/kvm that only
# runs specially built guests, so the test is a real boot of the image's kernel to its
# panic for want of a root; the answer is kept per host kernel. KQ_VM_ACCEL=tcg forces
# emulation.
choose_accel() {
  if [ -n "${KQ_VM_ACCEL:-}" ]; then echo "$KQ_VM_ACCEL"; return; fi
  local cache
  cache="$dir/accel-$(uname -r)"
  if [ -f "$cache" ]; then cat "$cache"; return; fi
  local accel=tcg
  if [ -r /dev/kvm ] && [ -w /dev/kvm ] &&
     timeout 20 qemu-system-x86_64 -accel kvm -cpu host -m 256 -nographic -no-reboot \
       -kernel "$dir/vmlinuz" -append "console=ttyS0 panic=-1" </dev/null 2>&1 |
       grep -q 'Kernel panic'; then
    accel=kvm
  fi
  echo "$accel" > "$cache.$$" 2>/dev/null && mv "$cache.$$" "$cache"
  echo "$accel"
}
accel=$(choose_accel)
shared=()
{
  echo 'set -u'
  # Programs run tens of times slower under emulation: the tests' waits stretch.
  [ "$accel" = kvm ] || echo "export KQ_WAIT_SCALE=${KQ_WAIT_SCALE:-5}"
  if [ "$share" != - ]; then
    share=$(cd "$share" && pwd)
    shared=(-virtfs "local,path=$share,mount_tag=share,security_model=none,id=share")
    printf 'mkdir -p %q && mount -t 9p -o trans=virtio,version=9p2000.L,msize=512000,cache=loose share %q\n' \
      "$share" "$share"
    # The shared folder beside the project (the test corpus) is found at the same
    # relative place as on this machine. Nothing changes it during a run, so it is cached:
    # uncached, every page a program maps from it is fetched from this machine again
    # (about 0.2 ms a page under emulation, a hundred times a local disk's cost).
    beside=$(dirname "$share")/shared
    if [ -d "$beside" ]; then
      shared+=(-virtfs "local,path=$beside,mount_tag=beside,security_model=none,readonly=on,id=beside")
      printf 'mkdir -p %q && mount -t 9p -o trans=virtio,version=9p2000.L,msize=512000,cache=loose,ro beside %q\n' \
        "$beside" "$beside"
    fi
    case "$PWD/" in "$share"/*) printf 'cd %q\n' "$PWD" ;; esac
  fi
  printf '%q ' "$@"
  echo
} > "$job/job.sh"
cpu=()
[ "$accel" = kvm ] && cpu=(-cpu host)
if [ "$accel" = kvm ]; then
  echo "vm: KVM hardware acceleration" >&2
else
  echo "vm: software emulation (this machine's KVM cannot run the test machine)" >&2
fi
# Runs leave the image as it was (-snapshot), so that several may run side by side; only
# the first boot of build-image.sh keeps what it writes (KQ_VM_KEEP=1).
snapshot=(-snapshot)
[ "${KQ_VM_KEEP:-0}" = 1 ] && snapshot=()
timeout "${KQ_VM_TIMEOUT:-3600}" qemu-system-x86_64 "${snapshot[@]}" -accel "$accel" "${cpu[@]}" -m 4096 -smp 2 -nographic -no-reboot \
  -kernel "$dir/vmlinuz" -initrd "$dir/initrd" \
  -append "root=/dev/vda rw console=ttyS0 init=/kqinit quiet" \
  -drive "file=$dir/rootfs.img,format=raw,if=virtio" \
  -virtfs "local,path=$job,mount_tag=job,security_model=none,id=job" \
  "${shared[@]}" \
  > "$job/console" 2>&1 || { echo "vm: the machine did not finish"; tail -20 "$job/console"; exit 1; }
cat "$job/output" 2>/dev/null || true
[ -f "$job/status" ] || { echo "vm: the job left no status"; tail -20 "$job/console"; exit 1; }
exit "$(cat "$job/status")"
