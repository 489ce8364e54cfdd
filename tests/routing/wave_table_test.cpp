// The boat's speed in waves: the table, the sea-state factor it gives the point advance, and
// the wave height limit.
#include "core/texts.h"
#include "routing/point_advance.h"
#include "routing/routing_run.h"
#include "routing/wave_table.h"

#include "routing_fixtures.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

using namespace navorel;
using namespace navorel::test;

namespace {

// Heights 0, 2, 4 m by angles 0, 90, 180.
const char* kTable = "# test\n"
                     "Hs\\TWA,0,90,180\n"
                     "0,100,100,100\n"
                     "2,80,90,100\n"
                     "4,40,70,90\n";

WaveTable table() {
    WaveTable t;
    std::string error;
    EXPECT_TRUE(parseWaveTable(kTable, t, error)) << error;
    return t;
}

// The same sea everywhere and always.
class ConstantSea : public WaveSource {
  public:
    ConstantSea(float height, float from, bool direction = true)
        : height_(height), from_(from), direction_(direction) {}
    WaveSample waveAt(float, float, double) const override {
        WaveSample w;
        w.found = true;
        w.height = height_;
        w.hasDirection = direction_;
        w.direction = from_;
        return w;
    }

  private:
    float height_, from_;
    bool direction_;
};

} // namespace

TEST(WaveTable, BilinearInsideAndEdgeValuesBeyond) {
    const WaveTable t = table();
    struct Case {
        double height, angle, percent;
        const char* what;
    } cases[] = {
        {0, 0, 100, "first row"},
        {2, 90, 90, "a table point"},
        {1, 0, 90, "half way between rows"},
        {2, 45, 85, "half way between columns"},
        {3, 135, 87.5, "inside a cell: (90 + 100 + 70 + 90) / 4"},
        {4, 180, 90, "last corner"},
        {6, 0, 40, "above the highest row: the last row"},
        {-1, 90, 100, "below the first row: the first row"},
        {4, 270, 70, "an angle past 180 folds: 270 is 90"},
        {2, -45, 85, "a negative angle folds: -45 is 45"},
        {2, 540, 100, "540 is 180"},
    };
    for (const Case& c : cases)
        EXPECT_NEAR(wavePercent(t, c.height, c.angle), c.percent, 1e-9) << c.what;
    EXPECT_EQ(wavePercent(WaveTable{}, 3, 0), 100.0);
}

TEST(WaveTable, RefusesMalformedTables) {
    const struct {
        const char* text;
        const char* error;
    } cases[] = {
        {"Hs,0,90\n0,100\n", "line 2: a height and 2 percentages expected"},
        {"Hs,0,90\n2,100,100\n1,90,90\n", "line 3: the heights must increase"},
        {"Hs,90,0\n0,100,100\n", "line 1: the angles must increase from 0 to 180"},
        {"Hs,0,200\n0,100,100\n", "line 1: the angles must increase from 0 to 180"},
        {"Hs,0,90\n0,100,x\n", "line 2: not a row of numbers"},
        {"Hs,0,90\n", "no row of heights"},
    };
    for (const auto& c : cases) {
        WaveTable t = table();
        std::string error;
        EXPECT_FALSE(parseWaveTable(c.text, t, error)) << c.text;
        EXPECT_EQ(error, c.error) << c.text;
        EXPECT_EQ(t.heights.size(), 3u) << "a refused table leaves the one in place";
    }
}

TEST(WaveTable, ShippedTableLoads) {
    WaveTable t;
    std::string error;
    ASSERT_TRUE(loadWaveTable(std::string(NAVOREL_SOURCE_DIR) + "/dist/Polars/Waves.csv", t, error))
        << error;
    EXPECT_EQ(wavePercent(t, 0, 0), 100.0);
    // Head seas cost more than following seas, and higher seas more than lower ones.
    EXPECT_LT(wavePercent(t, 3, 0), wavePercent(t, 3, 180));
    EXPECT_LT(wavePercent(t, 4, 45), wavePercent(t, 2, 45));
}

namespace {

struct Sea {
    RoutingParameters params = quietParameters();
    Polar polar = parseTestPolar(kFlatPolar); // 6 kt everywhere
    ConstantWind wind{0.0f, 12.0f};           // from the north
    WaveTable waveTable = table();
    const WaveSource* waves = nullptr;

    RoutingInputs inputs() {
        RoutingInputs in;
        in.params = &params;
        in.polar = &polar;
        in.wind = &wind;
        in.waves = waves;
        in.waveTable = waves ? &waveTable : nullptr;
        return in;
    }
    // Boat speed (knots) steering `heading` for ten minutes.
    double speed(double heading) {
        const IsochronePoint start = departureRecord(fromDayNumber(16000.0), 0, 45);
        const IsochronePoint p =
            advancePoint(inputs(), start, GeoPoint{0, 50}, heading, 600, false);
        EXPECT_EQ(p.valid, 1);
        return p.boatSpeed * kMsToKnot;
    }
};

} // namespace

TEST(WaveSeaState, TableGivesTheFactorWhereWavesAreKnown) {
    const ConstantSea sea(2.0f, 0.0f); // 2 m from the north
    const struct {
        double heading, percent;
        const char* what;
    } cases[] = {
        {0, 80, "seas from dead ahead"},   {90, 90, "seas on the beam"},
        {180, 100, "seas from astern"},    {45, 85, "seas 45 degrees on the bow"},
        {315, 85, "and on the other bow"},
    };
    for (const auto& c : cases) {
        Sea s;
        s.params.seaState = true;
        s.params.seaStateUp = 50; // the fixed percentages do not count where waves are known
        s.params.seaStateDown = 50;
        s.waves = &sea;
        EXPECT_NEAR(s.speed(c.heading), 6.0 * c.percent / 100.0, 1e-4) << c.what;
    }
    // Without a direction in the forecast the waves come from where the wind does.
    const ConstantSea noDirection(2.0f, 180.0f, false);
    Sea s;
    s.params.seaState = true;
    s.waves = &noDirection;
    EXPECT_NEAR(s.speed(0), 6.0 * 0.8, 1e-4);
}

TEST(WaveSeaState, FixedPercentagesWithoutWavesOrWithSeaStateOff) {
    const ConstantSea sea(4.0f, 0.0f);
    Sea withWaves, without;
    withWaves.waves = &sea;
    // Sea state off: the waves change nothing.
    EXPECT_EQ(withWaves.speed(0), without.speed(0));
    // Sea state on without a wave forecast: the fixed percentages, as before.
    without.params.seaState = true;
    without.params.seaStateUp = 80;
    EXPECT_NEAR(without.speed(0), 6.0 * 0.8, 1e-4);
}

TEST(WaveMax, RefusesExactlyThePointsAboveTheLimit) {
    const struct {
        float height;
        bool accepted;
    } cases[] = {{2.9f, true}, {3.0f, true}, {3.01f, false}, {6.0f, false}};
    for (const auto& c : cases) {
        const ConstantSea sea(c.height, 0.0f);
        Sea s;
        s.params.waveMax = 3.0f;
        s.waves = &sea;
        const IsochronePoint start = departureRecord(fromDayNumber(16000.0), 0, 45);
        const IsochronePoint p = advancePoint(s.inputs(), start, GeoPoint{0, 50}, 90.0, 600, false);
        EXPECT_EQ(pointAcceptable(s.inputs(), p), c.accepted) << c.height << " m";
        // No limit (0), or no wave forecast: every height passes.
        s.params.waveMax = 0;
        EXPECT_TRUE(pointAcceptable(s.inputs(), p)) << c.height << " m";
        s.params.waveMax = 3.0f;
        s.waves = nullptr;
        EXPECT_TRUE(pointAcceptable(s.inputs(), p)) << c.height << " m";
    }
}

namespace {

class NumberTexts : public TextProvider {
  public:
    std::string text(int number) const override { return "#" + std::to_string(number); }
};

} // namespace

// The steps of a run with the sea met: the current where there was one, the wave height where
// the forecast had one, and no wave column without a wave forecast.
TEST(SeaSteps, CurrentAndWaveHeightOfEachStep) {
    RunSummary run;
    IsochronePoint a = departureRecord(fromDayNumber(16000.0), -66.0f, 38.0f);
    a.parentTime = a.time;
    a.parentLon = -66.0f;
    a.parentLat = 38.0f;
    a.currentDir = 75.4f;
    a.currentSpeed = static_cast<float>(2.5 * kKnotToMs);
    IsochronePoint b = a;
    b.currentSpeed = 0;
    run.route = {a, b};
    const NumberTexts texts;
    SeaStepsTable t = seaStepsTable(run, texts);
    EXPECT_EQ(t.titles, (std::vector<std::string>{"#676", "#677", "#678"}));
    ASSERT_EQ(t.rows.size(), 2u);
    EXPECT_EQ(t.rows[0][2], "75\xC2\xB0 2.5 kt");
    EXPECT_EQ(t.rows[1][2], "-");
    run.waveHeights = {3.04f, std::nanf("")};
    t = seaStepsTable(run, texts);
    EXPECT_EQ(t.titles.back(), "#673");
    EXPECT_EQ(t.rows[0][3], "3.0 m");
    EXPECT_EQ(t.rows[1][3], "-");
    double mean = 0, largest = 0;
    ASSERT_TRUE(waveHeightTotals(run, mean, largest));
    EXPECT_NEAR(largest, 3.04, 1e-6);
}
