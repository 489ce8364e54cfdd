#include "routing/search_laylines.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace navorel {

namespace {

// How far (metres) one step may move a point off its line by rounding its position to floats:
// half a unit in the last place of the latitude (0.21 m below 64 degrees) and of the longitude.
constexpr double kRoundingPerStep = 0.3;

} // namespace

void Laylines::store(RoutingOutput& out, Isochrone& front) const {
    for (IsochronePoint& p : front) {
        if (p.index >= 0) {
            IsochronePoint a = tackPoints[static_cast<std::size_t>(p.index)];
            a.index = static_cast<std::int32_t>(out.pointStore.size());
            out.pointStore.push_back(a);
            p.parent = a.index;
        }
        p.index = static_cast<std::int32_t>(out.pointStore.size());
        out.pointStore.push_back(p);
    }
}

double rhumbRunToLayline(const IsochronePoint& from, double cog, double otherCog, GeoPoint target) {
    const double c1 = cog * kDegToRad, c2 = otherCog * kDegToRad;
    const double det = std::sin(c1 - c2);
    if (std::fabs(det) < 1e-9) return std::nan("");
    const double phi = from.lat * kDegToRad;
    const double dx = normalise180(static_cast<double>(target.lon) - from.lon) * kDegToRad;
    const double dy = mercatorLatitude(target.lat * kDegToRad) - mercatorLatitude(phi);
    const double run = (dx * std::cos(c2) - dy * std::sin(c2)) / det;  // along cog
    const double rest = (std::sin(c1) * dy - std::cos(c1) * dx) / det; // along otherCog
    if (!(run > 0.0) || !(rest > 0.0)) return std::nan("");
    const double cosC = std::cos(c1);
    if (std::fabs(cosC) > 1e-6) {
        const double y = mercatorLatitude(phi) + run * cosC;
        const double phiAt = 2.0 * std::atan(std::exp(y)) - kHalfPi;
        return kEarthRadius * (phiAt - phi) / cosC;
    }
    return kEarthRadius * std::cos(phi) * std::fabs(run * std::sin(c1));
}

bool tackOnLayline(const RoutingInputs& in, const UserRoute& route, int leg, const LegEnds& ends,
                   const AdvanceEnvironment& env, const IsochronePoint& parent,
                   const IsochronePoint& p, GeoPoint target, double step, double axis,
                   Laylines& laylines) {
    const RoutingParameters& params = *in.params;
    if (!env.windFound || p.engine || params.counterCurrent || p.awaSide != parent.awaSide ||
        !(p.sog > 0.0f))
        return false;
    const float knots = static_cast<float>(env.tws * kMsToKnot);
    const BestAngle up = bestUpwind(*in.polar, knots);
    const BestAngle down = bestDownwind(*in.polar, knots);
    if (std::fabs(p.twa - up.angle) > 1e-3f && std::fabs(p.twa - down.angle) > 1e-3f) return false;
    // The other tack: the heading mirrored about the wind, the same speed through the water,
    // the stream added.
    const double other = normalise360(2.0 * env.twd - p.heading);
    const double a = (90.0 - other) * kDegToRad;
    const double gE = p.boatSpeed * std::cos(a) + env.cE, gN = p.boatSpeed * std::sin(a) + env.cN;
    const double otherCog = normalise360(std::atan2(gE, gN) * kRadToDeg);
    // Each step rounds the boat's position to a float's precision, up to kRoundingPerStep off
    // its line, and the same way step after step on a steady course: a boat on the layline
    // would end the run some metres inside it, a tack short. The tack is put that much later
    // (the run after it aimed outside the target by the rounding of every step still to sail,
    // an angle of the rounding over one step's length), which costs a few millionths of the
    // time.
    const double margin = kRoundingPerStep / std::max(1.0, double(p.sog) * step) * kRadToDeg;
    const double side = normalise180(otherCog - env.twd) > 0.0 ? 1.0 : -1.0;
    const double aimed = normalise360(otherCog + (p.twa < 90.0f ? side : -side) * margin);
    const double seconds = rhumbRunToLayline(parent, p.cog, aimed, target) / p.sog;
    if (!(seconds > 0.0) || !(seconds < step)) return false;
    TrigPoint atTack;
    IsochronePoint first =
        advanceFrom(in, env, parent, ends.target, p.heading, seconds, false, &atTack);
    if (!candidateAcceptable(in, route, leg, ends, first, atTack)) return false;
    // The point after the tack descends from the parent until its tack point is stored.
    first.index = parent.index;
    IsochronePoint after = advanceFrom(in, sampleEnvironment(in, first), first, ends.target, other,
                                       step - seconds, false, &laylines.reached);
    // Past the target the arrival from the fronts is the better answer.
    if (passedTarget(laylines.reached, ends.target, axis) ||
        !candidateAcceptable(in, route, leg, ends, after, laylines.reached))
        return false;
    first.index = -1;
    after.index = static_cast<std::int32_t>(laylines.tackPoints.size());
    laylines.tackPoints.push_back(first);
    laylines.child = after;
    return true;
}

} // namespace navorel
