// An ocean passage, Newport (Rhode Island) to Ponta Delgada (Azores), 2 100 nautical miles on
// the great circle, on analytic quarter-degree forecasts of 14 days every 6 hours made with
// ecCodes at run time by bench/make-ocean-grib.py (not kept in the repository):
//   - the whole globe (1440 x 721 points), whose hours between the 6-hourly records are made
//     on demand;
//   - the same field cut to the North Atlantic (401 x 221 points), every hour stored.
// Routed with the shipped settings (shoreline level 3, engine on, ellipse) at Quality 3 and 4
// on both, and a start-time scan of seven runs on the global one. Skipped with a message when
// the forecast cannot be made.
// The Gulf Stream: the Atlantic passage without currents and with the analytic jet of
// bench/make-ocean-current-grib.py (3 kt core, 60 km wide) as the current forecast; the
// counters give the duration and the share of the distance sailed in the jet's core (1.5 kt
// or more there) against the straight line's share.
#include "geo/shoreline_store.h"
#include "routing/obstacles.h"
#include "routing/routing_run.h"
#include "settings/config_store.h"
#include "weather/color_table.h"
#include "weather/current_field.h"
#include "weather/ocean_fields.h"
#include "weather/wind_sampler.h"
#include "weather/wind_store.h"

#include <benchmark/benchmark.h>

#include <chrono>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <memory>
#include <string>

using namespace navorel;

namespace {

const std::string kSource = NAVOREL_SOURCE_DIR;

// The forecast file of an area, made once per machine (delete it to make it again).
const std::string& forecastFile(const std::string& area) {
    static std::string paths[2];
    std::string& path = paths[area == "global" ? 0 : 1];
    if (!path.empty()) return path;
    const std::string file = "/tmp/navorel_bench_ocean_" + area + ".grb";
    if (!std::ifstream(file).good()) {
        const std::string command = "/usr/bin/python3 " + kSource + "/bench/make-ocean-grib.py " +
                                    file + ".part --area " + area + " && mv " + file + ".part " +
                                    file;
        if (std::system(command.c_str()) != 0) return path;
    }
    path = file;
    return path;
}

// Resident and peak resident memory of the process, kB.
void memoryKb(long& resident, long& peak) {
    resident = peak = 0;
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0) resident = std::atol(line.c_str() + 6);
        if (line.rfind("VmHWM:", 0) == 0) peak = std::atol(line.c_str() + 6);
    }
}

void BM_OceanForecastLoad(benchmark::State& state, const char* area) {
    const std::string& path = forecastFile(area);
    if (path.empty()) {
        state.SkipWithError("the forecast cannot be made (python3-eccodes missing?)");
        return;
    }
    long before = 0, peakBefore = 0, after = 0, peak = 0;
    std::size_t frames = 0, points = 0;
    std::string outcome = "ok";
    for (auto _ : state) {
        memoryKb(before, peakBefore);
        auto store = std::make_unique<WindStore>();
        std::string error;
        const GribLoadStatus s = openForecast(path, *store, WindColorRamp{}, 0, error);
        memoryKb(after, peak);
        if (s != GribLoadStatus::Ok) outcome = error;
        frames = store->frames().size();
        points = 0;
        for (const WindFrame& f : store->frames()) points += f.size();
        state.PauseTiming();
        store.reset();
        state.ResumeTiming();
    }
    state.counters["frames"] = static_cast<double>(frames);
    state.counters["store_MB"] = static_cast<double>(points * kStoredPointBytes) / 1e6;
    state.counters["rss_MB"] = static_cast<double>(after - before) / 1e3;
    state.counters["peak_MB"] = static_cast<double>(peak) / 1e3;
    state.SetLabel(outcome);
}
BENCHMARK_CAPTURE(BM_OceanForecastLoad, global, "global")
    ->Iterations(1)
    ->Unit(benchmark::kSecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_OceanForecastLoad, atlantic, "atlantic")
    ->Iterations(1)
    ->Unit(benchmark::kSecond)
    ->UseRealTime();

// Everything a run reads, loaded once.
struct Ocean {
    ConfigStore config;
    Polar polar;
    WindStore store;
    std::unique_ptr<ShorelineStore> shore;
    BarrierList barriers;
    std::unique_ptr<StoreCrossings> crossings;
    UserRoute route;
    std::string error;

    explicit Ocean(const std::string& area) {
        const std::string path = forecastFile(area);
        if (path.empty()) {
            error = "the forecast cannot be made (python3-eccodes missing?)";
            return;
        }
        const std::string folder = kSource + "/dist";
        if (!config.load(folder, nullptr, error)) return;
        if (!loadPolar(folder + "/Polars/Navorel40.pol", polar, error)) return;
        if (openForecast(path, store, WindColorRamp{}, 0, error) != GribLoadStatus::Ok) return;
        shore = std::make_unique<ShorelineStore>(config.paths.gshhsFolder);
        shore->openLevel(config.settings.routing.coastsQuality);
        if (!shore->hasFile()) {
            error = "no shoreline files in " + config.paths.gshhsFolder;
            return;
        }
        crossings = std::make_unique<StoreCrossings>(shore.get(), &barriers);
        // As navorel-cli route: the waypoints are checked against the finest shoreline.
        ShorelineStore finest(config.paths.gshhsFolder);
        finest.openLevel(4);
        const StoreCrossings finestTests(&finest, nullptr);
        route.waypoints = {GeoPoint{-71.35f, 41.42f}, GeoPoint{-25.67f, 37.72f}};
        recompute(route, config.settings.routing, &finestTests);
    }
    bool ready() const { return crossings != nullptr && error.empty(); }

    // One routing, or the scan the parameters ask for, from 1 June 2026 plus `hours`.
    // `threads`: a scan's runs on that many threads, 0 for every core.
    RoutingResult run(const RoutingParameters& params, double hours, int threads = 1,
                      const CurrentSource* current = nullptr) const {
        StoreWindField wind(store, params);
        RunControl control;
        RunSetup setup;
        setup.params = &params;
        setup.polar = &polar;
        setup.wind = &wind;
        setup.coverage = windCoverage(store);
        setup.crossings = crossings.get();
        setup.current = current;
        setup.control = &control;
        setup.route = &route;
        setup.start = fromDayNumber(store.frameTimes().front() + hours / 24.0);
        setup.threads = threads;
        return runRouting(setup);
    }
};

// The routings sail the global forecast (its hours made on demand) or the same wind cut to
// the North Atlantic (every hour stored).
const Ocean& ocean(const std::string& area) {
    if (area == "global") {
        static const Ocean global("global");
        return global;
    }
    static const Ocean atlantic("atlantic");
    return atlantic;
}

double threadSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + t.tv_nsec * 1e-9;
}

void report(benchmark::State& state, const RoutingResult& r, double seconds) {
    long long calls = 0, stored = 0;
    int arrived = 0;
    for (const RunSummary& s : r.summaries) {
        calls += s.advanceCalls;
        stored += s.storeSize;
        arrived += s.inProgress;
    }
    state.counters["runs"] = static_cast<double>(r.summaries.size());
    state.counters["arrived"] = arrived;
    state.counters["advances"] = static_cast<double>(calls);
    state.counters["stored"] = static_cast<double>(stored);
    // Per second of this thread's processor time (the machine is shared), over every
    // iteration; `r` is the last iteration's result.
    state.counters["advance/s"] =
        seconds > 0 ? static_cast<double>(calls) * state.iterations() / seconds : 0;
    if (!r.output.route.empty())
        state.counters["hours"] = routeDurationSeconds(r.output.route) / 3600.0;
}

// A single run (no scan) at the Quality of the argument, starting at the forecast's start.
void BM_OceanRoute(benchmark::State& state, const char* area) {
    const Ocean& o = ocean(area);
    if (!o.ready()) {
        state.SkipWithError(o.error.c_str());
        return;
    }
    RoutingParameters params = o.config.settings.routing;
    params.scanPolar = params.scanWind = params.scanStart = params.scanPolars = false;
    params.quality = static_cast<int>(state.range(0));
    RoutingResult r;
    double seconds = 0;
    for (auto _ : state) {
        const double t0 = threadSeconds();
        r = o.run(params, 0);
        seconds += threadSeconds() - t0;
    }
    report(state, r, seconds);
}
BENCHMARK_CAPTURE(BM_OceanRoute, global, "global")
    ->Arg(3)
    ->Arg(4)
    ->Iterations(2)
    ->Unit(benchmark::kSecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_OceanRoute, atlantic, "atlantic")
    ->Arg(3)
    ->Arg(4)
    ->Iterations(2)
    ->Unit(benchmark::kSecond)
    ->UseRealTime();

// The start-time scan of seven runs at Quality 3: departures 9 hours before to 9 hours after
// 1 June 2026 12:00 every 3 hours (offset 0 last), on one thread (argument 1) or on every
// core (0). Advances per second are counted here over the wall time.
void BM_OceanStartScan(benchmark::State& state) {
    const Ocean& o = ocean("global");
    if (!o.ready()) {
        state.SkipWithError(o.error.c_str());
        return;
    }
    RoutingParameters params = o.config.settings.routing;
    params.scanPolar = params.scanWind = params.scanPolars = false;
    params.scanStart = true;
    params.minStart = -9;
    params.maxStart = 9;
    params.stepStart = 3;
    params.quality = 3;
    RoutingResult r;
    double seconds = 0;
    for (auto _ : state) {
        const auto t0 = std::chrono::steady_clock::now();
        r = o.run(params, 12, static_cast<int>(state.range(0)));
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    }
    report(state, r, seconds);
}
BENCHMARK(BM_OceanStartScan)
    ->Arg(1)
    ->Arg(0)
    ->Iterations(1)
    ->Unit(benchmark::kSecond)
    ->UseRealTime();

// The jet's current forecast, made once per machine (delete it to make it again).
const std::string& jetFile() {
    static std::string path;
    if (!path.empty()) return path;
    const std::string file = "/tmp/navorel_bench_ocean_jet.grb2";
    if (!std::ifstream(file).good()) {
        const std::string command = "/usr/bin/python3 " + kSource +
                                    "/bench/make-ocean-current-grib.py --currents " + file +
                                    ".part && mv " + file + ".part " + file;
        if (std::system(command.c_str()) != 0) return path;
    }
    path = file;
    return path;
}

// The core of the jet: a current of 1.5 kt or more.
constexpr double kCoreKnots = 1.5;

// Share of the distance of `route` whose steps start in the core of `jet`.
double coreShare(const std::vector<IsochronePoint>& route, const OceanCurrents& jet) {
    double inside = 0, total = 0;
    for (const IsochronePoint& p : route) {
        const CurrentSample c = jet.currentAt(p.parentLon, p.parentLat, p.parentTime.dayNumber);
        total += p.stepDistance;
        if (c.found && c.speed >= kCoreKnots) inside += p.stepDistance;
    }
    return total > 0 ? inside / total : 0;
}

// Share of the great circle from `a` to `b` in the core, sailed from `start` (day number) in
// `days`: 2000 points evenly spaced in distance and time.
double straightShare(GeoPoint a, GeoPoint b, double start, double days, const OceanCurrents& jet) {
    const double bearing = greatCircleBearing(a, b), length = greatCircleDistance(a, b);
    const double R = 6371000.0;
    const double la1 = a.lat * kDegToRad, lo1 = a.lon * kDegToRad, th = bearing * kDegToRad;
    constexpr int n = 2000;
    int inside = 0;
    for (int i = 0; i < n; ++i) {
        const double f = (i + 0.5) / n, d = f * length / R;
        const double la =
            std::asin(std::sin(la1) * std::cos(d) + std::cos(la1) * std::sin(d) * std::cos(th));
        const double lo = lo1 + std::atan2(std::sin(th) * std::sin(d) * std::cos(la1),
                                           std::cos(d) - std::sin(la1) * std::sin(la));
        const CurrentSample c = jet.currentAt(static_cast<float>(lo * kRadToDeg),
                                              static_cast<float>(la * kRadToDeg), start + f * days);
        if (c.found && c.speed >= kCoreKnots) ++inside;
    }
    return static_cast<double>(inside) / n;
}

// Argument 0: no current; 1: the jet as stream provider 2.
void BM_OceanGulfStream(benchmark::State& state) {
    const Ocean& o = ocean("atlantic");
    if (!o.ready()) {
        state.SkipWithError(o.error.c_str());
        return;
    }
    static OceanCurrents jet;
    if (jet.empty()) {
        std::string error;
        if (jetFile().empty() ||
            openCurrentForecast(jetFile(), jet, error) != FieldLoadStatus::Ok) {
            state.SkipWithError("the current forecast cannot be made (python3-eccodes missing?)");
            return;
        }
    }
    CurrentProvider provider;
    provider.setForecast(&jet);
    provider.setStreamProvider(2);
    RoutingParameters params = o.config.settings.routing;
    params.scanPolar = params.scanWind = params.scanStart = params.scanPolars = false;
    params.quality = 3;
    params.currents = true;
    params.streamProvider = 2;
    const bool withJet = state.range(0) != 0;
    RoutingResult r;
    double seconds = 0;
    for (auto _ : state) {
        const double t0 = threadSeconds();
        r = o.run(params, 0, 1, withJet ? &provider : nullptr);
        seconds += threadSeconds() - t0;
    }
    report(state, r, seconds);
    const auto& route = r.output.route;
    if (route.empty()) return;
    state.counters["core_share"] = coreShare(route, jet);
    const double days = routeDurationSeconds(route) / 86400.0;
    state.counters["straight_core_share"] =
        straightShare(o.route.waypoints.front(), o.route.waypoints.back(),
                      route.front().parentTime.dayNumber, days, jet);
}
BENCHMARK(BM_OceanGulfStream)->Arg(0)->Arg(1)->Iterations(1)->Unit(benchmark::kSecond);

} // namespace
