// Micro-benchmarks of the sailing core: polar look-ups and the geodesy of every candidate.
#include "core/geodesy.h"
#include "routing/polar.h"

#include <benchmark/benchmark.h>

#include <string>

using namespace navorel;

namespace {

const Polar& demoPolar() {
    static Polar polar = [] {
        Polar p;
        std::string error;
        if (!loadPolar(std::string(NAVOREL_SOURCE_DIR) + "/dist/Polars/Navorel40.pol", p, error))
            std::abort();
        return p;
    }();
    return polar;
}

void BM_polarSpeed(benchmark::State& state) {
    const Polar& p = demoPolar();
    float twa = 30, tws = 3;
    for (auto _ : state) {
        benchmark::DoNotOptimize(polarSpeed(p, twa, tws));
        twa = twa >= 179 ? 30 : twa + 7.3f;
        tws = tws >= 33 ? 3 : tws + 1.7f;
    }
}
BENCHMARK(BM_polarSpeed);

// The routing asks many headings of one point at the same wind speed: the usual case.
void sailingAt(benchmark::State& state, float twaStart, bool newWindEachCall) {
    const Polar& p = demoPolar();
    float tws = 12.3f;
    float offset = 0;
    for (auto _ : state) {
        float twa = twaStart + offset;
        bool adjusted;
        benchmark::DoNotOptimize(sailingSpeed(p, tws, twa, adjusted));
        offset = offset >= 4 ? 0 : offset + 1;
        if (newWindEachCall) tws = tws >= 33 ? 3.1f : tws + 0.37f;
    }
}
void BM_sailingSpeedUpwind(benchmark::State& s) { sailingAt(s, 30, false); }
void BM_sailingSpeedDownwind(benchmark::State& s) { sailingAt(s, 170, false); }
void BM_sailingSpeedUpwindNewWind(benchmark::State& s) { sailingAt(s, 30, true); }
void BM_sailingSpeedDownwindNewWind(benchmark::State& s) { sailingAt(s, 170, true); }
BENCHMARK(BM_sailingSpeedUpwind);
BENCHMARK(BM_sailingSpeedDownwind);
BENCHMARK(BM_sailingSpeedUpwindNewWind);
BENCHMARK(BM_sailingSpeedDownwindNewWind);

void BM_bestUpwindPlain(benchmark::State& state) {
    const Polar& p = demoPolar();
    float tws = 3.1f;
    for (auto _ : state) {
        benchmark::DoNotOptimize(bestUpwindPlain(p, tws));
        tws = tws >= 33 ? 3.1f : tws + 0.37f;
    }
}
BENCHMARK(BM_bestUpwindPlain);

void BM_greatCircleDistance(benchmark::State& state) {
    GeoPoint a{-70.5f, 42.1f}, b{-69.9f, 41.6f};
    for (auto _ : state) {
        benchmark::DoNotOptimize(greatCircleDistance(a, b));
        a.lon += 1e-5f;
    }
}
BENCHMARK(BM_greatCircleDistance);

void BM_rhumbDestination(benchmark::State& state) {
    GeoPoint a{-70.5f, 42.1f};
    double bearing = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(rhumbDestination(a, bearing, 2500.0));
        bearing = bearing >= 355 ? 0 : bearing + 5;
    }
}
BENCHMARK(BM_rhumbDestination);

} // namespace
