#!/usr/bin/env bash
# Rebuilds the GRIB test files of this folder with ecCodes (python3-eccodes, libeccodes-tools).
set -euo pipefail
cd "$(dirname "$0")"
/usr/bin/python3 make-fixtures.py
/usr/bin/python3 make-grib2-fixtures.py
ls -l *.grb *.grb2
