#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs one. Usage: scripts/fuzz.sh NAME SECONDS
# (NAME as in fuzz/fuzz_NAME.cpp). The run starts from the seeds in fuzz/seeds/NAME and uses
# the dictionary fuzz/dict/NAME.dict when there is one. The corpus grows in fuzz-out/NAME;
# crashing inputs land in fuzz-out/NAME-artifacts/. Set FUZZ_SKIP_BUILD=1 when the targets
# are already built (scripts/fuzz-all.sh does), FUZZ_NICE=19 to run at low priority,
# FUZZ_TIMEOUT to change the seconds one input may take (20), and FUZZ_EXCLUDE to a file
# pattern to leave those seeds out (FUZZ_EXCLUDE='bomb_*' while a known fault is open).
# FUZZ_KEEP_GOING=1 runs in libFuzzer's fork mode, which records a crash, time-out or
# out-of-memory input in the artifacts and goes on fuzzing.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
name=$1
seconds=${2:-60}
build="$root/build-fuzz"
if [ "${FUZZ_SKIP_BUILD:-0}" != 1 ]; then
  CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DNAVOREL_FUZZ=ON -DNAVOREL_TESTS=OFF -DNAVOREL_GUI=OFF >/dev/null
  cmake --build "$build" --target "fuzz_$name" -j"$(nproc)"
fi
corpus="$root/fuzz-out/$name"
artifacts="$root/fuzz-out/$name-artifacts"
mkdir -p "$corpus" "$artifacts"
options=(-max_total_time="$seconds" -print_final_stats=1 -timeout="${FUZZ_TIMEOUT:-20}"
  -rss_limit_mb=2048 -artifact_prefix="$artifacts/")
[ "${FUZZ_KEEP_GOING:-0}" = 1 ] &&
  options+=(-fork=1 -ignore_crashes=1 -ignore_ooms=1 -ignore_timeouts=1)
[ -f "$root/fuzz/dict/$name.dict" ] && options+=(-dict="$root/fuzz/dict/$name.dict")
seeds=()
if [ -d "$root/fuzz/seeds/$name" ]; then
  seeds=("$root/fuzz/seeds/$name")
  if [ -n "${FUZZ_EXCLUDE:-}" ]; then
    kept="$root/fuzz-out/$name-seeds"
    rm -rf "$kept" && mkdir -p "$kept"
    for f in "$root/fuzz/seeds/$name"/*; do
      # shellcheck disable=SC2053 # the pattern is meant to match as a glob
      [[ $(basename "$f") == $FUZZ_EXCLUDE ]] || ln -s "$f" "$kept/"
    done
    seeds=("$kept")
  fi
fi
# Memory that ecCodes loses when it refuses a damaged message is not ours to find.
export LSAN_OPTIONS="suppressions=$root/fuzz/lsan.supp${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
exec nice -n "${FUZZ_NICE:-0}" "$build/fuzz/fuzz_$name" "${options[@]}" "$corpus" "${seeds[@]}"
