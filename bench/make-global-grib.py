#!/usr/bin/python3
"""Writes an analytic 0.25 degree global 10 m wind forecast for the loading benchmarks.

Usage: /usr/bin/python3 bench/make-global-grib.py OUT EDITION HOURS [STEP_HOURS]
1440 x 721 points, rows north to south, UGRD/VGRD (edition 1, table 2 parameters 33/34) or
10u/10v (edition 2, simple packing), 12 bits per value, every STEP_HOURS (3) hours from 0 to
HOURS (240 for 10 days; 15 gives the 12 messages, 18.7 MB, of the decoding benchmark). Not committed: made at bench time.
"""
import os
import sys

import eccodes
import numpy as np


def main():
    out_path, edition, hours = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
    step_hours = int(sys.argv[4]) if len(sys.argv) > 4 else 3
    j, i = np.mgrid[0:721, 0:1440]
    sample = "GRIB1" if edition == 1 else "regular_ll_sfc_grib2"
    with open(out_path + ".part", "wb") as out:
        for step in range(0, hours + 1, step_hours):
            for par in (0, 1):
                h = eccodes.codes_grib_new_from_samples(sample)
                keys = [("dataDate", 20260601), ("dataTime", 0), ("Ni", 1440), ("Nj", 721),
                        ("latitudeOfFirstGridPointInDegrees", 90.0),
                        ("latitudeOfLastGridPointInDegrees", -90.0),
                        ("longitudeOfFirstGridPointInDegrees", 0.0),
                        ("longitudeOfLastGridPointInDegrees", 359.75),
                        ("iDirectionIncrementInDegrees", 0.25),
                        ("jDirectionIncrementInDegrees", 0.25)]
                if edition == 1:
                    keys = [("centre", 7), ("table2Version", 2),
                            ("indicatorOfParameter", 33 + par), ("indicatorOfTypeOfLevel", 105),
                            ("level", 10), ("stepUnits", 1), ("timeRangeIndicator", 0),
                            ("P1", step)] + keys
                else:
                    keys = [("discipline", 0), ("parameterCategory", 2),
                            ("parameterNumber", 2 + par), ("typeOfFirstFixedSurface", 103),
                            ("scaleFactorOfFirstFixedSurface", 0),
                            ("scaledValueOfFirstFixedSurface", 10),
                            ("forecastTime", step)] + keys
                for key, val in keys:
                    eccodes.codes_set(h, key, val)
                eccodes.codes_set(h, "bitsPerValue", 12)
                eccodes.codes_set_values(h, (15 * np.sin(i / 40.0 + par + step / 20.0)
                                             * np.cos(j / 30.0)).ravel())
                out.write(eccodes.codes_get_message(h))
                eccodes.codes_release(h)
    os.replace(out_path + ".part", out_path)


if __name__ == "__main__":
    main()
