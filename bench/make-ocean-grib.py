#!/usr/bin/python3
"""Writes a large analytic wind forecast for the ocean routing benchmark.

Usage: /usr/bin/python3 bench/make-ocean-grib.py OUT.grb [--area global|atlantic]
                        [--resolution DEG] [--days N] [--step HOURS]

Defaults: the whole globe at 0.25 degree, 14 days every 6 hours, UGRD and VGRD at 10 m
(1440 x 721 points, 114 messages). --area atlantic writes the same field cut to 100 W - 0,
10 N - 65 N. The wind: trade winds in the south, westerlies in the north with lows travelling
east along 48 N, easterlies near the poles, a daily swing. Not committed: made at bench time.
"""
import argparse
import math
import sys

import eccodes
import numpy as np

AREAS = {"global": (-180.0, 180.0, -90.0, 90.0), "atlantic": (-100.0, 0.0, 10.0, 65.0)}


def field(lons, lats, hour):
    lon, lat = np.meshgrid(lons, lats)
    # Westerlies north of 32 N (and south of 32 S), trades between, polar easterlies.
    band = np.abs(lat)
    westerly = np.clip((band - 32.0) / 10.0, -1.0, 1.5) - np.clip((band - 65.0) / 8.0, 0.0, 2.0)
    u = 9.0 * westerly + 1.5 * np.sin(2 * math.pi * hour / 48.0 + np.radians(lon))
    v = np.where(lat >= 0, -2.0, 2.0) * np.cos(np.radians(lat))
    for k in range(6):  # lows travelling east along 48 N, round the globe
        clon = (-75.0 + 60.0 * k + 0.55 * hour + 180.0) % 360.0 - 180.0
        clat = 47.0 + 4.0 * math.sin(hour / 40.0 + k)
        dlon = (lon - clon + 180.0) % 360.0 - 180.0
        dx, dy = dlon * math.cos(math.radians(47)), lat - clat
        r2 = dx * dx + dy * dy
        strength = 14.0 * np.exp(-r2 / 60.0)
        r = np.sqrt(r2) + 1e-6
        u += -strength * dy / r
        v += strength * dx / r
    return u, v


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("out")
    parser.add_argument("--area", choices=sorted(AREAS), default="global")
    parser.add_argument("--resolution", type=float, default=0.25)
    parser.add_argument("--days", type=int, default=14)
    parser.add_argument("--step", type=int, default=6)
    args = parser.parse_args()
    west, east, south, north = AREAS[args.area]
    res = args.resolution
    if args.area == "global":
        east -= res  # 0 .. 359.75: the last column is not the first again
    lons = np.arange(west, east + res / 2, res)
    lats = np.arange(north, south - res / 2, -res)  # north to south
    with open(args.out, "wb") as out:
        for hour in range(0, args.days * 24 + 1, args.step):
            # The forecast hour of a wind record is P1 alone when P2 is 0, else P1 x 256 + P2.
            p1, p2 = (hour, 0) if hour < 256 else divmod(hour, 256)
            if hour >= 256 and p2 == 0:
                sys.exit("forecast hour %d cannot be written in P1 and P2" % hour)
            u, v = field(lons, lats, hour)
            for param, values in ((33, u), (34, v)):
                h = eccodes.codes_grib_new_from_samples("GRIB1")
                for key, val in (("centre", 7), ("table2Version", 2),
                                 ("indicatorOfParameter", param),
                                 ("indicatorOfTypeOfLevel", 105), ("level", 10),
                                 ("dataDate", 20260601), ("dataTime", 0), ("stepUnits", 1),
                                 ("timeRangeIndicator", 0), ("P1", p1), ("P2", p2),
                                 ("Ni", len(lons)), ("Nj", len(lats)),
                                 ("latitudeOfFirstGridPointInDegrees", north),
                                 ("longitudeOfFirstGridPointInDegrees", west),
                                 ("latitudeOfLastGridPointInDegrees", south),
                                 ("longitudeOfLastGridPointInDegrees", lons[-1]),
                                 ("iDirectionIncrementInDegrees", res),
                                 ("jDirectionIncrementInDegrees", res),
                                 ("jScansPositively", 0), ("bitsPerValue", 12)):
                    eccodes.codes_set(h, key, val)
                eccodes.codes_set_values(h, values.flatten())
                eccodes.codes_write(h, out)
                eccodes.codes_release(h)


if __name__ == "__main__":
    main()
