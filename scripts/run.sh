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

# The desktop program: its window where there is a display; without one, the chart of the
# demo routing drawn into a PNG exactly as the window shows it.
app="$root/build/app/navorel"
if [ -x "$app" ]; then
  if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    echo "== Opening the desktop program on the demo data (Space routes, Escape cancels)"
    "$app"
  else
    echo "== No display: the chart of the demo routing goes to $root/build/demo-chart.png"
    "$app" --folder "$root/dist" --screenshot "$root/build/demo-chart.png" --size 1600x1000 --route
  fi
fi
