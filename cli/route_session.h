#pragma once
// What a routing from the command line reads, loaded once for `route` and `plan` alike: the
// program folder's settings (with --set applied), the language table, the polar, the
// forecast, the route, the barriers, the shorelines and traffic zones, the tidal streams.
#include "geo/gpx.h"
#include "geo/shoreline_store.h"
#include "geo/tss.h"
#include "routing/forecast_series.h"
#include "routing/obstacles.h"
#include "routing/routing_run.h"
#include "settings/config_store.h"
#include "settings/language_table.h"
#include "weather/current_field.h"
#include "weather/forecast_set.h"
#include "weather/ocean_fields.h"
#include "weather/tide_harmonics.h"
#include "weather/wind_sampler.h"
#include "weather/wind_store.h"

#include <atomic>
#include <csignal>
#include <memory>
#include <string>
#include <vector>

namespace navorel::cli {

struct RouteOptions {
    bool demo = false;     // the shipped program folder
    bool progress = false; // count the forecast's messages on standard error
    std::string folder, grib, polar, route;
    std::string currents, waves;   // forecasts of ocean currents and of waves (GRIB)
    std::vector<std::string> sets; // Section.Key=Value
    // Every --grib given; with more than one, or with --members, the forecasts are read as a
    // set (one store per model and member) instead of one store.
    std::vector<std::string> gribs;
    bool forecastSet = false;
    MemberSelection members;
};

// Takes the options shared by `route` and `plan` out of args: --demo, --progress, --folder,
// --grib, --polar, --route, --currents, --waves and every --set.
RouteOptions takeRouteOptions(std::vector<std::string>& args);

// "--threads N": false with a message for anything but a whole number from 1 to 256. An empty
// text leaves threads at 0 (the machine's).
bool parseThreads(const std::string& text, int& threads, std::string& error);

class RouteSession {
  public:
    RouteSession() = default;
    RouteSession(const RouteSession&) = delete;
    RouteSession& operator=(const RouteSession&) = delete;

    // Loads everything; false with one line in `error`.
    bool load(const RouteOptions& options, std::string& error);

    // A run setup over what was loaded, starting at `start`.
    RunSetup setup(RunControl& control, int threads, double start);
    // The forecast's first record's time, or now without a forecast.
    double defaultStart() const;

    std::string folder;
    ConfigStore config;
    LanguageTable texts;
    Polar polar;
    WindStore store;
    WindCoverage coverage;
    std::unique_ptr<StoreWindField> wind;
    UserRoute route;
    BarrierList barriers;
    std::unique_ptr<ShorelineStore> finest, routingStore;
    std::unique_ptr<StoreCrossings> crossings;
    TssStore zones;
    TideHarmonics tides;
    CurrentProvider currents;
    bool haveCurrents = false;
    // The set of forecasts (options.forecastSet), each cropped to the route's ellipses and a
    // degree more, with the wind each run of the series reads.
    ForecastSet forecasts;
    std::vector<std::unique_ptr<StoreWindField>> forecastWinds;
    std::vector<SeriesSource> seriesSources() const;
    // The current forecast (stream provider 2) and the wave forecast with the boat's table
    // of speed in waves (Waves.csv of the polar folder).
    OceanCurrents oceanCurrents;
    OceanWaves oceanWaves;
    WaveTable waveTable;
    bool haveWaves = false;

    RoutingParameters& params() { return config.settings.routing; }
    // A set of forecasts is loaded and the routing goes over each of them.
    bool scansForecasts() const {
        return !forecasts.empty() && config.settings.routing.scanForecasts;
    }

  private:
    bool loadForecastSet(const RouteOptions& options, const std::string& gribPath,
                         std::string& error);
};

// `route` over a set of forecasts: every forecast (times every departure of the start-time
// scan) routed as one series; prints one line per run and the arrival distribution, and
// writes {"runs":[...],"distribution":{...}} to `jsonOut` when given. The exit code of route.
int routeForecasts(RouteSession& session, RunSetup& setup, RunControl& control,
                   const std::string& jsonOut, bool progress);

// One run of a result as JSON, as `route --json` writes it: {"summary":{...},"points":[...]}.
std::string runJson(const RunSummary& run);

// printf into a string.
void appendf(std::string& out, const char* format, ...) __attribute__((format(printf, 2, 3)));
// A JSON string literal.
void jsonString(std::string& out, const std::string& s);

// SIGINT and SIGTERM cancel the runs as Escape does in the window while this lives.
struct CancelOnSignal {
    struct sigaction oldInt {
    }, oldTerm{};
    explicit CancelOnSignal(RunControl& control);
    ~CancelOnSignal();
};

} // namespace navorel::cli
