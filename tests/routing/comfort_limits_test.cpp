// The comfort and safety limits of a candidate point: the strongest true wind upwind and
// running, and the strongest gust where the forecast carries one.
#include "routing/point_advance.h"
#include "routing/routing_run.h"

#include "routing_fixtures.h"
#include "weather/wind_sampler.h"
#include "weather/wind_store.h"

#include <gtest/gtest.h>

#include <cstdint>

using namespace navorel;
using namespace navorel::test;

namespace {

struct Boat {
    RoutingParameters params = quietParameters();
    Polar polar = parseTestPolar(kFlatPolar);
    const WindField* wind = nullptr;
    RunControl control;

    RoutingInputs inputs() {
        RoutingInputs in;
        in.params = &params;
        in.polar = &polar;
        in.wind = wind;
        in.control = &control;
        return in;
    }
};

IsochronePoint startAt(float lon, float lat, double day = 16000.0) {
    return departureRecord(fromDayNumber(day), lon, lat);
}

const std::string kGust = std::string(NAVOREL_TEST_DATA) + "/grib/g2_gust.grb2";
const std::string kNoGust = std::string(NAVOREL_TEST_DATA) + "/grib/g2_nogust.grb2";

WindStore loadStore(const std::string& path) {
    WindStore store;
    std::string error;
    EXPECT_EQ(store.loadGrib(path, WindColorRamp{}, &error), GribLoadStatus::Ok) << error;
    return store;
}

} // namespace

TEST(ComfortLimits, UpwindAndRunningLimitsRefuseOnlyTheirAngles) {
    // 20 kt from the north everywhere; the flat polar sails 40 to 180 degrees off the wind.
    const ConstantWind north{0.0f, 20.0f};
    struct Case {
        const char* what;
        double heading;
        int upwind, downwind;
        bool accepted;
    };
    const Case cases[] = {
        {"no limits: beating", 0, 0, 0, true},
        {"beating (raised to 40 degrees) over the upwind limit", 0, 18, 0, false},
        {"close hauled at 55 degrees", 55, 18, 0, false},
        {"reaching at 65 degrees", 65, 18, 0, true},
        {"beam reach", 90, 18, 18, true},
        {"broad reach at 145 degrees", 145, 0, 18, true},
        {"running at 155 degrees", 155, 0, 18, false},
        {"dead run", 180, 0, 18, false},
        {"dead run, upwind limit only", 180, 18, 0, true},
        {"beating at exactly the limit", 0, 20, 0, true},
        {"running at exactly the limit", 180, 0, 20, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Boat b;
        b.wind = &north;
        b.params.windMaxUpwind = c.upwind;
        b.params.windMaxDownwind = c.downwind;
        const RoutingInputs in = b.inputs();
        const IsochronePoint p =
            advancePoint(in, startAt(0, 45), GeoPoint{0, 50}, c.heading, 600, false);
        ASSERT_EQ(p.valid, 1);
        EXPECT_EQ(windWithinLimits(in, p), c.accepted) << "twa " << p.twa;
        EXPECT_EQ(pointAcceptable(in, p), c.accepted);
        EXPECT_EQ(b.control.status.load(), c.accepted ? 0 : 1);
    }
}

TEST(ComfortLimits, AnUpwindLimitStopsARouteToWindwardButNotOneAcrossTheWind) {
    // Wind 20 kt from the north; the upwind limit at 18 kt forbids every beating step, so a
    // destination dead to windward cannot be reached, while one to the east still is.
    struct Case {
        GeoPoint to;
        int upwindLimit;
        bool arrives;
    };
    const Case cases[] = {
        {{-70.0f, 42.3f}, 0, true},
        {{-70.0f, 42.3f}, 18, false},
        {{-69.6f, 42.0f}, 18, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.to.lon << " " << c.to.lat << " " << c.upwindLimit);
        RoutingParameters params = quietParameters();
        params.uniqueWind = true;
        params.method = 1;
        params.scanPolar = false;
        params.windMaxUpwind = c.upwindLimit;
        const Polar polar = parseTestPolar(kFlatPolar);
        const ConstantWind wind{0.0f, 20.0f};
        UserRoute route;
        route.waypoints = {{-70.0f, 42.0f}, c.to};
        recompute(route, params, nullptr);
        RunSetup setup;
        setup.params = &params;
        setup.polar = &polar;
        setup.wind = &wind;
        setup.route = &route;
        setup.start = fromDayNumber(dayNumber(1, 6, 2026, 0, 0, 0));
        setup.limits.frontsPerLeg = 400;
        const RoutingResult r = runRouting(setup);
        ASSERT_EQ(r.summaries.size(), 1u);
        const bool arrived = r.summaries[0].inProgress && !r.summaries[0].route.empty();
        EXPECT_EQ(arrived, c.arrives);
        EXPECT_FALSE(r.gustsIgnored);
    }
}

TEST(GustField, TheForecastsGustIsReadAndSampledInSpaceAndTime) {
    // g2_gust.grb2: gust 10 + column m/s at 0 h and 20 + column at 6 h, column 0 at 72 W.
    const WindStore store = loadStore(kGust);
    ASSERT_EQ(store.gusts().grids().size(), 2u);
    const double t0 = dayNumber(1, 6, 2026, 0, 0, 0);
    struct Case {
        float lon, lat;
        double hours;
        bool found;
        double metresPerSecond;
    };
    const Case cases[] = {
        {-72, 40, 0, true, 10},    {-68, 44, 0, true, 14},    {-70.5f, 42.5f, 0, true, 11.5},
        {-72, 41, 6, true, 20},    {-70, 41, 3, true, 17},    {-69.5f, 43, 4.5f, true, 20.0},
        {-72, 39.5f, 0, false, 0}, {-67.5f, 42, 0, false, 0}, {-70, 42, 6.5, false, 0},
        {-70, 42, -0.5, false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.lon << " " << c.lat << " +" << c.hours << " h");
        float ms = -1;
        ASSERT_EQ(store.gusts().gustAt(c.lon, c.lat, t0 + c.hours / 24.0, ms), c.found);
        if (c.found) {
            EXPECT_NEAR(ms, c.metresPerSecond, 1e-4);
        }
    }
    RoutingParameters params;
    const StoreWindField wind(store, params);
    EXPECT_TRUE(wind.hasGusts());
    float knots = 0;
    ASSERT_TRUE(wind.gustAt(-72, 40, t0, knots));
    EXPECT_NEAR(knots, 10 * kMsToKnot, 1e-3);
    // The constant wind has no gust.
    params.uniqueWind = true;
    EXPECT_FALSE(wind.hasGusts());
    EXPECT_FALSE(wind.gustAt(-72, 40, t0, knots));
}

TEST(GustField, TheLagMovesTheGustWithTheWind) {
    WindStore store = loadStore(kGust);
    store.applyLag(2); // every frame two hours earlier
    const double t0 = dayNumber(1, 6, 2026, 0, 0, 0);
    float ms = 0;
    EXPECT_FALSE(store.gusts().gustAt(-72, 40, t0 - 3 / 24.0, ms));
    ASSERT_TRUE(store.gusts().gustAt(-72, 40, t0 - 2 / 24.0, ms));
    EXPECT_NEAR(ms, 10, 1e-5);
    EXPECT_EQ(store.gusts().grids().front().time, store.frameTimes().front());
}

TEST(GustField, TheGustLimitRefusesPointsInStrongerGustsOnly) {
    // Wind 5 m/s from the north; gust 10 m/s (19.4 kt) at 72 W, 14 m/s (27.2 kt) at 68 W.
    const WindStore store = loadStore(kGust);
    RoutingParameters windParams;
    const StoreWindField wind(store, windParams);
    const double t0 = dayNumber(1, 6, 2026, 0, 0, 0);
    struct Case {
        float lon;
        int gustMax, variation;
        bool accepted;
    };
    const Case cases[] = {
        {-72, 0, 100, true},  // no limit
        {-72, 20, 100, true}, // 19.4 kt gust
        {-72, 19, 100, false},
        {-68, 27, 100, false}, // 27.2 kt
        {-68, 28, 100, true},
        {-72, 20, 110, false}, // the wind intensity raises the gust too: 21.4 kt
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.lon << " limit " << c.gustMax);
        Boat b;
        b.wind = &wind;
        b.params.gustMax = c.gustMax;
        b.params.variation = c.variation;
        const RoutingInputs in = b.inputs();
        const IsochronePoint p =
            advancePoint(in, startAt(c.lon, 42, t0), GeoPoint{c.lon + 1, 42}, 90.0, 600, false);
        ASSERT_EQ(p.valid, 1);
        EXPECT_EQ(pointAcceptable(in, p), c.accepted);
    }
}

TEST(GustField, AForecastWithoutGustIgnoresTheLimitAndSaysSo) {
    struct Case {
        const std::string* file;
        int gustMax;
        bool ignored, arrives;
    };
    const Case cases[] = {
        {&kNoGust, 5, true, true},  // no gust: the 5 kt limit is not applied
        {&kGust, 5, false, false},  // every gust is above 5 kt: nothing can sail
        {&kGust, 0, false, true},   // no limit
        {&kNoGust, 0, false, true}, // no limit, nothing to say
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(*c.file + " " + std::to_string(c.gustMax));
        const WindStore store = loadStore(*c.file);
        RoutingParameters params = quietParameters();
        params.method = 1;
        params.scanPolar = false;
        params.gustMax = c.gustMax;
        params.engine = false;
        const Polar polar = parseTestPolar(kFlatPolar);
        const StoreWindField wind(store, params);
        UserRoute route;
        route.waypoints = {{-71.0f, 42.0f}, {-70.6f, 42.0f}};
        recompute(route, params, nullptr);
        RunSetup setup;
        setup.params = &params;
        setup.polar = &polar;
        setup.wind = &wind;
        setup.coverage = windCoverage(store);
        setup.route = &route;
        setup.start = fromDayNumber(dayNumber(1, 6, 2026, 0, 0, 0));
        const RoutingResult r = runRouting(setup);
        ASSERT_EQ(r.refusal, RunRefusal::None);
        EXPECT_EQ(r.gustsIgnored, c.ignored);
        EXPECT_EQ(gustLimitNote(r).empty(), !c.ignored);
        ASSERT_EQ(r.summaries.size(), 1u);
        EXPECT_EQ(r.summaries[0].inProgress && r.summaries[0].route.size() > 1, c.arrives);
    }
}
