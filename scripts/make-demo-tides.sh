#!/usr/bin/env bash
# Builds the demo tide and current data of dist/ from Debian's xtide-data (NOAA harmonic
# constants, public domain): dist/Data/Tides/Harmonics, the tide tables 2026-2029, and the
# current atlases of Nantucket and Vineyard Sounds and Narragansett Bay in dist/Currents.
# Usage: scripts/make-demo-tides.sh [PATH/TO/navorel-cli]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cli=${1:-$root/build/navorel-cli}
tcd=/usr/share/xtide/harmonics-dwf-20191229-free.tcd
dist=$root/dist
mkdir -p "$dist/Data/Tides" "$dist/Currents/Default"

"$cli" tide import "$tcd" "$dist/Data/Tides/Harmonics" \
  "Eastport, Passamaquoddy Bay, Maine" \
  "Bar Harbor, Frenchman Bay, Maine" \
  "Rockland, Penobscot River, Maine" \
  "Portland, Casco Bay, Maine" \
  "PORTSMOUTH=Seavey Island, Portsmouth Harbor, New Hampshire" \
  "Boston, Boston Harbor, Massachusetts" \
  "PLYMOUTH=Plymouth Harbor, Plymouth, Cape Cod Bay, Massachusetts" \
  "Provincetown, Cape Cod, Massachusetts" \
  "Chatham, Cape Cod, Massachusetts" \
  "Nantucket, Nantucket Island, Nantucket Island, Massachusetts" \
  "Woods Hole, Buzzards Bay, Massachusetts" \
  "VINEYARD HAVEN=Vineyard Haven Harbor, Vineyard Haven, Massachusetts" \
  "Newport, Narragansett Bay, Rhode Island" \
  "Providence, State Pier no.1, Narragansett Bay, Rhode Island" \
  "Point Judith, Harbor of Refuge, Rhode Island" \
  "New London, Thames River, Connecticut" \
  "Montauk, Fort Pond Bay, Long Island Sound, New York" \
  "BRIDGEPORT=Bridgeport Harbor, Bridgeport, Connecticut" \
  "The Battery, New York Harbor, New York"

rm -f "$dist"/Data/Tides/*.tid
"$cli" tide tables --folder "$dist" 2026-01-01 2029-12-31

# Current atlases: hours around high water of a port of the Harmonics file, spring and neap
# averages over 2026.
"$cli" current import --folder "$dist" --tcd "$tcd" --port NANTUCKET --year 2026 \
  "$dist/Currents/Default/NantucketSound.cur" \
  "Pollock Rip Channel" "Nantucket Sound" "Nantucket Shoals" "Miacomet Pond" "Tuckernuck Island"
"$cli" current import --folder "$dist" --tcd "$tcd" --port NEWPORT --year 2026 \
  "$dist/Currents/Default/VineyardSound.cur" "Vineyard Sound"
"$cli" current import --folder "$dist" --tcd "$tcd" --port NEWPORT --year 2026 \
  "$dist/Currents/Default/NarragansettBay.cur" "Narragansett Bay" "Sakonnet River"
"$cli" current mesh --folder "$dist"
