#!/usr/bin/python3
"""Writes the demo wind forecast dist/Gribs/Demo.grb and its compressed test copy
tests/data/wind/Demo.grb.bz2.

A 10 m wind forecast (UGRD and VGRD at 10 m above ground, GRIB edition 1, centre 7 with
parameter table 2) over the Gulf of Maine and the US north-east coast, 76-64 W and 38-46 N
on a 0.25 degree grid with rows stored north to south, from 2026-06-01 00 UTC to +120 h every
3 h. The winds come from an analytic model of our own:

- a westerly background that freshens towards the north;
- a depression that travels north-east across the area, deepening then filling, with its
  cyclonic (counter-clockwise) circulation turned inwards by surface friction;
- a cold front trailing south-west from the low: south-westerlies ahead of it, a veer to
  north-westerlies behind it.

Speeds are kept within 5 to 35 knots. Uses python3-eccodes as the encoder (run with the
system python: /usr/bin/python3 scripts/make-demo-grib.py).
"""
import bz2
import math
import os

import eccodes
import numpy as np

LON_W, LON_E, LAT_S, LAT_N, STEP = -76.0, -64.0, 38.0, 46.0, 0.25
HOURS = range(0, 121, 3)
KNOT = 1852.45 / 3600.0  # m/s
MIN_SPEED, MAX_SPEED = 5.0 * KNOT, 35.0 * KNOT


def low_track(hour):
    """Centre (lon, lat), maximum circulation (m/s) and radius of the depression."""
    f = hour / 120.0
    lon = -77.5 + 14.5 * f
    lat = 37.0 + 9.5 * f + 0.8 * math.sin(math.pi * f)
    strength = 7.0 + 9.0 * math.sin(math.pi * min(1.0, f * 1.4))  # deepens, then fills
    radius = 170.0 + 60.0 * f  # km
    return lon, lat, strength, radius


def wind(lon, lat, hour):
    """u, v in m/s on the grid arrays lon, lat (degrees) at the forecast hour."""
    # Westerly background, stronger to the north, with a slow diurnal breathing.
    u = 5.0 + 0.35 * (lat - LAT_S) + 0.8 * math.sin(2 * math.pi * hour / 24.0)
    v = 1.0 + 0.2 * (lon - LON_W) / 12.0 + 0.0 * lat

    lon0, lat0, vmax, radius = low_track(hour)
    x = (lon - lon0) * 111.32 * np.cos(np.radians(lat))  # km east of the centre
    y = (lat - lat0) * 110.57  # km north of the centre
    r = np.hypot(x, y) + 1e-6
    # Rankine-like vortex: solid rotation inside the radius, slow decay outside.
    speed = np.where(r < radius, vmax * r / radius, vmax * (radius / r) ** 0.55)
    # Counter-clockwise tangent, turned 20 degrees towards the centre.
    inflow = math.radians(20.0)
    tx, ty = -y / r, x / r
    ix, iy = -x / r, -y / r
    u = u + speed * (math.cos(inflow) * tx + math.sin(inflow) * ix)
    v = v + speed * (math.cos(inflow) * ty + math.sin(inflow) * iy)

    # Cold front: a line from the centre towards the south-south-west. Its signed distance
    # (positive ahead, to the east) sets south-westerlies ahead and north-westerlies behind.
    bearing = math.radians(205.0)
    dx, dy = math.sin(bearing), math.cos(bearing)
    along = x * dx + y * dy  # km along the front from the centre
    ahead = -(x * dy - y * dx)  # km to the east of the front line
    weight = np.exp(-np.maximum(along, 0.0) / 600.0) * (along > -80.0)
    shift = np.tanh(ahead / 45.0)
    pre_u, pre_v = 3.0, 6.0  # south-westerly
    post_u, post_v = 5.0, -5.0  # north-westerly
    u = u + weight * np.where(shift > 0, shift * pre_u, -shift * post_u)
    v = v + weight * np.where(shift > 0, shift * pre_v, -shift * post_v)

    s = np.hypot(u, v)
    scale = np.clip(s, MIN_SPEED, MAX_SPEED) / np.maximum(s, 1e-6)
    return u * scale, v * scale


def message(parameter, hour, values, ni, nj):
    h = eccodes.codes_grib_new_from_samples("GRIB1")
    for key, value in [
        ("centre", 7), ("subCentre", 0), ("table2Version", 2), ("generatingProcessIdentifier", 96),
        ("indicatorOfParameter", parameter), ("indicatorOfTypeOfLevel", 105), ("level", 10),
        ("dataDate", 20260601), ("dataTime", 0), ("timeRangeIndicator", 0),
        ("unitOfTimeRange", 1), ("P1", hour), ("P2", 0),
        ("gridType", "regular_ll"), ("Ni", ni), ("Nj", nj),
        ("latitudeOfFirstGridPointInDegrees", LAT_N), ("longitudeOfFirstGridPointInDegrees", LON_W),
        ("latitudeOfLastGridPointInDegrees", LAT_S), ("longitudeOfLastGridPointInDegrees", LON_E),
        ("iDirectionIncrementInDegrees", STEP), ("jDirectionIncrementInDegrees", STEP),
        ("jScansPositively", 0), ("decimalScaleFactor", 1), ("bitsPerValue", 12),
    ]:
        if isinstance(value, str):
            eccodes.codes_set_string(h, key, value)
        else:
            eccodes.codes_set(h, key, value)
    eccodes.codes_set_values(h, values)
    data = eccodes.codes_get_message(h)
    eccodes.codes_release(h)
    return data


def main():
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    lons = np.arange(LON_W, LON_E + STEP / 2, STEP)
    lats = np.arange(LAT_N, LAT_S - STEP / 2, -STEP)  # rows from north to south
    lon, lat = np.meshgrid(lons, lats)
    out = bytearray()
    for hour in HOURS:
        u, v = wind(lon, lat, hour)
        out += message(33, hour, u.ravel(), len(lons), len(lats))
        out += message(34, hour, v.ravel(), len(lons), len(lats))

    for path, data in [
        (os.path.join(root, "dist", "Gribs", "Demo.grb"), bytes(out)),
        (os.path.join(root, "tests", "data", "wind", "Demo.grb.bz2"), bz2.compress(bytes(out), 9)),
    ]:
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path + ".tmp", "wb") as f:
            f.write(data)
        os.replace(path + ".tmp", path)


if __name__ == "__main__":
    main()
