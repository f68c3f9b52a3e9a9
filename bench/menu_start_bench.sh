#!/usr/bin/env bash
# Time from the packaged program started as its menu entry says (the Exec line of the
# installed desktop entry) to its panel shown connected, against kvt-sim on a virtual X
# server. The package is made by cpack from BUILD_DIR and unpacked into a temporary root;
# the user's home is temporary too, its ~/.config/KVT/COM2 linked to the simulator. The
# panel is shown only once the generator has answered and its first values were asked.
#   bench/menu_start_bench.sh BUILD_DIR [RUNS]
set -euo pipefail
build=$(cd "$1" && pwd)
runs=${2:-3}
panel_size=780x # the main window is 780 pixels wide; the search window is narrower
work=$(mktemp -d)
pids=()
trap 'kill "${pids[@]}" 2>/dev/null || true; wait 2>/dev/null || true; rm -rf "$work"' EXIT

(cd "$build" && cpack -G DEB -B "$work/deb" >/dev/null)
dpkg-deb -x "$work"/deb/kvt_*.deb "$work/root"
entry=$(ls "$work"/root/usr/share/applications/*.desktop)
exec_line=$(sed -n 's/^Exec=//p' "$entry")
echo "package: $(du -k "$work"/deb/kvt_*.deb | cut -f1) KiB," \
  "installed: $(dpkg-deb --field "$work"/deb/kvt_*.deb Installed-Size) KiB"

Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
pids+=($!)
for _ in $(seq 50); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=":$(cat "$work/display")" QT_QPA_PLATFORM=xcb
export HOME="$work/home" PATH="$work/root/usr/bin:$PATH"
unset XDG_CONFIG_HOME XDG_DATA_HOME
mkdir -p "$HOME/.config/KVT"

for run in $(seq "$runs"); do
  rm -f "$HOME/.config/KVT/COM2"
  "$build/sim/kvt-sim" --link "$HOME/.config/KVT/COM2" >/dev/null 2>&1 &
  sim=$!
  for _ in $(seq 50); do [ -L "$HOME/.config/KVT/COM2" ] && break; sleep 0.1; done
  start=$(date +%s%N)
  $exec_line >/dev/null 2>&1 &
  kvt=$!
  # The small search window has the same title; the panel is the window of the main
  # window's size.
  until xdotool search --onlyvisible --name '^KVT Control Panel$' 2>/dev/null |
      while read -r window; do xdotool getwindowgeometry "$window"; done |
      grep -q "Geometry: $panel_size"; do
    sleep 0.01
  done
  shown=$(date +%s%N)
  echo "run $run: '$exec_line' started -> panel shown connected: $(((shown - start) / 1000000)) ms"
  kill "$kvt" "$sim"
  wait "$kvt" "$sim" 2>/dev/null || true
done
