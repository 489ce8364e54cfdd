#!/usr/bin/env bash
# Sets everything up and runs the whole test suite: once as built normally, once under
# AddressSanitizer and UndefinedBehaviorSanitizer; then the desktop program's and the routing
# tests (where threads meet) under ThreadSanitizer.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/install-deps.sh

echo "== build and test"
bash scripts/build.sh "$root/build"
NAVOREL_CLI="$root/build/navorel-cli" bash scripts/setup-data.sh --tests
ctest --test-dir "$root/build" -j"$(nproc)" --output-on-failure

echo "== build and test under ASan+UBSan"
bash scripts/build.sh "$root/build-asan" -DNAVOREL_SANITIZE=ON
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir "$root/build-asan" -j"$(nproc)" --output-on-failure

echo "== build and test the desktop program and routing under ThreadSanitizer"
# Only the two test programs (and what they run) are built, to keep the time down.
cmake -S "$root" -B "$root/build-tsan" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DNAVOREL_TSAN=ON >/dev/null
cmake --build "$root/build-tsan" -j"$(nproc)" --target navorel_tests_app navorel_tests_routing
export TSAN_OPTIONS="suppressions=$root/scripts/tsan.supp halt_on_error=1 second_deadlock_stack=1"
export NAVOREL_SOURCE_DIR="$root"
QT_QPA_PLATFORM=offscreen "$root/build-tsan/app/navorel_tests_app"
"$root/build-tsan/tests/navorel_tests_routing"
