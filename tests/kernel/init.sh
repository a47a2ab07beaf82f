#!/bin/busybox sh
# The test machine's init: modules, the host's root over 9p, then the tests
# (or the script machine.sh was given) in a chroot into it; the machine powers
# off when they end.
/bin/busybox --install -s /bin
export PATH=/bin
mkdir -p /proc /sys /dev /host
mount -t proc proc /proc
mount -t sysfs sys /sys
mount -t devtmpfs dev /dev
ln -s /proc/self/fd /dev/fd; ln -s /proc/self/fd/0 /dev/stdin; ln -s /proc/self/fd/1 /dev/stdout; ln -s /proc/self/fd/2 /dev/stderr
for m in $(cat /modules.list); do
  insmod "/modules/$m" 2>/dev/null || echo "# insmod $m failed"
done
mount -t configfs none /sys/kernel/config
mount -t 9p -o trans=virtio,version=9p2000.L,ro,cache=loose hostroot /host ||
  { echo "# no host share"; poweroff -f; }
# A second view of the host's root, kept free of the guest's own /tmp: a
# source or build tree that lives under the host's /tmp is bound back from it.
mkdir -p /hostfull
mount --bind /host /hostfull
mount -t tmpfs tmp /host/tmp
mkdir -p /host/tmp/out
mount -t 9p -o trans=virtio,version=9p2000.L out /host/tmp/out
mount --rbind /dev /host/dev
mount --rbind /proc /host/proc
mount --rbind /sys /host/sys
mount -t tmpfs run /host/run
. /host/tmp/out/guest.env
for tree in "$RILVANE_SOURCE" "$RILVANE_BUILD" "${RILVANE_DATA_ISO%/*}"; do
  case "$tree" in
    /tmp/out|/tmp/out/*) ;;
    /tmp/*) [ -d "/host$tree" ] || { mkdir -p "/host$tree" && mount --bind "/hostfull$tree" "/host$tree"; } ;;
  esac
done
chroot /host /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root \
  RILVANE_SOURCE="$RILVANE_SOURCE" RILVANE_BUILD="$RILVANE_BUILD" RILVANE_OUT="$RILVANE_OUT" RILVANE_DATA_ISO="$RILVANE_DATA_ISO" \
  /bin/bash "$RILVANE_GUEST_SCRIPT" $RILVANE_GUEST_ARGUMENT 2>&1
sync
poweroff -f
