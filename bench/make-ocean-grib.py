#!/usr/bin/python3
"""Writes a large analytic North Atlantic wind forecast for the ocean routing benchmark.

Usage: /usr/bin/python3 bench/make-ocean-grib.py OUT.grb
0.5 degree grid 80 W - 0, 20 N - 60 N, 0-240 h every 6 h, UGRD and VGRD at 10 m: trade winds
in the south, westerlies in the north with travelling lows. Not committed: made at bench time.
"""
import math
import sys

import eccodes
import numpy as np

LON_W, LON_E, LAT_S, LAT_N, STEP = -80.0, 0.0, 20.0, 60.0, 0.5


def field(hour):
    lons = np.arange(LON_W, LON_E + STEP / 2, STEP)
    lats = np.arange(LAT_N, LAT_S - STEP / 2, -STEP)  # north to south
    lon, lat = np.meshgrid(lons, lats)
    westerly = np.clip((lat - 32.0) / 10.0, -1.0, 1.5)
    u = 9.0 * westerly + 1.5 * np.sin(2 * math.pi * hour / 48.0)
    v = -2.0 + 0.0 * lat
    for k in range(3):  # lows travelling east along 48 N
        clon = -75.0 + 25.0 * k + 0.55 * hour
        clat = 47.0 + 4.0 * math.sin(hour / 40.0 + k)
        dx, dy = (lon - clon) * math.cos(math.radians(47)), lat - clat
        r2 = dx * dx + dy * dy
        strength = 14.0 * np.exp(-r2 / 60.0)
        r = np.sqrt(r2) + 1e-6
        u += -strength * dy / r
        v += strength * dx / r
    return lons, lats, u, v


def main():
    out = open(sys.argv[1], "wb")
    for hour in range(0, 241, 6):
        lons, lats, u, v = field(hour)
        for param, values in ((33, u), (34, v)):
            h = eccodes.codes_grib_new_from_samples("GRIB1")
            for key, val in (("centre", 7), ("table2Version", 2), ("indicatorOfParameter", param),
                             ("indicatorOfTypeOfLevel", 105), ("level", 10),
                             ("dataDate", 20260601), ("dataTime", 0), ("stepUnits", 1),
                             ("timeRangeIndicator", 10), ("P1", hour),
                             ("Ni", len(lons)), ("Nj", len(lats)),
                             ("latitudeOfFirstGridPointInDegrees", LAT_N),
                             ("longitudeOfFirstGridPointInDegrees", LON_W),
                             ("latitudeOfLastGridPointInDegrees", LAT_S),
                             ("longitudeOfLastGridPointInDegrees", LON_E),
                             ("iDirectionIncrementInDegrees", STEP),
                             ("jDirectionIncrementInDegrees", STEP),
                             ("jScansPositively", 0), ("bitsPerValue", 12)):
                eccodes.codes_set(h, key, val)
            eccodes.codes_set_values(h, values.flatten())
            eccodes.codes_write(h, out)
            eccodes.codes_release(h)
    out.close()


if __name__ == "__main__":
    main()
