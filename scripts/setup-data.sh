#!/usr/bin/env bash
# Prepares generated data that is not committed.
#   scripts/setup-data.sh          builds every shoreline level missing from dist/Data/Gshhs/
#   scripts/setup-data.sh --tests  builds what the tests and the shipped settings need (levels
#                                  c, l, i and h: the routing's coast level is h)
# The shoreline files come from GSHHG through gmt (Debian's gmt and gmt-gshhg-low/-high/
# -full) and are converted by navorel-cli, taken from $NAVOREL_CLI when set, else from
# build/navorel-cli (built first when missing).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
mode=${1:-}

case "$mode" in
  "") levels="c l i h f" ;;
  --tests) levels="c l i h" ;;
  *) echo "usage: scripts/setup-data.sh [--tests]" >&2; exit 2 ;;
esac

gshhs="$root/dist/Data/Gshhs"
missing=()
for level in $levels; do
  [ -s "$gshhs/poly-$level-1.dat" ] || missing+=("$level")
done
if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

if ! command -v gmt >/dev/null 2>&1; then
  echo "setup-data: gmt is not installed (run scripts/install-deps.sh)" >&2
  exit 1
fi

cli=${NAVOREL_CLI:-$root/build/navorel-cli}
if [ ! -x "$cli" ]; then
  bash "$root/scripts/build.sh" "$root/build"
fi

mkdir -p "$gshhs"
echo "== shorelines: building level(s) ${missing[*]} into $gshhs"
for level in "${missing[@]}"; do
  "$cli" shore build --level "$level" --out "$gshhs"
done
