// Wind sampling as the routing uses it: windAt at scattered places and times of the demo
// forecast, and the frame search alone.
#include <benchmark/benchmark.h>

#include <random>
#include <string>
#include <vector>

#include "demo_wind.h"
#include "routing/routing_parameters.h"
#include "weather/color_table.h"
#include "weather/wind_sampler.h"
#include "weather/wind_store.h"

using namespace navorel;

namespace {

struct Query {
    float lon, lat;
    double t;
};

std::vector<Query> queries(const WindStore& store) {
    std::vector<Query> q;
    std::mt19937 random(3);
    std::uniform_real_distribution<float> lon(-75.9f, -64.1f), lat(38.1f, 45.9f);
    std::uniform_real_distribution<double> t(store.frameTimes().front(), store.frameTimes().back());
    for (int n = 0; n < 4096; ++n) q.push_back({lon(random), lat(random), t(random)});
    return q;
}

void BM_WindAt(benchmark::State& state) {
    const WindStore& store = demoWindStore();
    const RoutingParameters parameters;
    const std::vector<Query> q = queries(store);
    std::size_t n = 0;
    for (auto _ : state) {
        const Query& x = q[n++ & 4095];
        benchmark::DoNotOptimize(windAt(store, parameters, x.lon, x.lat, x.t));
    }
}
BENCHMARK(BM_WindAt);

// Queries as a routing asks them: fans of candidate points a few miles around a front that
// moves on through the forecast, so successive calls touch the same cells and frames.
void BM_WindAtRoutingFan(benchmark::State& state) {
    const WindStore& store = demoWindStore();
    const RoutingParameters parameters;
    std::vector<Query> q;
    std::mt19937 random(5);
    std::uniform_real_distribution<float> spread(-0.1f, 0.1f);
    const double t0 = store.frameTimes().front();
    for (int n = 0; n < 4096; ++n) {
        const float step = static_cast<float>(n / 64);
        q.push_back({-72.0f + 0.1f * step + spread(random), 40.0f + 0.05f * step + spread(random),
                     t0 + (n / 64) * (0.25 / 24)});
    }
    std::size_t n = 0;
    for (auto _ : state) {
        const Query& x = q[n++ & 4095];
        benchmark::DoNotOptimize(windAt(store, parameters, x.lon, x.lat, x.t));
    }
}
BENCHMARK(BM_WindAtRoutingFan);

void BM_FrameForTime(benchmark::State& state) {
    const WindStore& store = demoWindStore();
    const std::vector<Query> q = queries(store);
    std::size_t n = 0;
    for (auto _ : state) benchmark::DoNotOptimize(frameForTime(store, q[n++ & 4095].t));
}
BENCHMARK(BM_FrameForTime);

void BM_LoadDemoForecast(benchmark::State& state) {
    const WindColorRamp ramp = buildRamp(builtinWindScale(), kDefaultSeaColor);
    for (auto _ : state) {
        WindStore s;
        benchmark::DoNotOptimize(
            s.loadGrib(std::string(NAVOREL_SOURCE_DIR) + "/dist/Gribs/Demo.grb", ramp));
    }
}
BENCHMARK(BM_LoadDemoForecast)->Unit(benchmark::kMillisecond);

} // namespace
