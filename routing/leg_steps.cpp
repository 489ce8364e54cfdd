#include "routing/leg_steps.h"

#include <algorithm>
#include <vector>

namespace navorel {

bool candidateAcceptable(const RoutingInputs& in, const UserRoute& route, int leg,
                         const LegEnds& ends, const IsochronePoint& p, const TrigPoint& at) {
    if (!p.valid) return false;
    const RoutingParameters& params = *in.params;
    bool ok = windWithinLimits(in, p);
    if (ok && ends.ellipse) {
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

void stopAtLimit(const RoutingInputs& in, RoutingOutput& out, RunLimit limit) {
    out.limit = limit;
    setRunStatus(in, kStatusTooLarge);
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

namespace {

// From the fronts before the last a straight run held off by a best-VMG angle passes beside
// the target by up to a degree of several steps: beyond this (metres) it tacks onto the target.
constexpr double kFinishMiss = 10.0;

// The time the tacks and gybes of an arrival's last runs (store entries from `firstArrival`
// on) would cost: the exact arrival puts its runs end to end without their loss, so of two
// arrivals at the same time the one with fewer turns is the faster boat.
double finishTackSeconds(const RoutingInputs& in, const RoutingOutput& out, int e,
                         std::size_t firstArrival) {
    double seconds = 0;
    while (e >= static_cast<int>(firstArrival)) {
        const IsochronePoint& p = out.pointStore[e];
        const IsochronePoint& parent = out.pointStore[p.parent];
        if (!p.engine && parent.awaSide >= 0 && p.awaSide != parent.awaSide && p.sog > 0.0f)
            seconds += tackLoss(*in.params, p.sog) / p.sog;
        if (p.parent >= e) break;
        e = p.parent;
    }
    return seconds;
}

} // namespace

void closeLeg(const RoutingInputs& in, RoutingOutput& out, const Isochrone& startingSet, GeoPoint T,
              double step, int legStart, bool& arrived, bool bothTacks) {
    int chosen = -1;
    if (arrived) {
        // Earlier legs cleared the flags of their arrivals: only the entries appended here
        // can carry one.
        const std::size_t firstArrival = out.pointStore.size();
        for (const IsochronePoint& q : startingSet) {
            for (int other = 0; other <= (bothTacks ? 1 : 0); ++other) {
                const LegFinish f =
                    finishLeg(in, q, T, step, other == 1, bothTacks ? kFinishMiss : -1.0);
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
        }
        double chosenTime = 0;
        for (std::size_t i = firstArrival; i < out.pointStore.size(); ++i) {
            IsochronePoint& e = out.pointStore[i];
            if (!e.arrived) continue;
            const double t =
                e.time.dayNumber +
                (bothTacks ? finishTackSeconds(in, out, static_cast<int>(i), firstArrival) / 86400.0
                           : 0.0);
            if (chosen < 0 || t < chosenTime) {
                chosen = static_cast<int>(i);
                chosenTime = t;
            }
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
    rebuildRoute(out, chosen, legStart);
    foldDisplayRanges(out);
}

double axisPastLegLine(const Isochrone& front, const std::vector<GeoPoint>& legLine,
                       const GeoPoint& T, double axis) {
    for (std::size_t k = 1; k < front.size(); ++k) {
        for (std::size_t m = 1; m < legLine.size(); ++m) {
            GeoPoint at;
            if (planarCrossing(positionOf(front[k - 1]), positionOf(front[k]), legLine[m - 1],
                               legLine[m], at))
                return greatCircleBearing(at, T);
        }
    }
    return axis;
}

} // namespace navorel
