#pragma once
// The steps every isochrone search shares: the acceptance test of a candidate, the point store,
// the front notices, the arrival at the leg's target and the route rebuilt through the parent
// links.
#include "routing/isochrones.h"

#include <cmath>
#include <cstddef>

namespace navorel {

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
// foci, with their latitudes' sines and cosines; `ellipse` says whether the ellipse applies.
struct LegEnds {
    TrigPoint target, focusA, focusB;
    bool ellipse = false;
};

// The acceptance test of a candidate: valid, within the wind limits, inside the leg's
// ellipse, not across a barrier or land. The cheap tests come first; a valid candidate that
// fails any of them sets the run status to 1 whichever test it is.
bool candidateAcceptable(const RoutingInputs& in, const UserRoute& route, int leg,
                         const LegEnds& ends, const IsochronePoint& p, const TrigPoint& at);

// The bearing to the target T from where the front first crosses the leg's line (the
// polyline from the leg's start to T), or `axis` when it does not cross it.
double axisPastLegLine(const Isochrone& front, const std::vector<GeoPoint>& legLine,
                       const GeoPoint& T, double axis);

// The run passed one of its bounds: it stops with its own status and says which.
void stopAtLimit(const RoutingInputs& in, RoutingOutput& out, RunLimit limit);

// Would one more point pass the bound of the point store?
inline bool storeFull(const RoutingInputs& in, const RoutingOutput& out, const Isochrone& pending) {
    return out.pointStore.size() + pending.size() >= in.limits.storedPoints;
}

// Appends the points to the store, giving each its index.
void storePoints(RoutingOutput& out, Isochrone& points);

// Tells `cb` of a new front (nothing for an empty one).
void tell(const FrontCallback& cb, const RoutingParameters& params, int leg, bool first,
          const Isochrone& front, const RoutingOutput& out);

// The route from the departure to store entry `chosen`, following the parent links. Entry 0
// (or none) leaves the route as it was. Every point of a leg descends from the leg's start
// `legStart`, the last point of the route so far: only the leg's own part is walked and
// appended, so that a route of many legs is not rebuilt from the departure after each.
void rebuildRoute(RoutingOutput& out, int chosen, int legStart);

struct WidePass;

// routeIsochrones without the refinement pass. With `passes` (one per leg) the wide-fan search
// runs each leg as that further pass; `legEnds`, when given, receives the route's size after
// each leg (before it, for a leg that did not arrive or was passed over).
RoutingOutput routeLegs(const RoutingInputs& in, const UserRoute& route, const DateTime& start,
                        const FrontCallback& afterFront, const std::vector<WidePass>* passes,
                        std::vector<std::size_t>* legEnds);

// The end of a leg. When `arrived`: the exact arrival at `target` from every point of
// `startingSet`, stored, and the earliest chosen; none passing its checks clears `arrived`.
// Otherwise the stored point of the leg's fronts closest to the target. The route is rebuilt
// to the chosen point and the display ranges folded.
// With `bothTacks` each point also tries the arrival starting on its other tack, and a run
// held off by a best-VMG angle goes straight only when it passes within 10 m of the target.
void closeLeg(const RoutingInputs& in, RoutingOutput& out, const Isochrone& startingSet,
              GeoPoint target, double stepSeconds, int legStart, bool& arrived,
              bool bothTacks = false);

} // namespace navorel
