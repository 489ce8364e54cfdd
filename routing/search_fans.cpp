#include "routing/search_fans.h"

#include "routing/leg_steps.h"
#include "routing/search_laylines.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <utility>
#include <vector>

namespace navorel {

namespace {

// Fronts before the last whose points also try the exact arrival: a point on one tack two
// steps out may reach the target with a single tack sooner than any point of the last front.
constexpr std::size_t kArrivalFronts = 3;

// The pruning distance against the method's own: the fixed headings put several points where
// the fan alone puts one, and ranking by time keeps the right one of them.
constexpr double kPruneFactor = 1.5;

// Fan headings each side of a point's centre, at most: the fixed headings (best VMG, target,
// own heading) hold the courses that win, and the fan only fills the outline between them;
// more steps (the shipped 8) cost as many advances without a faster route.
constexpr int kFanSteps = 4;

// A best-VMG heading further than this (degrees) from the bearing to the target is not tried.
constexpr double kAwayFromTarget = 120.0;

// Headings closer than this (degrees) are one heading: their points lie a few metres apart
// after a step, far inside the pruning distance, and only one of them could be kept.
constexpr double kSameHeading = 0.01;

// Headings of one parent's fan: the fan around `centre` and the headings every parent tries.
struct Fan {
    struct Heading {
        double offset;  // from the sweep's centre, -180 to 180
        double heading; // degrees
        bool fixed;     // a best-VMG, target or own heading rather than a step of the fan
        bool operator<(const Heading& o) const { return offset < o.offset; }
    };
    std::vector<double> headings;
    std::vector<char> fixed;
    int count = 0;
    std::vector<Heading> keyed; // room for sweep
    void clear() { count = 0; }
    void add(double h, bool isFixed = false) {
        if (count == static_cast<int>(headings.size())) {
            headings.push_back(h);
            fixed.push_back(isFixed);
        } else {
            headings[count] = h;
            fixed[count] = isFixed;
        }
        ++count;
    }
    // Sweeps the headings from the left of `centre` to its right, as the fan alone is, so the
    // front's outline runs round each parent in order. Headings within kSameHeading of the one
    // before are tried once: as the fixed heading where one of them is fixed (it is the exact
    // best angle, the target or the course held), else as the first.
    void sweep(double centre) {
        keyed.clear();
        for (int k = 0; k < count; ++k)
            keyed.push_back({normalise180(headings[k] - centre), headings[k], fixed[k] != 0});
        std::sort(keyed.begin(), keyed.end());
        int kept = 0;
        double last = 0.0; // offset of the first heading of the group last kept
        for (int k = 0; k < count; ++k) {
            if (kept > 0 && keyed[k].offset - last < kSameHeading) {
                if (keyed[k].fixed && !keyed[kept - 1].fixed) keyed[kept - 1] = keyed[k];
                continue;
            }
            last = keyed[k].offset;
            keyed[kept++] = keyed[k];
        }
        for (int k = 0; k < kept; ++k) headings[k] = keyed[k].heading;
        count = kept;
    }
};

// The headings every parent tries besides its fan: both tacks at the best upwind and downwind
// angles of the wind at the parent, the target's bearing and (after the first step) the
// parent's own heading. A heading of the fan closer to the wind than the best upwind angle (or
// deeper than the best downwind one) sails one of those best angles: where the boat is sure to
// sail it (no engine to take over below LowSpeed, no sea state or counter-current steering to
// change the speed by heading), it is not tried again.
void completeFan(const RoutingInputs& in, const AdvanceEnvironment& env,
                 const IsochronePoint& parent, double toTarget, bool holdCourse, Fan& fan) {
    fan.add(toTarget, true);
    if (holdCourse) fan.add(parent.heading, true);
    if (!env.windFound) return;
    const RoutingParameters& params = *in.params;
    const float knots = static_cast<float>(env.tws * kMsToKnot);
    const BestAngle up = bestUpwind(*in.polar, knots);
    const BestAngle down = bestDownwind(*in.polar, knots);
    const double twd = env.twd;
    const double slowest = std::min(up.speed, down.speed) * params.powerInForce / 100.0;
    if (!params.seaState && !params.counterCurrent &&
        (!params.engine || slowest >= params.lowSpeed) && up.speed > 0.0f && down.speed > 0.0f) {
        // The fixed marks stay where they were while the headings move down; moving them too
        // (which the sweep's preference means) costs a short step's downwind leg a little
        // time until the pruning's time still needed is exact off the laylines.
        int kept = 0;
        for (int k = 0; k < fan.count; ++k) {
            const double a = foldAngle(normalise360(fan.headings[k]), twd);
            if (a > up.angle - 1e-9 && a < down.angle + 1e-9)
                fan.headings[kept++] = fan.headings[k];
        }
        fan.count = kept;
    }
    // A best angle that leads away from the target (the downwind ones on a beat, the upwind
    // ones on a run) only grows the back of the front, which the cleaning drops.
    for (const double h : {twd + up.angle, twd - up.angle, twd + down.angle, twd - down.angle})
        if (foldAngle(normalise360(h), toTarget) < kAwayFromTarget) fan.add(normalise360(h), true);
}

// Tacks and gybes since the leg's start, by store entry. Of two neighbours that need the same
// time the one that turned less is kept: each turn counts as the time it costs.
struct Turns {
    const RoutingOutput* out = nullptr;
    std::vector<std::uint16_t> count; // by store index; entries before the leg count none
    int of(const IsochronePoint& p) const {
        if (p.parent < 0 || p.parent >= static_cast<int>(count.size())) return 0;
        const IsochronePoint& parent = out->pointStore[p.parent];
        const bool turned = !p.engine && parent.awaSide >= 0 && p.awaSide != parent.awaSide;
        return count[p.parent] + (turned ? 1 : 0);
    }
    // The time a turn costs: the distance lost grows with the speed, so the time is the same
    // at every speed (that of the leg's parameters, set once).
    double perTurn = 0.0;
    double seconds(const IsochronePoint& p) const { return p.sog > 0.0f ? perTurn : 0.0; }
    // Counts the entries stored since the last call.
    void update() {
        const std::size_t from = count.size();
        count.resize(out->pointStore.size(), 0);
        for (std::size_t i = from; i < count.size(); ++i) {
            const int c = of(out->pointStore[i]);
            count[i] = static_cast<std::uint16_t>(std::min(c, 65535));
        }
    }
};

// A target closer than this (metres) to a layline lies on it; within this sine of the angle
// from the layline the rhumb line's bearing is taken instead of the great circle's.
constexpr double kOnLayline = 10.0;
constexpr double kNearLayline = 0.035;

// Prunes a front by the time its points still need: the points in order of that time, each
// point still kept drops its neighbours closer than `pruneDistance` that need longer. The
// front keeps its own order.
struct PruneScratch {
    std::vector<std::pair<float, std::uint32_t>> rank;
    PruneGrid grid;
    std::vector<char> keep, kept;
};

void pruneByTime(const RoutingInputs& in, const Turns& turns, Isochrone& front,
                 const std::vector<TrigPoint>& at, const TrigPoint& target, double pruneDistance,
                 PruneScratch& scratch) {
    const std::size_t n = front.size();
    auto& rank = scratch.rank;
    rank.resize(n);
    for (std::size_t i = 0; i < n; ++i) {
        const IsochronePoint& p = front[i];
        const ToGo toGo = timeAndTurnsToGo(in, at[i], target, p.distToTarget, p.twd, p.tws);
        // The turns made, and one still to make where the target lies inside the best angles
        // or on the other side of the wind: a boat past the layline has not saved its tack.
        const bool ahead = toGo.inside || (!p.engine && p.awaSide >= 0 && toGo.side != p.awaSide);
        double t = toGo.seconds;
        if (const int count = turns.of(p) + (ahead ? 1 : 0)) t += count * turns.seconds(p);
        rank[i] = {static_cast<float>(std::min(t, 3.0e38)), static_cast<std::uint32_t>(i)};
    }
    std::stable_sort(rank.begin(), rank.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    PruneGrid& grid = scratch.grid;
    grid.at.resize(n);
    grid.rank.resize(n);
    for (std::size_t k = 0; k < n; ++k) {
        grid.at[k] = spherePointFrom(at[rank[k].second]);
        grid.rank[k] = rank[k].first;
    }
    pruneOnGrid(grid, pruneDistance, scratch.keep);
    scratch.kept.assign(n, 0);
    for (std::size_t k = 0; k < n; ++k)
        if (scratch.keep[k]) scratch.kept[rank[k].second] = 1;
    std::size_t w = 0;
    for (std::size_t i = 0; i < n; ++i)
        if (scratch.kept[i]) {
            if (w != i) front[w] = front[i];
            ++w;
        }
    front.resize(w);
}

} // namespace

double timeToGo(const RoutingInputs& in, const TrigPoint& from, const TrigPoint& target,
                double distance, float twd, float tws) {
    return timeAndTurnsToGo(in, from, target, distance, twd, tws).seconds;
}

ToGo timeAndTurnsToGo(const RoutingInputs& in, const TrigPoint& from, const TrigPoint& target,
                      double distance, float twd, float tws) {
    ToGo answer;
    if (!(distance > 0.0)) return answer;
    const RoutingParameters& params = *in.params;
    const Polar& polar = *in.polar;
    const float knots = static_cast<float>(tws * kMsToKnot);
    // The best angles of the last wind asked: a front's points share a few winds.
    struct Best {
        std::uint64_t serial = 0;
        float knots = -1.0f;
        BestAngle up, down;
        double cosUp = 0, cosDown = 0;
    };
    thread_local Best best;
    if (best.serial != polar.serial || best.knots != knots || polar.serial == 0) {
        best.serial = polar.serial;
        best.knots = knots;
        best.up = bestUpwind(polar, knots);
        best.down = bestDownwind(polar, knots);
        best.cosUp = std::cos(best.up.angle * kDegToRad);
        best.cosDown = std::cos(best.down.angle * kDegToRad);
    }
    // The cosine of the angle between the wind and the bearing to the target, from the
    // bearing's own components (the bearing itself is not needed).
    const double dLambda = (static_cast<double>(target.at.lon) - from.at.lon) * kDegToRad;
    double y = std::sin(dLambda) * target.cosPhi;
    double x = from.cosPhi * target.sinPhi - from.sinPhi * target.cosPhi * std::cos(dLambda);
    const double h = std::hypot(x, y);
    if (h > 0.0) {
        x /= h;
        y /= h;
    } else {
        x = 1.0; // no bearing: north, as the bearing's own arc tangent gives
        y = 0.0;
    }
    const double w = twd * kDegToRad;
    const double c = std::clamp(x * std::cos(w) + y * std::sin(w), -1.0, 1.0);
    // The side the wind comes from on the bearing (1 when it lies 0 to 180 degrees right of
    // the wind), and whether the target lies inside the best angles by more than a few metres
    // off the layline: then only a tack or gybe reaches it.
    answer.side = y * std::cos(w) - x * std::sin(w) > 0.0 ? 1 : 0;
    const double sine = std::sqrt(std::max(0.0, 1.0 - c * c));
    double speed; // knots made good towards the target
    // Within kNearLayline of a layline the boat's own line decides: it sails rhumb lines,
    // which leave the great circle's bearing by a fraction of a degree over a few tens of
    // kilometres, and on the layline the speed made good moves with that fraction (by its
    // tangent: a twentieth of a degree made a boat on the layline 0.08 % slower than one that
    // had passed it), so both the side of the layline and the speed come from the rhumb line.
    auto onRhumb = [&](const BestAngle& b, double cosB, bool upwind) {
        const double bearing = normalise360(rhumbBearing(from.at, target.at) * kRadToDeg);
        const double a = foldAngle(bearing, twd);
        answer.side = normalise360(bearing - twd) < 180.0 ? 1 : 0;
        const double off = upwind ? b.angle - a : a - b.angle;
        answer.inside = distance * std::sin(off * kDegToRad) > kOnLayline;
        return off > 0.0 ? b.speed * cosB / std::cos(a * kDegToRad)
                         : double(polarSpeed(polar, static_cast<float>(a), knots));
    };
    // Sines of the angle inside the best upwind and downwind angles (negative outside).
    const double offUp = std::sin(best.up.angle * kDegToRad) * c - best.cosUp * sine;
    const double offDown = sine * best.cosDown - c * std::sin(best.down.angle * kDegToRad);
    if (std::fabs(offUp) <= kNearLayline) {
        speed = onRhumb(best.up, best.cosUp, true);
    } else if (std::fabs(offDown) <= kNearLayline) {
        speed = onRhumb(best.down, best.cosDown, false);
    } else if (c > best.cosUp) {
        speed = best.up.speed * best.cosUp / c;
        answer.inside = distance * offUp > kOnLayline;
    } else if (c < best.cosDown && c < 0.0) {
        speed = best.down.speed * best.cosDown / c;
        answer.inside = distance * offDown > kOnLayline;
    } else {
        speed = polarSpeed(polar, static_cast<float>(std::acos(c) * kRadToDeg), knots);
    }
    speed *= params.powerInForce / 100.0;
    if (params.engine && speed < params.lowSpeed)
        speed = std::max(speed, double(params.engineSpeed));
    if (!(speed > 0.0)) {
        answer.seconds = std::numeric_limits<double>::infinity();
        return answer;
    }
    answer.seconds = distance / (speed * kKnotToMs);
    return answer;
}

bool routeLegWide(const RoutingInputs& in, const UserRoute& route,
                  const IsochronePoint& startRecord, int from, RoutingOutput& out,
                  const FrontCallback& afterFront, const WidePass* pass) {
    const RoutingParameters& params = *in.params;
    const GeoPoint T = route.waypoints[from + 1];
    const LegEnds ends{trigPoint(T), {}, {}, false};
    double axis = route.legBearing[from];
    LegSettings ls = legSettings(params, *in.polar, route, from);
    if (pass) {
        ls.stepSeconds *= pass->stepScale;
        ls.pruneDistance = static_cast<float>(ls.pruneDistance * pass->pruneScale);
    }
    auto kept = [pass](const TrigPoint& at) { return !pass || !pass->keep || pass->keep(at); };
    out.stepSeconds = ls.stepSeconds;
    out.pruneDistance = ls.pruneDistance;
    // A manual PruneDistance is never coarser than the automatic one of the same step (a sixth
    // of the step's seconds, in metres): 500 m against a 5-minute step of 700 m kept a few
    // points of each front, and the tack at the layline was lost.
    const double prune = std::min(double(ls.pruneDistance), ls.stepSeconds / 6.0);
    const double step = ls.stepSeconds;

    out.legIsochrones.clear();
    IsochronePoint S = startRecord;
    if (out.pointStore.empty()) {
        S.index = 0;
        out.pointStore.push_back(S);
    }
    if (!(step > 0.0)) {
        setRunStatus(in, kStatusRejected);
        return false;
    }

    bool arrived = false;
    bool limited = false;
    Isochrone startingSet;
    Turns turns;
    turns.out = &out;
    turns.perTurn = tackLoss(params, 1.0);
    // Entries up to the leg's start count no turns.
    turns.count.assign(out.pointStore.size(), 0);
    std::vector<TrigPoint> nextAt;
    PruneScratch scratch;
    Laylines laylines;

    // First isochrone: the fan round the leg's axis and the fixed headings.
    Isochrone front;
    {
        const AdvanceEnvironment env = sampleEnvironment(in, S);
        Fan fan;
        const int half = ls.initialCount / 2;
        for (int k = -half; k <= half; ++k) fan.add(axis + k * ls.initialStep);
        completeFan(in, env, S, trigBearing(trigPoint(positionOf(S)), ends.target), false, fan);
        fan.sweep(axis);
        for (int k = 0; k < fan.count; ++k) {
            if (storeFull(in, out, front)) {
                limited = true;
                break;
            }
            TrigPoint at;
            IsochronePoint P =
                advanceFrom(in, env, S, ends.target, fan.headings[k], step, false, &at);
            if (P.valid && passedTarget(at, ends.target, axis)) {
                if (!pointAcceptable(in, P)) continue;
                front.push_back(P);
                arrived = true;
                break;
            }
            if (kept(at) && candidateAcceptable(in, route, from, ends, P, at)) {
                front.push_back(P);
                nextAt.push_back(at);
            }
        }
    }
    if (limited) {
        stopAtLimit(in, out, RunLimit::StoredPoints);
    } else if (arrived) {
        storePoints(out, front);
        startingSet.reserve(front.size() + 1);
        startingSet.push_back(S);
        startingSet.insert(startingSet.end(), front.begin(), front.end());
    } else {
        setRunStatus(in, front.empty() ? kStatusRejected : kStatusRunning);
        pruneByTime(in, turns, front, nextAt, ends.target, prune, scratch);
        cleanFront(front, T);
        orderFront(front, route.waypoints[from]);
        storePoints(out, front);
        turns.update();
        out.legIsochrones.push_back(front);
        tell(afterFront, params, from, true, out.legIsochrones.back(), out);

        Isochrone current = std::move(front);
        int fronts = 1;
        const std::vector<GeoPoint>& legLine = route.legPolyline[from];
        const int half = std::min(ls.furtherCount / 2, kFanSteps);
        Fan fan; // reused by every parent
        while (!arrived) {
            if (runCancelled(in) || current.empty()) break;
            if (++fronts > in.limits.frontsPerLeg) {
                stopAtLimit(in, out, RunLimit::FrontsPerLeg);
                break;
            }
            // Once the front has crossed the leg's line, aim the arrival test from there.
            axis = axisPastLegLine(current, legLine, T, axis);

            Isochrone next;
            next.reserve(current.size() * static_cast<std::size_t>(2 * half + 7) / 4 + 16);
            nextAt.clear();
            laylines.clear();
            bool cancelled = false;
            std::size_t sinceCheck = 0;
            for (const IsochronePoint& Q : current) {
                if (!arrived && storeFull(in, out, next)) {
                    limited = true;
                    break;
                }
                if (!arrived && ++sinceCheck == kCancelCheckPoints) {
                    sinceCheck = 0;
                    if (runCancelled(in)) {
                        cancelled = true;
                        break;
                    }
                }
                const AdvanceEnvironment env = sampleEnvironment(in, Q);
                const double toTarget = trigBearing(trigPoint(positionOf(Q)), ends.target);
                const double centre = meanBearing(toTarget, Q.commandedHeading);
                fan.clear();
                for (int k = -half; k <= half; ++k) fan.add(centre + k * ls.furtherStep);
                completeFan(in, env, Q, toTarget, true, fan);
                fan.sweep(centre);
                for (int k = 0; k < fan.count; ++k) {
                    TrigPoint at;
                    IsochronePoint P =
                        advanceFrom(in, env, Q, ends.target, fan.headings[k], step, false, &at);
                    if (P.valid && passedTarget(at, ends.target, axis)) {
                        next.push_back(P);
                        nextAt.push_back(at);
                        arrived = true;
                        break;
                    }
                    if (kept(at) && candidateAcceptable(in, route, from, ends, P, at)) {
                        next.push_back(P);
                        nextAt.push_back(at);
                        if (tackOnLayline(in, route, from, ends, env, Q, P, T, step, axis,
                                          laylines)) {
                            next.push_back(laylines.child);
                            nextAt.push_back(laylines.reached);
                        }
                    }
                }
            }
            if (limited) {
                stopAtLimit(in, out, RunLimit::StoredPoints);
                break;
            }
            if (cancelled) break;
            if (!next.empty() || arrived) setRunStatus(in, kStatusRunning);
            if (!next.empty()) {
                pruneByTime(in, turns, next, nextAt, ends.target, kPruneFactor * prune, scratch);
                // The cleaning reads the front's outline: it runs round the start in order,
                // and only drops points, so the front stays in that order.
                orderFront(next, route.waypoints[from]);
                cleanFront(next, T);
                laylines.store(out, next);
                turns.update();
                out.legIsochrones.push_back(next);
            }
            current = std::move(next);
            if (!current.empty()) tell(afterFront, params, from, false, current, out);
        }
        if (arrived) {
            // The front that passed the target is not kept; the arrival is computed from the
            // fronts before it (and the start, while they are few).
            if (!out.legIsochrones.empty() && !out.legIsochrones.back().empty())
                out.legIsochrones.pop_back();
            const std::size_t n = out.legIsochrones.size();
            if (n < kArrivalFronts) startingSet.push_back(S);
            for (std::size_t k = n > kArrivalFronts ? n - kArrivalFronts : 0; k < n; ++k)
                startingSet.insert(startingSet.end(), out.legIsochrones[k].begin(),
                                   out.legIsochrones[k].end());
        }
    }

    closeLeg(in, out, startingSet, T, step, S.index, arrived, true);
    return arrived;
}

} // namespace navorel
