#!/usr/bin/env python3
"""Checks the geometry of the shipped traffic zones (dist/Data/Tss/) against the regulation's
positions (scripts/tss/cfr167.json), independently of the generator's own code:

* the generator, run again, writes the committed files byte for byte;
* centreline bands are as wide as stated, measured square across (within 2 %);
* lanes lie between their zone and their outer line (or are as wide as stated), share the
  zone's edge (no gap wider than 50 m) and do not overlap it;
* circles and arcs have the stated radius and chords within 20 m of the circle;
* every outline is a simple ring;
* every file names its section, amendment, text edition, the public-domain notice and
  "Not for navigation"; Tss.xml selects the New England and New York schemes.

Distances are on the sphere of radius 6378137 m, a nautical mile of 1852 m; edges are straight
in latitude and longitude, as the program draws them.
"""
import json
import math
import os
import subprocess
import sys
import tempfile
import unittest
import xml.etree.ElementTree as ET

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
TSS = os.path.join(ROOT, "dist", "Data", "Tss")
DATA = os.path.join(ROOT, "scripts", "tss", "cfr167.json")
R = 6378137.0
NM = 1852.0


def load(name):
    """[(name, kind, [(lat, lon)])], metadata description"""
    root = ET.parse(os.path.join(TSS, name + ".gpx")).getroot()
    rings = [(rte.findtext("name"), rte.findtext("type"),
              [(float(p.get("lat")), float(p.get("lon"))) for p in rte.findall("rtept")])
             for rte in root.findall("rte")]
    return rings, root.findtext("metadata/desc")


def distance(p, q):
    phi1, phi2 = math.radians(p[0]), math.radians(q[0])
    a = (math.sin((phi2 - phi1) / 2) ** 2 +
         math.cos(phi1) * math.cos(phi2) * math.sin(math.radians(q[1] - p[1]) / 2) ** 2)
    return 2 * R * math.asin(math.sqrt(min(1.0, a)))


def local(origin):
    """Metres east and north of `origin` (good to a few centimetres within a few miles)."""
    k = math.cos(math.radians(origin[0]))
    return lambda p: (math.radians(p[1] - origin[1]) * R * k, math.radians(p[0] - origin[0]) * R)


def point_segment(p, a, b):
    """Distance in metres from p to the edge a-b (straight in latitude and longitude)."""
    f = local(p)
    (ax, ay), (bx, by) = f(a), f(b)
    dx, dy = bx - ax, by - ay
    t = 0.0 if dx == dy == 0 else max(0.0, min(1.0, -(ax * dx + ay * dy) / (dx * dx + dy * dy)))
    # The point at t is found in degrees, then measured on the sphere.
    q = (a[0] + t * (b[0] - a[0]), a[1] + t * (b[1] - a[1]))
    return distance(p, q)


def edges(ring):
    return [(ring[i], ring[(i + 1) % len(ring)]) for i in range(len(ring))]


def to_boundary(p, ring):
    return min(point_segment(p, a, b) for a, b in edges(ring))


def inside(p, ring):
    c = False
    for a, b in edges(ring):
        if (a[0] > p[0]) != (b[0] > p[0]) and \
                p[1] < (p[0] - a[0]) * (b[1] - a[1]) / (b[0] - a[0]) + a[1]:
            c = not c
    return c


def proper_cross(p, q, a, b):
    def o(u, v, w):
        return (v[0] - u[0]) * (w[1] - u[1]) - (v[1] - u[1]) * (w[0] - u[0])
    eps = 1e-12
    d1, d2, d3, d4 = o(a, b, p), o(a, b, q), o(p, q, a), o(p, q, b)
    return ((d1 > eps and d2 < -eps) or (d1 < -eps and d2 > eps)) and \
           ((d3 > eps and d4 < -eps) or (d3 < -eps and d4 > eps))


def simple(ring):
    n = len(ring)
    if n < 3 or len(set(ring)) != n:
        return False
    for i in range(n):
        for j in range(i + 2, n):
            if (i == 0 and j == n - 1):
                continue
            a, b = ring[i], ring[(i + 1) % n]
            c, d = ring[j], ring[(j + 1) % n]
            if proper_cross(a, b, c, d):
                return False
    return True


def along(a, b, steps):
    """Points strictly between a and b, straight in latitude and longitude."""
    return [(a[0] + (b[0] - a[0]) * k / steps, a[1] + (b[1] - a[1]) * k / steps)
            for k in range(1, steps)]


with open(DATA, encoding="utf-8") as f:
    SCHEMES = {s["section"]: s for s in json.load(f)["schemes"]}
FILES = {
    "167.52": "Portland_Eastern_approach", "167.53": "Portland_Southern_approach",
    "167.51": "Portland_precautionary_area",
    "167.76": "Boston_precautionary_areas", "167.77": "Boston_approach",
    "167.101": "Narragansett_precautionary_areas",
    "167.102": "Narragansett_Bay_approach", "167.103": "Buzzards_Bay_approach",
    "167.151": "New_York_precautionary_area",
    "167.152": "New_York_Nantucket_approach", "167.153": "New_York_Eastern_approach",
    "167.154": "New_York_South-eastern_approach", "167.155": "New_York_Southern_approach",
    "167.401": "San_Francisco_precautionary_area", "167.402": "San_Francisco_Northern_approach",
    "167.403": "San_Francisco_Southern_approach", "167.404": "San_Francisco_Western_approach",
    "167.405": "San_Francisco_Main_ship_channel", "167.406": "San_Francisco_area_to_be_avoided",
    "167.451": "Santa_Barbara_Channel",
    "167.452": "Santa_Barbara_Conception_Arguello",
}


def pos(p):
    return (p["lat"], p["lon"])


class ShippedZones(unittest.TestCase):
    def test_generator_output_is_committed(self):
        with tempfile.TemporaryDirectory() as tmp:
            subprocess.run([sys.executable, os.path.join(ROOT, "scripts", "make-tss.py"),
                            "--out", tmp, "--selection", os.path.join(tmp, "Tss.xml")],
                           check=True, stdout=subprocess.DEVNULL)
            made = sorted(f for f in os.listdir(tmp) if f.endswith(".gpx"))
            self.assertEqual(made, sorted(f for f in os.listdir(TSS) if f.endswith(".gpx")))
            for name in made + ["../Tss.xml"]:
                with open(os.path.join(tmp, os.path.basename(name)), "rb") as a, \
                        open(os.path.join(TSS, name), "rb") as b:
                    self.assertEqual(a.read(), b.read(), name)

    def test_every_outline_is_a_simple_ring(self):
        for name in FILES.values():
            for label, _, ring in load(name)[0]:
                self.assertTrue(simple(ring), "%s: %s" % (name, label))

    def test_metadata(self):
        for section, name in FILES.items():
            desc = load(name)[1]
            scheme = SCHEMES[section]
            for needed in ["33 CFR " + section, scheme["citation"].strip(),
                           scheme["text_edition"], "Contains public-domain data of 33 CFR Part 167",
                           "Not for navigation"]:
                self.assertIn(needed, desc, name)
        self.assertIn("NE, SE, SW, NW", load(FILES["167.452"])[1])
        self.assertIn("1/2 miles", load(FILES["167.52"])[1])
        self.assertIn("167.76(b)", load(FILES["167.151"])[1])

    def test_selection(self):
        root = ET.parse(os.path.join(ROOT, "dist", "Data", "Tss.xml")).getroot()
        chosen = [f.get("name") for f in root.findall("file")]
        expected = sorted(n for n in FILES.values()
                          if not n.startswith(("San_Francisco", "Santa_Barbara")))
        self.assertEqual(chosen, expected)

    def test_centreline_bands_are_as_wide_as_stated(self):
        for section in ("167.52", "167.53", "167.77", "167.102", "167.103"):
            area = SCHEMES[section]["areas"][0]
            line = [pos(p) for p in area["positions"]]
            ring = load(FILES[section])[0][0][2]
            for a, b in zip(line, line[1:]):
                # Square across the line, away from its ends and corners.
                for c in along(a, b, 20)[2:-2]:
                    f = local(c)
                    (ax, ay), (bx, by) = f(a), f(b)
                    ux, uy = -(by - ay), bx - ax
                    norm = math.hypot(ux, uy)
                    ux, uy = ux / norm, uy / norm
                    # Where the normal leaves the band on each side (bisection on inside()).
                    width = 0.0
                    for sign in (1, -1):
                        lo, hi = 0.0, 3 * area["width_nm"] * NM
                        for _ in range(50):
                            mid = (lo + hi) / 2
                            q = (c[0] + math.degrees(sign * uy * mid / R),
                                 c[1] + math.degrees(sign * ux * mid / R) /
                                 math.cos(math.radians(c[0])))
                            lo, hi = (mid, hi) if inside(q, ring) else (lo, mid)
                        width += lo
                    self.assertAlmostEqual(width / NM, area["width_nm"],
                                           delta=0.02 * area["width_nm"],
                                           msg="%s at %s" % (section, c))

    def test_lanes_lie_beside_their_zone(self):
        for section, name in FILES.items():
            areas = SCHEMES[section]["areas"]
            rings = load(name)[0]
            zones = [r for _, kind, r in rings if kind == "separation zone"]
            lanes = [(label, r) for label, kind, r in rings if kind == "traffic lane"]
            outer = [a for a in areas if a["geometry"] in ("outer_line", "width_only")]
            if not outer:
                continue
            if zones:
                zone = zones[0]
            else:  # the San Francisco channel: the lanes meet on the separation line
                zone = [pos(p) for p in areas[0]["positions"]]
            for label, lane in lanes:
                area = next(a for a in areas if label.startswith(
                    "§ %s%s" % (section, a["paragraph"])))
                given = [pos(p) for p in area["positions"]]
                if area["geometry"] == "outer_line":
                    inner = [p for p in lane if p not in given]
                else:  # a band beside the zone: its inner corners are the zone's
                    inner = [p for p in lane if to_boundary(p, zone) < 50.0]
                self.assertGreaterEqual(len(inner), 2, label)
                # The lane's inner edge runs along the zone's edge: no gap wider than 50 m.
                for a, b in zip(inner, inner[1:]):
                    for p in [a] + along(a, b, 10) + [b]:
                        d = to_boundary(p, zone) if zones else \
                            min(point_segment(p, u, v) for u, v in zip(zone, zone[1:]))
                        self.assertLess(d, 50.0, "%s: %s" % (label, p))
                # No overlap: nothing of the lane inside the zone, nor of the zone in the lane.
                if zones:
                    for a, b in edges(lane):
                        for p in along(a, b, 10):
                            if to_boundary(p, zone) > 5.0:
                                self.assertFalse(inside(p, zone), "%s: %s" % (label, p))
                    for a, b in edges(zone):
                        for p in along(a, b, 10):
                            if to_boundary(p, lane) > 5.0:
                                self.assertFalse(inside(p, lane), "%s: %s" % (label, p))
                if area["geometry"] == "outer_line":
                    # The outer line is the lane's other edge, in order.
                    k = lane.index(given[0])
                    self.assertEqual(lane[k:k + len(given)], given, label)
                else:
                    # Width-only lanes: their outer corners lie the lane's width off the zone.
                    width = area.get("width_nm", 0.5) * NM
                    self.assertEqual(len(inner) * 2, len(lane), label)
                    for p in lane:
                        if p not in inner:
                            self.assertAlmostEqual(to_boundary(p, zone), width,
                                                   delta=0.02 * width, msg=label)

    def test_circles_and_arcs_have_their_radius(self):
        for section, name in FILES.items():
            rings = load(name)[0]
            areas = [a for a in SCHEMES[section]["areas"] if a["geometry"] in
                     ("circle", "arc_and_lines")]
            for area in areas:
                if (section, area["paragraph"]) == ("167.151", "(b)"):
                    continue  # drawn from 167.76(b)
                label, _, ring = next(r for r in rings if r[0].startswith(
                    "§ %s%s" % (section, area["paragraph"])))
                if area["geometry"] == "circle":
                    centre, radius = pos(area["positions"][0]), area["radius_nm"] * NM
                    on_arc = ring
                    arc_edges = edges(ring)
                else:
                    centre = pos(area["arc"]["centre"])
                    radius = area["arc"]["radius_nm"] * NM
                    # The arc's own points; its ends are the printed positions, which lie
                    # some metres off the stated radius.
                    on_arc = [p for p in ring if abs(distance(centre, p) - radius) < 1.0]
                    arc_edges = [(a, b) for a, b in zip(on_arc, on_arc[1:])
                                 if distance(a, b) < 0.2 * radius]
                    self.assertGreater(len(on_arc), 10, label)
                for p in on_arc:
                    self.assertAlmostEqual(distance(centre, p), radius, delta=1.0, msg=label)
                for a, b in arc_edges:
                    mid = ((a[0] + b[0]) / 2, (a[1] + b[1]) / 2)
                    self.assertLess(radius - distance(centre, mid), 20.0, label)


if __name__ == "__main__":
    unittest.main()
