#pragma once
// One routing run from the start command to the results: the checks before the run, the
// reset of the run state, the method or the scanning series, the run summaries (here and in
// routing_run.cpp); the messages, the results table and the route to export (run_results.cpp).
#include "geo/gpx.h"
#include "routing/isochrones.h"

#include <functional>
#include <string>
#include <vector>

namespace navorel {

class TextProvider;
class WindStore;

// Where the wind data lies, for the start check.
struct WindCoverage {
    bool loaded = false;
    double firstTime = 0, lastTime = 0; // day numbers of the first and last frames
    double minLon = 0, maxLon = 0, minLat = 0, maxLat = 0;
    bool wrap = false; // the grid crosses the 180 degree meridian
};

// The coverage of a loaded wind store (first frame's grid, first and last frame times); not
// loaded when the store is empty.
WindCoverage windCoverage(const WindStore& store);

struct RunSummary {
    int power = 100; // effectiveness in force, percent
    std::string polarName;
    float rating = 1;    // 1 unless the polar is one of the scan polars
    int variation = 100; // wind intensity in force, percent
    int startOffset = 0; // hours
    float minSog = 0, maxSog = 0, minTws = 0, maxTws = 0; // m/s
    long long advanceCalls = 0;
    int storeSize = 0;
    bool inProgress = false; // still set when the run reached its end
    int status = 0;
    RunLimit limit = RunLimit::None; // the bound that stopped the run (status 3)
    // A run that stopped short: the waypoint it was heading for (-1 when it arrived), the time
    // step of its last leg (seconds), and whether land lies on the line from the route's end to
    // that waypoint.
    int targetWaypoint = -1;
    double stepSeconds = 0;
    bool landAhead = false;
    // Kept for the results table.
    std::vector<IsochronePoint> route;
    // In a series over several forecasts: the forecast's place in the set and its label
    // ("member 12"); -1 and empty otherwise.
    int source = -1;
    std::string label;
    // With a wave forecast: the significant wave height (m) at the start of each step of
    // `route`, NaN where the forecast has none. Empty without a wave forecast.
    std::vector<float> waveHeights;
};

// Language texts of the results table's wave rows.
constexpr int kTextWaveHeightMean = 669;
constexpr int kTextWaveHeightMax = 670;

// Mean (over the time sailed) and largest significant wave height of a run's steps, metres;
// false when no step met a wave.
bool waveHeightTotals(const RunSummary& run, double& mean, double& largest);

enum class RunRefusal {
    None,
    Ignored,          // no route, wind or polar: nothing happens
    WaypointsOnLand,  // the message names their count
    StartOutsideWind, // and the boat cannot motor outside the wind data
};

// What a run reads. The run never writes to any of it: the window may paint the settings
// and the polar while the run goes on, and each run of a scan works on its own copy of the
// settings (power in force, wind intensity) and its own polar.
struct RunSetup {
    const RoutingParameters* params = nullptr;
    const Polar* polar = nullptr; // the boat's polar; a scan over several polars loads its own
    std::string polarsFolder;     // where the scan's polar files lie
    const WindField* wind = nullptr;
    WindCoverage coverage;
    const CurrentSource* current = nullptr;
    const WaveSource* waves = nullptr;    // a wave forecast: the sea state and WaveMax
    const WaveTable* waveTable = nullptr; // the boat's speed in waves
    const CrossingTests* crossings = nullptr;
    RunControl* control = nullptr;
    const UserRoute* route = nullptr; // recomputed
    DateTime start;                   // the time of the frame shown, or the chosen time
    // Called before the run when CoastsQuality differs from the level of the routing store.
    std::function<void(int level)> reopenShoreline;
    // Told after each front (with "Render after each isochrone"); the runs of a scan call it
    // from their own threads, one call at a time.
    FrontCallback afterFront;
    // Told as each run of a scan ends, from the thread that ran it, one call at a time: the
    // run's place in the series (0 first) and its summary. A run made alongside one that
    // stopped the scan may be told and then not kept.
    std::function<void(int run, const RunSummary& summary)> runFinished;
    RunLimits limits; // bounds that stop a run growing without end
    // Threads for the runs of a scan: 0 the machine's (scanThreads()), 1 one run after
    // another. The results are the same whatever the number.
    int threads = 0;
};

// The machine's threads for a scan: NAVOREL_THREADS when it holds a number from 1 to 256,
// else std::thread::hardware_concurrency (1 when unknown).
int scanThreads();

struct RoutingResult {
    RunRefusal refusal = RunRefusal::None;
    int onLandCount = 0;
    RoutingOutput output; // the last run made
    std::vector<std::vector<IsochronePoint>> scanRoutes;
    std::vector<RunSummary> summaries;
    RunLimits limits;      // the bounds in force
    WindCoverage coverage; // the wind data the run sailed in (not loaded with a constant wind)
    DateTime start;        // the run's start time
    bool startOutsideWind = false; // the start lay outside the wind data (the boat motored)
    bool scanning = false;
    bool severalPolars = false;
    int method = 0;
    // GustMax is set but the wind source carries no gust: the limit was not applied.
    bool gustsIgnored = false;
    // Display ranges over the routes, m/s.
    float minSog = 3.4028235e38f, maxSog = 0, minTws = 3.4028235e38f, maxTws = 0;
    double computeSeconds = 0;
};

// The checks, the reset, then one run by the chosen method or the scan of the settings. A
// scan ends after a run that was cancelled or stopped at a bound of the run.
RoutingResult runRouting(const RunSetup& setup);

// The runs of a series of departures, side by side as the runs of a scan (RunSetup::threads
// of them at once): one run per start with the settings' own effectiveness and wind
// intensity, whatever scan the settings name; each summary's start offset is in whole hours
// from the first start. A run that does not arrive or stops at a bound is kept and the series
// goes on; a cancel ends it. The checks of runRouting come first, the start inside the wind
// tested at the first start. The result's output is the last run's.
RoutingResult runDepartureSeries(const RunSetup& setup, const std::vector<DateTime>& starts);

// One run of a series that the caller plans: its start and the wind it sails in.
struct SeriesRun {
    DateTime start;
    int startOffset = 0;             // hours, for the summary
    const WindField* wind = nullptr; // none: the setup's
    int source = -1;                 // the summary's source and label
    std::string label;
};

// The runs of `runs` side by side as the runs of a scan, in their order whatever the threads:
// each with the settings' own effectiveness and wind intensity, its own start and wind. A
// run that does not arrive or stops at a bound is kept and the series goes on; a cancel ends
// it. The checks of runRouting come first (the start inside the setup's coverage at the first
// run's start). Every run's route is also in scanRoutes, as a scan's are, for the chart.
RoutingResult runSeries(const RunSetup& setup, const std::vector<SeriesRun>& runs);

// One line when the gust limit was set but the forecast has no gust; else empty.
std::string gustLimitNote(const RoutingResult& result);

// The message of a refused run (empty for None and Ignored).
std::string refusalMessage(const RoutingResult& result, const TextProvider& texts);

// Why a run stopped at one of its bounds ("more than 200 points stored (memory bound)");
// empty when no run of the result did.
std::string limitMessage(const RoutingResult& result, const TextProvider& texts);

// How a routing ended, as the status bar, the results window and the command line tell it.
enum class RunEnd { Arrived, NotFinished, Cancelled, Refused, NoRun };
struct RunOutcome {
    RunEnd end = RunEnd::NoRun;
    // One line: "Routing finished", "Routing cancelled", the refusal's message, or "Routing not
    // finished" with where and why the first run that did not arrive stopped ("Routing not
    // finished: stopped 4.6 M short of waypoint 3 - the forecast ends 06/06 00:00").
    std::string text;
};
RunOutcome runOutcome(const RoutingResult& result, const TextProvider& texts);

// The title of run `run`'s column in the results: the polar's name in a scan over several
// polars, the forecast's label in a series over several forecasts, else "Routing 3".
std::string runTitle(const RoutingResult& result, int run, const TextProvider& texts);

// The points "Export the routing" writes for a route: the start of each step at its time,
// then the arrival (the last point's position at its time). Empty for an empty route.
std::vector<ExportedRoutePoint> exportedRoute(const std::vector<IsochronePoint>& route);

// The results table: rows[r][0] is the label of row r, rows[r][1 + k] the value of run k;
// separator rows are empty. Also the column titles.
struct ResultsTable {
    std::vector<std::string> titles; // titles[0] is empty (the label column)
    std::vector<std::vector<std::string>> rows;
    std::string computationTime; // "2 min 5 sec" or "12 sec"
};
ResultsTable resultsTable(const RoutingResult& result, const UserRoute& route,
                          const TextProvider& texts);

// The sea met at each step of a run, for the results window: the start of the step (time and
// position), the current there (flowing towards, degrees, and knots; "-" for none) and the
// significant wave height ("-" where the wave forecast has none; the column only with a wave
// forecast). Titles first.
constexpr int kTextSeaSteps = 675;    // the label over the table
constexpr int kTextStepStart = 676;   // column titles
constexpr int kTextStepPosition = 677;
constexpr int kTextStepCurrent = 678;
constexpr int kTextStepWaves = 673;
struct SeaStepsTable {
    std::vector<std::string> titles;
    std::vector<std::vector<std::string>> rows;
};
SeaStepsTable seaStepsTable(const RunSummary& run, const TextProvider& texts);

// Totals of a route read from its last point.
double routeDurationSeconds(const std::vector<IsochronePoint>& route);

} // namespace navorel
