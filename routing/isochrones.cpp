#include "routing/isochrones.h"

#include "routing/leg_steps.h"
#include "routing/refine_route.h"
#include "routing/search_fans.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace navorel {

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
    LegEnds ends{trigPoint(T), {}, {}, params.ellipse};
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
            axis = axisPastLegLine(current, legLine, T, axis);

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

    closeLeg(in, out, startingSet, T, step, S.index, arrived);
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

RoutingOutput routeIsochrones(const RoutingInputs& in, const UserRoute& route,
                              const DateTime& start, const FrontCallback& afterFront) {
    std::vector<std::size_t> legEnds;
    RoutingOutput out = routeLegs(in, route, start, afterFront, nullptr, &legEnds);
    if (in.params->search == 1 && in.params->refine) refineRoute(in, route, start, legEnds, out);
    return out;
}

RoutingOutput routeLegs(const RoutingInputs& given, const UserRoute& route, const DateTime& start,
                        const FrontCallback& afterFront, const std::vector<WidePass>* passes,
                        std::vector<std::size_t>* legEnds) {
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
    if (legEnds) legEnds->assign(n - 1, 0);
    for (std::size_t d = 0; d + 1 < n; ++d) {
        if (legEnds) (*legEnds)[d] = out.route.size();
        setRunStatus(in, kStatusRunning);
        // Coincident waypoints: the boat is already there.
        if (!(route.legLength[d] > 0.0f)) continue;
        const bool arrived =
            in.params->search == 1
                ? routeLegWide(in, route, S, static_cast<int>(d), out, afterFront,
                               passes && d < passes->size() ? &(*passes)[d] : nullptr)
                : routeLeg(in, route, S, static_cast<int>(d), out, afterFront);
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
        if (legEnds) (*legEnds)[d] = out.route.size();
        for (Isochrone& iso : out.legIsochrones) out.allIsochrones.push_back(iso);
    }
    out.arrived = all;
    out.status = in.control->status.load();
    return out;
}

} // namespace navorel
