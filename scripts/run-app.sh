#!/usr/bin/env bash
# Starts Vexo View, explaining instead of crashing when there is no display.
set -euo pipefail
if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" && -z "${QT_QPA_PLATFORM:-}" ]]; then
  echo "Vexo View is a desktop program and no display was found (DISPLAY is not set)." >&2
  echo "Start it from a desktop session, or under a virtual display: xvfb-run $1" >&2
  exit 1
fi
exec "$@"
