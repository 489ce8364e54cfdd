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

Run from anywhere: python3 scripts/make-grib-bombs.py
"""
import os
import struct

POINTS = 8192
STEP = 10  # millidegrees


def u24(value):
    return struct.pack(">I", value)[1:]


def record(parameter, hour):
    pds = (u24(28) + bytes([2, 7, 127, 255, 0x80, parameter, 105]) + struct.pack(">H", 10) +
           bytes([26, 6, 1, 0, 0, 1, hour, 0, 0]) + bytes([0, 0, 0, 21, 0]) + bytes([0, 0]))
    last = (POINTS - 1) * STEP
    gds = (u24(32) + bytes([0, 255, 0]) + struct.pack(">HH", POINTS, POINTS) +
           u24(last) + u24(0) + bytes([0x80]) + u24(0) + u24(last) +
           struct.pack(">HH", STEP, STEP) + bytes([0]) + bytes(4))
    # Simple packing, float values, 8 unused bits at the end; scale 0; reference 0.0;
    # zero bits per value.
    bds = u24(12) + bytes([0x08]) + struct.pack(">H", 0) + bytes(4) + bytes([0, 0])
    body = pds + gds + bds
    total = 8 + len(body) + 4
    return b"GRIB" + u24(total) + bytes([1]) + body + b"7777"


def main():
    root = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..")
    one = record(33, 0)
    pairs = b"".join(record(p, h) for h in (0, 3, 6) for p in (33, 34))
    assert len(one) == 84 and len(pairs) == 504
    for fmt in ("grib", "wind"):
        folder = os.path.join(root, "fuzz", "seeds", fmt)
        os.makedirs(folder, exist_ok=True)
        for name, data in (("bomb_record.grb", one), ("bomb_3pairs.grb", pairs)):
            with open(os.path.join(folder, name), "wb") as out:
                out.write(data)


if __name__ == "__main__":
    main()
