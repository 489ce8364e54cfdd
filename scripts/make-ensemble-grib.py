#!/usr/bin/python3
"""Writes edition-2 test forecasts of several models and ensemble members over the demo waters
into the folder given (python3-eccodes as the encoder: run with /usr/bin/python3).

The base wind is the demo forecast dist/Gribs/Demo.grb (76-64 W, 38-46 N, 0.25 degree, every
3 h to +120 h). Member k of an ensemble is that wind turned by turn(k) degrees (counter-
clockwise, the vector's own direction) and scaled by scale(k); the control, member 0, is the
demo wind itself. Files written:

  ens21.grib2        21 members (0-20) of centre 7, process 107, template 4.1
  member0.grib2      member 0 alone, as a plain deterministic forecast (template 4.0)
  ecmwf.grib2        a second model: centre 98, deterministic, the demo wind turned 8 degrees
  ens_missing.grib2  5 members of which member 3 lacks the +6 h step
  ens_grid.grib2     5 members of which member 2 lies on a grid of 0.5 degree
  ens_nocontrol.grib2  members 1-4 only
  ens1000.grib2      1000 messages pairs of 2 x 2 points, one step, numbered as members 0-255
                     over and over (the 8 bits of a member number hold no more)
Options: --members N writes ensN.grib2 (N members) instead of the small files, for benchmarks;
--global N writes globalN.grib2: N members of a 0.25 degree global grid (1440 x 721, CCSDS
packing), a 5 m/s westerly everywhere but the demo waters, which hold the demo wind, every
member alike (a measure of memory, not of spread); --steps H,H,... limits the steps (hours).
"""
import math
import os
import sys

import eccodes
import numpy as np

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
DEMO = os.path.join(ROOT, "dist", "Gribs", "Demo.grb")


def turn(k):
    """Degrees member k is turned: 0, +2, -2, +4, -4, ..."""
    if k == 0:
        return 0.0
    return (1 if k % 2 else -1) * 2.0 * ((k + 1) // 2)


def scale(k):
    """Factor member k is scaled by: 1 for the control, then 0.97, 1.00, 1.03 in turn."""
    return 1.0 if k == 0 else 1.0 + 0.03 * ((k % 3) - 1)


def demo_fields():
    """{step: (u, v)} of the demo forecast, rows north first as in the file."""
    fields = {}
    with open(DEMO, "rb") as f:
        while True:
            h = eccodes.codes_grib_new_from_file(f)
            if h is None:
                break
            step = eccodes.codes_get(h, "step")
            name = eccodes.codes_get(h, "shortName")
            values = eccodes.codes_get_values(h)
            eccodes.codes_release(h)
            fields.setdefault(step, {})[name] = values
    return {s: (d["10u"], d["10v"]) for s, d in sorted(fields.items())}


def message(u_or_v, values, step, grid, member=None, members=0, centre=7, process=107):
    """One edition-2 message of the 10 m wind component ("u" or "v")."""
    lon_w, lat_n, ni, nj, inc = grid
    h = eccodes.codes_grib_new_from_samples("GRIB2")
    eccodes.codes_set(h, "centre", centre)
    eccodes.codes_set(h, "dataDate", 20260601)
    eccodes.codes_set(h, "dataTime", 0)
    eccodes.codes_set(h, "productDefinitionTemplateNumber", 1 if member is not None else 0)
    eccodes.codes_set(h, "gridType", "regular_ll")
    eccodes.codes_set(h, "Ni", ni)
    eccodes.codes_set(h, "Nj", nj)
    eccodes.codes_set(h, "latitudeOfFirstGridPointInDegrees", lat_n)
    eccodes.codes_set(h, "longitudeOfFirstGridPointInDegrees", lon_w % 360.0)
    eccodes.codes_set(h, "latitudeOfLastGridPointInDegrees", lat_n - (nj - 1) * inc)
    eccodes.codes_set(h, "longitudeOfLastGridPointInDegrees", (lon_w + (ni - 1) * inc) % 360.0)
    eccodes.codes_set(h, "iDirectionIncrementInDegrees", inc)
    eccodes.codes_set(h, "jDirectionIncrementInDegrees", inc)
    eccodes.codes_set(h, "jScansPositively", 0)
    eccodes.codes_set(h, "discipline", 0)
    eccodes.codes_set(h, "parameterCategory", 2)
    eccodes.codes_set(h, "parameterNumber", 2 if u_or_v == "u" else 3)
    eccodes.codes_set(h, "typeOfFirstFixedSurface", 103)
    eccodes.codes_set(h, "scaleFactorOfFirstFixedSurface", 0)
    eccodes.codes_set(h, "scaledValueOfFirstFixedSurface", 10)
    eccodes.codes_set(h, "generatingProcessIdentifier", process)
    eccodes.codes_set(h, "indicatorOfUnitOfTimeRange", 1)
    eccodes.codes_set(h, "forecastTime", step)
    if member is not None:
        eccodes.codes_set(h, "typeOfEnsembleForecast", 1 if member == 0 else 3)
        eccodes.codes_set(h, "perturbationNumber", member)
        eccodes.codes_set(h, "numberOfForecastsInEnsemble", members)
    eccodes.codes_set(h, "packingType", "grid_simple")
    eccodes.codes_set(h, "bitsPerValue", 16)
    eccodes.codes_set_values(h, values)
    data = eccodes.codes_get_message(h)
    eccodes.codes_release(h)
    return data


DEMO_GRID = (-76.0, 46.0, 49, 33, 0.25)


def member_wind(u, v, k, degrees=None, factor=None):
    a = math.radians(turn(k) if degrees is None else degrees)
    s = scale(k) if factor is None else factor
    return s * (u * math.cos(a) - v * math.sin(a)), s * (u * math.sin(a) + v * math.cos(a))


def write_ensemble(path, base, members, centre=7, skip=None, coarse=None):
    """Members in order, each with every step (skip: {member: step} left out; coarse: the
    member written on a 0.5 degree grid)."""
    with open(path, "wb") as out:
        for k in members:
            for step, (u, v) in base.items():
                if skip and skip.get(k) == step:
                    continue
                mu, mv = member_wind(u, v, k)
                grid = DEMO_GRID
                if coarse == k:
                    mu = mu.reshape(33, 49)[::2, ::2].ravel()
                    mv = mv.reshape(33, 49)[::2, ::2].ravel()
                    grid = (-76.0, 46.0, 25, 17, 0.5)
                out.write(message("u", mu, step, grid, k, len(members), centre))
                out.write(message("v", mv, step, grid, k, len(members), centre))


def write_global(path, base, members):
    """Each step and component encoded once, then copied for every member (only the member
    number changes: no value is packed again)."""
    grid = (0.0, 90.0, 1440, 721, 0.25)
    with open(path, "wb") as out:
        messages = []
        for step, (u, v) in base.items():
            for name, demo, background in (("u", u, 5.0), ("v", v, 0.0)):
                g = np.full((721, 1440), background)
                # The demo rows (46 N to 38 N) and columns (284 E to 296 E) in place.
                g[176:209, 1136:1185] = demo.reshape(33, 49)
                h = eccodes.codes_new_from_message(
                    message(name, g.ravel(), step, grid, 0, members))
                eccodes.codes_set(h, "packingType", "grid_ccsds")
                eccodes.codes_set(h, "bitsPerValue", 16)
                messages.append(h)
        for k in range(members):
            for h in messages:
                eccodes.codes_set(h, "perturbationNumber", k)
                eccodes.codes_set(h, "typeOfEnsembleForecast", 1 if k == 0 else 3)
                out.write(eccodes.codes_get_message(h))
        for h in messages:
            eccodes.codes_release(h)


def main():
    args = sys.argv[1:]
    big = None
    steps = None
    while args and args[0].startswith("--"):
        if args[0] == "--members":
            big = int(args[1])
        elif args[0] == "--global":
            big = -int(args[1])
        elif args[0] == "--steps":
            steps = [int(s) for s in args[1].split(",")]
        args = args[2:]
    folder = args[0] if args else "."
    os.makedirs(folder, exist_ok=True)
    base = demo_fields()
    if steps is not None:
        base = {s: f for s, f in base.items() if s in steps}
    if big and big < 0:
        write_global(os.path.join(folder, "global%d.grib2" % -big), base, -big)
        return
    if big:
        write_ensemble(os.path.join(folder, "ens%d.grib2" % big), base, range(big))
        return
    write_ensemble(os.path.join(folder, "ens21.grib2"), base, range(21))
    with open(os.path.join(folder, "member0.grib2"), "wb") as out:
        for step, (u, v) in base.items():
            out.write(message("u", u, step, DEMO_GRID, centre=7, process=96))
            out.write(message("v", v, step, DEMO_GRID, centre=7, process=96))
    with open(os.path.join(folder, "ecmwf.grib2"), "wb") as out:
        for step, (u, v) in base.items():
            mu, mv = member_wind(u, v, 0, degrees=8.0, factor=1.0)
            out.write(message("u", mu, step, DEMO_GRID, centre=98, process=148))
            out.write(message("v", mv, step, DEMO_GRID, centre=98, process=148))
    write_ensemble(os.path.join(folder, "ens_missing.grib2"), base, range(5), skip={3: 6})
    write_ensemble(os.path.join(folder, "ens_grid.grib2"), base, range(5), coarse=2)
    write_ensemble(os.path.join(folder, "ens_nocontrol.grib2"), base, range(1, 5))
    with open(os.path.join(folder, "ens1000.grib2"), "wb") as out:
        tiny = (-70.0, 42.0, 2, 2, 1.0)
        for k in range(1000):
            out.write(message("u", np.full(4, 5.0), 0, tiny, k % 256, 255))
            out.write(message("v", np.full(4, 1.0), 0, tiny, k % 256, 255))


if __name__ == "__main__":
    main()
