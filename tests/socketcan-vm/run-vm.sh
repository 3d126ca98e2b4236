#!/usr/bin/env bash
# Boots Debian's kernel in QEMU with two emulated SJA1000 boards (Kvaser PCI)
# on one emulated CAN bus, so that the guest has can0 and can1, and vcan.
# The host's root is shared read-only, a results folder writably; the guest
# runs JOB as root inside the host's root, then powers off.
#
#   run-vm.sh KERNEL_ROOT WORK_FOLDER RESULTS_FOLDER JOB [ARGS...]
#
# KERNEL_ROOT is the unpacked kernel package (fetch-kernel.sh). The job's
# exit status becomes this script's; its output is in RESULTS_FOLDER/job.log.
set -euo pipefail

kernel_root=$1 work=$2 results=$3
shift 3
mkdir -p "$work" "$results"
work=$(cd "$work" && pwd)
results=$(cd "$results" && pwd)
rm -f "$results/exit-status"

vmlinuz=$(ls "$kernel_root"/boot/vmlinuz-* | head -n 1)
release=${vmlinuz##*/vmlinuz-}
modules=$kernel_root/lib/modules/$release/kernel

# The initramfs: busybox, the modules in the order they depend on each other,
# and an init that mounts the shares and runs the job.
initrd=$work/initrd.gz
if [[ ! -s "$initrd" || "$0" -nt "$initrd" || "$(dirname "$0")/guest-init.sh" -nt "$initrd" ]]; then
  tree=$work/initrd
  rm -rf "$tree"
  mkdir -p "$tree"/{bin,dev,proc,sys,host,modules}
  cp /bin/busybox "$tree/bin/busybox"
  for m in drivers/virtio/virtio drivers/virtio/virtio_ring \
           drivers/virtio/virtio_pci_legacy_dev drivers/virtio/virtio_pci_modern_dev \
           drivers/virtio/virtio_pci fs/netfs/netfs fs/fscache/fscache net/9p/9pnet \
           net/9p/9pnet_virtio fs/9p/9p net/can/can net/can/can-raw \
           drivers/net/can/dev/can-dev drivers/net/can/sja1000/sja1000 \
           drivers/net/can/sja1000/kvaser_pci drivers/net/can/vcan; do
    name=${m##*/}
    for ext in .ko .ko.xz .ko.zst; do
      [[ -f "$modules/$m$ext" ]] || continue
      case $ext in
        .ko) cp "$modules/$m$ext" "$tree/modules/$name.ko" ;;
        .ko.xz) xz -dc "$modules/$m$ext" >"$tree/modules/$name.ko" ;;
        .ko.zst) zstd -qdc "$modules/$m$ext" >"$tree/modules/$name.ko" ;;
      esac
    done
    [[ -f "$tree/modules/$name.ko" ]] || { echo "module $m missing" >&2; exit 1; }
    echo "$name" >>"$tree/modules/order"
  done
  cp "$(dirname "$0")/guest-init.sh" "$tree/init"
  chmod +x "$tree/init"
  (cd "$tree" && find . | /bin/busybox cpio -o -H newc 2>/dev/null | gzip -1) >"$initrd.part"
  mv "$initrd.part" "$initrd"
fi

# The job and its arguments, as the guest's init reads them.
printf '%q ' "$@" >"$results/job"

timeout "${VM_TIMEOUT:-1200}" qemu-system-x86_64 \
  -nographic -no-reboot -m 1536 -smp 2 -accel tcg,thread=multi \
  -kernel "$vmlinuz" -initrd "$initrd" \
  -append "console=ttyS0 quiet loglevel=3 panic=-1 no_timer_check rdinit=/init" \
  -virtfs local,path=/,mount_tag=hostroot,security_model=none,readonly=on,multidevs=remap \
  -virtfs local,path="$results",mount_tag=results,security_model=none,multidevs=remap \
  -object can-bus,id=canbus0 \
  -device kvaser_pci,canbus=canbus0 -device kvaser_pci,canbus=canbus0 \
  -nic none >"$results/console.log" 2>&1 </dev/null || true

status=$(cat "$results/exit-status" 2>/dev/null || echo "no exit status: the machine did not finish (see console.log)")
[[ "$status" == 0 ]] && exit 0
echo "virtual machine job failed: $status" >&2
exit 1
