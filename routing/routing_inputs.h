#pragma once
// What the routing engine reads while it runs: the settings, the boat, the wind, the streams,
// the land and barrier tests and the run control. Plain pointers to data the caller owns, so
// the command line, the tests and the desktop program drive the same code.
#include "core/geodesy.h"
#include "routing/polar.h"
#include "routing/routing_parameters.h"
#include "routing/wave_table.h"
#include "weather/current_sample.h"
#include "weather/wave_sample.h"
#include "weather/wind_sample.h"

#include <cstddef>
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
    // Does the move enter or leave a traffic separation zone? None by default.
    virtual bool segmentCrossesZone(GeoPoint, GeoPoint) const { return false; }
};

// Bounds that stop a run which would otherwise grow without end (a target that cannot be
// reached while the fronts never empty, or fans of absurd size). No sane run comes near
// them: an ocean crossing with ten-minute steps stores under 200 000 points.
struct RunLimits {
    std::size_t storedPoints = 1000000; // 200 bytes each: about 200 MB of point store
    int frontsPerLeg = 100000;
};

// Which bound stopped a run.
enum class RunLimit { None, StoredPoints, FrontsPerLeg };

struct RoutingInputs {
    const RoutingParameters* params = nullptr; // required
    const Polar* polar = nullptr;              // required
    const WindField* wind = nullptr;           // required
    const CurrentSource* current = nullptr;    // none: no streams
    const CrossingTests* crossings = nullptr;  // none: no land and no barriers
    RunControl* control = nullptr;             // cancel flag and run status; may be none
    std::int64_t* advanceCalls = nullptr;      // counts advancePoint calls when set
    // A wave forecast and the boat's speed in waves: with SeaState on, where the forecast has
    // a wave, the sea-state factor comes from the table instead of the fixed percentages.
    // None: the fixed percentages alone, and no wave limit.
    const WaveSource* waves = nullptr;
    const WaveTable* waveTable = nullptr;
    RunLimits limits;
};

// Run status values.
constexpr int kStatusRunning = 0;
constexpr int kStatusRejected = 1; // a candidate failed a test, or a front came out empty
constexpr int kStatusCancelled = 2;
constexpr int kStatusTooLarge = 3; // the run passed one of its RunLimits and stopped

inline void setRunStatus(const RoutingInputs& in, int status) {
    if (in.control) in.control->status.store(status, std::memory_order_relaxed);
}

inline bool runCancelled(const RoutingInputs& in) {
    return in.control && in.control->cancel.load(std::memory_order_relaxed);
}

} // namespace navorel
