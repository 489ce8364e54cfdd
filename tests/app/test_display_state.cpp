// The record, display time and routing step the chart shows, as the keys, the clock and the
// time bar move them over the demo forecast.
#include "app/display_state.h"

#include "weather/color_table.h"
#include "weather/wind_store.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace navorel;
using navorel::app::DisplayState;

namespace {

const WindStore& demoStore() {
    static const WindStore store = [] {
        WindStore s;
        s.loadGrib(NAVOREL_SOURCE_DIR "/dist/Gribs/Demo.grb",
                   buildRamp(builtinWindScale(), kDefaultSeaColor));
        return s;
    }();
    return store;
}

constexpr double kMinute = 1.0 / 1440;

} // namespace

TEST(DisplayState, RecordIndicesAreClampedToTheForecast) {
    WindStore wind = demoStore();
    const int count = static_cast<int>(wind.frames().size());
    ASSERT_GT(count, 3);
    struct Case {
        int asked, shown;
    } cases[] = {{-5, 0}, {0, 0}, {2, 2}, {count - 1, count - 1}, {count + 4, count - 1}};
    for (const Case& c : cases) {
        DisplayState s;
        s.interpolated = true;
        app::selectRecord(s, wind, c.asked);
        EXPECT_EQ(s.record, c.shown) << c.asked;
        EXPECT_EQ(wind.currentFrame(), c.shown) << c.asked;
        EXPECT_EQ(s.time, wind.frameTimes()[static_cast<std::size_t>(c.shown)]) << c.asked;
        EXPECT_FALSE(s.interpolated) << c.asked;
    }
    // An empty forecast changes nothing.
    WindStore none;
    DisplayState s;
    EXPECT_FALSE(app::selectRecord(s, none, 3));
    EXPECT_EQ(s.record, 0);
}

TEST(DisplayState, MainRecordsAreTheRecordsDecodedFromTheFile) {
    WindStore wind = demoStore();
    const auto& frames = wind.frames();
    const int count = static_cast<int>(frames.size());
    for (int direction : {1, -1}) {
        DisplayState s;
        app::selectRecord(s, wind, direction > 0 ? 0 : count - 1);
        int moves = 0;
        for (int from = s.record; app::stepMainRecord(s, wind, direction); from = s.record) {
            ++moves;
            EXPECT_TRUE(frames[static_cast<std::size_t>(s.record)].decoded) << s.record;
            for (int k = from + direction; k != s.record; k += direction)
                EXPECT_FALSE(frames[static_cast<std::size_t>(k)].decoded) << "skipped " << k;
        }
        EXPECT_GT(moves, 0);
        // The last main record in that direction stays shown.
        EXPECT_TRUE(frames[static_cast<std::size_t>(s.record)].decoded);
        EXPECT_EQ(wind.currentFrame(), s.record);
    }
}

TEST(DisplayState, TenMinuteMarksStrictlyBeforeOrAfterTheMinute) {
    const double day = std::floor(demoStore().frameTimes().front());
    struct Case {
        int hour, minute, second, direction, wantHour, wantMinute;
    } cases[] = {
        {10, 0, 0, -1, 9, 50},   {10, 0, 0, 1, 10, 10},    {10, 53, 0, -1, 10, 50},
        {10, 50, 0, -1, 10, 40}, {10, 50, 0, 1, 11, 0},    {10, 59, 0, 1, 11, 0},
        {10, 55, 0, 1, 11, 0},   {10, 50, 40, -1, 10, 40}, {10, 59, 59, 1, 11, 0},
        {0, 0, 0, -1, -1, 50},
    };
    for (const Case& c : cases) {
        WindStore wind = demoStore();
        DisplayState s;
        app::setDisplayTime(s, wind, day + ((c.hour * 60 + c.minute) * 60 + c.second) / 86400.0);
        app::stepTenMinutes(s, wind, c.direction);
        const double want = day + (c.wantHour * 60 + c.wantMinute) * kMinute;
        EXPECT_NEAR(s.time, want, 1e-9)
            << c.hour << ":" << c.minute << ":" << c.second << " by " << c.direction;
        EXPECT_TRUE(s.interpolated);
        // The record shown is the last one at or before the time (the first before them all).
        const auto& times = wind.frameTimes();
        int record = 0;
        for (std::size_t k = 0; k < times.size(); ++k)
            if (times[k] <= s.time) record = static_cast<int>(k);
        EXPECT_EQ(s.record, record);
        EXPECT_EQ(wind.currentFrame(), record);
    }
}

TEST(DisplayState, RoutingStepsAreClampedAndTheDisplayTimeFollowsThem) {
    WindStore wind = demoStore();
    const double t0 = wind.frameTimes().front();
    std::vector<IsochronePoint> route(5);
    for (std::size_t i = 0; i < route.size(); ++i)
        route[i].time.dayNumber = t0 + (static_cast<double>(i) * 95 + 7) * kMinute;
    struct Case {
        int asked, step;
    } cases[] = {{-3, 0}, {0, 0}, {2, 2}, {4, 4}, {99, 4}};
    for (const Case& c : cases) {
        DisplayState s;
        app::selectStep(s, wind, route, c.asked);
        EXPECT_EQ(s.step, c.step) << c.asked;
        EXPECT_DOUBLE_EQ(s.time, route[static_cast<std::size_t>(c.step)].time.dayNumber);
        EXPECT_TRUE(s.interpolated);
    }
    // The same step chosen again after the keys moved the record brings its time back.
    DisplayState s;
    app::selectStep(s, wind, route, 3);
    app::selectRecord(s, wind, 0);
    EXPECT_TRUE(app::selectStep(s, wind, route, 3));
    EXPECT_DOUBLE_EQ(s.time, route[3].time.dayNumber);
    EXPECT_EQ(wind.currentFrame(), s.record);
    // Stepping moves from the step shown; no route clears it.
    EXPECT_TRUE(app::stepBy(s, wind, route, -2));
    EXPECT_EQ(s.step, 1);
    EXPECT_TRUE(app::selectStep(s, wind, {}, 2));
    EXPECT_EQ(s.step, -1);
}
