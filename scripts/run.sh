#!/usr/bin/env bash
# Sets everything up and runs Navorel's main job on the bundled demo data: the routing of the
# demo route (Boston round Cape Cod and Nantucket Sound to Newport) on the demo forecast with the demo polar,
# tidal streams and shorelines, printing the results table and writing the route as GPX.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/install-deps.sh
bash scripts/build.sh "$root/build"
NAVOREL_CLI="$root/build/navorel-cli" bash scripts/setup-data.sh
cli="$root/build/navorel-cli"

echo "== Demo polar: boat speed by true wind angle in 12 knots of wind"
for twa in 45 60 90 120 150; do
  printf 'TWA %3s: ' "$twa"
  "$cli" polar "$root/dist/Polars/Navorel40.pol" "$twa" 12
done
echo
echo "== Demo routing (five runs over the effectiveness, 80 to 100 %)"
"$cli" route --demo --gpx "$root/build/demo-route.gpx" --json "$root/build/demo-route.json"
echo
echo "The route is in $root/build/demo-route.gpx"
