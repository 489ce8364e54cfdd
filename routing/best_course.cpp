#include "routing/best_course.h"

namespace navorel {

RoutingOutput routeBestCourse(const RoutingInputs& given, const UserRoute& route,
                              const DateTime& start) {
    RoutingOutput out;
    RoutingInputs in = given;
    in.advanceCalls = &out.advanceCalls;
    RunControl localControl;
    if (!in.control) in.control = &localControl;
    const RoutingParameters& params = *in.params;
    const std::vector<GeoPoint>& wp = route.waypoints;
    if (wp.size() < 2) {
        out.status = in.control->status.load();
        return out;
    }

    const double step = params.timestep * 60.0;
    std::size_t target = 1;
    int iterations = 0;
    bool stop = false;
    IsochronePoint d = departureRecord(start, wp[0].lon, wp[0].lat);
    out.stepSeconds = step;

    while (iterations < params.maxIterations) {
        IsochronePoint p = advancePoint(in, d, wp[target], std::nullopt, step, false);
        if (!p.valid) {
            out.inProgress = false;
            setRunStatus(in, kStatusRejected);
            break;
        }
        const GeoPoint from{p.parentLon, p.parentLat}, to{p.lon, p.lat};
        if (in.crossings &&
            ((params.avoidCoasts && in.crossings->segmentCrossesLand(from, to)) ||
             (params.avoidBarriers && in.crossings->segmentCrossesBarrier(from, to)) ||
             (params.avoidTss && in.crossings->segmentCrossesZone(from, to)))) {
            out.inProgress = false;
            setRunStatus(in, kStatusRejected);
            stop = true;
        }
        out.route.push_back(p);
        d = p;

        if (!stop && p.stepDistance > p.distToTarget) {
            out.route.pop_back();
            if (out.route.empty()) {
                // The first step already reaches the waypoint: the leg is finished from a
                // record at the departure, with the departure's time and totals.
                IsochronePoint dep = p;
                dep.time = start;
                dep.lon = wp[0].lon;
                dep.lat = wp[0].lat;
                dep.cog = static_cast<float>(greatCircleBearing(wp[0], wp[target]));
                dep.totalDistance = 0;
                dep.fuel = 0;
                dep.engineSeconds = 0;
                dep.stepSeconds = 0;
                dep.stepDistance = 0;
                out.route.push_back(dep);
            }
            const LegFinish finish = finishLeg(in, out.route.back(), wp[target], step);
            for (int k = 0; k < finish.count; ++k) out.route.push_back(finish.points[k]);
            d = out.route.back();
            if (target + 1 < wp.size())
                ++target;
            else
                stop = true;
        }

        ++iterations;
        if (stop) break;
        if (in.control->cancel.load()) {
            out.inProgress = false;
            setRunStatus(in, kStatusCancelled);
            break;
        }
    }

    foldDisplayRanges(out);
    if (iterations >= params.maxIterations) {
        setRunStatus(in, kStatusRejected);
        out.inProgress = false;
    }
    out.arrived = stop && out.inProgress;
    if (!out.arrived) out.targetWaypoint = static_cast<int>(target);
    out.status = in.control->status.load();
    return out;
}

} // namespace navorel
