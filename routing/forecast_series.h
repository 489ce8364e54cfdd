#pragma once
// The "Forecasts" scan: the same route routed on every forecast of a set (models, ensemble
// members), each run with its own wind and label, side by side on the run pool; combined with
// the start-time scan as one series (each forecast times each departure). And the statistics
// over such a series: the distribution of arrival times and the run nearest its median.
#include "routing/departure_planner.h"
#include "routing/routing_run.h"
#include "routing/user_route.h"
#include "weather/grib_crop.h"

#include <string>
#include <vector>

namespace navorel {

// One forecast of the set as the routing sees it: a wind source and its label.
struct SeriesSource {
    std::string label;               // "member 12", "ECMWF"
    const WindField* wind = nullptr; // required
    WindCoverage coverage;
    int member = -1; // the ensemble member (0 the control), -1 for a plain forecast
};

// The box a forecast is cropped to for routing `route`: every leg's search ellipse and its
// waypoints, one degree more on each side. Unbounded when the settings do not keep the search
// inside the ellipses (the routing may then go anywhere).
GribBox routingBox(const UserRoute& route, const RoutingParameters& params);

// The departures of the settings: with the start-time scan, `start` shifted by each offset of
// its series (MinStart to MaxStart by StepStart hours, and 0), earliest first; else `start`.
std::vector<DateTime> seriesDepartures(const RoutingParameters& params, const DateTime& start);

// The runs of the series in order: every departure of the first forecast, then of the second...
std::vector<SeriesRun> forecastSeriesRuns(const std::vector<SeriesSource>& sources,
                                          const std::vector<DateTime>& starts);

// Routes every forecast at every departure through runSeries (the setup's threads, control
// and runFinished); the setup's own wind is replaced by the first forecast's for the checks.
// Each summary carries its forecast's index in `sources` and its label.
RoutingResult runForecastSeries(const RunSetup& setup, const std::vector<SeriesSource>& sources,
                                const std::vector<DateTime>& starts);

// The arrival times of the runs that arrived, as a box plot reads them.
struct ArrivalDistribution {
    int runs = 0;    // runs in the series
    int arrived = 0; // runs that reached the last waypoint
    // Day numbers over the runs that arrived (0 when none did); the percentiles interpolate
    // linearly between the sorted arrivals.
    double min = 0, p10 = 0, median = 0, p90 = 0, max = 0;
    int nearestMedian = -1;    // the run whose arrival is nearest the median (the first on a tie)
    int control = -1;          // the first run of the control member (source member 0), or -1
    double controlArrival = 0; // its arrival, when it arrived
    bool controlArrived = false;
};

// The distribution over `runs`; `controlSource` is the index of the control member's forecast
// (-1 when none).
ArrivalDistribution arrivalDistribution(const std::vector<RunSummary>& runs, GeoPoint destination,
                                        int controlSource);

// One line per run of a forecast series: label, departure and arrival (UTC, YYYY-MM-DD HH:MM),
// duration hours, arrived, distance nm, upwind %, max wind kt; after a header.
std::string forecastRunsCsv(const std::vector<RunSummary>& runs, GeoPoint destination);

// "arrivals of 21 runs (21 arrived): min 06/02 03:00, 10% ..., median ..., 90% ..., max ...;
// control ...": the distribution in one line (UTC).
std::string distributionText(const ArrivalDistribution& d);

} // namespace navorel
