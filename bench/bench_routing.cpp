// The routing engine's inner loop (one boat advance), the front operations and whole runs.
#include "geo/gpx.h"
#include "geo/shoreline_store.h"
#include "routing/isochrones.h"
#include "routing/obstacles.h"
#include "routing/point_advance.h"
#include "routing/polar.h"
#include "routing/routing_run.h"
#include "routing/user_route.h"
#include "tests/routing/cyclone_wind.h"
#include "weather/color_table.h"
#include "weather/current_field.h"
#include "weather/tide_harmonics.h"
#include "weather/wind_sampler.h"
#include "weather/wind_store.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <random>
#include <string>

using namespace navorel;

namespace {

class ConstantWind : public WindField {
  public:
    WindSample windAt(float, float, double) const override {
        return WindSample{true, 250.0f, 14.0f};
    }
};

// Smoothly varying wind in space and time, as a forecast would give it.
class AnalyticWind : public WindField {
  public:
    WindSample windAt(float lon, float lat, double time) const override {
        const double a = lon * 0.7 + time * 3.0, b = lat * 0.9 - time;
        float dir = static_cast<float>(250.0 + 40.0 * std::sin(a) * std::cos(b));
        if (dir < 0) dir += 360;
        if (dir > 360) dir -= 360;
        return WindSample{true, dir, static_cast<float>(13.0 + 6.0 * std::cos(a + b))};
    }
};

Polar demoPolar() {
    Polar p;
    std::string error;
    loadPolar(std::string(NAVOREL_SOURCE_DIR) + "/dist/Polars/Navorel40.pol", p, error);
    return p;
}

struct Setup {
    RoutingParameters params;
    Polar polar = demoPolar();
    RunControl control;
    Setup() {
        params.engine = true; // the default: the engine check runs on every advance
        params.seaState = true;
        params.seaStateUp = 90;
        params.seaStateDown = 105;
    }
    RoutingInputs inputs(const WindField& wind) {
        RoutingInputs in;
        in.params = &params;
        in.polar = &polar;
        in.wind = &wind;
        in.control = &control;
        return in;
    }
};

template <typename Wind> void advanceFan(benchmark::State& state) {
    Setup s;
    Wind wind;
    const RoutingInputs in = s.inputs(wind);
    IsochronePoint from = departureRecord(fromDayNumber(16000.25), -4.5f, 47.2f);
    from.awaSide = 1;
    const GeoPoint target{-3.0f, 48.0f};
    double heading = 0;
    for (auto _ : state) {
        // A different parent now and then, as the fronts move on.
        from.lat += 1e-6f;
        const IsochronePoint p = advancePoint(in, from, target, heading, 900, false);
        benchmark::DoNotOptimize(p);
        heading += 7.3;
        if (heading > 360) heading -= 360;
    }
    state.SetItemsProcessed(state.iterations());
}

void BM_AdvancePointConstantWind(benchmark::State& state) {
    advanceFan<ConstantWind>(state);
}
void BM_AdvancePointAnalyticWind(benchmark::State& state) {
    advanceFan<AnalyticWind>(state);
}
BENCHMARK(BM_AdvancePointConstantWind);
BENCHMARK(BM_AdvancePointAnalyticWind);

// As the isochrones call it: the parent's wind sampled once for its whole fan of 17 headings.
void BM_AdvanceFanOfSeventeen(benchmark::State& state) {
    Setup s;
    AnalyticWind wind;
    const RoutingInputs in = s.inputs(wind);
    IsochronePoint from = departureRecord(fromDayNumber(16000.25), -4.5f, 47.2f);
    from.awaSide = 0;
    const GeoPoint target{-3.0f, 48.0f};
    for (auto _ : state) {
        from.lon += 1e-6f;
        const AdvanceEnvironment env = sampleEnvironment(in, from);
        for (int k = -8; k <= 8; ++k) {
            const IsochronePoint p = advanceFrom(in, env, from, target, 40.0 + 7 * k, 900, false);
            benchmark::DoNotOptimize(p);
        }
    }
    state.SetItemsProcessed(state.iterations() * 17);
}
BENCHMARK(BM_AdvanceFanOfSeventeen);

Isochrone benchFront(std::size_t n, GeoPoint target) {
    std::mt19937 rng(5);
    std::uniform_real_distribution<double> u(0.0, 1.0);
    Isochrone f;
    for (std::size_t i = 0; i < n; ++i) {
        const double a = -1.8 + 3.6 * (i + 2.0 * u(rng)) / n;
        const double r = 0.8 * (1.0 + 0.1 * std::sin(9 * a) + 0.01 * u(rng));
        IsochronePoint p;
        p.lon = static_cast<float>(-4.0 + r * std::sin(a) / std::cos(47 * kDegToRad));
        p.lat = static_cast<float>(47.0 + r * std::cos(a));
        p.distToTarget = static_cast<float>(greatCircleDistance({p.lon, p.lat}, target));
        f.push_back(p);
    }
    return f;
}

template <void (*Op)(Isochrone&, double)> void pruneBench(benchmark::State& state) {
    const GeoPoint target{-4.0f, 49.0f};
    const Isochrone front = benchFront(static_cast<std::size_t>(state.range(0)), target);
    for (auto _ : state) {
        Isochrone f = front;
        Op(f, 225);
        benchmark::DoNotOptimize(f.data());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

template <void (*Op)(Isochrone&, GeoPoint)> void cleanBench(benchmark::State& state) {
    const GeoPoint target{-4.0f, 49.0f};
    const Isochrone front = benchFront(static_cast<std::size_t>(state.range(0)), target);
    for (auto _ : state) {
        Isochrone f = front;
        Op(f, target);
        benchmark::DoNotOptimize(f.data());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_PruneFront(benchmark::State& s) {
    pruneBench<pruneFront>(s);
}
void BM_PruneFrontPlain(benchmark::State& s) {
    pruneBench<pruneFrontPlain>(s);
}
void BM_CleanFront(benchmark::State& s) {
    cleanBench<cleanFront>(s);
}
void BM_CleanFrontPlain(benchmark::State& s) {
    cleanBench<cleanFrontPlain>(s);
}
BENCHMARK(BM_PruneFront)->Arg(1000)->Arg(3000)->Arg(10000);
BENCHMARK(BM_PruneFrontPlain)->Arg(1000)->Arg(3000);
BENCHMARK(BM_CleanFront)->Arg(1000)->Arg(3000)->Arg(10000);
BENCHMARK(BM_CleanFrontPlain)->Arg(1000)->Arg(3000);

// A whole routing: 100 nautical miles, two legs, automatic step, analytic wind, no land.
void BM_RouteIsochrones(benchmark::State& state) {
    Setup s;
    s.params.timestepAuto = true;
    s.params.quality = static_cast<int>(state.range(0));
    s.params.renderAfter = false;
    AnalyticWind wind;
    const RoutingInputs in = s.inputs(wind);
    UserRoute route;
    route.waypoints = {GeoPoint{-6.0f, 46.0f}, GeoPoint{-5.0f, 46.8f}, GeoPoint{-4.2f, 47.3f}};
    recompute(route, s.params, nullptr);
    std::int64_t calls = 0;
    for (auto _ : state) {
        const RoutingOutput o = routeIsochrones(in, route, fromDayNumber(16000.25));
        calls += o.advanceCalls;
        benchmark::DoNotOptimize(o.route.data());
    }
    state.counters["advance/s"] =
        benchmark::Counter(static_cast<double>(calls), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_RouteIsochrones)->Arg(3)->Arg(4)->Unit(benchmark::kMillisecond);

// The route geometry of a long route (the work before its first isochrone): legs of about a
// nautical mile zigzagging eastwards, ellipse on.
void BM_RecomputeLongRoute(benchmark::State& state) {
    RoutingParameters params;
    UserRoute route;
    const int n = static_cast<int>(state.range(0));
    for (int k = 0; k < n; ++k)
        route.waypoints.push_back(
            GeoPoint{static_cast<float>(-60.0 + 0.02 * k), (k % 2) ? 40.01f : 40.0f});
    for (auto _ : state) {
        recompute(route, params, nullptr);
        benchmark::DoNotOptimize(route.legLength.data());
    }
}
BENCHMARK(BM_RecomputeLongRoute)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

// The demo's five-run effectiveness scan (demo forecast, shorelines, tidal streams, Quality 3),
// on the number of threads of the argument: compare the rows for the scan's speed-up.
void demoScan(benchmark::State& state, int threads, int search) {
    const std::string dist = std::string(NAVOREL_SOURCE_DIR) + "/dist";
    RoutingParameters params;
    params.search = search > 0 ? 1 : 0;
    params.refine = search == 2;
    params.method = 1;
    params.timestepAuto = true;
    params.scanPolar = true;
    params.renderAfter = false;
    params.coastsQuality = 3;
    Polar polar = demoPolar();
    WindStore store;
    std::string error;
    ShorelineStore shore(dist + "/Data/Gshhs/");
    shore.openLevel(params.coastsQuality);
    TideHarmonics tides;
    CurrentProvider currents;
    UserRoute route;
    if (store.loadGrib(dist + "/Gribs/Demo.grb", WindColorRamp{}, &error) != GribLoadStatus::Ok ||
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
    RunControl control;
    RunSetup setup;
    setup.params = &params;
    setup.polar = &polar;
    setup.wind = &wind;
    setup.coverage = windCoverage(store);
    setup.crossings = &crossings;
    setup.current = &currents;
    setup.control = &control;
    setup.route = &route;
    setup.start = fromDayNumber(store.frameTimes()[0]);
    setup.threads = threads;
    std::int64_t calls = 0;
    for (auto _ : state) {
        const RoutingResult r = runRouting(setup);
        for (const RunSummary& s : r.summaries) calls += s.advanceCalls;
        benchmark::DoNotOptimize(r.output.route.data());
    }
    state.counters["advance/s"] =
        benchmark::Counter(static_cast<double>(calls), benchmark::Counter::kIsRate);
}
void BM_DemoScan(benchmark::State& state) {
    demoScan(state, static_cast<int>(state.range(0)), 0);
}
BENCHMARK(BM_DemoScan)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same scan on one thread by each search (argument: 0 the isochrone fans, 1 the wide fans,
// 2 the wide fans with their refinement pass).
void BM_DemoScanSearch(benchmark::State& state) {
    demoScan(state, 1, static_cast<int>(state.range(0)));
}
BENCHMARK(BM_DemoScanSearch)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

// A 60 nautical mile leg from 40 N 30 W in constant 12-knot wind from the north (shipped
// settings, no engine), by each search (first argument, as BM_DemoScanSearch's) upwind, on a beam
// reach and downwind (second argument: the leg's bearing).
void BM_OpenWaterLeg(benchmark::State& state) {
    Setup s;
    s.params.engine = false;
    s.params.seaState = false;
    s.params.method = 1;
    s.params.timestepAuto = true;
    s.params.renderAfter = false;
    s.params.search = state.range(0) > 0 ? 1 : 0;
    s.params.refine = state.range(0) == 2;
    class North : public WindField {
      public:
        WindSample windAt(float, float, double) const override {
            return WindSample{true, 0.0f, 12.0f};
        }
    } wind;
    const RoutingInputs in = s.inputs(wind);
    UserRoute route;
    const GeoPoint from{-30.0f, 40.0f};
    route.waypoints = {from, rhumbDestination(from, static_cast<double>(state.range(1)), 111120.0)};
    recompute(route, s.params, nullptr);
    double hours = 0;
    for (auto _ : state) {
        const RoutingOutput o = routeIsochrones(in, route, fromDayNumber(16802.0));
        if (!o.route.empty()) hours = (o.route.back().time.dayNumber - 16802.0) * 24.0;
        benchmark::DoNotOptimize(o.route.data());
    }
    state.counters["hours"] = hours;
}
BENCHMARK(BM_OpenWaterLeg)->ArgsProduct({{0, 1, 2}, {0, 90, 180}})->Unit(benchmark::kMillisecond);

// Through the analytic cyclone (400 nautical miles, two legs; shipped settings, no engine) by
// each search (argument as BM_DemoScanSearch's); the counter gives the run's duration in hours.
void BM_CycloneSearch(benchmark::State& state) {
    Setup s;
    s.params.engine = false;
    s.params.seaState = false;
    s.params.method = 1;
    s.params.timestepAuto = true;
    s.params.renderAfter = false;
    s.params.search = state.range(0) > 0 ? 1 : 0;
    s.params.refine = state.range(0) == 2;
    const test::CycloneWind wind;
    const RoutingInputs in = s.inputs(wind);
    UserRoute route;
    route.waypoints = test::CycloneWind::waypoints();
    recompute(route, s.params, nullptr);
    double hours = 0;
    for (auto _ : state) {
        const RoutingOutput o =
            routeIsochrones(in, route, fromDayNumber(test::CycloneWind::kStartDay));
        if (!o.route.empty())
            hours = (o.route.back().time.dayNumber - test::CycloneWind::kStartDay) * 24.0;
        benchmark::DoNotOptimize(o.route.data());
    }
    state.counters["hours"] = hours;
}
BENCHMARK(BM_CycloneSearch)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

} // namespace
