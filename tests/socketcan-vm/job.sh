#!/bin/sh
# Runs as root inside the test machine: sets the CAN interfaces up, then runs
# the SocketCAN tests, first as a user without the right to configure network
# interfaces, then as root.
#
#   job.sh BUILD_FOLDER [screenshot]
build=$1
results=/tmp/results
tests=$build/tests/socketcan-vm/tst_socketcan

for link in can0 can1; do
  ip link set $link type can bitrate 250000 && ip link set $link up || exit 1
done
ip link add vcan0 type vcan && ip link set vcan0 mtu 72 && ip link set vcan0 up || exit 1
mkdir -p /tmp/home && mkdir -p -m 0700 /tmp/runtime
export XDG_RUNTIME_DIR=/tmp/runtime

if [ "$2" = screenshot ]; then
  Xvfb :7 -screen 0 1100x760x24 -nolisten tcp >/dev/null 2>&1 &
  xserver=$!
  sleep 3
  DISPLAY=:7 QT_QPA_PLATFORM=xcb "$build/app/vexoview" --adapter "socketcan can0" \
    >"$results/vexoview.log" 2>&1 &
  program=$!
  # An emulated machine takes its time to start a desktop program.
  for i in $(seq 120); do
    DISPLAY=:7 xdotool search --name "^Vexo View" >/dev/null 2>&1 && break
    sleep 1
  done
  sleep 5
  # A quiet other node: a few frames a second.
  cangen can1 -g 100 -n 80 -I r -L r -D r
  sleep 3
  DISPLAY=:7 import -window root "$results/vexoview-can0.png"
  kill $program $xserver
  wait $program $xserver 2>/dev/null
fi

# A test that hangs fails after five minutes instead of holding up the rest.
export QTEST_FUNCTION_TIMEOUT=300000 QTEST_DISABLE_STACK_DUMP=1
mkdir -p -m 0777 /tmp/user
setpriv --reuid=65534 --regid=65534 --clear-groups env HOME=/tmp/user TMPDIR=/tmp/user \
  "$tests" "setupShowsAndChangesTheRate:250 to 500"
unprivileged=$?
"$tests"
privileged=$?
[ $unprivileged -eq 0 ] && [ $privileged -eq 0 ]
