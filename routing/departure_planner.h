#pragma once
// The departure planner: the current route routed for departures over a span of time, each
// run made as an ordinary run from its own start (side by side on the run pool), and the
// measures a skipper weighs for each: duration and arrival, the strongest true wind met, the
// share sailed upwind, the hours under engine, an arrival by night.
//
// A departure holds its runs as a list: one run today, one per forecast when several are
// loaded, so the measures of a departure can show their spread.
#include "routing/routing_run.h"

#include <string>
#include <vector>

namespace navorel {

// Departures from `first` every `stepHours` while not after `last` (day numbers).
struct DepartureSpan {
    double first = 0;
    double last = 0;
    int stepHours = 3;
};

// More departures than this are not planned (a year every ten hours).
constexpr int kMaxDepartures = 1000;

// The span the planner offers: from `from` every 3 hours over 4 days, bounded by the
// forecast's last time (a departure after it has no wind to sail). With no forecast (the
// constant wind), the 4 days whole.
DepartureSpan defaultDepartureSpan(const WindCoverage& coverage, double from);

// The departure times of a span, the first at `first` and each next `stepHours` later (as
// the start-time scan shifts its start: first + hours / 24); none for a step below 1 or an
// end before the start; at most kMaxDepartures.
std::vector<DateTime> departureTimes(const DepartureSpan& span);

// What one run of a departure gives.
struct RunMeasures {
    int status = 0;
    bool arrived = false;      // the run reached the last waypoint
    double departure = 0;      // day number
    double arrival = 0;        // day number of the last point (where it stopped, if it did)
    double durationHours = 0;  // arrival - departure
    double maxWindKnots = 0;   // the strongest true wind along the route
    double upwindPercent = 0;  // share of the duration sailed upwind, as the results table
    double engineHours = 0;    // time under engine
    double distanceNm = 0;     // routed distance
    bool nightArrival = false; // arrived while the sun is down at the destination
};

// The measures of a run's route towards `destination` (for the night-time test).
RunMeasures measureRun(const RunSummary& run, GeoPoint destination);

// The comfort measures the picture can colour by, and the criteria of a best departure.
enum class PlanMeasure { Duration, MaxWind, UpwindShare, EngineHours };
constexpr int kPlanMeasureCount = 4;

// The value of a measure (hours, knots, percent, hours).
double measureValue(const RunMeasures& m, PlanMeasure which);

struct Departure {
    DateTime departure;
    std::vector<RunSummary> runs;      // one per forecast
    std::vector<RunMeasures> measures; // of each run, in the same order
    // Arrives in every run.
    bool arrives() const;
    // The run the table and the picture show (the first), or none.
    const RunMeasures* shown() const { return measures.empty() ? nullptr : &measures.front(); }
};

struct DeparturePlan {
    std::vector<Departure> departures;
    // The best departure by each measure (index into departures, -1 when none arrives): the
    // lowest value among the departures that arrive, ties to the shorter duration, then to
    // the earlier departure.
    int best[kPlanMeasureCount] = {-1, -1, -1, -1};
    bool cancelled = false;    // the series was cancelled: departures after it are missing
    bool gustsIgnored = false; // GustMax set on a forecast without gusts
    RunRefusal refusal = RunRefusal::None;
    int onLandCount = 0;
};

// Routes every departure of `starts` through runDepartureSeries (so with the setup's threads,
// control and runFinished) and measures each run. A departure that does not arrive stays in
// the plan, marked so.
DeparturePlan planDepartures(const RunSetup& setup, const std::vector<DateTime>& starts);

// Builds the plan from a series' result: one departure per summary, in order.
DeparturePlan planFromResult(const RoutingResult& result, GeoPoint destination);

// The best departures by each measure.
void markBest(DeparturePlan& plan);

// The plan as CSV, one line per departure after a header: departure and arrival (UTC,
// YYYY-MM-DD HH:MM), duration hours, arrived, max wind kt, upwind %, engine hours, night
// arrival, distance nm.
std::string planCsv(const DeparturePlan& plan);

} // namespace navorel
