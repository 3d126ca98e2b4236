#!/usr/bin/env bash
# The tests on real SocketCAN interfaces: boots Debian's kernel in QEMU (see
# run-vm.sh) and runs job.sh there on the built programs. Exit status 77
# (skipped) when QEMU, busybox or the kernel package is not available.
#
#   run-tests.sh BUILD_FOLDER
#
# VEXO_VM_SCREENSHOT=FILE also takes a screenshot of Vexo View on can0.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:?usage: run-tests.sh BUILD_FOLDER}" && pwd)
vm=$build/socketcan-vm

skip() {
  echo "SocketCAN tests in the virtual machine skipped: $*"
  exit 77
}
command -v qemu-system-x86_64 >/dev/null || skip "qemu-system-x86_64 is not installed"
[[ -x /bin/busybox ]] || skip "busybox is not installed"
# The machine has its own /tmp and /run: the build must be elsewhere.
case $build/ in /tmp/* | /run/*) skip "the build folder is under /tmp or /run" ;; esac
kernel=$("$here/fetch-kernel.sh" "$vm/kernel") || skip "Debian's kernel package could not be fetched"

started=$(date +%s)
rm -rf "$vm/results"
mkdir -p "$vm/results"
"$here/run-vm.sh" "$kernel" "$vm/work" "$vm/results" \
  sh "$here/job.sh" "$build" "${VEXO_VM_SCREENSHOT:+screenshot}"
status=$?
cat "$vm/results/job.log" 2>/dev/null || tail -n 30 "$vm/results/console.log"
if [[ -n "${VEXO_VM_SCREENSHOT:-}" && -f "$vm/results/vexoview-can0.png" ]]; then
  cp "$vm/results/vexoview-can0.png" "$VEXO_VM_SCREENSHOT"
fi
echo "Virtual machine part: $(($(date +%s) - started)) s; load: $(cut -d' ' -f1-3 /proc/loadavg)"
exit $status
