#!/usr/bin/env python3
"""Writes the traffic separation zones dist/Data/Tss/<name>.gpx and the default selection
dist/Data/Tss.xml from scripts/tss/cfr167.json (33 CFR Part 167, public domain).

    python3 scripts/make-tss.py [--json FILE] [--out FOLDER] [--selection FILE]

One zone file per section of the regulation; every area of the section becomes one `rte`
(a closed outline: the last point joins the first) whose `type` is the area's kind
("separation zone", "traffic lane", "precautionary area", "area to be avoided"). The routing
keeps boats out of the "separation zone" outlines only.

Geometry is computed on the sphere of the program's own geodesy (radius 6378137 m, a
nautical mile of 1852 m): offsets and circle points are great-circle destinations from the
regulation's positions. Outlines are joined by straight lines in latitude and longitude, as
the program draws them and tests moves against them.

How each kind of description becomes an outline:
  polygon        the positions as printed
  centerline     the line buffered by width/2 on each side; flat ends square to the end
                 segments, corners mitred
  width_only     one band of the given width on each side, its inner edge the zone's edge
  outer_line     the outer line, then the adjoining zone's edge (or separation line) back
  circle         points on the circle, chords short enough that the circle lies within 15 m
  arc_and_lines  the arc between its two positions on the stated side, then the straight
                 boundary lines back to the start
  line           not drawn: the two lanes of the San Francisco main ship channel meet on it
"""
import argparse
import json
import math
import os
from xml.sax.saxutils import escape, quoteattr

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)

EARTH_RADIUS = 6378137.0  # metres, the sphere of core/geodesy.h
NM = 1852.0
MAX_SAGITTA = 15.0  # metres between a circle and its chords

# File name (the user's handle in the selection list) of each section.
FILE_NAMES = {
    "167.51": "Portland_precautionary_area",
    "167.52": "Portland_Eastern_approach",
    "167.53": "Portland_Southern_approach",
    "167.76": "Boston_precautionary_areas",
    "167.77": "Boston_approach",
    "167.101": "Narragansett_precautionary_areas",
    "167.102": "Narragansett_Bay_approach",
    "167.103": "Buzzards_Bay_approach",
    "167.151": "New_York_precautionary_area",
    "167.152": "New_York_Nantucket_approach",
    "167.153": "New_York_Eastern_approach",
    "167.154": "New_York_South-eastern_approach",
    "167.155": "New_York_Southern_approach",
    "167.401": "San_Francisco_precautionary_area",
    "167.402": "San_Francisco_Northern_approach",
    "167.403": "San_Francisco_Southern_approach",
    "167.404": "San_Francisco_Western_approach",
    "167.405": "San_Francisco_Main_ship_channel",
    "167.406": "San_Francisco_area_to_be_avoided",
    "167.451": "Santa_Barbara_Channel",
    "167.452": "Santa_Barbara_Conception_Arguello",
}

# Shown by default: the schemes of the demo waters (Gulf of Maine to New York).
SELECTED_PREFIXES = ("Portland_", "Boston_", "Narragansett_", "Buzzards_", "New_York_")

# Areas drawn from another section, or in another order than printed.
SKIPPED = {
    ("167.151", "(b)"): "§ 167.151(b) is not drawn: the same precautionary area is drawn "
    "from § 167.76(b) (2010 text, NAD 83) in Boston_precautionary_areas; the 1987 text of "
    "§ 167.151(b) prints its second position as 68°15.16′ W, a misprint for 69°15.16′ W.",
}
REORDERED = {
    ("167.452", "(a)"): ([0, 1, 3, 2], "§ 167.452(a) lists the corners NE, SE, NW, SW; joined "
                         "in that order the outline crosses itself, so it is drawn in the "
                         "order NE, SE, SW, NW (positions 1, 2, 4, 3 as printed)."),
}
NOTES = {
    ("167.52", "(b)"): "§ 167.52(b) prints the lane width as \"1/2 miles\"; it is drawn as "
    "printed (0.5 nm), although § 167.53(b) has 1 1/2 miles and a \"1\" may have been lost.",
    ("167.405", "(a)"): "The separation line of § 167.405(a) has no width and is not drawn as "
    "an outline: the two traffic lanes meet on it.",
}


# --- Sphere ---------------------------------------------------------------------------------

def destination(p, bearing, dist):
    """The point dist metres from p = (lat, lon) along the initial bearing (degrees)."""
    phi1, lam1 = math.radians(p[0]), math.radians(p[1])
    theta, delta = math.radians(bearing), dist / EARTH_RADIUS
    phi2 = math.asin(math.sin(phi1) * math.cos(delta) +
                     math.cos(phi1) * math.sin(delta) * math.cos(theta))
    lam2 = lam1 + math.atan2(math.sin(theta) * math.sin(delta) * math.cos(phi1),
                             math.cos(delta) - math.sin(phi1) * math.sin(phi2))
    return (math.degrees(phi2), math.degrees(lam2))


def bearing(p, q):
    phi1, phi2 = math.radians(p[0]), math.radians(q[0])
    dl = math.radians(q[1] - p[1])
    y = math.sin(dl) * math.cos(phi2)
    x = math.cos(phi1) * math.sin(phi2) - math.sin(phi1) * math.cos(phi2) * math.cos(dl)
    return math.degrees(math.atan2(y, x)) % 360.0


def distance(p, q):
    phi1, phi2 = math.radians(p[0]), math.radians(q[0])
    dphi, dl = phi2 - phi1, math.radians(q[1] - p[1])
    a = math.sin(dphi / 2) ** 2 + math.cos(phi1) * math.cos(phi2) * math.sin(dl / 2) ** 2
    return 2 * EARTH_RADIUS * math.asin(math.sqrt(min(1.0, a)))


def angle_diff(a, b):
    """b - a folded into -180..180."""
    return (b - a + 180.0) % 360.0 - 180.0


# --- Plane (degrees of longitude and latitude, as the program tests and draws) ---------------

def segments_cross(p, q, a, b):
    def orient(u, v, w):
        return (v[1] - u[1]) * (w[0] - u[0]) - (v[0] - u[0]) * (w[1] - u[1])
    d1, d2 = orient(a, b, p), orient(a, b, q)
    d3, d4 = orient(p, q, a), orient(p, q, b)
    return d1 * d2 < 0 and d3 * d4 < 0


def ring_is_simple(ring):
    n = len(ring)
    if n < 3 or len(set(ring)) != n:
        return False
    for i in range(n):
        for j in range(i + 2, n):
            if i == 0 and j == n - 1:
                continue
            if segments_cross(ring[i], ring[(i + 1) % n], ring[j], ring[(j + 1) % n]):
                return False
    return True


# --- Outlines -------------------------------------------------------------------------------

def offset_line(points, dist, side):
    """The line at dist metres beside `points` (side +1 right of the direction of travel,
    -1 left): ends square to the end segments, corners mitred."""
    out = []
    n = len(points)
    for i, v in enumerate(points):
        b_out = bearing(v, points[i + 1]) if i + 1 < n else None
        b_in = (bearing(v, points[i - 1]) + 180.0) % 360.0 if i > 0 else None
        if b_in is None:
            direction, length = b_out, dist
        elif b_out is None:
            direction, length = b_in, dist
        else:
            half = angle_diff(b_in, b_out) / 2.0
            direction, length = b_in + half, dist / math.cos(math.radians(half))
        out.append(destination(v, direction + 90.0 * side, length))
    return out


def circle_step(radius):
    """The angle (degrees) between circle points so that no chord is farther than
    MAX_SAGITTA inside the circle."""
    return math.degrees(2.0 * math.acos(1.0 - MAX_SAGITTA / radius))


def circle_ring(centre, radius):
    count = math.ceil(360.0 / circle_step(radius))
    return [destination(centre, 360.0 * k / count, radius) for k in range(count)]


def arc_points(centre, radius, start, end, side):
    """Points on the arc from `start` to `end` (both kept as printed) that passes the side
    ("east" or "west") of the centre."""
    b0, b1 = bearing(centre, start), bearing(centre, end)
    through = {"east": 90.0, "west": 270.0, "north": 0.0, "south": 180.0}[side]
    clockwise = (b1 - b0) % 360.0
    if (through - b0) % 360.0 <= clockwise:
        sweep = clockwise
    else:
        sweep = -((b0 - b1) % 360.0)
    count = max(1, math.ceil(abs(sweep) / circle_step(radius)))
    inner = [destination(centre, b0 + sweep * k / count, radius) for k in range(1, count)]
    return [start] + inner + [end]


def position(p):
    return (p["lat"], p["lon"])


def near_end_first(chain, point):
    """The chain oriented so that it starts at the end nearer `point`."""
    return chain if distance(chain[0], point) <= distance(chain[-1], point) else chain[::-1]


def mean_distance(chain, points):
    return sum(min(distance(c, p) for p in points) for c in chain) / len(chain)


def ring_chains(ring, first, last):
    """The two ways along a closed ring from vertex `first` to vertex `last`."""
    n = len(ring)
    forward, backward = [first], [first]
    while forward[-1] != last:
        forward.append((forward[-1] + 1) % n)
    while backward[-1] != last:
        backward.append((backward[-1] - 1) % n)
    return [[ring[k] for k in forward], [ring[k] for k in backward]]


def lane_inner_edge(zone, outer):
    """The edge of the adjoining zone (or the separation line) that faces the outer line,
    running from the end beside the outer line's first position to the end beside its last."""
    if "sides" in zone:  # a centreline band: its two long edges
        chain = min(zone["sides"], key=lambda c: mean_distance(c, outer))
        return near_end_first(chain, outer[0])
    if zone.get("open"):  # a separation line
        return near_end_first(zone["line"], outer[0])
    ring = zone["ring"]
    first = min(range(len(ring)), key=lambda k: distance(ring[k], outer[0]))
    last = min(range(len(ring)), key=lambda k: distance(ring[k], outer[-1]))
    return min(ring_chains(ring, first, last), key=lambda c: mean_distance(c, outer))


def dedupe(ring):
    out = []
    for p in ring:
        if not out or distance(out[-1], p) > 0.01:
            out.append(p)
    while len(out) > 1 and distance(out[0], out[-1]) <= 0.01:
        out.pop()
    return out


def build_scheme(scheme):
    """The outlines of one section: a list of (area, kind, ring, remark) and the notes."""
    section = scheme["section"]
    zones = {}
    outlines = []
    notes = []
    centre_zone = None
    for area in scheme["areas"]:
        key = (section, area.get("paragraph", ""))
        geometry = area["geometry"]
        pts = [position(p) for p in area.get("positions", [])]
        remark = ""
        if key in NOTES:
            notes.append(NOTES[key])
        if key in SKIPPED:
            notes.append(SKIPPED[key])
            continue
        if geometry == "polygon":
            if key in REORDERED:
                order, note = REORDERED[key]
                pts = [pts[k] for k in order]
                notes.append(note)
                remark = " (corners reordered, see the file's description)"
            zones[area["name"]] = {"ring": pts}
            rings = [pts]
        elif geometry == "centerline":
            half = area["width_nm"] * NM / 2.0
            right, left = offset_line(pts, half, +1), offset_line(pts, half, -1)
            zones[area["name"]] = {"sides": [right, left], "ring": right + left[::-1]}
            centre_zone = (pts, half)
            rings = [right + left[::-1]]
        elif geometry == "width_only":
            line, half = centre_zone
            width = area.get("width_nm")
            if width is None:  # printed "1/2 miles", drawn as printed
                width = 0.5
            rings = []
            for side in (+1, -1):
                inner = offset_line(line, half, side)
                outer = offset_line(line, half + width * NM, side)
                rings.append(inner + outer[::-1])
            remark = " (%g nm wide on each side)" % width
        elif geometry == "outer_line":
            inner = lane_inner_edge(zones[area["between"]], pts)
            rings = [pts + inner[::-1]]
        elif geometry == "circle":
            rings = [circle_ring(pts[0], area["radius_nm"] * NM)]
            remark = " (radius %g nm)" % area["radius_nm"]
        elif geometry == "arc_and_lines":
            arc = area["arc"]
            a, b = arc["between_positions"]
            ring = arc_points(position(arc["centre"]), arc["radius_nm"] * NM, pts[a], pts[b],
                              arc["side"])
            lines = area.get("west_line_positions") or area.get("east_line_positions")
            ring += near_end_first([pts[k] for k in lines], pts[b])
            rings = [ring]
        elif geometry == "line":
            zones[area["name"]] = {"open": True, "line": pts}
            continue
        else:
            raise SystemExit("%s: unknown geometry %s" % (section, geometry))
        for ring in rings:
            ring = dedupe(ring)
            if not ring_is_simple(ring):
                raise SystemExit("%s %s: the outline crosses itself" % (section, area["name"]))
            label = "§ %s%s %s%s" % (section, area.get("paragraph", ""), area["name"], remark)
            outlines.append((label, area["kind"], ring))
    return outlines, notes


def zone_gpx(scheme, name, outlines, notes):
    desc = ["33 CFR %s, %s" % (scheme["section"], scheme["title"]),
            "Amendment citation: %s." % scheme["citation"].strip(),
            "Text edition: %s." % scheme["text_edition"]]
    desc += notes
    desc += ["Contains public-domain data of 33 CFR Part 167.", "Not for navigation."]
    lines = ['<?xml version="1.0"?>', "<gpx>", "\t<metadata>",
             "\t\t<name>%s</name>" % escape(name.replace("_", " ")),
             "\t\t<desc>%s</desc>" % escape(" ".join(desc)),
             "\t</metadata>"]
    for label, kind, ring in outlines:
        lines += ["\t<rte>", "\t\t<name>%s</name>" % escape(label),
                  "\t\t<type>%s</type>" % escape(kind)]
        for lat, lon in ring:
            lines.append("\t\t<rtept lat=%s lon=%s />" % (quoteattr("%.6f" % lat),
                                                          quoteattr("%.6f" % lon)))
        lines.append("\t</rte>")
    lines.append("</gpx>")
    return "\n".join(lines) + "\n"


def selection_xml(names):
    lines = ['<?xml version="1.0"?>', "<tss>"]
    lines += ["\t<file name=%s />" % quoteattr(n) for n in names]
    lines.append("</tss>")
    return "\n".join(lines) + "\n"


def write(path, text):
    tmp = path + ".tmp"
    with open(tmp, "w", encoding="utf-8", newline="\n") as f:
        f.write(text)
    os.replace(tmp, path)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--json", default=os.path.join(HERE, "tss", "cfr167.json"))
    parser.add_argument("--out", default=os.path.join(ROOT, "dist", "Data", "Tss"))
    parser.add_argument("--selection", default=os.path.join(ROOT, "dist", "Data", "Tss.xml"))
    args = parser.parse_args()
    with open(args.json, encoding="utf-8") as f:
        data = json.load(f)
    os.makedirs(args.out, exist_ok=True)
    names = []
    total = 0
    for scheme in data["schemes"]:
        name = FILE_NAMES[scheme["section"]]
        outlines, notes = build_scheme(scheme)
        text = zone_gpx(scheme, name, outlines, notes)
        write(os.path.join(args.out, name + ".gpx"), text)
        names.append(name)
        total += len(text.encode("utf-8"))
        print("%-46s %2d outlines %5d points" %
              (name, len(outlines), sum(len(r) for _, _, r in outlines)))
    selected = sorted(n for n in names if n.startswith(SELECTED_PREFIXES))
    write(args.selection, selection_xml(selected))
    print("%d zone files, %d bytes; %d selected in %s" %
          (len(names), total, len(selected), args.selection))


if __name__ == "__main__":
    main()
