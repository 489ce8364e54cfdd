// The Forecasts scan over the demo: the demo route (demo shorelines, Quality 3, no streams)
// routed on every member of an ensemble of the demo waters (21 and 51 members, made by
// scripts/make-ensemble-grib.py at run time, not kept), on 1 and 2 threads; and one run alone
// for the time of a single run. Runs per second = members / time per iteration. The loading
// of the set (cropped to the route's ellipses) is its own benchmark, with the wind points
// held as a counter.
#include "geo/gpx.h"
#include "geo/shoreline_store.h"
#include "routing/forecast_series.h"
#include "routing/obstacles.h"
#include "weather/forecast_set.h"
#include "weather/wind_sampler.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <memory>

using namespace navorel;

namespace {

const std::string kSource = NAVOREL_SOURCE_DIR;

// The ensemble file of `members` members, made once into the temporary folder.
std::string ensembleFile(int members) {
    const std::string folder =
        (std::filesystem::temp_directory_path() / "navorel-bench-members").string();
    const std::string path = folder + "/ens" + std::to_string(members) + ".grib2";
    if (std::filesystem::exists(path)) return path;
    const std::string command = "/usr/bin/python3 " + kSource +
                                "/scripts/make-ensemble-grib.py --members " +
                                std::to_string(members) + " " + folder + " >/dev/null";
    if (std::system(command.c_str()) != 0) return {};
    return path;
}

struct Demo {
    RoutingParameters params;
    Polar polar;
    UserRoute route;
    std::unique_ptr<ShorelineStore> shore;
    BarrierList barriers;
    std::unique_ptr<StoreCrossings> crossings;
    ForecastSet set;
    std::vector<std::unique_ptr<StoreWindField>> winds;
    std::vector<SeriesSource> sources;

    bool load(int members, std::string& error) {
        const std::string dist = kSource + "/dist";
        params.method = 1;
        params.timestepAuto = true;
        params.renderAfter = false;
        params.coastsQuality = 3;
        shore = std::make_unique<ShorelineStore>(dist + "/Data/Gshhs/");
        shore->openLevel(params.coastsQuality);
        crossings = std::make_unique<StoreCrossings>(shore.get(), &barriers);
        if (!loadPolar(dist + "/Polars/Navorel40.pol", polar, error) ||
            !loadUserRoute(dist + "/Data/Route.gpx", route.waypoints, error) || !shore->hasFile())
            return false;
        recompute(route, params, crossings.get());
        const std::string file = ensembleFile(members);
        ForecastSetOptions options;
        options.box = routingBox(route, params);
        if (file.empty() || !set.load({file}, options, WindColorRamp{}, error)) return false;
        for (const ForecastSource& s : set.sources()) {
            winds.push_back(std::make_unique<StoreWindField>(*s.store, params));
            sources.push_back({s.label, winds.back().get(), windCoverage(*s.store), s.member});
        }
        return true;
    }

    RunSetup setup(int threads) const {
        RunSetup s;
        s.params = &params;
        s.polar = &polar;
        s.crossings = crossings.get();
        s.route = &route;
        s.threads = threads;
        s.wind = sources.front().wind;
        s.coverage = sources.front().coverage;
        s.start = fromDayNumber(sources.front().coverage.firstTime);
        return s;
    }
};

// range(0): members; range(1): threads; range(2): 1 for the control alone.
void BM_ForecastsScan(benchmark::State& state) {
    Demo demo;
    std::string error;
    if (!demo.load(static_cast<int>(state.range(0)), error)) {
        state.SkipWithError(("demo data missing: " + error).c_str());
        return;
    }
    std::vector<SeriesSource> sources = demo.sources;
    if (state.range(2)) sources.resize(1);
    const RunSetup setup = demo.setup(static_cast<int>(state.range(1)));
    for (auto _ : state) {
        const RoutingResult r = runForecastSeries(setup, sources, {setup.start});
        benchmark::DoNotOptimize(r.summaries.data());
    }
    state.counters["runs"] = static_cast<double>(sources.size());
    state.counters["runs/s"] = benchmark::Counter(static_cast<double>(sources.size()),
                                                  benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_ForecastsScan)
    ->Args({21, 1, 1})
    ->Args({21, 1, 0})
    ->Args({21, 2, 0})
    ->Args({51, 1, 0})
    ->Args({51, 2, 0})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1);

void BM_ForecastSetLoad(benchmark::State& state) {
    const std::string file = ensembleFile(static_cast<int>(state.range(0)));
    Demo demo;
    std::string error;
    if (file.empty() || !loadPolar(kSource + "/dist/Polars/Navorel40.pol", demo.polar, error) ||
        !loadUserRoute(kSource + "/dist/Data/Route.gpx", demo.route.waypoints, error)) {
        state.SkipWithError("demo data missing");
        return;
    }
    recompute(demo.route, demo.params, nullptr);
    ForecastSetOptions options;
    options.box = routingBox(demo.route, demo.params);
    std::size_t points = 0;
    for (auto _ : state) {
        ForecastSet set;
        if (!set.load({file}, options, WindColorRamp{}, error)) {
            state.SkipWithError(error.c_str());
            return;
        }
        points = set.storedPoints();
    }
    state.counters["points"] = static_cast<double>(points);
    state.counters["MB"] = static_cast<double>(points * kStoredPointBytes) / 1e6;
}
BENCHMARK(BM_ForecastSetLoad)->Arg(21)->Arg(51)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace
