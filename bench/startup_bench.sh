#!/usr/bin/env bash
# Measures the real KVT program against kvt-sim (offscreen):
#   - time from the generator's identity line to the first carrier value it sends back
#     (the panel shows the generator's values from then on),
#   - resident memory after connecting,
#   - CPU used while connected and idle (polling every 4 s) over IDLE_SECONDS,
#   - CPU used while discovery waits on a silent port,
#   - resident memory and idle CPU with the window and without it (--no-window, no
#     display at all), both with remote control on, each on a simulator of its own,
#     measured side by side over the same IDLE_SECONDS.
#   bench/startup_bench.sh BUILD_DIR [IDLE_SECONDS]
set -euo pipefail
build=$(cd "$1" && pwd)
idle=${2:-60}
work=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null || true; wait 2>/dev/null || true; rm -rf "$work"' EXIT
hz=$(getconf CLK_TCK)

cpu_ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }

run_case() { # $1: extra sim options
  rm -f "$work/COM2" "$work/sim.log"
  cp "$build/app/KVT" "$work/KVT"
  "$build/sim/kvt-sim" --link "$work/COM2" --log "$work/sim.log" $1 2>/dev/null &
  sim=$!
  for _ in $(seq 50); do [ -L "$work/COM2" ] && break; sleep 0.1; done
  QT_QPA_PLATFORM=offscreen "$work/KVT" 2>/dev/null &
  kvt=$!
}

echo "== connected"
run_case ""
for _ in $(seq 100); do grep -q ' RX T$' "$work/sim.log" 2>/dev/null && break; sleep 0.1; done
ident=$(awk '$2=="TX" && $3 ~ /^KVT/ {print $1; exit}' "$work/sim.log")
first_f=$(awk '$2=="TX" && $3 ~ /^#F/ {print $1; exit}' "$work/sim.log")
echo "identity line -> first carrier reply sent: $((first_f - ident)) ms (the start-up waits: about 2000 ms + line time)"
sleep 1
echo "resident memory after connecting: $(awk '/VmRSS/ {print $2, $3}' /proc/$kvt/status)"
t0=$(cpu_ticks "$kvt"); sleep "$idle"; t1=$(cpu_ticks "$kvt")
awk -v t="$((t1 - t0))" -v hz="$hz" -v s="$idle" \
  'BEGIN {printf "CPU while connected and idle for %d s: %.3f %% of one core (%d ticks)\n", s, 100 * t / hz / s, t}'
kill "$kvt" "$sim"; wait "$kvt" "$sim" 2>/dev/null || true

echo "== discovery waiting on a silent port"
run_case "--fault silent"
sleep 1
t0=$(cpu_ticks "$kvt"); sleep 4; t1=$(cpu_ticks "$kvt")
awk -v t="$((t1 - t0))" -v hz="$hz" \
  'BEGIN {printf "CPU during 4 s of the port wait: %.3f %% of one core (%d ticks)\n", 100 * t / hz / 4, t}'
kill "$kvt" "$sim"; wait "$kvt" "$sim" 2>/dev/null || true

echo "== with the window and without it, side by side"
free_port() { python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'; }
pair=()
for front in window nowindow; do
  mkdir -p "$work/$front"
  cp "$build/app/KVT" "$work/$front/KVT"
  "$build/sim/kvt-sim" --link "$work/$front/COM2" --log "$work/$front/sim.log" 2>/dev/null &
  pair+=($!)
  for _ in $(seq 50); do [ -L "$work/$front/COM2" ] && break; sleep 0.1; done
done
QT_QPA_PLATFORM=offscreen "$work/window/KVT" --remote "$(free_port)" 2>/dev/null &
windowed=$!
env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM \
  "$work/nowindow/KVT" --no-window --remote "$(free_port)" 2>/dev/null &
windowless=$!
pair+=("$windowed" "$windowless")
for front in window nowindow; do
  for _ in $(seq 100); do grep -q ' RX T$' "$work/$front/sim.log" 2>/dev/null && break; sleep 0.1; done
done
sleep 1
w0=$(cpu_ticks "$windowed"); n0=$(cpu_ticks "$windowless"); sleep "$idle"
w1=$(cpu_ticks "$windowed"); n1=$(cpu_ticks "$windowless")
for case in "with the window:$windowed:$((w1 - w0))" "without a window:$windowless:$((n1 - n0))"; do
  IFS=: read -r name pid ticks <<<"$case"
  awk -v n="$name" -v rss="$(awk '/VmRSS/ {print $2}' "/proc/$pid/status")" -v t="$ticks" \
    -v hz="$hz" -v s="$idle" \
    'BEGIN {printf "%-17s resident %6d kB, CPU idle for %d s: %.3f %% of one core (%d ticks)\n", n ":", rss, s, 100 * t / hz / s, t}'
done
kill "${pair[@]}"; wait "${pair[@]}" 2>/dev/null || true
