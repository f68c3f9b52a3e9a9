#!/usr/bin/env bash
# Starts the simulated generator linked as COM2 beside the program and starts the
# program, which finds it by itself. Without a display the program runs on a virtual
# X server and a screenshot of its window is saved.
#   scripts/demo.sh BUILD_DIR [kvt-sim options...]
set -euo pipefail
build=$(cd "$1" && pwd); shift
app="$build/app"
sim_log="$build/demo-sim.log"

"$build/sim/kvt-sim" --link "$app/COM2" --log "$sim_log" "$@" &
sim_pid=$!
xvfb_pid=
cleanup() {
  kill "$sim_pid" 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  wait 2>/dev/null || true
}
trap cleanup EXIT INT TERM
for _ in $(seq 50); do [ -L "$app/COM2" ] && break; sleep 0.1; done

echo "Simulated generator on $app/COM2 (log: $sim_log)"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  export DISPLAY=:97
  Xvfb "$DISPLAY" -screen 0 1024x768x24 >/dev/null 2>&1 &
  xvfb_pid=$!
  sleep 1
  "$app/KVT" &
  kvt_pid=$!
  sleep 5
  shot="$build/demo-screenshot.png"
  import -window root "$shot" && echo "No display: the panel runs on a virtual screen; screenshot: $shot"
  echo "Press Ctrl-C to end."
  wait "$kvt_pid"
else
  "$app/KVT"
fi
