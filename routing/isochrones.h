#pragma once
// The isochrone method: leg by leg, fans of headings advanced one time step from every point
// of the last front, fronts pruned, cleaned and ordered, until a point passes the leg's target;
// then the exact arrival and the route rebuilt through the parent links.
#include "routing/isochrone_point.h"
#include "routing/point_advance.h"
#include "routing/routing_inputs.h"
#include "routing/user_route.h"

#include <cstdint>
#include <functional>
#include <vector>

namespace navorel {

// What a routing computes, for the results table, the drawing and the GPX export.
struct RoutingOutput {
    // From the first step to the arrival (or to the point closest to the target of the leg
    // that did not arrive); the departure is the first point's parent position and time.
    std::vector<IsochronePoint> route;
    // Every point reached, entry 0 the departure; parent links refer to it.
    std::vector<IsochronePoint> pointStore;
    // The fronts of every leg that arrived, for drawing.
    std::vector<Isochrone> allIsochrones;
    // The fronts of the last leg computed (already in allIsochrones when that leg arrived).
    std::vector<Isochrone> legIsochrones;
    int status = 0; // 0 normal, 1 a candidate failed a test or a front came out empty,
                    // 2 cancelled, 3 stopped at a bound of the run (see limit)
    RunLimit limit = RunLimit::None;
    bool inProgress = true;  // cleared when the run stopped before the last waypoint
    bool arrived = false;    // every leg arrived
    int targetWaypoint = -1; // the waypoint the run was heading for when it stopped short
    std::int64_t advanceCalls = 0;
    // Display ranges over the route, m/s.
    float minSog = 3.4028235e38f, maxSog = 0;
    float minTws = 3.4028235e38f, maxTws = 0;
    // The time step and prune distance in force for the last leg computed.
    double stepSeconds = 0;
    float pruneDistance = 0;
};

// Time step and heading fans of one leg.
struct LegSettings {
    double legFactor = 1;        // b of the automatic step
    double referenceSeconds = 0; // H of the automatic step
    double stepSeconds = 0;
    float pruneDistance = 0;               // metres
    int initialCount = 0, initialStep = 0; // first isochrone: headings, degrees between them
    int furtherCount = 0, furtherStep = 0; // next isochrones, per point
};

// Manual: Timestep minutes, PruneDistance and the four angle settings. Automatic: the time to
// sail b x 5 % of the leg at the polar's speed at 90 degrees in 20 knots, b = longest leg /
// this leg limited to 1..4 (1 for a single leg), rounded to a step of the table and scaled by
// Quality; the prune distance is a sixth of the step in metres.
LegSettings legSettings(const RoutingParameters& params, const Polar& polar, const UserRoute& route,
                        int leg);

// Folds the smallest and largest sog and tws of the route into the display ranges.
void foldDisplayRanges(RoutingOutput& out);

// Told after each front, for the progress of the run and, with "Render after each isochrone",
// for drawing the front.
struct FrontEvent {
    bool render = true; // "Render after each isochrone" is on: the front is to be drawn
    int leg = 0;
    bool firstOfLeg = false;
    const Isochrone* front = nullptr;
    DateTime displayTime; // departure time of the front's steps
    const RoutingOutput* output = nullptr;
};
using FrontCallback = std::function<void(const FrontEvent&)>;

// Routes every leg of `route` (recomputed for its waypoints) from `start`. Reads the power in
// force (params.powerInForce) and Variation. Cancellation through in.control is seen at the
// top of each isochrone; the route to the point closest to the target then remains. Legs of
// zero length are passed over. The run stops at the first leg that does not arrive.
RoutingOutput routeIsochrones(const RoutingInputs& in, const UserRoute& route,
                              const DateTime& start, const FrontCallback& afterFront = {});

// One leg, from waypoint `from` to from + 1, starting from `start` (entry 0 of an empty point
// store, otherwise a stored point). Leaves the route from the departure to the arrival, or to
// the closest point when not arrived; answers whether it arrived.
bool routeLeg(const RoutingInputs& in, const UserRoute& route, const IsochronePoint& start,
              int from, RoutingOutput& out, const FrontCallback& afterFront = {});

// Distance pruning: in front order, a point still kept drops every later kept point closer to
// it than `pruneDistance` metres (strictly) that lies farther from the target (strictly).
// O(n) expected on a spatial grid; pruneFrontPlain is the O(n^2) reference.
void pruneFront(Isochrone& front, double pruneDistance);
// The same with the points' latitude trigonometry known, side by side with the front.
void pruneFront(Isochrone& front, double pruneDistance, const std::vector<TrigPoint>& latitudes);
void pruneFrontPlain(Isochrone& front, double pruneDistance);

// The pruning's test on bare points: `at` the points as unit vectors, `rank` what orders them
// (the distance to the target, or another measure where smaller is better). In the given
// order, a point still kept drops every later kept point closer than `pruneDistance` metres
// (strictly) whose rank is larger (strictly); `keep` answers which points stay. The vectors
// other than the two inputs are working room, kept between calls so that a search does not
// allocate them again for every front. O(n) expected.
struct PruneGrid {
    struct Member {
        SpherePoint at;
        float rank;
        std::int32_t index;
    };
    std::vector<SpherePoint> at;
    std::vector<float> rank;
    std::vector<std::int64_t> cellKey;
    std::vector<std::uint32_t> cellStart, slot, fill;
    std::vector<Member> members;
};
void pruneOnGrid(PruneGrid& grid, double pruneDistance, std::vector<char>& keep);

// Front cleaning: drops each point whose sight line from the target crosses a front segment
// that has at least one endpoint still kept (points hidden behind the front). cleanFrontPlain
// is the O(n^2) reference.
void cleanFront(Isochrone& front, GeoPoint target);
void cleanFrontPlain(Isochrone& front, GeoPoint target);

// Orders a front by the rhumb bearing from `origin` (radians; shifted by 2 pi when the front
// straddles due south). Points of the same bearing as single-precision floats collapse into
// the later one.
void orderFront(Isochrone& front, GeoPoint origin);

// Where segment P->Q crosses segment A->B in the planar longitude/latitude test (longitude
// differences taken the short way round); false when they do not cross.
bool planarCrossing(GeoPoint p, GeoPoint q, GeoPoint a, GeoPoint b, GeoPoint& at);

} // namespace navorel
