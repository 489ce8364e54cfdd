#pragma once
// The refinement pass of the wide-fan search ([Routing] Refine): once a routing has its first
// route, the search runs again with each leg's fronts held to a corridor round that leg's route
// and pruned four times finer, and the earlier of the two arrivals is kept, so a refined
// routing is never slower. (Leg by leg it would not be: through weather that moves, a leg
// finished sooner can make the next one slower.)
#include "routing/isochrones.h"

#include <cstddef>
#include <vector>

namespace navorel {

// The positions within `halfWidth` metres of a route's track, as a grid of cells over a local
// plane (east and north metres from the track's first point). A position within halfWidth / 2
// of the track is inside, none farther than 1.5 halfWidth is; between, the cell decides.
class Corridor {
  public:
    // `track`: the route's positions in order (at least one); `halfWidth` in metres (> 0).
    Corridor(const std::vector<GeoPoint>& track, double halfWidth);
    bool contains(GeoPoint p) const;

  private:
    double x(GeoPoint p) const; // metres east of the origin, the short way round
    double y(GeoPoint p) const; // metres north
    GeoPoint origin_;
    double cosLat_ = 1, cell_ = 1, x0_ = 0, y0_ = 0;
    std::size_t columns_ = 0, rows_ = 0;
    std::vector<char> inside_; // by row, then column
};

// The corridor's half width for a leg of `legMetres`: a hundredth of the leg, at least 1200 m
// (a few pruning distances of the first pass on short legs).
double corridorHalfWidth(double legMetres);

// The refinement pass of a routing by the wide-fan search that arrived (`out`, with the
// route's size after each leg in `legEnds`, as routeLegs gives them): every leg routed again in
// a corridor round its first route, and the second routing replaces the first only when it
// arrives earlier. The second routing's points are counted in out.advanceCalls either way;
// its fronts are not told to anyone.
void refineRoute(const RoutingInputs& in, const UserRoute& route, const DateTime& start,
                 const std::vector<std::size_t>& legEnds, RoutingOutput& out);

} // namespace navorel
