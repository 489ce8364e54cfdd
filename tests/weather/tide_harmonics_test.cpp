#include "core/datetime.h"
#include "weather/tide_harmonics.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

using namespace navorel;

namespace {

constexpr double kDeg = 0.017453292519943295;

// One station block of a Harmonics file with the given ten amplitudes and phases.
std::string block(const std::string& name, const std::string& amplitudes, const std::string& phases,
                  const std::string& z0 = "150") {
    return name + "\n41.5 -70.5\n0\n" + z0 + "\n" + amplitudes + "\n" + phases + "\n";
}

// The astronomical arguments at day number t (degrees), for sums written out by hand.
struct Args {
    double T, s, h, p, n;
};
Args argumentsAt(double t) {
    return {360.0 * (t - std::floor(t)), 13.17639673 * t + 78.16, 0.98564734 * t + 279.82,
            0.11140408 * t + 349.5, 0.05295392 * t + 208.1};
}

} // namespace

TEST(tideHarmonicsTest, onlyM2GivesM2L2AndTheM2NodalTerm) {
    TideHarmonics tides;
    ASSERT_TRUE(
        tides.parseHarmonics(block("solo", "0 0 0 0 1000 0 0 0 0 0", "0 0 0 0 40 0 0 0 0 0")));
    const TideStation& s = tides.stations()[0];
    EXPECT_EQ(s.name, "SOLO");
    EXPECT_FLOAT_EQ(s.z0, 1.5f);
    for (int k = 0; k < kTideConstituents; ++k) {
        const float expected = k == 7    ? 1000
                               : k == 13 ? 1000 / -35.0f
                               : k == 16 ? 1000 / -27.0f
                                         : 0;
        EXPECT_FLOAT_EQ(s.amplitude[k], expected) << "constituent " << k;
    }
    EXPECT_FLOAT_EQ(s.phase[13], 40);
    EXPECT_FLOAT_EQ(s.phase[16], 40);
    EXPECT_NEAR(s.rangeScale, (1000 - 1000 / 35.0 - 1000 / 27.0) / 5, 1e-3);
    for (double t : {0.0, 16953.3, 17332.71}) {
        const Args a = argumentsAt(t);
        const double m2 = 2 * a.T - 2 * a.s + 2 * a.h;
        const double l2 = 2 * a.T - a.s + 2 * a.h - a.p;
        const double m2n = m2 - a.n;
        const double expected = 1.5 + 0.001 * (1000 * std::cos((m2 - 40) * kDeg) -
                                               1000 / 35.0 * std::cos((l2 - 40) * kDeg) -
                                               1000 / 27.0 * std::cos((m2n - 40) * kDeg));
        EXPECT_NEAR(tides.height(0, t), expected, 1e-6) << t;
    }
}

TEST(tideHarmonicsTest, onlyS2GivesS2K2T2AndTheK2NodalTerm) {
    TideHarmonics tides;
    ASSERT_TRUE(
        tides.parseHarmonics(block("solo", "0 0 0 0 0 0 500 0 0 0", "0 0 0 0 0 0 300 0 0 0", "0")));
    const TideStation& s = tides.stations()[0];
    for (int k = 0; k < kTideConstituents; ++k)
        if (k != 9 && k != 14 && k != 15 && k != 17) {
            EXPECT_EQ(s.amplitude[k], 0) << k;
        }
    EXPECT_FLOAT_EQ(s.amplitude[14], 500 / 3.7f);
    EXPECT_FLOAT_EQ(s.amplitude[15], 500 / 17.0f);
    EXPECT_FLOAT_EQ(s.phase[15], 300 - 283);
    EXPECT_FLOAT_EQ(s.amplitude[17], 500 / 12.0f);
    const double t = 17000.4;
    const Args a = argumentsAt(t);
    const double expected = 0.001 * (500 * std::cos((2 * a.T - 300) * kDeg) +
                                     500 / 3.7 * std::cos((2 * a.T + 2 * a.h - 300) * kDeg) +
                                     500 / 17.0 * std::cos((2 * a.T - a.h - 17) * kDeg) +
                                     500 / 12.0 * std::cos((2 * a.T + 2 * a.h + a.n - 300) * kDeg));
    EXPECT_NEAR(tides.height(0, t), expected, 1e-6);
}

TEST(tideHarmonicsTest, diurnalTermsCarryTheirQuarterTurns) {
    // K1 alone: K1 at T + h + 90, P1 (amplitude / -3) at T - h + 90, K1 nodal with +N'.
    TideHarmonics tides;
    ASSERT_TRUE(
        tides.parseHarmonics(block("k", "0 300 0 0 0 0 0 0 0 0", "0 10 0 0 0 0 0 0 0 0", "0")));
    const double t = 16000.25;
    const Args a = argumentsAt(t);
    const double expected = 0.001 * (300 * std::cos((a.T + a.h + 90 - 10) * kDeg) -
                                     100 * std::cos((a.T - a.h + 90 - 10) * kDeg) +
                                     300 / 7.4 * std::cos((a.T + a.h + a.n + 90 - 10) * kDeg));
    EXPECT_NEAR(tides.height(0, t), expected, 1e-6);
}

TEST(tideHarmonicsTest, fileLayout) {
    TideHarmonics tides;
    // Comments and empty lines between blocks are skipped; an unfinished block is dropped;
    // the time offset moves the whole curve; long number lines are read whole.
    const std::string text =
        "# demo\n\n" + block("first", "0 0 0 0 1000 0 0 0 0 0", "0 0 0 0 0 0 0 0 0 0") +
        "# between\n" +
        block("Second", "12.5 1234.5 1234.5 1234.5 1234.5 1234.5 1234.5 1234.5 1234.5 1234.5",
              "359.99 359.99 359.99 359.99 359.99 359.99 359.99 359.99 359.99 9") +
        "third\n1 2\n";
    ASSERT_TRUE(tides.parseHarmonics(text));
    ASSERT_EQ(tides.stationCount(), 2);
    EXPECT_EQ(tides.findStation("SECOND"), 1);
    EXPECT_EQ(tides.findStation("THIRD"), -1);
    EXPECT_FLOAT_EQ(tides.stations()[1].amplitude[20], 1234.5f);
    EXPECT_FLOAT_EQ(tides.stations()[1].phase[20], 9);
    TideHarmonics shifted;
    ASSERT_TRUE(
        shifted.parseHarmonics("late\n0 0\n2\n150\n0 0 0 0 1000 0 0 0 0 0\n0 0 0 0 0 0 0 0 0 0\n"));
    EXPECT_NEAR(shifted.height(0, 17000), tides.height(0, 17000 + 2 / 24.0), 1e-9);
    EXPECT_FALSE(TideHarmonics().parseHarmonics("# nothing\n\n"));
    EXPECT_EQ(tides.height(5, 17000), 0);
}

TEST(tideHarmonicsTest, harmonicStateAroundAnM2Tide) {
    TideHarmonics tides;
    ASSERT_TRUE(tides.parseHarmonics(block("m2", "0 0 0 0 1000 0 0 0 0 0", "0 0 0 0 0 0 0 0 0 0")));
    const std::vector<TideEvent> events = tides.extremes(0, 17000, 17002);
    ASSERT_GE(events.size(), 7u);
    for (std::size_t i = 1; i < events.size(); ++i) {
        EXPECT_NE(events[i].high, events[i - 1].high);
        // A semidiurnal tide: about 6 h 12 min between extremes.
        EXPECT_NEAR((events[i].time - events[i - 1].time) * 24, 6.21, 0.1);
    }
    const TideEvent& hw = events[1].high ? events[1] : events[2];
    // One hour before high water: rising, between the low water before it and this high water.
    const TideState before = tides.harmonicState(0, hw.time - 1 / 24.0);
    ASSERT_TRUE(before.valid);
    EXPECT_TRUE(before.rising);
    EXPECT_FALSE(before.previous.high);
    EXPECT_NEAR(before.next.time, hw.time, 1.5 / 1440);
    EXPECT_NEAR(before.hoursFromHigh, -1, 0.03);
    EXPECT_GT(before.hoursFromLow, 4);
    // Coefficient = (H - Z0) * 2 * 100 * 120 / S.
    EXPECT_NEAR(before.coefficient,
                (before.next.height - 1.5) * 24000 / tides.stations()[0].rangeScale, 1e-3);
    const TideState after = tides.harmonicState(0, hw.time + 2 / 24.0);
    EXPECT_FALSE(after.rising);
    EXPECT_TRUE(after.previous.high);
    EXPECT_NEAR(after.hoursFromHigh, 2, 0.03);
    EXPECT_LT(after.hoursFromLow, -3);
}

TEST(tideHarmonicsTest, flatStationHasNoState) {
    TideHarmonics tides;
    ASSERT_TRUE(tides.parseHarmonics(block("flat", "0 0 0 0 0 0 0 0 0 0", "0 0 0 0 0 0 0 0 0 0")));
    EXPECT_FALSE(tides.harmonicState(0, 17000).valid);
    EXPECT_TRUE(tides.extremes(0, 17000, 17001).empty());
    // A station without semidiurnal constants gets coefficient 0, not infinity.
    ASSERT_TRUE(tides.parseHarmonics(block("k1", "0 300 0 0 0 0 0 0 0 0", "0 0 0 0 0 0 0 0 0 0")));
    const TideState s = tides.harmonicState(0, 17000);
    ASSERT_TRUE(s.valid);
    EXPECT_EQ(s.coefficient, 0);
}

namespace {

TideHarmonics tablesFixture() {
    TideHarmonics tides;
    tides.parseHarmonics(block("port", "0 0 0 0 1000 0 0 0 0 0", "0 0 0 0 0 0 0 0 0 0"));
    // Day 17000: low at 02:00, high at 08:00, low at 14:00, high at 20:00; day 17001 holds
    // one low at 02:00 and no closing day line.
    tides.parseTable(0, "17000\n0 0.083333333 0.2 60\n1 0.333333333 2.8 70\n"
                        "0 0.583333333 0.3 80\n1 0.833333333 2.9 90\n17001\n"
                        "0 0.083333333 0.25 95\n");
    return tides;
}

} // namespace

TEST(tideTablesTest, stateFromTheTables) {
    const TideHarmonics tides = tablesFixture();
    ASSERT_TRUE(tides.tablesComplete());
    const double hw = 17000 + 8 / 24.0;
    // One hour before a high water: hours from high water -1.
    TableState s = tides.tableState(0, hw - 1 / 24.0);
    ASSERT_TRUE(s.fromTables);
    EXPECT_TRUE(s.nextHigh);
    EXPECT_NEAR(s.hoursFromHigh, -1, 1e-6);
    EXPECT_NEAR(s.hoursFromLow, 5, 1e-6);
    EXPECT_FLOAT_EQ(s.coefficient, 60); // of the previous event
    // An event exactly at t is the previous one.
    s = tides.tableState(0, 17000 + 0.333333333);
    EXPECT_FALSE(s.nextHigh);
    EXPECT_NEAR(s.hoursFromHigh, 0, 1e-6);
    EXPECT_NEAR(s.hoursFromLow, -6, 1e-6);
    EXPECT_FLOAT_EQ(s.coefficient, 70);
    // After the day's last event the next one is the first of the following day; the events
    // after the last day line count.
    s = tides.tableState(0, 17000 + 23 / 24.0);
    ASSERT_TRUE(s.fromTables);
    EXPECT_FALSE(s.nextHigh);
    EXPECT_NEAR(s.hoursFromLow, -3, 1e-6);
    EXPECT_NEAR(s.hoursFromHigh, 3, 1e-6);
    EXPECT_FLOAT_EQ(s.coefficient, 90);
    // Before the day's first event the previous one is the last of the day before.
    s = tides.tableState(0, 17001 + 1 / 24.0);
    ASSERT_TRUE(s.fromTables);
    EXPECT_FALSE(s.nextHigh);
    EXPECT_NEAR(s.hoursFromLow, -1, 1e-6);
    EXPECT_NEAR(s.hoursFromHigh, 5, 1e-6);
    EXPECT_FLOAT_EQ(s.coefficient, 90);
}

TEST(tideTablesTest, timesOutsideTheTablesUseTheHarmonicState) {
    const TideHarmonics tides = tablesFixture();
    for (double t : {16000.5, 16999.9, 17001.5, 18000.0, -5.0}) {
        const TableState s = tides.tableState(0, t);
        EXPECT_FALSE(s.fromTables) << t;
        const TideState h = tides.harmonicState(0, t);
        ASSERT_TRUE(s.valid);
        EXPECT_DOUBLE_EQ(s.hoursFromHigh, h.hoursFromHigh);
        EXPECT_FLOAT_EQ(s.coefficient, h.coefficient);
    }
    EXPECT_FALSE(tides.tableState(7, 17000.5).valid);
}

TEST(tideTablesTest, malformedTablesAreClipped) {
    TideHarmonics tides;
    tides.parseHarmonics(block("port", "0 0 0 0 1000 0 0 0 0 0", "0 0 0 0 0 0 0 0 0 0"));
    // Events before any day line, absurd fractions and days far away are ignored.
    EXPECT_TRUE(tides.parseTable(0, "1 0.5 2 3\n17000\n1 7.5 2 3\n0 nan 1 1\nx\n-4 0.2 1 1\n"
                                    "0 0.5 1.25 40\n99999999\n1 0.5 1 1\n43000\n1 0.1 1 1\n"));
    const TideStation& s = tides.stations()[0];
    EXPECT_EQ(s.firstDay, 17000);
    EXPECT_LE(s.days.size(), 40000u);
    ASSERT_FALSE(s.days.empty());
    ASSERT_EQ(s.days[0].size(), 1u);
    EXPECT_FLOAT_EQ(s.days[0][0].height, 1.25f);
    EXPECT_FALSE(tides.parseTable(0, "0 0.5 1 1\n"));
    EXPECT_FALSE(tides.parseTable(3, "17000\n"));
}

TEST(tideTablesTest, tablesAreMatchedToStationsByName) {
    namespace fs = std::filesystem;
    const fs::path dir =
        fs::temp_directory_path() / ("navorel-tides-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    auto write = [&dir](const std::string& name, const std::string& text) {
        std::ofstream(dir / name) << text;
    };
    write("Harmonics", block("Bar Harbor", "0 0 0 0 1000 0 0 0 0 0", "0 0 0 0 0 0 0 0 0 0") +
                           block("AAA", "0 0 0 0 900 0 0 0 0 0", "0 0 0 0 0 0 0 0 0 0"));
    // Listing order (sorted: AAA.tid, BAR_HARBOR.tid) differs from the Harmonics order; a
    // README and a leftover temporary file are no tables.
    write("bar_harbor.tid", "17000\n1 0.5 3.0 80\n");
    write("AAA.tid", "17000\n0 0.25 0.1 50\n");
    write("README.md", "17000\n1 0.9 9 9\n");
    write("AAA.tid.tmp", "17000\n1 0.9 9 9\n");
    TideHarmonics tides;
    ASSERT_TRUE(tides.load(dir.string()));
    EXPECT_TRUE(tides.tablesComplete());
    EXPECT_FLOAT_EQ(tides.stations()[0].days[0][0].height, 3.0f);
    EXPECT_FLOAT_EQ(tides.stations()[1].days[0][0].height, 0.1f);
    // Only the tables asked for.
    EXPECT_FALSE(tides.loadTables(dir.string(), {false, true}));
    EXPECT_TRUE(tides.stations()[0].days.empty());
    EXPECT_FLOAT_EQ(tides.stations()[1].days[0][0].height, 0.1f);
    fs::remove(dir / "AAA.tid");
    fs::remove(dir / "AAA.tid.tmp");
    EXPECT_FALSE(tides.loadTables(dir.string()));
    fs::remove_all(dir);
}

TEST(tideTablesTest, writtenTablesReadBack) {
    TideHarmonics tides;
    tides.parseHarmonics(
        block("port", "0 100 80 0 1000 200 300 0 0 0", "0 10 20 0 30 40 50 0 0 0"));
    const std::vector<TideEvent> events = tides.extremes(0, 17000, 17003);
    const std::string path = (std::filesystem::temp_directory_path() /
                              ("navorel-table-" + std::to_string(::getpid()) + ".tid"))
                                 .string();
    std::string error;
    ASSERT_TRUE(writeTideTable(path, events, error)) << error;
    std::ifstream in(path);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::filesystem::remove(path);
    ASSERT_TRUE(tides.parseTable(0, text));
    // The table state agrees with the harmonic state inside the tables.
    for (double t = 17000.3; t < 17002.5; t += 0.17) {
        const TableState s = tides.tableState(0, t);
        const TideState h = tides.harmonicState(0, t);
        ASSERT_TRUE(s.fromTables);
        EXPECT_NEAR(s.hoursFromHigh, h.hoursFromHigh, 0.02) << t; // both to the minute
        EXPECT_NEAR(s.hoursFromLow, h.hoursFromLow, 0.02) << t;
        EXPECT_NEAR(s.coefficient, h.coefficient, 0.51) << t;
    }
}
