#!/usr/bin/env bash
# What the user pays while the bus is full: starts Vexo View on a private
# virtual display with a private home folder, connects it to the saturated
# virtual adapter at 1 Mbit/s, and prints the program's share of one core over
# five seconds, once in Index List and once in ID List, and how often its
# user-interface thread woke up per second meanwhile.
#
#     scripts/cpu-saturated.sh [path/to/vexoview]
#
# VEXO_DISPLAY chooses the display number (default :77); VEXO_SHOTS names a
# folder that receives a screenshot of each display mode at the end of its
# measurement (needs imagemagick). Needs Xvfb and xdotool; without them it says
# so and skips.
set -euo pipefail

app=${1:-build/app/vexoview}
display=${VEXO_DISPLAY:-:77}
seconds=5

for tool in Xvfb xdotool; do
  if ! command -v "$tool" >/dev/null; then
    echo "cpu_saturated: skipped ($tool is not installed; scripts/setup-debian.sh measure installs it)"
    exit 0
  fi
done
if [[ ! -x $app ]]; then
  echo "cpu_saturated: $app not found; build first (make build)" >&2
  exit 1
fi

work=$(mktemp -d)
xvfb_pid=
app_pid=
cleanup() {
  [[ -n $app_pid ]] && kill "$app_pid" 2>/dev/null && wait "$app_pid" 2>/dev/null
  [[ -n $xvfb_pid ]] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

# The saturated adapter keeps a bit timing of 1 Mbit/s.
mkdir -p "$work/home/.local/share/Vexo View/adapters"
cat >"$work/home/.local/share/Vexo View/adapters/VXVIRT003.conf" <<'EOF'
# Vexo View adapter settings
serial=1000000003
btr=1
sjw=1
tseg1=12
tseg2=3
clkdiv=0
options=3
EOF

Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
export DISPLAY=$display
for _ in $(seq 50); do
  xdotool getdisplaygeometry >/dev/null 2>&1 && break
  sleep 0.1
done

ticks=$(getconf CLK_TCK)

# utime + stime of the whole program, in clock ticks.
cpu_ticks() { awk '{ print $14 + $15 }' "/proc/$app_pid/stat"; }
# Times the user-interface thread gave up the processor to wait for work.
ui_waits() { awk '/^voluntary_ctxt_switches/ { print $2 }' "/proc/$app_pid/task/$app_pid/status"; }

# Starts the program; main_window then waits for its main window.
start_app() {
  env HOME="$work/home" XDG_CONFIG_HOME= XDG_DATA_HOME= XDG_CACHE_HOME= \
    "$app" >"$work/app.log" 2>&1 &
  app_pid=$!
}

main_window() {
  xdotool search --sync --onlyvisible --pid "$app_pid" --name '^Vexo View$' | head -n 1
}

stop_app() {
  kill "$app_pid" 2>/dev/null || true
  wait "$app_pid" 2>/dev/null || true
  app_pid=
}

# Clicks at a point given relative to a window.
click_in() {
  local window=$1 x=$2 y=$3
  eval "$(xdotool getwindowgeometry --shell "$window")"
  xdotool mousemove $((X + x)) $((Y + y)) click 1
  sleep 0.4
}

# Connects through the Connect button and the Connection Setting dialog, as a
# user does: the saturated bus is the third entry of the device list.
connect_saturated() {
  local main=$1 dialog
  click_in "$main" 60 51
  dialog=$(xdotool search --sync --onlyvisible --name '^Connection Setting$' | head -n 1)
  click_in "$dialog" 243 22
  click_in "$dialog" 225 66
  eval "$(xdotool getwindowgeometry --shell "$dialog")"
  xdotool mousemove $((X + 301)) $((Y + 52)) click 1
}

# One run: the display mode's radio button, connect, then five seconds of
# measurement from the click on OK (the capture fills up a little later).
measure() {
  local name=$1 radio_x=$2 main cpu0 cpu1 waits0 waits1
  start_app
  main=$(main_window)
  # The window settles before it takes clicks; a second click on the same
  # radio button changes nothing.
  sleep 2
  click_in "$main" "$radio_x" 58
  click_in "$main" "$radio_x" 58
  connect_saturated "$main"
  cpu0=$(cpu_ticks)
  waits0=$(ui_waits)
  sleep $((seconds - 1))
  # A screenshot during the flood, before the capture is full.
  if [[ -n ${VEXO_SHOTS:-} ]]; then
    mkdir -p "$VEXO_SHOTS"
    import -window root "$VEXO_SHOTS/$name.png"
  fi
  sleep 1
  cpu1=$(cpu_ticks)
  waits1=$(ui_waits)
  stop_app
  awk -v n="$name" -v c=$((cpu1 - cpu0)) -v t="$ticks" -v s="$seconds" \
    'BEGIN { printf "app_cpu_%s: %.1f %%\n", n, 100 * c / (t * s) }'
  echo $(((waits1 - waits0) / seconds)) >>"$work/wakeups"
}

measure index_list 785
measure id_list 865
echo "ui_wakeups_per_s: $(sort -n "$work/wakeups" | tail -n 1)"
