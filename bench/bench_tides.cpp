// Tide heights and states, and the stream at a place, on the demo data.
#include "weather/current_field.h"
#include "weather/tide_harmonics.h"

#include <benchmark/benchmark.h>

#include <string>

namespace {

struct Demo {
    navorel::TideHarmonics tides;
    navorel::CurrentProvider currents;
    Demo() {
        tides.load(std::string(NAVOREL_SOURCE_DIR) + "/dist/Data/Tides");
        currents.load(std::string(NAVOREL_SOURCE_DIR) + "/dist/Currents", tides);
    }
};

const Demo& demo() {
    static const Demo d;
    return d;
}

void BM_TideHeight(benchmark::State& state) {
    const auto& tides = demo().tides;
    double t = 16953;
    for (auto _ : state) {
        benchmark::DoNotOptimize(tides.height(5, t));
        t += 0.001;
    }
}
BENCHMARK(BM_TideHeight);

void BM_TideHarmonicState(benchmark::State& state) {
    const auto& tides = demo().tides;
    double t = 16953;
    for (auto _ : state) {
        benchmark::DoNotOptimize(tides.harmonicState(5, t));
        t += 0.01;
    }
}
BENCHMARK(BM_TideHarmonicState);

void BM_TideTableState(benchmark::State& state) {
    const auto& tides = demo().tides;
    double t = 16953;
    for (auto _ : state) {
        benchmark::DoNotOptimize(tides.tableState(5, t));
        t += 0.01;
        if (t > 18000) t = 16953; // stay inside the tables (2026-2029)
    }
}
BENCHMARK(BM_TideTableState);

// A sweep across Nantucket Sound: inside triangles, near vertices and outside the mesh.
void BM_CurrentAt(benchmark::State& state) {
    const auto& currents = demo().currents;
    int i = 0;
    for (auto _ : state) {
        const float lon = -70.7f + 0.0007f * static_cast<float>(i % 1000);
        const float lat = 41.3f + 0.0003f * static_cast<float>(i % 1000);
        benchmark::DoNotOptimize(currents.currentAt(lon, lat, 16953 + (i % 1000) / 96.0));
        ++i;
    }
}
BENCHMARK(BM_CurrentAt);

} // namespace
