#!/usr/bin/python3
"""Writes the ocean current and wave forecasts of the Newport - Azores passage (GRIB edition 2).

Usage: /usr/bin/python3 bench/make-ocean-current-grib.py --currents JET.grb2 [--waves WAVES.grb2]
                        [--no-jet] [--days N]

Currents (discipline 10, category 1, parameters 2 and 3, m/s): an analytic Gulf Stream, a jet
of 3 kt in its core and 60 km wide (the speed falls to 1/e of the core's 30 km either side of
its axis), leaving Cape Hatteras and running east-north-east to 42 N at 45 W, then east-south-east
towards the Azores, tapering to 2 kt; it crosses the great circle from Newport to the Azores
near 45 W. Its axis meanders (0.6 degree of latitude, 8 degrees of
longitude long) and the meanders travel west at a degree every four days. 76 W - 24 W,
30 N - 44 N at 1/12 degree, daily from 2026-06-01 00 UTC; land (a rough outline of the
American coast) is missing through the bitmap. --no-jet writes the same grid without a current.

Waves (discipline 10, category 0, parameters 3, 10 and 11): significant height, primary
direction and period grown from the wind of bench/make-ocean-grib.py (0.016 U^2 + 0.5 m, from
where the wind blows, 0.6 U + 3 s), 80 W - 20 W, 25 N - 50 N at 0.5 degree, every 6 hours.
"""
import argparse
import math
import os
import sys
import types

import eccodes
import numpy as np

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

KNOT = 1852.0 / 3600.0
CORE = 3.0 * KNOT
HALF_WIDTH_KM = 30.0

# The jet's axis: longitude, latitude.
AXIS = [(-76.0, 35.0), (-74.0, 35.8), (-70.0, 37.6), (-65.0, 39.2), (-60.0, 40.3),
        (-55.0, 41.2), (-50.0, 41.8), (-45.0, 42.0), (-40.0, 41.6), (-35.0, 40.6),
        (-30.0, 39.4), (-24.0, 38.0)]
# The coast: west of these longitudes at these latitudes is land.
COAST = [(30.0, -81.3), (32.0, -80.6), (34.0, -77.8), (35.2, -75.5), (36.5, -75.9),
         (38.0, -75.1), (39.0, -74.3), (40.5, -74.0), (41.0, -72.0), (41.3, -71.0),
         (41.7, -70.0), (42.0, -70.0), (43.0, -70.5), (44.0, -68.5)]


def axis_lat(lon, hour):
    base = np.interp(lon, [p[0] for p in AXIS], [p[1] for p in AXIS])
    return base + 0.6 * np.sin(2 * math.pi * ((lon + 76.0) / 8.0 + hour / 24.0 / 32.0))


def core_speed(lon):
    """3 kt west of 40 W, tapering to 2 kt at 25 W."""
    return CORE * np.interp(lon, [-40.0, -25.0], [1.0, 2.0 / 3.0])


def jet(lon, lat, hour):
    """u, v (m/s) of the jet on grid arrays lon, lat."""
    y0 = axis_lat(lon, hour)
    dlon = 0.01
    slope = (axis_lat(lon + dlon, hour) - axis_lat(lon - dlon, hour)) / (2 * dlon)
    theta = np.arctan2(slope, np.cos(np.radians(lat)))  # the axis' angle from east
    distance = (lat - y0) * 111.32 * np.cos(theta)  # km across the axis
    speed = core_speed(lon) * np.exp(-(distance / HALF_WIDTH_KM) ** 2)
    return speed * np.cos(theta), speed * np.sin(theta)


def land(lon, lat):
    coast = np.interp(lat, [p[0] for p in COAST], [p[1] for p in COAST])
    return lon < coast


def message(discipline, category, number, date, hour, lons, lats, values, missing=None,
            bits=16):
    h = eccodes.codes_grib_new_from_samples("regular_ll_sfc_grib2")
    res_i = float(lons[1] - lons[0])
    res_j = float(lats[1] - lats[0])
    for key, value in [
            ("discipline", discipline), ("parameterCategory", category),
            ("parameterNumber", number), ("typeOfFirstFixedSurface", 1),
            ("dataDate", date), ("dataTime", 0),
            ("indicatorOfUnitOfTimeRange", 1), ("forecastTime", hour),
            ("Ni", len(lons)), ("Nj", len(lats)), ("iScansNegatively", 0),
            ("jScansPositively", 1),
            ("latitudeOfFirstGridPointInDegrees", float(lats[0])),
            ("latitudeOfLastGridPointInDegrees", float(lats[-1])),
            ("longitudeOfFirstGridPointInDegrees", float(lons[0]) % 360.0),
            ("longitudeOfLastGridPointInDegrees", float(lons[-1]) % 360.0),
            ("iDirectionIncrementInDegrees", res_i), ("jDirectionIncrementInDegrees", res_j),
            ("bitsPerValue", bits)]:
        eccodes.codes_set(h, key, value)
    values = np.asarray(values, dtype=float)
    if missing is not None:
        eccodes.codes_set(h, "bitmapPresent", 1)
        eccodes.codes_set(h, "missingValue", 9999.0)
        values = np.where(missing, 9999.0, values)
    eccodes.codes_set_values(h, values.ravel())
    data = eccodes.codes_get_message(h)
    eccodes.codes_release(h)
    return data


def write_currents(path, days, with_jet):
    lons = np.round(np.arange(-76.0, -24.0 + 1e-6, 1.0 / 12.0), 6)
    lats = np.round(np.arange(30.0, 44.0 + 1e-6, 1.0 / 12.0), 6)
    lon, lat = np.meshgrid(lons, lats)
    dry = land(lon, lat)
    with open(path, "wb") as out:
        for hour in range(0, days * 24 + 1, 24):
            u, v = jet(lon, lat, hour) if with_jet else (0 * lon, 0 * lat)
            out.write(message(10, 1, 2, 20260601, hour, lons, lats, u, dry))
            out.write(message(10, 1, 3, 20260601, hour, lons, lats, v, dry))


def write_waves(path, days):
    # The wind of the ocean benchmark, from its own script (a file name no import can take).
    wind = types.ModuleType("wind")
    script = os.path.join(os.path.dirname(os.path.abspath(__file__)), "make-ocean-grib.py")
    with open(script) as f:
        exec(compile(f.read(), script, "exec"), wind.__dict__)
    lons = np.arange(-80.0, -20.0 + 1e-6, 0.5)
    lats = np.arange(25.0, 50.0 + 1e-6, 0.5)
    with open(path, "wb") as out:
        for hour in range(0, days * 24 + 1, 6):
            u, v = wind.field(lons, lats, hour)  # rows in the order of lats (south first)
            speed = np.hypot(u, v)
            height = 0.016 * speed ** 2 + 0.5
            direction = np.degrees(np.arctan2(-u, -v)) % 360.0  # where the wind comes from
            period = 0.6 * speed + 3.0
            for number, values in ((3, height), (10, direction), (11, period)):
                out.write(message(10, 0, number, 20260601, hour, lons, lats, values))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--currents")
    parser.add_argument("--waves")
    parser.add_argument("--no-jet", action="store_true")
    parser.add_argument("--days", type=int, default=14)
    args = parser.parse_args()
    if args.currents:
        write_currents(args.currents, args.days, not args.no_jet)
    if args.waves:
        write_waves(args.waves, args.days)


if __name__ == "__main__":
    main()
