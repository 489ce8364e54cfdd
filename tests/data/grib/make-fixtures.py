#!/usr/bin/python3
"""Writes the GRIB test files of this folder with ecCodes, and beside each one the values
as ecCodes decodes them (grib_get_data -m 9999: latitude, longitude, value per point).

Run: tests/data/grib/make-fixtures.sh (uses Debian's python3-eccodes and libeccodes-tools).
"""
import math
import os
import subprocess

import eccodes
import numpy as np

HERE = os.path.dirname(os.path.abspath(__file__))


def latlon(lat1, lat2, lon1, lon2, di, dj, north_first=True, **keys):
    """A regular latitude/longitude GRIB-1 message (bytes) with the given keys."""
    h = eccodes.codes_grib_new_from_samples("GRIB1")
    ni = int(round((lon2 - lon1) / di)) + 1
    nj = int(round(abs(lat2 - lat1) / dj)) + 1
    settings = [
        ("Ni", ni), ("Nj", nj),
        ("latitudeOfFirstGridPointInDegrees", lat1),
        ("latitudeOfLastGridPointInDegrees", lat2),
        ("longitudeOfFirstGridPointInDegrees", lon1),
        ("longitudeOfLastGridPointInDegrees", lon2),
        ("iDirectionIncrementInDegrees", di),
        ("jDirectionIncrementInDegrees", dj),
        ("jScansPositively", 0 if north_first else 1),
    ]
    values = keys.pop("values")
    ordered = ["centre", "subCentre", "table2Version", "indicatorOfParameter",
               "indicatorOfTypeOfLevel", "level", "dataDate", "dataTime",
               "indicatorOfUnitOfTimeRange", "timeRangeIndicator", "P1", "P2"]
    for k in ordered:
        if k in keys:
            settings.append((k, keys.pop(k)))
    settings += list(keys.items())
    for k, v in settings:
        if k in ("bitmapPresent", "missingValue", "bitsPerValue", "decimalScaleFactor",
                 "changeDecimalPrecision", "packingType"):
            continue
        eccodes.codes_set(h, k, v)
    for k in ("packingType", "bitmapPresent", "missingValue", "decimalScaleFactor",
              "changeDecimalPrecision", "bitsPerValue"):
        if k in keys:
            eccodes.codes_set(h, k, keys[k])
    eccodes.codes_set_values(h, np.asarray(values, dtype=float).reshape(-1))
    for k in ("bitsPerValue",):
        if k in keys:
            eccodes.codes_set(h, k, keys[k])
    data = eccodes.codes_get_message(h)
    eccodes.codes_release(h)
    return data


def field(ni, nj, scale=1.0, offset=0.0):
    j, i = np.mgrid[0:nj, 0:ni]
    return offset + scale * np.sin(i * 0.7 + 0.3) * np.cos(j * 0.45) + 0.01 * i * j


def write(name, *parts):
    path = os.path.join(HERE, name)
    with open(path, "wb") as f:
        for p in parts:
            f.write(p)
    return path


def reference(name):
    """ecCodes' own decoding of every point, stored beside the file."""
    path = os.path.join(HERE, name)
    out = subprocess.run(["grib_get_data", "-m", "9999", "-F", "%.9g", path],
                         check=True, capture_output=True, text=True).stdout
    with open(path + ".values", "w") as f:
        f.write(out)


def grib2_message():
    h = eccodes.codes_grib_new_from_samples("GRIB2")
    data = eccodes.codes_get_message(h)
    eccodes.codes_release(h)
    return data


def main():
    ncep = dict(centre=7, subCentre=0, table2Version=2, indicatorOfTypeOfLevel=105, level=10,
                dataDate=20140312, dataTime=1800, indicatorOfUnitOfTimeRange=1,
                timeRangeIndicator=0)

    # Two wind components with junk between them and an edition-2 message in the middle.
    u = latlon(50, 40, -10, 5, 1.0, 1.0, P1=6, P2=0, indicatorOfParameter=33,
               values=field(16, 11, 12.0), changeDecimalPrecision=1, **ncep)
    v = latlon(50, 40, -10, 5, 1.0, 1.0, P1=6, P2=0, indicatorOfParameter=34,
               values=field(16, 11, -8.0, 1.0), changeDecimalPrecision=1, **ncep)
    junk = bytes((i * 37 + 11) % 251 for i in range(500)).replace(b"G", b"g")
    write("wind_junk.grb", u, junk, grib2_message(), junk[:123], v)
    write("wind_u.grb", u)
    write("wind_v.grb", v)
    reference("wind_u.grb")
    reference("wind_v.grb")

    # Rows stored north to south (60 -> 40) and south to north (40 -> 60).
    values = field(9, 21, 5.0, 280.0)
    write("rows_north_first.grb", latlon(60, 40, 0, 8, 1.0, 1.0, north_first=True,
                                         indicatorOfParameter=11, P1=6, P2=0,
                                         values=values, bitsPerValue=16, **ncep))
    write("rows_south_first.grb", latlon(40, 60, 0, 8, 1.0, 1.0, north_first=False,
                                         indicatorOfParameter=11, P1=1, P2=8,
                                         values=values, bitsPerValue=16, **ncep))
    reference("rows_north_first.grb")
    reference("rows_south_first.grb")

    # A bitmap with missing points.
    vals = field(7, 5, 3.0)
    vals[1, 2] = 9999
    vals[3, 0] = 9999
    vals[4, 6] = 9999
    write("bitmap.grb", latlon(10, 6, 20, 26, 1.0, 1.0, indicatorOfParameter=33, P1=3, P2=0,
                               values=vals, bitmapPresent=1, missingValue=9999,
                               bitsPerValue=12, **ncep))
    reference("bitmap.grb")

    # A grid across the 180 degree meridian, and one starting at 350 degrees.
    write("across_180.grb", latlon(-30, -40, 170, 190, 2.0, 2.0, indicatorOfParameter=33,
                                   P1=0, P2=0, values=field(11, 6, 7.0), bitsPerValue=24,
                                   **ncep))
    write("from_350.grb", latlon(5, 0, 350, 360, 2.5, 2.5, indicatorOfParameter=34, P1=0,
                                 P2=0, values=field(5, 3, 2.0), bitsPerValue=12, **ncep))
    reference("across_180.grb")
    reference("from_350.grb")

    # ECMWF table 128 (10 metre wind) with the same parameter numbers from centre 7.
    ecmwf = dict(ncep, centre=98, subCentre=0, table2Version=128, indicatorOfTypeOfLevel=1,
                 level=0)
    write("ecmwf_10u.grb", latlon(50, 40, -10, 5, 1.0, 1.0, indicatorOfParameter=165, P1=12,
                                  P2=0, values=field(16, 11, 6.0), bitsPerValue=16, **ecmwf))
    reference("ecmwf_10u.grb")

    # Minutes as time unit: P1 = 0, P2 = 90.
    write("minutes.grb", latlon(2, 0, 0, 2, 1.0, 1.0, indicatorOfParameter=11,
                                values=field(3, 3, 1.0, 290.0), bitsPerValue=12,
                                **dict(ncep, indicatorOfUnitOfTimeRange=0, P1=0, P2=90,
                                       timeRangeIndicator=4)))

    # An unknown centre whose table comes from a user gribtab.
    write("user_table.grb", latlon(2, 0, 0, 2, 1.0, 1.0, indicatorOfParameter=200,
                                   values=field(3, 3), bitsPerValue=12,
                                   **dict(ncep, centre=200, subCentre=3, table2Version=5,
                                          P1=0, P2=0)))
    with open(os.path.join(HERE, "gribtab"), "w") as f:
        f.write("-1:100:-1:5\n"
                "200:OTHER:not this table [K]\n"
                "-1:200:-1:5\n"
                "200:WSPD:wind speed at the coast [m/s]\n"
                "7:no second colon\n"
                "201:EMPTY:\n"
                "-1:bad:header\n")

    # Packing widths: constant field (0 bits), 12 and 24 bits.
    write("constant.grb", latlon(10, 0, 0, 10, 5.0, 5.0, indicatorOfParameter=11, P1=0, P2=0,
                                 values=np.full((3, 3), 287.5), **ncep))
    write("bits12.grb", latlon(10, 0, 0, 10, 1.0, 1.0, indicatorOfParameter=11, P1=0, P2=0,
                               values=field(11, 11, 30.0, 250.0), bitsPerValue=12, **ncep))
    write("bits24.grb", latlon(10, 0, 0, 10, 1.0, 1.0, indicatorOfParameter=11, P1=0, P2=0,
                               values=field(11, 11, 30.0, 250.0), bitsPerValue=24, **ncep))
    for name in ("constant.grb", "bits12.grb", "bits24.grb"):
        reference(name)

    # A file cut in the middle of its second message.
    both = u + v
    write("truncated.grb", both[: len(u) + len(v) // 2])

    # Second-order packing, which the decoder refuses.
    second = latlon(10, 0, 0, 10, 1.0, 1.0, indicatorOfParameter=11, P1=0, P2=0,
                    values=field(11, 11, 30.0, 250.0), bitsPerValue=16, **ncep)
    write("plain_for_second_order.grb", second)
    subprocess.run(["grib_set", "-r", "-s", "packingType=grid_second_order",
                    os.path.join(HERE, "plain_for_second_order.grb"),
                    os.path.join(HERE, "second_order.grb")], check=True)
    os.remove(os.path.join(HERE, "plain_for_second_order.grb"))


if __name__ == "__main__":
    main()
