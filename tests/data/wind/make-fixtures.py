#!/usr/bin/python3
"""Writes the small GRIB-1 wind fixtures of the wind store tests (python3-eccodes encoder):

steps.grb     3 x 3 grid (0..2 E, 40..42 N, rows north to south), U and V at +0, +3, +6 h
              from 2026-06-01 00 UTC. Everywhere a west wind of 5 m/s (air moving east),
              except the centre point, whose air moves towards 350 degrees (counter-clockwise
              from east) at +0 and towards 10 degrees at +3 and +6, and the south-west point,
              missing (bitmap) at +3.
wrap.grb      5 x 3 grid from 170 E to 170 W (190) by 5 degrees, 0..10 N, one frame at +0;
              u = 1, 2, 3, 4, 5 m/s by column, v = 0.
refhours.grb  U and V of 2026-06-01 18 UTC +0 h, then of 2026-06-02 00 UTC +0 h; u is 4 m/s,
              then 10 m/s, plus 0.01 m/s times the point number.
narrow.grb    U and V on a grid of a single column (1 x 3).
"""
import math
import os

import eccodes

HERE = os.path.dirname(os.path.abspath(__file__))


def message(parameter, date, time, step, grid, values, missing=False):
    lon1, lon2, lat1, lat2, di, dj, ni, nj = grid
    h = eccodes.codes_grib_new_from_samples("GRIB1")
    for key, value in [
        ("centre", 7), ("subCentre", 0), ("table2Version", 2), ("generatingProcessIdentifier", 96),
        ("indicatorOfParameter", parameter), ("indicatorOfTypeOfLevel", 105), ("level", 10),
        ("dataDate", date), ("dataTime", time), ("timeRangeIndicator", 0),
        ("unitOfTimeRange", 1), ("P1", step), ("P2", 0),
        ("gridType", "regular_ll"), ("Ni", ni), ("Nj", nj),
        ("latitudeOfFirstGridPointInDegrees", lat1), ("longitudeOfFirstGridPointInDegrees", lon1),
        ("latitudeOfLastGridPointInDegrees", lat2), ("longitudeOfLastGridPointInDegrees", lon2),
        ("iDirectionIncrementInDegrees", di), ("jDirectionIncrementInDegrees", dj),
        ("jScansPositively", 0), ("decimalScaleFactor", 2), ("bitsPerValue", 16),
    ]:
        if isinstance(value, str):
            eccodes.codes_set_string(h, key, value)
        else:
            eccodes.codes_set(h, key, value)
    if missing:
        eccodes.codes_set(h, "bitmapPresent", 1)
        eccodes.codes_set(h, "missingValue", 9999)
    eccodes.codes_set_values(h, values)
    data = eccodes.codes_get_message(h)
    eccodes.codes_release(h)
    return data


def write(name, data):
    path = os.path.join(HERE, name)
    with open(path + ".tmp", "wb") as f:
        f.write(data)
    os.replace(path + ".tmp", path)


def steps():
    grid = (0, 2, 42, 40, 1, 1, 3, 3)  # rows from north (42) to south (40)
    out = b""
    for step, centre_angle in [(0, 350.0), (3, 10.0), (6, 10.0)]:
        u = [5.0] * 9
        v = [0.0] * 9
        a = math.radians(centre_angle)
        u[4], v[4] = 8.0 * math.cos(a), 8.0 * math.sin(a)
        missing = step == 3
        if missing:  # south-west point: last row (south), first column
            u[6] = v[6] = 9999
        out += message(33, 20260601, 0, step, grid, u, missing)
        out += message(34, 20260601, 0, step, grid, v, missing)
    write("steps.grb", out)


def wrap():
    grid = (170, 190, 10, 0, 5, 5, 5, 3)
    u = [1.0, 2.0, 3.0, 4.0, 5.0] * 3
    v = [0.0] * 15
    write("wrap.grb", message(33, 20260601, 0, 0, grid, u) + message(34, 20260601, 0, 0, grid, v))


def refhours():
    grid = (0, 2, 42, 40, 1, 1, 3, 3)
    out = b""
    for date, time, speed in [(20260601, 1800, 4.0), (20260602, 0, 10.0)]:
        # Not a constant field: ecCodes writes those without the decimal scaling.
        out += message(33, date, time, 0, grid, [speed + 0.01 * p for p in range(9)])
        out += message(34, date, time, 0, grid, [0.0] * 9)
    write("refhours.grb", out)


def narrow():
    grid = (0, 0, 42, 40, 1, 1, 1, 3)
    write("narrow.grb", message(33, 20260601, 0, 0, grid, [5.0] * 3) +
          message(34, 20260601, 0, 0, grid, [0.0] * 3))


if __name__ == "__main__":
    steps()
    wrap()
    refhours()
    narrow()
