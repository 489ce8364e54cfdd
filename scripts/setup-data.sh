#!/usr/bin/env bash
# Prepares generated data that is not committed. With --tests only what the tests need.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
mode=${1:-}
: "$root" "$mode"
