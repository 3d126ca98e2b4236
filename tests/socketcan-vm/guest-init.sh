#!/bin/busybox sh
# The guest's first process: loads the CAN and share drivers, mounts the
# host's root read-only with writable places over it, and runs the job there.
/bin/busybox --install -s /bin
mount -t proc proc /proc
mount -t sysfs sysfs /sys
mount -t devtmpfs devtmpfs /dev
# Modules that need one loaded later are tried again on the next pass.
pending=$(cat /modules/order)
for pass in 1 2 3 4; do
  left=
  for m in $pending; do
    insmod /modules/$m.ko 2>/dev/null || left="$left $m"
  done
  pending=$left
  [ -z "$pending" ] && break
done
[ -n "$pending" ] && echo "cannot load:$pending"
opts=trans=virtio,version=9p2000.L,msize=262144
mount -t 9p -o $opts,ro hostroot /host
mount -t proc proc /host/proc
mount -t sysfs sysfs /host/sys
mount -t devtmpfs devtmpfs /host/dev
mkdir -p /host/dev/pts /host/dev/shm
mount -t devpts devpts /host/dev/pts
mount -t tmpfs tmpfs /host/dev/shm
mount -t tmpfs tmpfs /host/tmp
mount -t tmpfs tmpfs /host/run
mkdir -p /host/tmp/results
mount -t 9p -o $opts results /host/tmp/results
ip link set lo up
job=$(cat /host/tmp/results/job)
chroot /host /bin/sh -c "cd /tmp && HOME=/tmp/home TMPDIR=/tmp PATH=/usr/sbin:/usr/bin:/sbin:/bin $job" \
  >/host/tmp/results/job.log 2>&1
echo $? >/host/tmp/results/exit-status
sync
umount /host/tmp/results
poweroff -f
