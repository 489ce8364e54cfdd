// The departure planner over the demo: the demo route for departures every 3 hours over the
// forecast's first 4 days (33 runs: demo forecast, shorelines, tidal streams, Quality 3), on
// the number of threads of the argument: compare the rows for the speed-up.
#include "geo/gpx.h"
#include "geo/shoreline_store.h"
#include "routing/departure_planner.h"
#include "routing/obstacles.h"
#include "weather/current_field.h"
#include "weather/tide_harmonics.h"
#include "weather/wind_sampler.h"
#include "weather/wind_store.h"

#include <benchmark/benchmark.h>

using namespace navorel;

namespace {

void BM_DemoPlanner(benchmark::State& state) {
    const std::string dist = std::string(NAVOREL_SOURCE_DIR) + "/dist";
    RoutingParameters params;
    params.method = 1;
    params.timestepAuto = true;
    params.renderAfter = false;
    params.coastsQuality = 3;
    Polar polar;
    WindStore store;
    std::string error;
    ShorelineStore shore(dist + "/Data/Gshhs/");
    shore.openLevel(params.coastsQuality);
    TideHarmonics tides;
    CurrentProvider currents;
    UserRoute route;
    if (!loadPolar(dist + "/Polars/Navorel40.pol", polar, error) ||
        store.loadGrib(dist + "/Gribs/Demo.grb", WindColorRamp{}, &error) != GribLoadStatus::Ok ||
        !shore.hasFile() || !tides.load(dist + "/Data/Tides") ||
        !currents.load(dist + "/Currents", tides) ||
        !loadUserRoute(dist + "/Data/Route.gpx", route.waypoints, error)) {
        state.SkipWithError("demo data missing");
        return;
    }
    StoreWindField wind(store, params);
    const BarrierList barriers;
    const StoreCrossings crossings(&shore, &barriers);
    recompute(route, params, &crossings);
    RunSetup setup;
    setup.params = &params;
    setup.polar = &polar;
    setup.wind = &wind;
    setup.coverage = windCoverage(store);
    setup.crossings = &crossings;
    setup.current = &currents;
    setup.route = &route;
    setup.threads = static_cast<int>(state.range(0));
    const std::vector<DateTime> starts =
        departureTimes(defaultDepartureSpan(setup.coverage, store.frameTimes()[0]));
    for (auto _ : state) {
        const DeparturePlan plan = planDepartures(setup, starts);
        benchmark::DoNotOptimize(plan.best);
    }
    state.counters["departures"] = static_cast<double>(starts.size());
}
BENCHMARK(BM_DemoPlanner)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
