// The wind surface of the demo forecast in a 1920 x 1080 window framed on its area: the
// interpolated bitmap at a record and between records, and the cell boxes.
#include <benchmark/benchmark.h>

#include <string>

#include "demo_wind.h"
#include "render/map_view.h"
#include "render/wind_surface.h"
#include "routing/routing_parameters.h"
#include "weather/color_table.h"
#include "weather/wind_sampler.h"
#include "weather/wind_store.h"

using namespace navorel;

namespace {

MapView framedView() {
    MapView v;
    v.resize(1920, 1080);
    const FrameGeometry& g = demoWindStore().geometry(0);
    v.frameGrib({g.minLon, g.maxLon, g.minLat, g.maxLat}, g.wrap);
    return v;
}

void BM_SurfaceInterpolatedAtRecord(benchmark::State& state) {
    const WindStore& store = demoWindStore();
    const MapView view = framedView();
    const SurfaceColoring coloring{&store.colorRamp(), 100, false};
    for (auto _ : state) {
        SurfaceBitmap b = interpolatedSurfaceAtRecord(view, store, 0, coloring);
        benchmark::DoNotOptimize(b.pixels.data());
    }
}
BENCHMARK(BM_SurfaceInterpolatedAtRecord)->Unit(benchmark::kMillisecond);

void BM_SurfaceInterpolatedAtTime(benchmark::State& state) {
    const WindStore& store = demoWindStore();
    const MapView view = framedView();
    RoutingParameters parameters;
    parameters.uniqueWind = false;
    const StoreWindField field(store, parameters);
    const double t = (store.frameTimes()[0] + store.frameTimes()[1]) / 2;
    const SurfaceColoring coloring{&store.colorRamp(), 100, true};
    for (auto _ : state) {
        SurfaceBitmap b = interpolatedSurfaceAtTime(view, store, 0, field, t, coloring);
        benchmark::DoNotOptimize(b.pixels.data());
    }
}
BENCHMARK(BM_SurfaceInterpolatedAtTime)->Unit(benchmark::kMillisecond);

void BM_SurfaceCellsAtRecord(benchmark::State& state) {
    const WindStore& store = demoWindStore();
    const MapView view = framedView();
    const SurfaceColoring coloring{&store.colorRamp(), 100, false};
    for (auto _ : state) {
        auto cells = cellSurfaceAtRecord(view, store, 0, coloring);
        benchmark::DoNotOptimize(cells.data());
    }
}
BENCHMARK(BM_SurfaceCellsAtRecord)->Unit(benchmark::kMicrosecond);

} // namespace
