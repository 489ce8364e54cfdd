#!/usr/bin/python3
"""Writes the ocean fixtures with ecCodes:

- ocean_jet.grb2: current components (edition 2, discipline 10, category 1, parameters 2
  and 3) of a meandering jet, grid 72 W - 60 W by 34 N - 42 N at 0.25 degree, 2026-06-01 00 UTC
  at forecast steps 0 and 24 hours; the corner west of 71 W and north of 40 N is land
  (missing through the bitmap).
- ocean_jet.grb: the same field in edition 1 (parameters 49 and 50 of table 2).
- ocean_waves.grb2: significant wave height, primary wave direction and period (discipline 10,
  category 0, parameters 3, 10, 11) on the same grid and steps. The height is linear in
  longitude, latitude and time, 1 + 0.1 (lat - 34) + 0.05 (lon + 72) + step / 24 m, so that
  its bilinear interpolation is exact; the direction is 350 degrees at step 0 and 10 at step
  24, the period 8 s.

The jet (tests/weather/ocean_fields_test.cpp computes the same): axis latitude
y0 = 38 + 0.5 sin(2 pi (lon + 72) / 6 + step / 24); along the axis at 1.5433 m/s (3 kt) in
the core, falling as exp(-(d / 30 km)^2) with d = (lat - y0) x 111.32 km; flowing east
(u = speed, v = 0).

Run: /usr/bin/python3 tests/data/grib/make-ocean-fixtures.py
"""
import math
import os

import eccodes
import numpy as np

HERE = os.path.dirname(os.path.abspath(__file__))
LONS = np.arange(-72.0, -60.0 + 1e-9, 0.25)
LATS = np.arange(34.0, 42.0 + 1e-9, 0.25)
STEPS = (0, 24)


def jet(lon, lat, step):
    y0 = 38.0 + 0.5 * np.sin(2 * math.pi * (lon + 72.0) / 6.0 + step / 24.0)
    speed = 1.5433 * np.exp(-(((lat - y0) * 111.32) / 30.0) ** 2)
    return speed, 0.0 * speed


def grid_keys(h, edition):
    lon_first, lon_last = float(LONS[0]), float(LONS[-1])
    if edition == 2:
        lon_first %= 360.0
        lon_last %= 360.0
    for key, value in [
            ("Ni", len(LONS)), ("Nj", len(LATS)), ("iScansNegatively", 0), ("jScansPositively", 1),
            ("latitudeOfFirstGridPointInDegrees", float(LATS[0])),
            ("latitudeOfLastGridPointInDegrees", float(LATS[-1])),
            ("longitudeOfFirstGridPointInDegrees", lon_first),
            ("longitudeOfLastGridPointInDegrees", lon_last),
            ("iDirectionIncrementInDegrees", 0.25), ("jDirectionIncrementInDegrees", 0.25)]:
        eccodes.codes_set(h, key, value)


def encode(h, values, missing):
    eccodes.codes_set(h, "bitsPerValue", 24)
    values = np.asarray(values, dtype=float)
    if missing is not None:
        eccodes.codes_set(h, "bitmapPresent", 1)
        eccodes.codes_set(h, "missingValue", 9999.0)
        values = np.where(missing, 9999.0, values)
    eccodes.codes_set_values(h, values.ravel())
    data = eccodes.codes_get_message(h)
    eccodes.codes_release(h)
    return data


def grib2(category, number, step, values, missing=None):
    h = eccodes.codes_grib_new_from_samples("regular_ll_sfc_grib2")
    for key, value in [("discipline", 10), ("parameterCategory", category),
                       ("parameterNumber", number), ("typeOfFirstFixedSurface", 1),
                       ("dataDate", 20260601), ("dataTime", 0),
                       ("indicatorOfUnitOfTimeRange", 1), ("forecastTime", step)]:
        eccodes.codes_set(h, key, value)
    grid_keys(h, 2)
    return encode(h, values, missing)


def grib1(parameter, step, values, missing=None):
    h = eccodes.codes_grib_new_from_samples("GRIB1")
    for key, value in [("centre", 7), ("table2Version", 2), ("indicatorOfParameter", parameter),
                       ("indicatorOfTypeOfLevel", 1), ("level", 0),
                       ("dataDate", 20260601), ("dataTime", 0), ("stepUnits", 1),
                       ("timeRangeIndicator", 0), ("P1", step), ("P2", 0)]:
        eccodes.codes_set(h, key, value)
    grid_keys(h, 1)
    return encode(h, values, missing)


def main():
    lon, lat = np.meshgrid(LONS, LATS)
    land = (lon < -71.0 + 1e-9) & (lat > 40.0 - 1e-9)
    g2, g1, waves = [], [], []
    for step in STEPS:
        u, v = jet(lon, lat, step)
        g2 += [grib2(1, 2, step, u, land), grib2(1, 3, step, v, land)]
        g1 += [grib1(49, step, u, land), grib1(50, step, v, land)]
        height = 1.0 + 0.1 * (lat - 34.0) + 0.05 * (lon + 72.0) + step / 24.0
        waves += [grib2(0, 3, step, height), grib2(0, 10, step, 0 * lon + (350.0 if step == 0 else 10.0)),
                  grib2(0, 11, step, 0 * lon + 8.0)]
    for name, parts in (("ocean_jet.grb2", g2), ("ocean_jet.grb", g1), ("ocean_waves.grb2", waves)):
        with open(os.path.join(HERE, name), "wb") as f:
            f.write(b"".join(parts))


if __name__ == "__main__":
    main()
