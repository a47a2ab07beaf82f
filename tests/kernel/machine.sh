#!/usr/bin/env bash
# The kernel test machine: boots Debian's own kernel under QEMU (TCG) with a
# small busybox initramfs, shares the host's root read-only over virtio-9p and
# runs guest-tests.sh there in a chroot, with the build tree as it is. One
# guest for all kernel tests; each test prints "ok NAME" or "not ok NAME: why".
#
#   machine.sh SOURCE_DIR BUILD_DIR [GUEST_SCRIPT [ARGUMENT]]
#
# GUEST_SCRIPT runs in the guest instead of guest-tests.sh (the benchmarks on
# kernel drives), with ARGUMENT (one word) if given; it writes its results the
# same way and may leave files in $RILVANE_OUT, which is
# BUILD_DIR/kernel-machine/out on the host. The guest is given
# RILVANE_MACHINE_SECONDS (default 420) before it is stopped.
#
# The kernel package is fetched with apt-get download and unpacked into
# BUILD_DIR/kernel-machine (never installed). Where QEMU, busybox or the
# package cannot be had the run is skipped (exit 77), unless
# RILVANE_KERNEL_TESTS=required (CI), where that is a failure.
set -euo pipefail
src=$(cd "$1" && pwd)
build=$(cd "$2" && pwd)
guest_script=$(realpath "${3:-$src/tests/kernel/guest-tests.sh}")
guest_argument=${4:-}
cache=$build/kernel-machine
mkdir -p "$cache"

unavailable() {
  echo "kernel tests: $*" >&2
  if [ "${RILVANE_KERNEL_TESTS:-}" = "required" ]; then
    echo "kernel tests: required here, failing" >&2
    exit 1
  fi
  echo "kernel tests: skipped" >&2
  exit 77
}

qemu=$(command -v qemu-system-x86_64 || true)
[ -n "$qemu" ] || unavailable "qemu-system-x86_64 not found (apt-get install qemu-system-x86)"
busybox=$(command -v busybox || true)
if [ -z "$busybox" ] || ! file -L "$busybox" | grep -q 'statically linked'; then
  unavailable "a static busybox is needed (apt-get install busybox-static)"
fi

# --- the kernel package -------------------------------------------------------
kdir=$cache/linux
if [ ! -f "$kdir/ready" ]; then
  rm -rf "$kdir" && mkdir -p "$kdir"
  pkg=$(apt-cache depends linux-image-amd64 2>/dev/null | awk '/Depends: linux-image-[0-9]/ {print $2; exit}')
  [ -n "$pkg" ] || unavailable "apt-cache knows no linux-image-amd64 (apt-get update?)"
  (cd "$cache" && rm -f linux-image-*.deb && apt-get download "$pkg" >/dev/null 2>"$cache/download.log") ||
    unavailable "apt-get download $pkg failed: $(tail -1 "$cache/download.log")"
  dpkg-deb -x "$cache"/linux-image-*.deb "$kdir"
  rm -f "$cache"/linux-image-*.deb
  touch "$kdir/ready"
fi
version=$(basename "$(ls -d "$kdir"/lib/modules/*/ | head -1)")
vmlinuz=$kdir/boot/vmlinuz-$version

# The uncompressed kernel boots in about half the time under TCG (PVH entry).
kernel=$vmlinuz
if [ ! -f "$cache/vmlinux" ]; then
  offset=$(python3 -c "import sys; print(open(sys.argv[1],'rb').read().find(b'\xfd7zXZ\x00'))" "$vmlinuz")
  if [ "$offset" -ge 0 ] && tail -c +$((offset + 1)) "$vmlinuz" | xz -dc --single-stream >"$cache/vmlinux.part" 2>/dev/null &&
     file "$cache/vmlinux.part" | grep -q ELF; then
    mv "$cache/vmlinux.part" "$cache/vmlinux"
  else
    rm -f "$cache/vmlinux.part"
  fi
fi
[ -f "$cache/vmlinux" ] && kernel=$cache/vmlinux

# --- the initramfs ----------------------------------------------------------
modules="ata_piix sr_mod sg virtio_pci 9p 9pnet_virtio snd-aloop snd-hrtimer target_core_user tcm_loop"
initrd=$cache/initrd.cpio
if [ ! -f "$initrd" ] || [ "$initrd" -ot "$src/tests/kernel/init.sh" ] || [ "$initrd" -ot "$0" ]; then
  [ -f "$kdir/lib/modules/$version/modules.dep" ] || depmod -b "$kdir" "$version"
  root=$cache/initrd-root
  rm -rf "$root" && mkdir -p "$root/bin" "$root/modules"
  cp "$busybox" "$root/bin/busybox"
  cp "$src/tests/kernel/init.sh" "$root/init" && chmod 755 "$root/init"
  : >"$root/modules.list"
  for m in $modules; do
    /sbin/modprobe -d "$kdir" -S "$version" --show-depends "$m" | awk '$1 == "insmod" {print $2}'
  done | awk '!seen[$0]++' | while read -r ko; do
    cp "$ko" "$root/modules/" && basename "$ko" >>"$root/modules.list"
  done
  (cd "$root" && find . | "$busybox" cpio -o -H newc 2>/dev/null) >"$initrd.part"
  mv "$initrd.part" "$initrd"
fi

# --- the run ------------------------------------------------------------------
out=$cache/out
rm -rf "$out" && mkdir -p "$out"
cat >"$out/guest.env" <<ENV
RILVANE_SOURCE=$src
RILVANE_BUILD=$build
RILVANE_OUT=/tmp/out
RILVANE_DATA_ISO=$cache/data.iso
RILVANE_GUEST_SCRIPT=$guest_script
RILVANE_GUEST_ARGUMENT=$guest_argument
ENV
# A data disc for QEMU's own ATAPI drive.
if [ ! -f "$cache/data.iso" ]; then
  python3 - "$cache/data.iso" <<'PY'
import sys
# 300 sectors of 2048 bytes, each starting with its own number.
with open(sys.argv[1], 'wb') as f:
    for n in range(300):
        f.write(n.to_bytes(4, 'little') + bytes(2044))
PY
fi

# QMP commands the guest asks for (media changes of QEMU's own drive).
python3 "$src/tests/kernel/qmp_relay.py" "$out/qmp.sock" "$out" &
relay=$!
trap 'kill $relay 2>/dev/null' EXIT

start=$(date +%s)
timeout "${RILVANE_MACHINE_SECONDS:-420}" "$qemu" -M pc -nodefaults -cpu max -m 1024 -smp 1 -no-reboot -display none -monitor none \
  -serial stdio -kernel "$kernel" -initrd "$initrd" \
  -append "console=ttyS0 quiet panic=-1 loglevel=4" \
  -fsdev "local,id=hr,path=/,security_model=none,readonly=on,multidevs=remap" \
  -device virtio-9p-pci,fsdev=hr,mount_tag=hostroot \
  -fsdev "local,id=out,path=$out,security_model=none" \
  -device virtio-9p-pci,fsdev=out,mount_tag=out \
  -drive "file=$cache/data.iso,media=cdrom,if=none,id=cd0,format=raw,readonly=on" \
  -device ide-cd,drive=cd0,id=atapi0,bus=ide.1 \
  -qmp "unix:$out/qmp.sock,server=on,wait=off" \
  </dev/null | tee "$out/console.log" | grep -E '^(ok|not ok|skip|#)' | grep -v '^# at ' || true
echo "kernel tests: guest ran $(( $(date +%s) - start )) s"

[ -f "$out/results" ] || { echo "kernel tests: the guest wrote no results"; tail -40 "$out/console.log"; exit 1; }
grep -q '^done$' "$out/results" || { echo "kernel tests: the guest did not finish"; tail -40 "$out/console.log"; exit 1; }
passed=$(grep -c '^ok ' "$out/results" || true)
failed=$(grep -c '^not ok ' "$out/results" || true)
echo "kernel tests: $passed passed, $failed failed"
[ "$failed" -eq 0 ] && [ "$passed" -gt 0 ]
