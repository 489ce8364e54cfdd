#!/usr/bin/python3
"""Writes the GRIB "memory bomb" seeds of the fuzz corpus: tiny files that declare huge grids.

Each record is a GRIB edition 1 message of 84 bytes: a 10 m wind component (UGRD 33 or
VGRD 34, centre 7, table 2) on a regular 8192 x 8192 latitude/longitude grid at 0.01 degree
with zero bits per value, so every point is the reference value. Expanded, one record is
67 million points (268 MB as floats). A reader must refuse such a file, or keep it constant,
before it allocates the grid.

- fuzz/seeds/grib/bomb_record.grb and fuzz/seeds/wind/bomb_record.grb: one UGRD record.
- fuzz/seeds/grib/bomb_3pairs.grb and fuzz/seeds/wind/bomb_3pairs.grb: three UGRD/VGRD
  pairs at +0, +3 and +6 h (504 bytes).

The same in pairs that stay just under the largest grid a wind store takes (2896 x 2896,
8.4 million points, each record alone acceptable): 17 wind pairs, 285 million values (1.1 GB
as floats) from a few kilobytes. A reader must refuse the file from its size before it
expands anything.

- bomb_17pairs.grb (fuzz/seeds/grib, fuzz/seeds/wind, tests/data/grib): edition 1, 2856 bytes.
- bomb_17pairs.grb2 (fuzz/seeds/grib, fuzz/seeds/grib2, tests/data/grib): edition 2 through ecCodes
  (python3-eccodes), about 6 kB.

Run from anywhere: /usr/bin/python3 scripts/make-grib-bombs.py
"""
import os
import struct

POINTS = 8192
STEP = 10  # millidegrees
PAIR_POINTS = 2896  # 2896^2 is just under 2^23 points
PAIRS = 17


def u24(value):
    return struct.pack(">I", value)[1:]


def record(parameter, hour, points=POINTS):
    pds = (u24(28) + bytes([2, 7, 127, 255, 0x80, parameter, 105]) + struct.pack(">H", 10) +
           bytes([26, 6, 1, 0, 0, 1, hour, 0, 0]) + bytes([0, 0, 0, 21, 0]) + bytes([0, 0]))
    last = (points - 1) * STEP
    gds = (u24(32) + bytes([0, 255, 0]) + struct.pack(">HH", points, points) +
           u24(last) + u24(0) + bytes([0x80]) + u24(0) + u24(last) +
           struct.pack(">HH", STEP, STEP) + bytes([0]) + bytes(4))
    # Simple packing, float values, 8 unused bits at the end; scale 0; reference 0.0;
    # zero bits per value.
    bds = u24(12) + bytes([0x08]) + struct.pack(">H", 0) + bytes(4) + bytes([0, 0])
    body = pds + gds + bds
    total = 8 + len(body) + 4
    return b"GRIB" + u24(total) + bytes([1]) + body + b"7777"


def edition2_pairs():
    """17 constant 10 m wind pairs of edition 2 on the 2896 x 2896 grid, 3 hours apart."""
    import eccodes
    import numpy as np

    h = eccodes.codes_grib_new_from_samples("regular_ll_sfc_grib2")
    last = (PAIR_POINTS - 1) * STEP / 1000.0
    for key, value in [
            ("discipline", 0), ("parameterCategory", 2), ("parameterNumber", 2),
            ("typeOfFirstFixedSurface", 103), ("scaleFactorOfFirstFixedSurface", 0),
            ("scaledValueOfFirstFixedSurface", 10), ("dataDate", 20260601), ("dataTime", 0),
            ("Ni", PAIR_POINTS), ("Nj", PAIR_POINTS), ("jScansPositively", 1),
            ("latitudeOfFirstGridPointInDegrees", 0.0),
            ("latitudeOfLastGridPointInDegrees", last),
            ("longitudeOfFirstGridPointInDegrees", 0.0),
            ("longitudeOfLastGridPointInDegrees", last),
            ("iDirectionIncrementInDegrees", STEP / 1000.0),
            ("jDirectionIncrementInDegrees", STEP / 1000.0)]:
        eccodes.codes_set(h, key, value)
    eccodes.codes_set_values(h, np.full(PAIR_POINTS * PAIR_POINTS, 5.0))
    out = b""
    for pair in range(PAIRS):
        for component in (2, 3):
            eccodes.codes_set(h, "parameterNumber", component)
            eccodes.codes_set(h, "forecastTime", 3 * pair)
            out += eccodes.codes_get_message(h)
    eccodes.codes_release(h)
    return out


def write(folder, name, data):
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as out:
        out.write(data)


def main():
    root = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..")
    seeds = os.path.join(root, "fuzz", "seeds")
    tests = os.path.join(root, "tests", "data", "grib")
    one = record(33, 0)
    pairs = b"".join(record(p, h) for h in (0, 3, 6) for p in (33, 34))
    assert len(one) == 84 and len(pairs) == 504
    wide = b"".join(record(p, 3 * h, PAIR_POINTS) for h in range(PAIRS) for p in (33, 34))
    assert len(wide) == 2 * PAIRS * 84
    for fmt in ("grib", "wind"):
        for name, data in (("bomb_record.grb", one), ("bomb_3pairs.grb", pairs),
                           ("bomb_17pairs.grb", wide)):
            write(os.path.join(seeds, fmt), name, data)
    write(tests, "bomb_17pairs.grb", wide)
    wide2 = edition2_pairs()
    for fmt in ("grib", "grib2"):
        write(os.path.join(seeds, fmt), "bomb_17pairs.grb2", wide2)
    write(tests, "bomb_17pairs.grb2", wide2)


if __name__ == "__main__":
    main()
