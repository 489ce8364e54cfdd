#pragma once
// What the routing engine reads while it runs: the settings, the boat, the wind, the streams,
// the land and barrier tests and the run control. Plain pointers to data the caller owns, so
// the command line, the tests and the desktop program drive the same code.
#include "core/geodesy.h"
#include "routing/polar.h"
#include "routing/routing_parameters.h"
#include "weather/current_sample.h"
#include "weather/wind_sample.h"

#include <cstdint>

namespace navorel {

// The land and barrier tests of the routing. The desktop program adapts the routing shoreline
// store and the barrier list to it; tests give a synthetic coast.
class CrossingTests {
  public:
    virtual ~CrossingTests() = default;
    // Does the move from `from` to `to` cross a land edge?
    virtual bool segmentCrossesLand(GeoPoint from, GeoPoint to) const = 0;
    // Does the move cross an edge of a barrier?
    virtual bool segmentCrossesBarrier(GeoPoint from, GeoPoint to) const = 0;
    // Is the position inside land?
    virtual bool pointOnLand(GeoPoint p) const = 0;
};

struct RoutingInputs {
    const RoutingParameters* params = nullptr; // required
    const Polar* polar = nullptr;              // required
    const WindField* wind = nullptr;           // required
    const CurrentSource* current = nullptr;    // none: no streams
    const CrossingTests* crossings = nullptr;  // none: no land and no barriers
    RunControl* control = nullptr;             // cancel flag and run status; may be none
    std::int64_t* advanceCalls = nullptr;      // counts advancePoint calls when set
};

// Run status values.
constexpr int kStatusRunning = 0;
constexpr int kStatusRejected = 1; // a candidate failed a test, or a front came out empty
constexpr int kStatusCancelled = 2;

inline void setRunStatus(const RoutingInputs& in, int status) {
    if (in.control) in.control->status.store(status, std::memory_order_relaxed);
}

inline bool runCancelled(const RoutingInputs& in) {
    return in.control && in.control->cancel.load(std::memory_order_relaxed);
}

} // namespace navorel
