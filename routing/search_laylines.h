#pragma once
// The wide-fan search's tacks and gybes on a layline.
#include "routing/leg_steps.h"

#include <vector>

namespace navorel {

// The tacks and gybes on a layline. A boat at a best-VMG angle that crosses the layline of the
// other tack (the line on which that tack leads to the target) during a step tacks there and
// sails the rest of the step along it: the tack falls on the layline whatever the step, where
// steps alone would tack at a step's end before or past it. The tack point is stored with its
// run only when the point after it stays in the front; the point carries its number in
// `index` until then.
struct Laylines {
    std::vector<IsochronePoint> tackPoints;
    IsochronePoint child; // the last point found, and where it lies
    TrigPoint reached;
    void clear() { tackPoints.clear(); }
    // Stores the front, each point after its tack point.
    void store(RoutingOutput& out, Isochrone& front) const;
};

// The distance (metres) from `from` on the rhumb line `cog` (degrees) to where it meets the
// rhumb line that leads to `target` on `otherCog`; NaN when they do not meet ahead of the boat
// and before the target. The boat sails rhumb lines, which are straight on a Mercator chart.
double rhumbRunToLayline(const IsochronePoint& from, double cog, double otherCog, GeoPoint target);

// Finds the layline tack of the step from `parent` that gave `p` (see Laylines): true with the
// point in laylines.child and laylines.reached, its tack point kept. `axis` is the leg's axis of
// the arrival test: a point past the target is not answered.
bool tackOnLayline(const RoutingInputs& in, const UserRoute& route, int leg, const LegEnds& ends,
                   const AdvanceEnvironment& env, const IsochronePoint& parent,
                   const IsochronePoint& p, GeoPoint target, double step, double axis,
                   Laylines& laylines);

} // namespace navorel
