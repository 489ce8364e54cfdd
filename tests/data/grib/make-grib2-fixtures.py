#!/usr/bin/python3
"""Writes the GRIB edition-2 test files of this folder with ecCodes, and beside each wind
file the values as ecCodes decodes them (grib_get_data -m 9999).

Run: tests/data/grib/make-fixtures.sh (uses Debian's python3-eccodes and libeccodes-tools).
"""
import os
import subprocess

import eccodes
import numpy as np

HERE = os.path.dirname(os.path.abspath(__file__))


def wind(component, lat_first, lat_last, lon_first, lon_last, step, packing="grid_simple",
         missing=None, i_negative=False, date=20240601, time=600, unit=1, forecast=3):
    """A 10 m wind component (2 = u, 3 = v) on a regular latitude/longitude grid."""
    h = eccodes.codes_grib_new_from_samples("regular_ll_sfc_grib2")
    span = (lon_first - lon_last if i_negative else lon_last - lon_first) % 360
    ni = int(round(span / step)) + 1
    nj = int(round(abs(lat_last - lat_first) / step)) + 1
    for key, value in [
            ("discipline", 0), ("parameterCategory", 2), ("parameterNumber", component),
            ("typeOfFirstFixedSurface", 103), ("scaleFactorOfFirstFixedSurface", 0),
            ("scaledValueOfFirstFixedSurface", 10),
            ("dataDate", date), ("dataTime", time),
            ("indicatorOfUnitOfTimeRange", unit), ("forecastTime", forecast),
            ("Ni", ni), ("Nj", nj),
            ("iScansNegatively", 1 if i_negative else 0),
            ("jScansPositively", 1 if lat_first < lat_last else 0),
            ("latitudeOfFirstGridPointInDegrees", lat_first),
            ("latitudeOfLastGridPointInDegrees", lat_last),
            ("longitudeOfFirstGridPointInDegrees", lon_first),
            ("longitudeOfLastGridPointInDegrees", lon_last),
            ("iDirectionIncrementInDegrees", step), ("jDirectionIncrementInDegrees", step)]:
        eccodes.codes_set(h, key, value)
    j, i = np.mgrid[0:nj, 0:ni]
    values = (8.0 * np.sin(i * 0.7 + 0.3 * component) * np.cos(j * 0.45) + 0.01 * i * j).ravel()
    if missing is not None:
        eccodes.codes_set(h, "bitmapPresent", 1)
        eccodes.codes_set(h, "missingValue", 9999)
        values[missing] = 9999
    eccodes.codes_set_values(h, values)
    eccodes.codes_set(h, "packingType", packing)
    data = eccodes.codes_get_message(h)
    eccodes.codes_release(h)
    return data


def sample(name):
    h = eccodes.codes_grib_new_from_samples(name)
    data = eccodes.codes_get_message(h)
    eccodes.codes_release(h)
    return data


def sections(message):
    """The sections of an edition-2 message after its indicator, without the end section."""
    out, pos = [], 16
    while message[pos:pos + 4] != b"7777":
        n = int.from_bytes(message[pos:pos + 4], "big")
        out.append(message[pos:pos + n])
        pos += n
    return out


def multi_field(first, second):
    """One message holding both fields: the second repeats only sections 4 to 7."""
    body = b"".join(sections(first)) + b"".join(sections(second)[2:]) + b"7777"
    return first[:8] + (16 + len(body)).to_bytes(8, "big") + body


def section_at(message, number):
    """Offset of the first section `number` of an edition-2 message."""
    pos = 16
    while message[pos:pos + 4] != b"7777":
        if message[pos + 4] == number:
            return pos
        pos += int.from_bytes(message[pos:pos + 4], "big")
    raise ValueError("no section %d" % number)


def damaged(message, number, offset, data):
    """The message with `data` written at `offset` octets into its section `number`."""
    out = bytearray(message)
    at = section_at(message, number) + offset
    out[at:at + len(data)] = data
    return bytes(out)


def write(name, *parts, values=True, where=None):
    path = os.path.join(HERE, name)
    with open(path, "wb") as f:
        for p in parts:
            f.write(p)
    if values:
        out = subprocess.run(["grib_get_data", "-m", "9999", "-F", "%.9g"] +
                             (["-w", where] if where else []) + [path],
                             check=True, capture_output=True, text=True).stdout
        with open(path + ".values", "w") as f:
            f.write(out)


def main():
    # One file per packing, rows and longitudes stored in each direction.
    write("g2_simple.grb2", wind(2, 40, 50, -10, 5, 1.0))
    write("g2_jpeg.grb2", wind(3, 50, 40, 5, -10, 1.0, packing="grid_jpeg", i_negative=True))
    write("g2_ccsds.grb2", wind(2, 50, 40, 340, 20, 2.0, packing="grid_ccsds"))
    write("g2_complex.grb2", wind(3, 40, 50, -10, 5, 1.0,
                                  packing="grid_complex_spatial_differencing",
                                  missing=[0, 5, 17, 40]))
    write("g2_bitmap.grb2", wind(2, 50, 40, 0, 15, 1.0, missing=list(range(20, 40))))
    # Forecast steps in hours, three-hour units and minutes, over two reference times.
    write("g2_steps.grb2",
          wind(2, 40, 42, 0, 2, 1.0, forecast=1),
          wind(2, 40, 42, 0, 2, 1.0, unit=10, forecast=2),
          wind(2, 40, 42, 0, 2, 1.0, unit=0, forecast=150),
          wind(2, 40, 42, 0, 2, 1.0, date=20240602, time=1230, forecast=0), values=False)
    # u and v in one message (sections 4 to 7 repeated); the reference is the v field.
    write("g2_multi.grb2", multi_field(wind(2, 40, 50, -10, 5, 1.0), wind(3, 40, 50, -10, 5, 1.0)),
          where="parameterNumber=3")
    # Packings whose parameters make the decoding libraries write outside their memory: CCSDS
    # with a block size of 0 or a reference sample interval of 0 (section 5 octets 23 and
    # 24-25), a JPEG 2000 codestream whose image (SIZ marker: width at octet 9 of the data)
    # is 17 x 11 for the 16 x 11 values of the grid.
    ccsds = wind(2, 50, 40, 340, 20, 2.0, packing="grid_ccsds")
    jpeg = wind(2, 50, 40, 5, -10, 1.0, packing="grid_jpeg", i_negative=True)
    bad = {"g2_ccsds_block0.grb2": damaged(ccsds, 5, 22, b"\0"),
           "g2_ccsds_interval0.grb2": damaged(ccsds, 5, 23, b"\0\0"),
           "g2_jpeg_size.grb2": damaged(jpeg, 7, 5 + 8, (17).to_bytes(4, "big"))}
    seeds = os.path.join(HERE, "..", "..", "..", "fuzz", "seeds")
    for name, data in bad.items():
        write(name, data, values=False)
    # Both GRIB fuzz targets start from a field of every packing and from the damaged ones.
    for name in ["g2_simple.grb2", "g2_complex.grb2", "g2_jpeg.grb2", "g2_ccsds.grb2"] + list(bad):
        with open(os.path.join(HERE, name), "rb") as f:
            data = f.read()
        for target in ("grib", "grib2"):
            with open(os.path.join(seeds, target, name), "wb") as f:
                f.write(data)
    write("g2_reduced.grb2", sample("reduced_gg_pl_32_grib2"), values=False)
    write("g2_rotated.grb2", sample("rotated_ll_sfc_grib2"), values=False)


if __name__ == "__main__":
    main()
