#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs one. Usage: scripts/fuzz.sh NAME SECONDS
# (NAME as in fuzz/fuzz_NAME.cpp). The corpus grows in fuzz-out/NAME.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
name=$1
seconds=${2:-60}
build="$root/build-fuzz"
CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DNAVOREL_FUZZ=ON -DNAVOREL_TESTS=OFF -DNAVOREL_GUI=OFF >/dev/null
cmake --build "$build" --target "fuzz_$name" -j"$(nproc)"
corpus="$root/fuzz-out/$name"
mkdir -p "$corpus"
seeds=()
[ -d "$root/fuzz/seeds/$name" ] && seeds=("$root/fuzz/seeds/$name")
"$build/fuzz/fuzz_$name" -max_total_time="$seconds" -print_final_stats=1 "$corpus" "${seeds[@]}"
