#pragma once
// The wide-fan isochrone search ([Routing] Search = 1): the isochrone method's fronts, pruning,
// cleaning and arrival, with three changes that keep the fastest route in the front:
// - every parent's fan (a few steps each side of its centre) also holds the best-VMG headings
//   of both tacks upwind and downwind (in the parent's wind; those that do not lead away from
//   the target), the heading to the target and the parent's own heading, so a front reaches
//   the other tack in one turn and a boat can hold its course;
// - the pruning ranks neighbours by the time they still need to the target at the polar's
//   best speed in that direction (tacking or gybing where that is faster) instead of by their
//   distance, so a point on the layline is not dropped for one nearer the rhumb line that
//   needs more tacks;
// - no ellipse round the leg: the search area is what the fronts reach, and the arrival is
//   also tried from the fronts before the last one.
#include "routing/isochrones.h"

#include <functional>

namespace navorel {

// The time in seconds a boat at `from` still needs to `target` in the wind (`twd` degrees,
// from; `tws` m/s) at the polar's best speed made good in that direction: the best-VMG angle
// of the tack or gybe where the direction lies closer to the wind than it, the polar speed
// between; the engine's speed where the sails give less than LowSpeed and the engine is
// allowed. Infinity when nothing moves the boat.
double timeToGo(const RoutingInputs& in, const TrigPoint& from, const TrigPoint& target,
                double distance, float twd, float tws);

// What a further pass of the search changes: the leg's step scaled by `stepScale` and its
// pruning distance by `pruneScale`, and only the candidates `keep` allows (at their position)
// kept in the fronts.
// A step that passes the target is an arrival wherever it ends.
struct WidePass {
    double stepScale = 1.0;
    double pruneScale = 1.0;
    std::function<bool(const TrigPoint&)> keep; // empty: every candidate
};

// timeToGo with what the turns still to make depend on: the side of the wind the target lies
// on (1 when its bearing lies 0 to 180 degrees right of where the wind comes from) and whether
// it lies inside the best upwind or downwind angles (more than a few metres off the layline),
// where only a tack or gybe reaches it.
struct ToGo {
    double seconds = 0;
    int side = 0;
    bool inside = false;
};
ToGo timeAndTurnsToGo(const RoutingInputs& in, const TrigPoint& from, const TrigPoint& target,
                      double distance, float twd, float tws);

// One leg of the wide-fan search; the same contract as routeLeg.
bool routeLegWide(const RoutingInputs& in, const UserRoute& route, const IsochronePoint& start,
                  int from, RoutingOutput& out, const FrontCallback& afterFront = {},
                  const WidePass* pass = nullptr);

} // namespace navorel
