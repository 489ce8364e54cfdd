#include "weather/wind_sampler.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <limits>
#include <random>
#include <thread>

#include "core/geodesy.h"
#include "routing/routing_parameters.h"
#include "wind_test_support.h"

using namespace navorel;
using namespace navorel::windtest;

namespace {

const WindStore& demo() {
    static const WindStore store = [] {
        WindStore s;
        s.loadGrib(std::string(NAVOREL_SOURCE_DIR) + "/dist/Gribs/Demo.grb", ramp());
        return s;
    }();
    return store;
}

// A one-frame store from u and v values on a 3 x 3 grid at 0..2 E, 40..42 N.
WindStore gridStore(const std::vector<float>& u, const std::vector<float>& v) {
    WindStore store;
    EXPECT_EQ(store.loadRecords({windRecord(true, 0, 0, 3, 3, 0, 40, 1, u),
                                 windRecord(false, 0, 0, 3, 3, 0, 40, 1, v)},
                                ramp()),
              GribLoadStatus::Ok);
    return store;
}

// The frame rule as a plain scan: the first i >= 1 with T[i] >= t gives i - 1.
int frameForTimeByScan(const std::vector<double>& times, double t) {
    if (times.empty() || t < times.front() || t > times.back()) return -1;
    if (times.size() == 1) return 0;
    for (std::size_t i = 1; i < times.size(); ++i)
        if (times[i] >= t) return static_cast<int>(i) - 1;
    return -1;
}

constexpr double kMinute = 1.0 / 1440;

} // namespace

TEST(WindSampler, CompassDirectionOfTheAirsMotion) {
    struct Case {
        float u, v;
        double from;
    };
    // West wind (air moving east) comes from 270, north wind from 0, south wind from 180.
    for (const Case c : {Case{5, 0, 270}, Case{0, -5, 0}, Case{0, 5, 180}, Case{-5, 0, 90}}) {
        const WindStore store = gridStore(std::vector<float>(9, c.u), std::vector<float>(9, c.v));
        const WindSample inside = frameSample(store, 0, 0.5f, 40.5f);
        ASSERT_TRUE(inside.found);
        EXPECT_LT(angleBetween(inside.direction, c.from), 1e-3) << c.u << " " << c.v;
        EXPECT_GE(inside.direction, 0);
        EXPECT_LE(inside.direction, 360);
        EXPECT_NEAR(inside.speed, 5 * kMsToKnot, 1e-4);
        // On the northern edge: the nearest point, in whole degrees.
        const WindSample edge = frameSample(store, 0, 0.5f, 42.0f);
        ASSERT_TRUE(edge.found);
        EXPECT_EQ(edge.direction, static_cast<float>(c.from));
    }
}

TEST(WindSampler, GridPointsAndEdges) {
    std::vector<float> u(9), v(9);
    for (int p = 0; p < 9; ++p) motion(20.0 * p + 3.7, 1.0 + p, u[p], v[p]);
    const WindStore store = gridStore(u, v);
    // On a grid point inside the grid: that point's wind.
    for (const auto& [lon, lat, p] :
         {std::tuple{0.0f, 40.0f, 0}, std::tuple{1.0f, 41.0f, 4}, std::tuple{1.0f, 40.0f, 1}}) {
        const WindSample w = frameSample(store, 0, lon, lat);
        ASSERT_TRUE(w.found);
        EXPECT_NEAR(w.speed, (1.0 + p) * kMsToKnot, 1e-4);
        EXPECT_NEAR(w.direction, 270 - (20.0 * p + 3.7), 1e-3);
    }
    // Northern edge at 0.6 E: nearest point 7, direction truncated to whole degrees.
    WindSample w = frameSample(store, 0, 0.6f, 42.0f);
    ASSERT_TRUE(w.found);
    EXPECT_EQ(w.direction, 270 - 143);
    EXPECT_NEAR(w.speed, 8 * kMsToKnot, 1e-4);
    // Eastern edge at 40.2 N: nearest point 2.
    w = frameSample(store, 0, 2.0f, 40.2f);
    ASSERT_TRUE(w.found);
    EXPECT_EQ(w.direction, 270 - 43);
    // Halfway along the southern row: bilinear blend of points 0 and 1.
    w = frameSample(store, 0, 0.5f, 40.0f);
    ASSERT_TRUE(w.found);
    EXPECT_NEAR(w.speed, 1.5 * kMsToKnot, 1e-4);
    EXPECT_NEAR(w.direction, 270 - 13.7, 1e-3);
    // Outside, or no place at all.
    EXPECT_FALSE(frameSample(store, 0, 2.01f, 41.0f).found);
    EXPECT_FALSE(frameSample(store, 0, 1.0f, 39.99f).found);
    EXPECT_FALSE(frameSample(store, 0, std::nanf(""), 41.0f).found);
    EXPECT_FALSE(frameSample(store, 0, 1.0f, std::nanf("")).found);
    EXPECT_FALSE(frameSample(store, 1, 1.0f, 41.0f).found);
    EXPECT_FALSE(frameSample(store, -1, 1.0f, 41.0f).found);
}

TEST(WindSampler, DirectionsBlendThroughNorth) {
    // Air moving towards 350 degrees in the west column, towards 10 in the others: halfway
    // the motion is 0 (from 270), not 180 (from 90).
    std::vector<float> u(9), v(9);
    for (int p = 0; p < 9; ++p) motion(p % 3 == 0 ? 350 : 10, 5, u[p], v[p]);
    const WindStore store = gridStore(u, v);
    const WindSample w = frameSample(store, 0, 0.5f, 40.5f);
    ASSERT_TRUE(w.found);
    EXPECT_LT(angleBetween(w.direction, 270), 1e-3);

    // The same across two frames in time.
    WindStore timed;
    std::vector<float> u0(9), v0(9), u1(9), v1(9);
    for (int p = 0; p < 9; ++p) {
        motion(265, 5, u0[p], v0[p]); // from 5
        motion(285, 5, u1[p], v1[p]); // from 345
    }
    ASSERT_EQ(timed.loadRecords({windRecord(true, 0, 0, 3, 3, 0, 40, 1, u0),
                                 windRecord(false, 0, 0, 3, 3, 0, 40, 1, v0),
                                 windRecord(true, 0, 1, 3, 3, 0, 40, 1, u1),
                                 windRecord(false, 0, 1, 3, 3, 0, 40, 1, v1)},
                                ramp()),
              GribLoadStatus::Ok);
    const RoutingParameters parameters;
    const double t = timed.frameTimes()[0] + 0.25 / 24;
    const WindSample m = windAt(timed, parameters, 0.5f, 40.5f, t);
    ASSERT_TRUE(m.found);
    EXPECT_LT(angleBetween(m.direction, 0.75 * (5 + 360) + 0.25 * 345), 1e-3); // 360: north
}

TEST(WindSampler, MissingPointsAreNotFound) {
    WindStore store;
    ASSERT_EQ(store.loadGrib(windData("steps.grb"), ramp()), GribLoadStatus::Ok);
    // The south-west point is missing from +1 to +5 h.
    EXPECT_TRUE(frameSample(store, 0, 0.5f, 40.5f).found);
    EXPECT_FALSE(frameSample(store, 3, 0.5f, 40.5f).found);
    EXPECT_TRUE(frameSample(store, 3, 1.5f, 41.5f).found);
    EXPECT_FALSE(frameSample(store, 3, 0.0f, 40.0f).found);
    const RoutingParameters parameters;
    // Between +0 (complete) and +1 (missing): not found.
    EXPECT_FALSE(windAt(store, parameters, 0.5f, 40.5f, store.frameTimes()[0] + 0.5 / 24).found);
    EXPECT_TRUE(windAt(store, parameters, 1.5f, 41.5f, store.frameTimes()[0] + 0.5 / 24).found);
}

TEST(WindSampler, SpeedAloneIsTheSampledSpeed) {
    // Inside cells, on the last row and column, outside the grid and at missing points.
    WindStore store;
    ASSERT_EQ(store.loadGrib(windData("steps.grb"), ramp()), GribLoadStatus::Ok);
    for (int k : {0, 3}) {
        for (float lon = -0.5f; lon <= 2.5f; lon += 0.25f) {
            for (float lat = 39.5f; lat <= 42.5f; lat += 0.25f) {
                const WindSample w = frameSample(store, k, lon, lat);
                float knots = -1;
                ASSERT_EQ(frameSpeed(store, k, lon, lat, knots), w.found) << lon << " " << lat;
                if (w.found) {
                    EXPECT_EQ(knots, w.speed) << lon << " " << lat;
                }
            }
        }
    }
    float knots;
    EXPECT_FALSE(frameSpeed(store, 99, 1, 41, knots));
}

TEST(WindSampler, TimesOfTheFrames) {
    WindStore store;
    ASSERT_EQ(store.loadGrib(windData("steps.grb"), ramp()), GribLoadStatus::Ok);
    const auto& T = store.frameTimes();
    RoutingParameters parameters;
    // Exactly at T[k]: frame k's wind (k >= 1 is reached as the end of the pair k-1, k).
    for (int k = 0; k < 7; ++k) {
        const WindSample a = windAt(store, parameters, 1.25f, 41.25f, T[k]);
        const WindSample b = frameSample(store, k, 1.25f, 41.25f);
        ASSERT_TRUE(a.found) << k;
        EXPECT_NEAR(a.speed, b.speed, 1e-4) << k;
        EXPECT_LT(angleBetween(a.direction, b.direction), 1e-3) << k;
    }
    EXPECT_EQ(frameForTime(store, T[0]), 0);
    EXPECT_EQ(frameForTime(store, T[3]), 2);
    EXPECT_EQ(frameForTime(store, T[3] + kMinute), 3);
    EXPECT_EQ(frameForTime(store, T[6]), 5);
    // A minute outside the forecast: nothing, unless the wind is forced.
    EXPECT_FALSE(windAt(store, parameters, 1.25f, 41.25f, T[0] - kMinute).found);
    EXPECT_FALSE(windAt(store, parameters, 1.25f, 41.25f, T[6] + kMinute).found);
    EXPECT_FALSE(windAt(store, parameters, 1.25f, 41.25f, std::nan("")).found);
    parameters.uniqueWind = true;
    parameters.windForce = 17;
    parameters.windDirection = 45;
    for (double t : {T[0] - kMinute, T[6] + kMinute, T[2]}) {
        const WindSample w = windAt(store, parameters, 120.0f, -60.0f, t);
        EXPECT_TRUE(w.found);
        EXPECT_EQ(w.speed, 17);
        EXPECT_EQ(w.direction, 45);
    }
    // The constant wind needs no GRIB at all.
    EXPECT_TRUE(windAt(WindStore{}, parameters, 0, 0, 0).found);
    parameters.uniqueWind = false;
    EXPECT_FALSE(windAt(WindStore{}, parameters, 0, 0, 0).found);
    EXPECT_EQ(frameForTime(WindStore{}, 0), -1);
}

TEST(WindSampler, GridAcrossTheDateLine) {
    WindStore store;
    ASSERT_EQ(store.loadGrib(windData("wrap.grb"), ramp()), GribLoadStatus::Ok);
    const RoutingParameters parameters;
    const double t = store.frameTimes()[0];
    // -175 is sampled at 185: the fourth column, u = 4 m/s.
    WindSample w = windAt(store, parameters, -175.0f, 5.0f, t);
    ASSERT_TRUE(w.found);
    EXPECT_NEAR(w.speed, 4 * kMsToKnot, 1e-3);
    EXPECT_NEAR(w.direction, 270, 1e-3);
    w = windAt(store, parameters, 177.5f, 5.0f, t);
    ASSERT_TRUE(w.found);
    EXPECT_NEAR(w.speed, 2.5 * kMsToKnot, 1e-3);
    w = windAt(store, parameters, 180.0f, 5.0f, t);
    ASSERT_TRUE(w.found);
    EXPECT_NEAR(w.speed, 3 * kMsToKnot, 1e-3);
    EXPECT_FALSE(windAt(store, parameters, -169.0f, 5.0f, t).found);
    EXPECT_FALSE(windAt(store, parameters, 169.0f, 5.0f, t).found);
    // A single frame answers only at its own time.
    EXPECT_FALSE(windAt(store, parameters, -175.0f, 5.0f, t + kMinute).found);
}

TEST(WindSampler, FrameSearchAgreesWithTheScan) {
    const WindStore& store = demo();
    ASSERT_EQ(store.frames().size(), 121u);
    const auto& T = store.frameTimes();
    std::vector<double> probes = {T.front() - 1e-9, T.back() + 1e-9, T.front(), T.back()};
    for (std::size_t k = 0; k < T.size(); ++k) {
        probes.push_back(T[k]);
        probes.push_back(std::nextafter(T[k], 0.0));
        probes.push_back(std::nextafter(T[k], 1e9));
    }
    std::mt19937 random(7);
    std::uniform_real_distribution<double> within(T.front() - 0.1, T.back() + 0.1);
    for (int n = 0; n < 2000; ++n) probes.push_back(within(random));
    for (double t : probes) EXPECT_EQ(frameForTime(store, t), frameForTimeByScan(T, t)) << t;

    // Uneven spacing: hourly frames, a gap of four days, two more frames.
    WindStore uneven;
    std::vector<GribRecord> records;
    for (int hour : {0, 3, 100, 101, 103})
        records.push_back(windRecord(true, 0, hour, 2, 2, 0, 0, 1, std::vector<float>(4, 1)));
    ASSERT_EQ(uneven.loadRecords(records, ramp()), GribLoadStatus::Ok);
    const auto& U = uneven.frameTimes();
    ASSERT_EQ(U.size(), 8u); // 0, 1, 2, 3, then 100, 101, 102, 103
    for (double t = U.front() - 0.01; t <= U.back() + 0.01; t += 0.5 / 24)
        EXPECT_EQ(frameForTime(uneven, t), frameForTimeByScan(U, t)) << t;
    for (double t : U) EXPECT_EQ(frameForTime(uneven, t), frameForTimeByScan(U, t)) << t;
}

TEST(WindSampler, DemoForecastIsPlausible) {
    const WindStore& store = demo();
    const RoutingParameters parameters;
    const auto& T = store.frameTimes();
    EXPECT_DOUBLE_EQ(T.front(), dayNumber(1, 6, 2026, 0, 0, 0));
    EXPECT_DOUBLE_EQ(T.back(), dayNumber(6, 6, 2026, 0, 0, 0));
    const FrameGeometry& g = store.geometry(0);
    EXPECT_FLOAT_EQ(g.minLon, -76);
    EXPECT_FLOAT_EQ(g.maxLon, -64);
    EXPECT_FLOAT_EQ(g.minLat, 38);
    EXPECT_FLOAT_EQ(g.maxLat, 46);
    // Every sea place of the area has wind between 5 and 35 knots (packing rounds a little).
    for (double t = T.front(); t <= T.back(); t += 0.37) {
        for (float lon = -76; lon <= -64; lon += 0.7f) {
            for (float lat = 38; lat <= 46; lat += 0.45f) {
                const WindSample w = windAt(store, parameters, lon, lat, t);
                ASSERT_TRUE(w.found);
                EXPECT_GE(w.speed, 4.7);
                EXPECT_LE(w.speed, 35.3);
            }
        }
    }
}

TEST(WindSampler, TwoThreadsAnswerAsOne) {
    const WindStore& store = demo();
    RoutingParameters parameters;
    const StoreWindField field(store, parameters);
    const auto& T = store.frameTimes();
    struct Query {
        float lon, lat;
        double t;
    };
    std::vector<Query> queries;
    std::mt19937 random(11);
    std::uniform_real_distribution<float> lon(-77, -63), lat(37, 47);
    std::uniform_real_distribution<double> t(T.front() - 0.2, T.back() + 0.2);
    for (int n = 0; n < 20000; ++n) queries.push_back({lon(random), lat(random), t(random)});
    const auto run = [&](std::vector<WindSample>& out) {
        out.clear();
        for (const Query& q : queries) out.push_back(field.windAt(q.lon, q.lat, q.t));
    };
    std::vector<WindSample> alone, first, second;
    run(alone);
    std::thread a(run, std::ref(first));
    std::thread b(run, std::ref(second));
    a.join();
    b.join();
    int found = 0;
    for (std::size_t n = 0; n < queries.size(); ++n) {
        ASSERT_EQ(first[n].found, alone[n].found);
        ASSERT_EQ(second[n].found, alone[n].found);
        EXPECT_EQ(first[n].speed, alone[n].speed);
        EXPECT_EQ(second[n].direction, alone[n].direction);
        found += alone[n].found;
    }
    EXPECT_GT(found, 10000);
}

TEST(WindSampler, CommandLineGivesTheSameWind) {
    ScratchFolder folder;
    const std::string bz = folder.file("Demo.grb.bz2");
    std::filesystem::copy_file(windData("Demo.grb.bz2"), bz);
    const auto run = [](const std::string& args, int& status) {
        std::string out;
        FILE* p = popen((std::string(NAVOREL_CLI) + " grib wind " + args + " 2>&1").c_str(), "r");
        char buffer[256];
        while (p && std::fgets(buffer, sizeof buffer, p)) out += buffer;
        status = p ? pclose(p) : -1;
        return out;
    };
    const WindSample w =
        windAt(demo(), RoutingParameters{}, -69.3f, 42.7f, dayNumber(2, 6, 2026, 13, 30, 0));
    ASSERT_TRUE(w.found);
    char expected[64];
    std::snprintf(expected, sizeof expected, "direction %.1f speed %.1f\n", w.direction, w.speed);
    int status = 0;
    EXPECT_EQ(run(std::string(NAVOREL_SOURCE_DIR) + "/dist/Gribs/Demo.grb -69.3 42.7 "
                                                    "2026-06-02T13:30",
                  status),
              expected);
    EXPECT_EQ(status, 0);
    // From the compressed file, which stays where it is.
    EXPECT_EQ(run(bz + " -69.3 42.7 2026-06-02T13:30", status), expected);
    EXPECT_EQ(status, 0);
    EXPECT_TRUE(std::filesystem::exists(bz));
    EXPECT_FALSE(std::filesystem::exists(folder.file("Demo.grb")));
    EXPECT_EQ(run(bz + " -69.3 42.7 2026-06-06T00:01", status), "not found\n");
    EXPECT_EQ(status, 0);
    EXPECT_NE(run(bz + " -69.3 42.7 2026-06-31T00:00", status).find("YYYY-MM-DDTHH:MM"),
              std::string::npos);
    EXPECT_NE(status, 0);
    run(folder.file("none.grb") + " -69.3 42.7 2026-06-02T13:30", status);
    EXPECT_NE(status, 0);
}
