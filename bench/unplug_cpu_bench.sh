#!/usr/bin/env bash
# CPU used by the real KVT while its generator is connected and while the cable is
# pulled (kvt-sim ended, its link gone), each over SECONDS, from /proc/<pid>/stat;
# then the simulator comes back on the same link and the log shows the program
# connecting again (identity line, then G, I, J, H, B, T).
#   bench/unplug_cpu_bench.sh BUILD_DIR [SECONDS]
set -euo pipefail
build=$(cd "$1" && pwd)
seconds=${2:-20}
work=$(mktemp -d)
pids=()
trap 'kill "${pids[@]}" 2>/dev/null || true; wait 2>/dev/null || true; rm -rf "$work"' EXIT
cp "$build/app/KVT" "$work/KVT"
printf 'COM Port=5\r\n 0\r\nSP=TOLK\r\n 100\r\n 57600\r\n' >"$work/KVT.INI"

sim() { "$build/sim/kvt-sim" --link "$work/COM5" --log "$1" --boot-ms 100 >/dev/null 2>&1 & }
sim "$work/sim1.log"
simpid=$!
pids+=("$simpid")
for _ in $(seq 50); do [ -L "$work/COM5" ] && break; sleep 0.1; done
QT_QPA_PLATFORM=offscreen "$work/KVT" >/dev/null 2>&1 &
kvt=$!
pids+=("$kvt")
for _ in $(seq 100); do grep -q ' RX T$' "$work/sim1.log" 2>/dev/null && break; sleep 0.1; done

ticks() { awk '{print $14 + $15}' "/proc/$kvt/stat"; }
hz=$(getconf CLK_TCK)
measure() {
  local a b
  a=$(ticks)
  sleep "$seconds"
  b=$(ticks)
  echo "$1: $((b - a)) ticks of 1/$hz s in $seconds s ($(echo "scale=2; 100 * ($b - $a) / ($hz * $seconds)" | bc) % of a core)"
}
measure connected
kill "$simpid"
wait "$simpid" 2>/dev/null || true
sleep 1
measure unplugged

sim "$work/sim2.log"
pids+=("$!")
for _ in $(seq 150); do grep -q ' RX T$' "$work/sim2.log" 2>/dev/null && break; sleep 0.1; done
echo "plugged back in:"
grep -E ' (OPEN|RX|TX KVT)' "$work/sim2.log" | head -8
