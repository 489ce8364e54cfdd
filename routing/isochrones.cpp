#include "routing/isochrones.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace navorel {

namespace {

// Points of a front advanced between two looks at the cancel flag (each takes a fan of moves).
constexpr std::size_t kCancelCheckPoints = 16;

inline GeoPoint positionOf(const IsochronePoint& p) {
    return GeoPoint{p.lon, p.lat};
}

// The target lies behind the point (at `at`) with respect to the leg's axis.
inline bool passedTarget(const TrigPoint& at, const TrigPoint& target, double axis) {
    return std::cos((trigBearing(at, target) - axis) * kDegToRad) < 0.0;
}

// The ends of a leg that every candidate is measured against: the target and the ellipse's
// foci, with their latitudes' sines and cosines.
struct LegEnds {
    TrigPoint target, focusA, focusB;
};

// The acceptance test of a candidate: valid, within the wind limits, inside the leg's
// ellipse, not across a barrier or land. The cheap tests come first; a valid candidate that
// fails any of them sets the run status to 1 whichever test it is.
bool candidateAcceptable(const RoutingInputs& in, const UserRoute& route, int leg,
                         const LegEnds& ends, const IsochronePoint& p, const TrigPoint& at) {
    if (!p.valid) return false;
    const RoutingParameters& params = *in.params;
    bool ok = windWithinLimits(in, p);
    if (ok && params.ellipse) {
        ok = trigDistance(at, ends.focusA) + trigDistance(at, ends.focusB) < route.legLength[leg];
    }
    if (ok && in.crossings) {
        const GeoPoint a{p.parentLon, p.parentLat}, b = positionOf(p);
        if (params.avoidBarriers && in.crossings->segmentCrossesBarrier(a, b))
            ok = false;
        else if (params.avoidCoasts && in.crossings->segmentCrossesLand(a, b))
            ok = false;
        else if (params.avoidTss && in.crossings->segmentCrossesZone(a, b))
            ok = false;
    }
    if (!ok) setRunStatus(in, kStatusRejected);
    return ok;
}

// The run passed one of its bounds: it stops with its own status and says which.
void stopAtLimit(const RoutingInputs& in, RoutingOutput& out, RunLimit limit) {
    out.limit = limit;
    setRunStatus(in, kStatusTooLarge);
}

// Would one more point pass the bound of the point store?
inline bool storeFull(const RoutingInputs& in, const RoutingOutput& out, const Isochrone& pending) {
    return out.pointStore.size() + pending.size() >= in.limits.storedPoints;
}

void storePoints(RoutingOutput& out, Isochrone& points) {
    for (IsochronePoint& p : points) {
        p.index = static_cast<std::int32_t>(out.pointStore.size());
        out.pointStore.push_back(p);
    }
}

void tell(const FrontCallback& cb, const RoutingParameters& params, int leg, bool first,
          const Isochrone& front, const RoutingOutput& out) {
    if (!cb || front.empty()) return;
    FrontEvent e;
    e.render = params.renderAfter;
    e.leg = leg;
    e.firstOfLeg = first;
    e.front = &front;
    e.displayTime = front.front().parentTime;
    e.output = &out;
    cb(e);
}

// The route from the departure to store entry `chosen`, following the parent links. Entry 0
// (or none) leaves the route as it was. Every point of a leg descends from the leg's start
// `legStart`, the last point of the route so far: only the leg's own part is walked and
// appended, so that a route of many legs is not rebuilt from the departure after each.
void rebuildRoute(RoutingOutput& out, int chosen, int legStart) {
    if (chosen <= 0 || chosen >= static_cast<int>(out.pointStore.size())) return;
    const bool routeEndsAtStart =
        legStart == 0 || (!out.route.empty() && out.route.back().index == legStart);
    if (routeEndsAtStart) {
        std::vector<IsochronePoint> leg;
        int e = chosen;
        while (e > 0 && e != legStart) {
            leg.push_back(out.pointStore[e]);
            const int parent = out.pointStore[e].parent;
            if (parent >= e) break;
            e = parent;
        }
        if (e == legStart) {
            if (legStart == 0) out.route.clear();
            out.route.insert(out.route.end(), leg.rbegin(), leg.rend());
            return;
        }
    }
    out.route.clear();
    int e = chosen;
    // Parents are always stored before their children; the bound only guards a broken link.
    while (e > 0 && e < static_cast<int>(out.pointStore.size())) {
        out.route.push_back(out.pointStore[e]);
        const int parent = out.pointStore[e].parent;
        if (parent >= e) break;
        e = parent;
    }
    std::reverse(out.route.begin(), out.route.end());
}

// Wraps a longitude difference into -180..180 by one turn.
inline double wrapDelta(double d) {
    if (d > 180.0) return d - 360.0;
    if (d < -180.0) return d + 360.0;
    return d;
}

} // namespace

bool planarCrossing(GeoPoint p, GeoPoint q, GeoPoint a, GeoPoint b, GeoPoint& at) {
    double t, sx, sy;
    if (!planarCrossingAt(p, q, a, b, t, sx, sy)) return false;
    at.lon = static_cast<float>(normalise180(p.lon + t * sx));
    at.lat = static_cast<float>(p.lat + t * sy);
    return true;
}

LegSettings legSettings(const RoutingParameters& params, const Polar& polar, const UserRoute& route,
                        int leg) {
    LegSettings s;
    if (!params.timestepAuto) {
        s.stepSeconds = params.timestep * 60.0;
        s.pruneDistance = params.pruneDistance;
        s.initialCount = params.nbInitialAngles;
        s.initialStep = params.initialAngles;
        s.furtherCount = params.nbFurtherAngles;
        s.furtherStep = params.furtherAngles;
        return s;
    }
    const double vRef = polarSpeed(polar, 90.0f, 20.0f);
    const double legLength = route.legLength[leg];
    double b = 1.0;
    if (route.waypoints.size() != 2) {
        b = route.longestLeg / legLength;
        if (!(b >= 1.0)) b = 1.0; // also a NaN from a leg of 0
        if (b > 4.0) b = 4.0;
    }
    const double H = b * 0.05 * legLength / (vRef * kKnotToMs);
    double step;
    if (H < 25)
        step = 60;
    else if (H < 50)
        step = 120;
    else if (H < 150)
        step = 180;
    else if (H < 300)
        step = 300;
    else if (H < 600)
        step = 600;
    else if (H < 900)
        step = 900;
    else if (H < 1800)
        step = 1800;
    else if (H < 3600)
        step = 3600;
    else if (H < 10800)
        step = std::trunc(H / 3600.0) * 3600.0;
    else
        step = 21600; // also a polar without speed at the reference point
    switch (params.quality) {
    case 0:
        step *= 2.0;
        break;
    case 1:
        step *= 1.5;
        break;
    case 3:
        step *= 0.75;
        break;
    case 4:
        step *= 0.5;
        break;
    default:
        break;
    }
    s.legFactor = b;
    s.referenceSeconds = H;
    s.stepSeconds = step;
    s.pruneDistance = static_cast<float>(step / 6.0);
    s.initialCount = params.autoNbInitialAngles;
    s.initialStep = params.autoInitialAngles;
    s.furtherCount = params.autoNbFurtherAngles;
    s.furtherStep = params.autoFurtherAngles;
    return s;
}

bool routeLeg(const RoutingInputs& in, const UserRoute& route, const IsochronePoint& startRecord,
              int from, RoutingOutput& out, const FrontCallback& afterFront) {
    const RoutingParameters& params = *in.params;
    const GeoPoint T = route.waypoints[from + 1];
    LegEnds ends{trigPoint(T), {}, {}};
    if (params.ellipse) {
        ends.focusA = trigPoint(route.focusA[from]);
        ends.focusB = trigPoint(route.focusB[from]);
    }
    double axis = route.legBearing[from];
    const LegSettings ls = legSettings(params, *in.polar, route, from);
    out.stepSeconds = ls.stepSeconds;
    out.pruneDistance = ls.pruneDistance;
    const double step = ls.stepSeconds;

    out.legIsochrones.clear();
    IsochronePoint S = startRecord;
    if (out.pointStore.empty()) {
        S.index = 0;
        out.pointStore.push_back(S);
    }
    if (!(step > 0.0)) {
        // A step of no time never moves the boat.
        setRunStatus(in, kStatusRejected);
        return false;
    }

    bool arrived = false;
    bool limited = false; // a bound of the run was passed
    Isochrone startingSet;

    // First isochrone: a fan of headings around the leg's axis.
    Isochrone front;
    {
        const AdvanceEnvironment env = sampleEnvironment(in, S);
        const int half = ls.initialCount / 2;
        for (int k = -half; k <= half; ++k) {
            if (storeFull(in, out, front)) {
                limited = true;
                break;
            }
            const double heading = axis + k * ls.initialStep;
            TrigPoint at;
            IsochronePoint P = advanceFrom(in, env, S, ends.target, heading, step, false, &at);
            // A step that passes the target arrives without the ellipse test: the ellipse
            // ends at the target, so a step beyond it could never be accepted and a leg
            // shorter than one step would never arrive. The step becomes part of the route, so
            // the land, barrier and wind tests still apply to it.
            if (P.valid && passedTarget(at, ends.target, axis)) {
                if (!pointAcceptable(in, P)) continue;
                front.push_back(P);
                arrived = true;
                break;
            }
            if (candidateAcceptable(in, route, from, ends, P, at)) front.push_back(P);
        }
    }
    if (limited) {
        // A fan too large for the store is dropped whole: pruning a fan of that size (headings
        // going round many times over the same positions) would take hours.
        stopAtLimit(in, out, RunLimit::StoredPoints);
    } else if (arrived) {
        storePoints(out, front);
        // The start itself competes for the arrival, so the boat does not sail past the
        // waypoint and back when it could stop on the way.
        startingSet.reserve(front.size() + 1);
        startingSet.push_back(S);
        startingSet.insert(startingSet.end(), front.begin(), front.end());
    } else {
        setRunStatus(in, front.empty() ? kStatusRejected : kStatusRunning);
        pruneFront(front, ls.pruneDistance);
        storePoints(out, front);
        out.legIsochrones.push_back(front);
        tell(afterFront, params, from, true, out.legIsochrones.back(), out);

        Isochrone current = std::move(front);
        int fronts = 1;
        const std::vector<GeoPoint>& legLine = route.legPolyline[from];
        std::vector<TrigPoint> nextAt;
        const int half = ls.furtherCount / 2;
        while (!arrived) {
            if (runCancelled(in) || current.empty()) break;
            if (++fronts > in.limits.frontsPerLeg) {
                stopAtLimit(in, out, RunLimit::FrontsPerLeg);
                break;
            }
            // Once the front has crossed the leg's line, aim the arrival test from there.
            bool crossed = false;
            for (std::size_t k = 1; k < current.size() && !crossed; ++k) {
                for (std::size_t m = 1; m < legLine.size(); ++m) {
                    GeoPoint at;
                    if (planarCrossing(positionOf(current[k - 1]), positionOf(current[k]),
                                       legLine[m - 1], legLine[m], at)) {
                        axis = greatCircleBearing(at, T);
                        crossed = true;
                        break;
                    }
                }
            }

            Isochrone next;
            next.reserve(current.size() * static_cast<std::size_t>(2 * half + 1) / 4 + 16);
            nextAt.clear(); // side by side with `next`, for the pruning
            bool cancelled = false;
            std::size_t sinceCheck = 0;
            for (const IsochronePoint& Q : current) {
                if (!arrived && storeFull(in, out, next)) {
                    limited = true;
                    break;
                }
                // A large front takes long to advance: the cancel flag is also looked at
                // every kCancelCheckPoints points, so that Escape does not wait for the whole
                // front (once a point has arrived the front is finished for the arrival).
                if (!arrived && ++sinceCheck == kCancelCheckPoints) {
                    sinceCheck = 0;
                    if (runCancelled(in)) {
                        cancelled = true;
                        break;
                    }
                }
                const AdvanceEnvironment env = sampleEnvironment(in, Q);
                const double centre = meanBearing(
                    trigBearing(trigPoint(positionOf(Q)), ends.target), Q.commandedHeading);
                for (int k = -half; k <= half; ++k) {
                    TrigPoint at;
                    IsochronePoint P = advanceFrom(in, env, Q, ends.target,
                                                   centre + k * ls.furtherStep, step, false, &at);
                    if (P.valid && passedTarget(at, ends.target, axis)) {
                        next.push_back(P);
                        nextAt.push_back(at);
                        arrived = true;
                        break;
                    }
                    if (candidateAcceptable(in, route, from, ends, P, at)) {
                        next.push_back(P);
                        nextAt.push_back(at);
                    }
                }
            }
            if (limited) {
                // The front in the making is dropped: the route ends at the stored point
                // closest to the target.
                stopAtLimit(in, out, RunLimit::StoredPoints);
                break;
            }
            // Cancelled on the way: the front in the making is dropped too, as when the flag
            // is seen before the front.
            if (cancelled) break;
            if (!next.empty() || arrived) setRunStatus(in, kStatusRunning);
            if (!next.empty()) {
                pruneFront(next, ls.pruneDistance, nextAt);
                cleanFront(next, T);
                orderFront(next, route.waypoints[from]);
                storePoints(out, next);
                out.legIsochrones.push_back(next);
            }
            current = std::move(next);
            if (!current.empty()) tell(afterFront, params, from, false, current, out);
        }
        if (arrived) {
            // The front that passed the target is not kept; the arrival is computed from the
            // one before it.
            if (!out.legIsochrones.empty() && !out.legIsochrones.back().empty())
                out.legIsochrones.pop_back();
            if (out.legIsochrones.empty())
                startingSet.push_back(S);
            else
                startingSet = out.legIsochrones.back();
        }
    }

    int chosen = -1;
    if (arrived) {
        // Earlier legs cleared the flags of their arrivals: only the entries appended here
        // can carry one.
        const std::size_t firstArrival = out.pointStore.size();
        for (const IsochronePoint& q : startingSet) {
            const LegFinish f = finishLeg(in, q, T, step);
            if (f.count == 0) continue;
            IsochronePoint a = f.points[0];
            a.parent = q.index;
            a.index = static_cast<std::int32_t>(out.pointStore.size());
            out.pointStore.push_back(a);
            if (f.count == 2) {
                IsochronePoint b = f.points[1];
                b.parent = a.index;
                b.index = static_cast<std::int32_t>(out.pointStore.size());
                out.pointStore.push_back(b);
            }
        }
        for (std::size_t i = firstArrival; i < out.pointStore.size(); ++i) {
            IsochronePoint& e = out.pointStore[i];
            if (!e.arrived) continue;
            if (chosen < 0 || e.time.dayNumber < out.pointStore[chosen].time.dayNumber)
                chosen = static_cast<int>(i);
            e.arrived = 0;
        }
        if (chosen < 0) {
            // No arrival passed its checks: the boat has not reached the waypoint, and the
            // next leg must not start from the previous one's end.
            arrived = false;
            setRunStatus(in, kStatusRejected);
        }
    }
    if (!arrived) {
        double best = 0;
        for (const Isochrone& iso : out.legIsochrones) {
            for (const IsochronePoint& p : iso) {
                const double d = greatCircleDistance(positionOf(p), T);
                if (chosen < 0 || d < best) {
                    best = d;
                    chosen = p.index;
                }
            }
        }
    }
    rebuildRoute(out, chosen, S.index);
    foldDisplayRanges(out);
    return arrived;
}

void foldDisplayRanges(RoutingOutput& out) {
    for (const IsochronePoint& p : out.route) {
        out.minSog = std::min(out.minSog, p.sog);
        out.maxSog = std::max(out.maxSog, p.sog);
        out.minTws = std::min(out.minTws, p.tws);
        out.maxTws = std::max(out.maxTws, p.tws);
    }
}

RoutingOutput routeIsochrones(const RoutingInputs& given, const UserRoute& route,
                              const DateTime& start, const FrontCallback& afterFront) {
    RoutingOutput out;
    RoutingInputs in = given;
    in.advanceCalls = &out.advanceCalls;
    RunControl localControl;
    if (!in.control) in.control = &localControl;

    const std::size_t n = route.waypoints.size();
    // Nothing to do for fewer than two waypoints, or geometry not recomputed for them.
    if (n < 2 || route.legLength.size() != n - 1 || route.legPolyline.size() != n - 1 ||
        route.focusA.size() != n - 1 || route.focusB.size() != n - 1 ||
        route.legBearing.size() != n - 1) {
        out.status = in.control->status.load();
        return out;
    }

    IsochronePoint S = departureRecord(start, route.waypoints[0].lon, route.waypoints[0].lat);
    out.allIsochrones.clear();
    bool all = true;
    for (std::size_t d = 0; d + 1 < n; ++d) {
        setRunStatus(in, kStatusRunning);
        // Coincident waypoints: the boat is already there.
        if (!(route.legLength[d] > 0.0f)) continue;
        const bool arrived = routeLeg(in, route, S, static_cast<int>(d), out, afterFront);
        if (!arrived) {
            out.targetWaypoint = static_cast<int>(d + 1);
            out.inProgress = false;
            if (runCancelled(in)) setRunStatus(in, kStatusCancelled);
            all = false;
            break;
        }
        if (runCancelled(in)) {
            out.inProgress = false;
            setRunStatus(in, kStatusCancelled);
            all = false;
            break;
        }
        if (out.route.empty()) {
            out.inProgress = false;
            all = false;
            break;
        }
        S = out.route.back();
        for (Isochrone& iso : out.legIsochrones) out.allIsochrones.push_back(iso);
    }
    out.arrived = all;
    out.status = in.control->status.load();
    return out;
}

// ---- Front operations -----------------------------------------------------------------

namespace {

template <typename T> void compact(std::vector<T>& v, const std::vector<char>& keep) {
    std::size_t w = 0;
    for (std::size_t i = 0; i < v.size(); ++i)
        if (keep[i]) {
            if (w != i) v[w] = std::move(v[i]);
            ++w;
        }
    v.resize(w);
}

// Below this size the plain quadratic forms are the faster ones.
constexpr std::size_t kGridFrom = 160;

} // namespace

void pruneFrontPlain(Isochrone& f, double p) {
    const std::size_t n = f.size();
    if (!(p > 0.0) || n < 2) return;
    std::vector<char> keep(n, 1);
    for (std::size_t i = 0; i + 1 < n; ++i) {
        if (!keep[i]) continue;
        const GeoPoint a = positionOf(f[i]);
        for (std::size_t j = i + 1; j < n; ++j) {
            if (!keep[j] || !(f[j].distToTarget > f[i].distToTarget)) continue;
            if (greatCircleDistance(a, positionOf(f[j])) < p) keep[j] = 0;
        }
    }
    compact(f, keep);
}

namespace {

// Pruning, with the points' latitude trigonometry when `latitudes` is given.
void pruneFrontOn(Isochrone& f, double p, const TrigPoint* latitudes) {
    const std::size_t n = f.size();
    if (!(p > 0.0) || n < 2) return;
    // Past a few hundred kilometres a grid buys nothing.
    if (n < kGridFrom || p > 500000.0) {
        pruneFrontPlain(f, p);
        return;
    }
    // Points as unit vectors in a grid of cubes twice as wide as the chord of p (with a
    // margin for rounding): the points closer than p to a point lie in the cubes that its
    // reach of one chord along each axis touches, two a side at most. No longitude wrap, no
    // pole.
    const double reach = 2.0 * std::sin(p / kEarthRadius / 2.0) * 1.1 + 1e-7;
    const double cell = std::max(2.0 * reach, 4.0 / (1 << 20));
    constexpr std::int64_t kOffset = 1 << 19;
    auto cellOf = [&](double v) {
        return static_cast<std::int64_t>(std::floor(v / cell)) + kOffset;
    };
    auto keyOf = [](std::int64_t x, std::int64_t y, std::int64_t z) {
        return (x << 42) | (y << 21) | z;
    };
    // The points of each cell side by side, in front order, with what the test reads.
    struct Member {
        SpherePoint at;
        float distToTarget;
        std::int32_t index;
    };
    std::vector<SpherePoint> at(n);
    std::vector<std::int64_t> key(n);
    // Cells in an open-addressing table: key, then the range of their members.
    std::size_t capacity = 16;
    while (capacity < 2 * n) capacity <<= 1;
    const std::size_t mask = capacity - 1;
    std::vector<std::int64_t> cellKey(capacity, -1);
    std::vector<std::uint32_t> cellStart(capacity + 1, 0);
    auto slotOf = [&](std::int64_t k) {
        std::uint64_t h = static_cast<std::uint64_t>(k) * 0x9E3779B97F4A7C15ull;
        std::size_t s = static_cast<std::size_t>(h ^ (h >> 31)) & mask;
        while (cellKey[s] != k && cellKey[s] != -1) s = (s + 1) & mask;
        return s;
    };
    std::vector<std::uint32_t> slot(n);
    for (std::size_t i = 0; i < n; ++i) {
        at[i] = latitudes ? spherePointFrom(latitudes[i]) : spherePoint(positionOf(f[i]));
        key[i] = keyOf(cellOf(at[i].x), cellOf(at[i].y), cellOf(at[i].z));
        const std::size_t s = slotOf(key[i]);
        cellKey[s] = key[i];
        slot[i] = static_cast<std::uint32_t>(s);
        ++cellStart[s + 1];
    }
    for (std::size_t s = 1; s <= capacity; ++s) cellStart[s] += cellStart[s - 1];
    std::vector<Member> members(n);
    {
        std::vector<std::uint32_t> fill(cellStart.begin(), cellStart.end() - 1);
        for (std::size_t i = 0; i < n; ++i)
            members[fill[slot[i]]++] = {at[i], f[i].distToTarget, static_cast<std::int32_t>(i)};
    }
    const DistanceBelow closer(p);
    std::vector<char> keep(n, 1);
    for (std::size_t i = 0; i + 1 < n; ++i) {
        if (!keep[i]) continue;
        const SpherePoint& a = at[i];
        const float di = f[i].distToTarget;
        const std::int64_t x0 = cellOf(a.x - reach), x1 = cellOf(a.x + reach);
        const std::int64_t y0 = cellOf(a.y - reach), y1 = cellOf(a.y + reach);
        const std::int64_t z0 = cellOf(a.z - reach), z1 = cellOf(a.z + reach);
        for (std::int64_t cx = x0; cx <= x1; ++cx)
            for (std::int64_t cy = y0; cy <= y1; ++cy)
                for (std::int64_t cz = z0; cz <= z1; ++cz) {
                    const std::size_t s = slotOf(keyOf(cx, cy, cz));
                    if (cellKey[s] == -1) continue;
                    // Each later point decides on its own; the order of the visits does not
                    // matter. A cell lists its points in front order: the later ones are a
                    // tail.
                    const Member* m = members.data() + cellStart[s];
                    const Member* end = members.data() + cellStart[s + 1];
                    m = std::upper_bound(
                        m, end, static_cast<std::int32_t>(i),
                        [](std::int32_t k, const Member& b) { return k < b.index; });
                    for (; m != end; ++m) {
                        const Member& b = *m;
                        if (!(b.distToTarget > di) || !keep[b.index]) continue;
                        if (closer(a, b.at)) keep[b.index] = 0;
                    }
                }
    }
    compact(f, keep);
}

} // namespace

void pruneFront(Isochrone& f, double p) {
    pruneFrontOn(f, p, nullptr);
}

void pruneFront(Isochrone& f, double p, const std::vector<TrigPoint>& latitudes) {
    pruneFrontOn(f, p, latitudes.size() == f.size() ? latitudes.data() : nullptr);
}

void cleanFrontPlain(Isochrone& L, GeoPoint T) {
    const std::size_t n = L.size();
    std::vector<char> keep(n, 1);
    for (std::size_t j = 0; j < n; ++j) {
        const GeoPoint q = positionOf(L[j]);
        for (std::size_t k = 1; k < n; ++k) {
            if (k == j || k - 1 == j) continue;
            if (!keep[k - 1] && !keep[k]) continue;
            if (segmentsCross(T, q, positionOf(L[k - 1]), positionOf(L[k]))) {
                keep[j] = 0;
                break;
            }
        }
    }
    compact(L, keep);
}

void cleanFront(Isochrone& L, GeoPoint T) {
    const std::size_t n = L.size();
    if (n < kGridFrom) {
        cleanFrontPlain(L, T);
        return;
    }
    // A point is dropped when any front segment in force crosses its sight line from the
    // target, so only the segments near the sight line need the exact test. Positions are
    // taken round the 180 degree meridian relative to the target; segments and sight lines
    // that lie half a turn from it are tested against everything.
    constexpr double kMargin = 1e-7; // degrees, far above the rounding of the coordinates
    const double tx = T.lon, ty = T.lat;
    std::vector<double> x(n), y(n);
    std::vector<char> near(n);
    // The positions side by side: the crossing tests read nothing else of the points.
    std::vector<GeoPoint> at(n);
    for (std::size_t i = 0; i < n; ++i) {
        at[i] = positionOf(L[i]);
        const double d = wrapDelta(static_cast<double>(L[i].lon) - tx);
        x[i] = tx + d;
        y[i] = L[i].lat;
        near[i] = std::fabs(d) < 179.0 && std::isfinite(x[i]) && std::isfinite(y[i]);
    }
    double minX = 1e300, maxX = -1e300, minY = 1e300, maxY = -1e300;
    for (std::size_t i = 0; i < n; ++i) {
        if (!near[i]) continue;
        minX = std::min(minX, x[i]);
        maxX = std::max(maxX, x[i]);
        minY = std::min(minY, y[i]);
        maxY = std::max(maxY, y[i]);
    }
    const int G = std::clamp(static_cast<int>(std::sqrt(static_cast<double>(n))), 8, 256);
    const double cw = maxX > minX ? (maxX - minX) / G : 1.0;
    const double ch = maxY > minY ? (maxY - minY) / G : 1.0;
    auto colOf = [&](double v) {
        return std::clamp(static_cast<int>(std::floor((v - minX) / cw)), 0, G - 1);
    };
    auto rowOf = [&](double v) {
        return std::clamp(static_cast<int>(std::floor((v - minY) / ch)), 0, G - 1);
    };

    // Segment k joins points k - 1 and k. Those near the target go into the cells of their
    // bounding box; the others, or those spanning too many cells, are always tested.
    std::vector<std::uint32_t> always;
    std::vector<std::uint32_t> cellCount(static_cast<std::size_t>(G) * G + 1, 0);
    struct Box {
        int c0, c1, r0, r1;
    };
    std::vector<Box> boxes(n);
    for (std::size_t k = 1; k < n; ++k) {
        if (!near[k - 1] || !near[k] || std::fabs(x[k] - x[k - 1]) >= 179.0) {
            always.push_back(static_cast<std::uint32_t>(k));
            boxes[k] = {1, 0, 1, 0};
            continue;
        }
        Box b{colOf(std::min(x[k - 1], x[k]) - kMargin), colOf(std::max(x[k - 1], x[k]) + kMargin),
              rowOf(std::min(y[k - 1], y[k]) - kMargin), rowOf(std::max(y[k - 1], y[k]) + kMargin)};
        if ((b.c1 - b.c0 + 1) * (b.r1 - b.r0 + 1) > 4 * G) {
            always.push_back(static_cast<std::uint32_t>(k));
            boxes[k] = {1, 0, 1, 0};
            continue;
        }
        boxes[k] = b;
        for (int c = b.c0; c <= b.c1; ++c)
            for (int r = b.r0; r <= b.r1; ++r) ++cellCount[static_cast<std::size_t>(c) * G + r + 1];
    }
    for (std::size_t c = 1; c < cellCount.size(); ++c) cellCount[c] += cellCount[c - 1];
    std::vector<std::uint32_t> cellSegments(cellCount.back());
    {
        std::vector<std::uint32_t> fill(cellCount.begin(), cellCount.end() - 1);
        for (std::size_t k = 1; k < n; ++k) {
            const Box& b = boxes[k];
            for (int c = b.c0; c <= b.c1; ++c)
                for (int r = b.r0; r <= b.r1; ++r)
                    cellSegments[fill[static_cast<std::size_t>(c) * G + r]++] =
                        static_cast<std::uint32_t>(k);
        }
    }

    std::vector<char> keep(n, 1);
    std::vector<std::uint32_t> seen(n, 0);
    std::uint32_t stamp = 0;
    for (std::size_t j = 0; j < n; ++j) {
        const GeoPoint q = positionOf(L[j]);
        ++stamp;
        auto crosses = [&](std::uint32_t k) {
            if (seen[k] == stamp) return false;
            seen[k] = stamp;
            if (k == j || k - 1 == j) return false;
            if (!keep[k - 1] && !keep[k]) return false;
            return segmentsCross(T, q, at[k - 1], at[k]);
        };
        bool hidden = false;
        for (std::uint32_t k : always)
            if (crosses(k)) {
                hidden = true;
                break;
            }
        if (!hidden && !near[j]) {
            for (std::size_t k = 1; k < n && !hidden; ++k)
                if (crosses(static_cast<std::uint32_t>(k))) hidden = true;
        }
        if (!hidden && near[j]) {
            // The cells along the sight line from the target to the point, column by column.
            const double x0 = tx, y0 = ty, x1 = x[j], y1 = y[j];
            const double lo = std::max(std::min(x0, x1) - kMargin, minX - kMargin);
            const double hi = std::min(std::max(x0, x1) + kMargin, maxX + kMargin);
            if (lo <= hi) {
                const double dx = x1 - x0;
                const bool steep = std::fabs(dx) < 1e-9;
                const int c0 = colOf(lo), c1 = colOf(hi);
                for (int c = c0; c <= c1 && !hidden; ++c) {
                    double ya, yb;
                    if (steep) {
                        ya = std::min(y0, y1);
                        yb = std::max(y0, y1);
                    } else {
                        const double xa = std::max(lo, minX + c * cw - kMargin);
                        const double xb = std::min(hi, minX + (c + 1) * cw + kMargin);
                        const double slope = (y1 - y0) / dx;
                        ya = y0 + (xa - x0) * slope;
                        yb = y0 + (xb - x0) * slope;
                        if (ya > yb) std::swap(ya, yb);
                        // Stay within the sight line itself.
                        ya = std::max(ya, std::min(y0, y1));
                        yb = std::min(yb, std::max(y0, y1));
                    }
                    if (yb + kMargin < minY || ya - kMargin > maxY) continue;
                    const int r0 = rowOf(ya - kMargin), r1 = rowOf(yb + kMargin);
                    for (int r = r0; r <= r1 && !hidden; ++r) {
                        const std::size_t cellIndex = static_cast<std::size_t>(c) * G + r;
                        for (std::uint32_t s = cellCount[cellIndex]; s < cellCount[cellIndex + 1];
                             ++s)
                            if (crosses(cellSegments[s])) {
                                hidden = true;
                                break;
                            }
                    }
                }
            }
        }
        if (hidden) keep[j] = 0;
    }
    compact(L, keep);
}

void orderFront(Isochrone& front, GeoPoint origin) {
    const std::size_t n = front.size();
    if (n == 0) return;
    std::vector<double> a(n);
    bool below = false, above = false;
    for (std::size_t i = 0; i < n; ++i) {
        a[i] = rhumbBearing(origin, positionOf(front[i]));
        if (a[i] < -kHalfPi) below = true;
        if (a[i] > kHalfPi) above = true;
    }
    // A front across due south would be cut in two at -pi/pi.
    if (below && above)
        for (double& v : a)
            if (v < 0.0) v += kTwoPi;
    std::vector<std::pair<float, std::uint32_t>> keys;
    keys.reserve(n);
    for (std::size_t i = 0; i < n; ++i) {
        const float k = static_cast<float>(a[i]);
        if (!std::isnan(k)) keys.push_back({k, static_cast<std::uint32_t>(i)});
    }
    // Stable on the incoming order, so that of equal bearings the last one stays.
    std::stable_sort(keys.begin(), keys.end(),
                     [](const auto& l, const auto& r) { return l.first < r.first; });
    Isochrone ordered;
    ordered.reserve(keys.size());
    for (std::size_t i = 0; i < keys.size(); ++i) {
        if (i + 1 < keys.size() && keys[i + 1].first == keys[i].first) continue;
        ordered.push_back(front[keys[i].second]);
    }
    front = std::move(ordered);
}

} // namespace navorel
