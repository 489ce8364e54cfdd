#!/usr/bin/python3
"""Writes g2_gust.grb2 (10 m wind and 10 m gust, edition 2) and g2_nogust.grb2 (the same wind
without the gust) with ecCodes, for the gust limit of the routing.

Grid: latitudes 40 to 44, longitudes -72 to -68, one degree; reference 2026-06-01 00:00,
forecast steps 0 and 6 hours. The wind is 5 m/s from the north everywhere (u 0, v -5). The
gust is 10 + column m/s at step 0 and 20 + column m/s at step 6 (column 0 at -72), the same
on every row.

Run: /usr/bin/python3 tests/data/grib/make-gust-fixture.py
"""
import os

import eccodes
import numpy as np

HERE = os.path.dirname(os.path.abspath(__file__))
NI, NJ = 5, 5


def field(number, forecast, values):
    h = eccodes.codes_grib_new_from_samples("regular_ll_sfc_grib2")
    for key, value in [
            ("discipline", 0), ("parameterCategory", 2), ("parameterNumber", number),
            ("typeOfFirstFixedSurface", 103), ("scaleFactorOfFirstFixedSurface", 0),
            ("scaledValueOfFirstFixedSurface", 10),
            ("dataDate", 20260601), ("dataTime", 0),
            ("indicatorOfUnitOfTimeRange", 1), ("forecastTime", forecast),
            ("Ni", NI), ("Nj", NJ), ("iScansNegatively", 0), ("jScansPositively", 1),
            ("latitudeOfFirstGridPointInDegrees", 40), ("latitudeOfLastGridPointInDegrees", 44),
            ("longitudeOfFirstGridPointInDegrees", 288), ("longitudeOfLastGridPointInDegrees", 292),
            ("iDirectionIncrementInDegrees", 1), ("jDirectionIncrementInDegrees", 1)]:
        eccodes.codes_set(h, key, value)
    eccodes.codes_set_values(h, np.asarray(values, dtype=float).ravel())
    data = eccodes.codes_get_message(h)
    eccodes.codes_release(h)
    return data


def main():
    j, i = np.mgrid[0:NJ, 0:NI]
    wind = []
    for step in (0, 6):
        wind.append(field(2, step, np.zeros((NJ, NI))))
        wind.append(field(3, step, np.full((NJ, NI), -5.0)))
    gust = [field(22, 0, 10.0 + i), field(22, 6, 20.0 + i)]
    with open(os.path.join(HERE, "g2_gust.grb2"), "wb") as f:
        f.write(b"".join(wind[:2] + gust[:1] + wind[2:] + gust[1:]))
    with open(os.path.join(HERE, "g2_nogust.grb2"), "wb") as f:
        f.write(b"".join(wind))


if __name__ == "__main__":
    main()
