#!/usr/bin/env bash
# Coverage-guided fuzzing of every reader of outside input: scripts/fuzz.sh [seconds] [target...]
#
# Builds the targets of tests/fuzz with clang and libFuzzer under AddressSanitizer and
# UndefinedBehaviorSanitizer in build-fuzz/, then runs each for the given time (default
# 60 s) from its seeds (tests/fuzz/corpus/<target>) with its dictionary. One line per
# target: runs, runs per second, edges covered, findings. New inputs that reach new code
# collect in build-fuzz/fuzz/<target>/corpus and seed the next run; a finding is left
# in build-fuzz/fuzz/<target>/findings/ and the line after the target's says how to
# replay it. Exits non-zero when any target found something. Once fixed, a finding's
# file goes into tests/fuzz/corpus/<target>/, which ./check replays.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
shift || true

# clang and libFuzzer of one version, from Debian.
pkgs=(clang-14 libclang-rt-14-dev)
missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo_cmd=()
  [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
scripts/install-deps.sh

build=build-fuzz
if [ $# -gt 0 ]; then
  targets=("$@")
else
  targets=()
  for source in tests/fuzz/*.cpp; do
    name=$(basename "$source" .cpp)
    [ "$name" = replay ] || targets+=("$name")
  done
fi

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14 \
  -DKVT_FUZZ=ON -DKVT_PCH=OFF -DKVT_BENCH=OFF >/dev/null
mkdir -p "$build"
if ! cmake --build "$build" -j"$(nproc)" --target "${targets[@]/#/fuzz_}" >"$build/build.log" 2>&1; then
  tail -40 "$build/build.log"
  exit 2
fi

export ASAN_OPTIONS=detect_leaks=1
export UBSAN_OPTIONS=print_stacktrace=1
failed=0
for t in "${targets[@]}"; do
  work=$build/fuzz/$t
  # The findings folder holds this run's findings; the corpus grows from run to run.
  rm -rf "$work/findings"
  mkdir -p "$work/corpus" "$work/findings"
  options=(-max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1
    -artifact_prefix="$work/findings/")
  [ -f "tests/fuzz/$t.dict" ] && options+=(-dict="tests/fuzz/$t.dict")
  # An image of the whole application section takes some 80 KB of Intel HEX.
  [ "$t" = heximage ] && options+=(-max_len=100000)
  status=0
  "$build/tests/fuzz/fuzz_$t" "${options[@]}" "$work/corpus" "tests/fuzz/corpus/$t" \
    >"$work/log" 2>&1 || status=$?
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$work/log" | tail -1)
  speed=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$work/log" | tail -1)
  edges=$(grep -o 'cov: [0-9]*' "$work/log" | tail -1 | cut -d' ' -f2)
  findings=$(find "$work/findings" -type f | wc -l)
  printf '%-14s runs %-10s %6s/s  edges %-6s findings %s\n' "$t" "${runs:-?}" "${speed:-?}" \
    "${edges:-?}" "$findings"
  if [ "$status" -ne 0 ] || [ "$findings" -gt 0 ]; then
    failed=1
    for f in "$work/findings"/*; do
      [ -e "$f" ] && echo "  replay: $build/tests/fuzz/fuzz_$t $f   (log: $work/log)"
    done
    [ "$findings" -gt 0 ] || echo "  the fuzzer ended with status $status: see $work/log"
  fi
done
exit $failed
