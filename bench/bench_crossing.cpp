// The land test of the routing's candidate moves: 10 to 30 nautical miles near two complex
// coasts (Brittany, the Gulf of Maine) at the routing's default level 2 and the full level 4.
// Reads dist/Data/Gshhs/ (built by scripts/setup-data.sh); cells are read before timing.
#include "core/geodesy.h"
#include "geo/crossing.h"
#include "geo/shoreline_store.h"
#include "geo/tss.h"
#include "geo/tss_index.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <memory>
#include <random>
#include <string>
#include <vector>

using namespace navorel;

namespace {

struct Move {
    GeoPoint from, to;
};

struct Area {
    float west, east, south, north;
};

constexpr Area kBrittany{-5.3f, -2.0f, 46.8f, 49.0f};
constexpr Area kMaine{-71.0f, -66.5f, 41.5f, 44.8f};

std::vector<Move> movesIn(Area area) {
    std::mt19937 random(7);
    std::uniform_real_distribution<float> lon(area.west, area.east), lat(area.south, area.north);
    std::uniform_real_distribution<double> bearing(0.0, 360.0), miles(10.0, 30.0);
    std::vector<Move> moves(4096);
    for (Move& m : moves) {
        m.from = {lon(random), lat(random)};
        m.to = rhumbDestination(m.from, bearing(random), miles(random) * kMetresPerNauticalMile);
    }
    return moves;
}

void crossing(benchmark::State& state, Area area) {
    const int level = static_cast<int>(state.range(0));
    ShorelineStore store(std::string(NAVOREL_SOURCE_DIR) + "/dist/Data/Gshhs/");
    if (!store.openLevel(level)) {
        state.SkipWithError("no shoreline file: run scripts/setup-data.sh");
        return;
    }
    const std::vector<Move> moves = movesIn(area);
    int crossed = 0;
    for (const Move& m : moves) crossed += segmentCrossesLand(store, m.from, m.to);
    std::size_t i = 0;
    for (auto _ : state) {
        const Move& m = moves[i++ & 4095];
        benchmark::DoNotOptimize(segmentCrossesLand(store, m.from, m.to));
    }
    state.counters["crossing%"] = 100.0 * crossed / static_cast<double>(moves.size());
}

void BM_segmentCrossesLand_Brittany(benchmark::State& state) {
    crossing(state, kBrittany);
}
void BM_segmentCrossesLand_Maine(benchmark::State& state) {
    crossing(state, kMaine);
}
BENCHMARK(BM_segmentCrossesLand_Brittany)->Arg(2)->Arg(4);
BENCHMARK(BM_segmentCrossesLand_Maine)->Arg(2)->Arg(4);

// Moves beside a traffic zone of 200,000 points: the plain scan of every edge against the
// zone index, which looks only at the edges in the cells a move passes.
std::vector<GeoPoint> wigglyZone(int points) {
    std::mt19937 random(5);
    std::uniform_real_distribution<float> wobble(0.97f, 1.03f);
    std::vector<GeoPoint> ring;
    for (int k = 0; k < points; ++k) {
        const double a = 2 * kPi * k / points;
        const float r = 0.2f * wobble(random);
        ring.push_back({-70.3f + r * float(std::cos(a)), 42.3f + r * float(std::sin(a))});
    }
    return ring;
}

void zoneMoves(benchmark::State& state, bool indexed) {
    const ZoneOutlines outlines{wigglyZone(200000)};
    ZoneCrossingIndex index;
    index.build(outlines, {});
    std::mt19937 random(9);
    std::uniform_real_distribution<float> lon(-70.6f, -70.0f), lat(42.0f, 42.6f);
    std::normal_distribution<float> step(0.0f, 0.01f);
    std::vector<std::pair<GeoPoint, GeoPoint>> moves;
    for (int i = 0; i < 200; ++i) {
        const GeoPoint a{lon(random), lat(random)};
        moves.push_back({a, {a.lon + step(random), a.lat + step(random)}});
    }
    for (auto _ : state) {
        int n = 0;
        for (const auto& [a, b] : moves)
            n += indexed ? index.crosses(a, b) : segmentCrossesZones(outlines, a, b);
        benchmark::DoNotOptimize(n);
    }
    state.SetItemsProcessed(state.iterations() * std::int64_t(moves.size()));
}
void BM_ZoneCrossing_Plain(benchmark::State& state) {
    zoneMoves(state, false);
}
void BM_ZoneCrossing_Indexed(benchmark::State& state) {
    zoneMoves(state, true);
}
BENCHMARK(BM_ZoneCrossing_Plain);
BENCHMARK(BM_ZoneCrossing_Indexed);

} // namespace
