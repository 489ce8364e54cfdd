#!/usr/bin/env bash
# Sets everything up and runs the whole test suite: once as built normally, once under
# AddressSanitizer and UndefinedBehaviorSanitizer.
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
