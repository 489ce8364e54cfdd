#!/usr/bin/env bash
# Sets everything up and runs Navorel's main job on the bundled demo data.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/install-deps.sh
bash scripts/build.sh "$root/build"
NAVOREL_CLI="$root/build/navorel-cli" bash scripts/setup-data.sh
cli="$root/build/navorel-cli"
polar="$root/dist/Polars/Navorel40.pol"
echo "== Demo polar $(basename "$polar"): boat speed by true wind angle at 12 knots of wind"
for twa in 45 60 90 120 150; do
  printf 'TWA %3s: ' "$twa"
  "$cli" polar "$polar" "$twa" 12
done
