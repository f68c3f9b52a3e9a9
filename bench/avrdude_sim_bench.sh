#!/usr/bin/env bash
# Times the firmware-update transfers of the real avrdude against kvt-sim's
# bootloader, with the program's command lines: a full 32 KiB read-back at
# 57600 bit/s and the write of a 32 KiB image. Bootloader replies are not paced,
# so this is avrdude's own cost on a pseudo-terminal.
#   bench/avrdude_sim_bench.sh BUILD_DIR [RUNS]
set -euo pipefail
build=$(cd "$1" && pwd)
runs=${2:-3}
work=$(mktemp -d)
"$build/sim/kvt-sim" --link "$work/COM3" --log "$work/sim.log" --flash "$work/flash.bin" \
  >/dev/null 2>&1 &
sim=$!
trap 'kill "$sim" 2>/dev/null || true; wait 2>/dev/null || true; rm -rf "$work"' EXIT
for _ in $(seq 50); do [ -L "$work/COM3" ] && break; sleep 0.1; done

# A full image: 32 KiB of a counting pattern with a version marker near the start.
python3 - "$work/image.hex" <<'PY'
import sys
data = bytearray(i % 251 for i in range(32768))
data[0x100:0x10a] = b"KVTFW=2.07"
with open(sys.argv[1], "w") as out:
    for at in range(0, len(data), 16):
        rec = bytes([16, at >> 8, at & 255, 0]) + data[at:at + 16]
        out.write(":%s%02X\n" % (rec.hex().upper(), -sum(rec) & 255))
    out.write(":00000001FF\n")
PY

avr() { avrdude -q -q -p atmega328p -c stk500v1 -P "$work/COM3" -b 57600 -D -U "$1"; }
seconds() {
  local start
  start=$(date +%s.%N)
  "$@"
  printf '%.2f' "$(echo "$(date +%s.%N) - $start" | bc)"
}

for run in $(seq "$runs"); do
  read_s=$(seconds avr "flash:r:$work/backup.hex:i")
  write_s=$(seconds avr "flash:w:$work/image.hex:i")
  echo "run $run: read-back 32 KiB ${read_s} s, write+verify 32 KiB ${write_s} s"
done
