#include "core/position_text.h"
#include "weather/wind_store.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "core/geodesy.h"
#include "core/texts.h"
#include "routing/routing_parameters.h"
#include "weather/wind_sampler.h"
#include "wind_test_support.h"

#include <algorithm>
#include <cstring>
#include <limits>

using namespace navorel;
using namespace navorel::windtest;

namespace {

class Texts : public TextProvider {
  public:
    std::string text(int number) const override { return number == 229 ? "Grid:" : ""; }
};

double degrees(float radians) {
    return radians * kRadToDeg;
}

std::vector<float> filled(std::size_t n, float v) {
    return std::vector<float>(n, v);
}

} // namespace

TEST(WindStore, ThreeHourlyStepsBecomeHourlyFrames) {
    WindStore store;
    ASSERT_EQ(store.loadGrib(windData("steps.grb"), ramp()), GribLoadStatus::Ok);
    const auto& frames = store.frames();
    ASSERT_EQ(frames.size(), 7u);
    for (int k = 0; k < 7; ++k) {
        EXPECT_EQ(frames[k].forecastHour, k);
        EXPECT_EQ(frames[k].decoded, k % 3 == 0) << k;
        EXPECT_EQ(frames[k].minute, 0);
        EXPECT_EQ(frames[k].nx, 3);
        EXPECT_EQ(frames[k].ny, 3);
        EXPECT_DOUBLE_EQ(store.frameTimes()[k], dayNumber(1, 6, 2026, k, 0, 0));
        EXPECT_EQ(store.frameDates()[k].hour, k);
    }
    EXPECT_EQ(formatDate(store.startDate(), 2), "01/06/2026 00:00");
    EXPECT_EQ(formatDate(store.endDate(), 2), "01/06/2026 06:00");
    EXPECT_EQ(store.currentFrame(), 0);

    // Rows south first: point 0 is the south-west corner, point 8 the north-east one.
    const WindFrame& f = frames[0];
    EXPECT_FLOAT_EQ(f.point(0).lon, 0);
    EXPECT_FLOAT_EQ(f.point(0).lat, 40);
    EXPECT_FLOAT_EQ(f.point(8).lon, 2);
    EXPECT_FLOAT_EQ(f.point(8).lat, 42);
    // A west wind of 5 m/s: the air moves east, angle 0.
    EXPECT_NEAR(f.point(1).speed, 5.0, 1e-4);
    EXPECT_NEAR(f.point(1).direction, 0.0, 1e-6);
}

TEST(WindStore, DirectionsBlendThroughEastOfTheCircle) {
    WindStore store;
    ASSERT_EQ(store.loadGrib(windData("steps.grb"), ramp()), GribLoadStatus::Ok);
    // The centre point turns from 350 to 10 degrees between +0 and +3: the hours between
    // pass through 0 degrees, not through 180.
    const double d0 = degrees(store.point(0, 4).direction);
    const double d3 = degrees(store.point(3, 4).direction);
    EXPECT_NEAR(d0, 350.0, 0.01);
    EXPECT_NEAR(d3, 10.0, 0.01);
    EXPECT_NEAR(degrees(store.point(1, 4).direction), (2 * d0 + (d3 + 360)) / 3, 1e-3);
    EXPECT_NEAR(degrees(store.point(2, 4).direction), (d0 + 2 * (d3 + 360)) / 3 - 360, 1e-3);
    EXPECT_NEAR(store.point(1, 4).speed,
                (2 * store.point(0, 4).speed + store.point(3, 4).speed) / 3, 1e-5);
}

TEST(WindStore, MissingPointIsInvalidBetweenItsNeighbours) {
    WindStore store;
    ASSERT_EQ(store.loadGrib(windData("steps.grb"), ramp()), GribLoadStatus::Ok);
    EXPECT_TRUE(store.point(0, 0).valid);
    for (int k = 1; k <= 5; ++k) EXPECT_FALSE(store.point(k, 0).valid) << k;
    EXPECT_TRUE(store.point(6, 0).valid);
    for (int k = 0; k < 7; ++k) EXPECT_TRUE(store.point(k, 1).valid) << k;
}

TEST(WindStore, StepAcrossMidnightBetweenTwoReferenceTimes) {
    // +0 h of 18 UTC, then +0 h of 00 UTC the next day: a step of 6 hours.
    WindStore store;
    ASSERT_EQ(store.loadGrib(windData("refhours.grb"), ramp()), GribLoadStatus::Ok);
    const auto& f = store.frames();
    ASSERT_EQ(f.size(), 7u);
    for (int k = 0; k < 7; ++k)
        EXPECT_DOUBLE_EQ(store.frameTimes()[k], dayNumber(1, 6, 2026, 18 + k, 0, 0)) << k;
    EXPECT_TRUE(f[0].decoded);
    EXPECT_TRUE(f[6].decoded);
    EXPECT_EQ(f[3].forecastHour, 3);
    EXPECT_NEAR(store.point(3, 4).speed, 7.04, 1e-4); // halfway from 4.04 to 10.04 m/s
    EXPECT_EQ(formatDate(store.endDate(), 2), "02/06/2026 00:00");
}

TEST(WindStore, GridAcrossTheDateLine) {
    WindStore store;
    ASSERT_EQ(store.loadGrib(windData("wrap.grb"), ramp()), GribLoadStatus::Ok);
    const FrameGeometry& g = store.geometry(0);
    EXPECT_TRUE(g.wrap);
    EXPECT_FLOAT_EQ(g.lonSpan, 20);
    EXPECT_FLOAT_EQ(g.minLon, 170);
    EXPECT_FLOAT_EQ(g.maxLon, -170);
    EXPECT_FLOAT_EQ(g.latSpan, 10);
    EXPECT_FLOAT_EQ(g.halfStepLon, 2.5);
    EXPECT_FLOAT_EQ(g.halfStepLat, 2.5);
    EXPECT_FLOAT_EQ(store.point(0, 3).lon, -175); // 185 brought into -180..180
}

TEST(WindStore, RefusedFilesKeepThePreviousStore) {
    WindStore store;
    ASSERT_EQ(store.loadGrib(windData("steps.grb"), ramp()), GribLoadStatus::Ok);
    EXPECT_EQ(store.loadGrib(windData("narrow.grb"), ramp()), GribLoadStatus::BadGrid);
    EXPECT_EQ(store.frames().size(), 7u);
    EXPECT_EQ(store.loadGrib(windData("no-such-file.grb"), ramp()), GribLoadStatus::DecoderFailed);
    EXPECT_EQ(store.frames().size(), 7u);
    // A file without any message says so (not "a record has fewer than two points").
    ScratchFolder folder;
    std::ofstream(folder.file("zeros.grb"), std::ios::binary) << std::string(100000, '\0');
    std::string why;
    EXPECT_EQ(store.loadGrib(folder.file("zeros.grb"), ramp(), &why), GribLoadStatus::NoMessage);
    EXPECT_EQ(store.frames().size(), 7u);
    // Decoded without error but with nothing to use: no record, or no U component.
    EXPECT_EQ(store.loadRecords({}, ramp()), GribLoadStatus::BadGrid);
    EXPECT_EQ(store.loadRecords({windRecord(false, 0, 0, 2, 2, 0, 0, 1, filled(4, 1))}, ramp()),
              GribLoadStatus::BadGrid);
    // A record whose value count does not fit its grid.
    EXPECT_EQ(store.loadRecords({windRecord(true, 0, 0, 3, 3, 0, 0, 1, filled(4, 1))}, ramp()),
              GribLoadStatus::BadGrid);
    // A U record read without its values (its count from the headers) has no wind to give.
    GribRecord header = windRecord(true, 0, 0, 3, 3, 0, 0, 1, {});
    header.valueCount = 9;
    EXPECT_EQ(store.loadRecords({header}, ramp()), GribLoadStatus::BadGrid);
    EXPECT_EQ(store.frames().size(), 7u);
    EXPECT_FLOAT_EQ(store.point(0, 0).lat, 40);
}

TEST(WindStore, PairingOfTheVComponents) {
    // V at +9 h matches no U: the U frames keep v = 0 (the air moves east).
    std::vector<GribRecord> records = {
        windRecord(true, 0, 0, 2, 2, 0, 0, 1, filled(4, 3)),
        windRecord(true, 0, 3, 2, 2, 0, 0, 1, filled(4, 3)),
        windRecord(false, 0, 0, 2, 2, 0, 0, 1, filled(4, 4)),
        windRecord(false, 0, 9, 2, 2, 0, 0, 1, filled(4, -3)),
        // V of another grid with more values than the U frame has points: only 4 are used.
        windRecord(false, 0, 3, 3, 3, 0, 0, 1, filled(9, 0.5f)),
    };
    WindStore store;
    ASSERT_EQ(store.loadRecords(records, ramp()), GribLoadStatus::Ok);
    ASSERT_EQ(store.frames().size(), 4u);
    EXPECT_NEAR(store.point(0, 0).speed, 5.0, 1e-6); // u 3, v 4
    EXPECT_NEAR(store.point(3, 3).speed, std::hypot(3.0, 0.5), 1e-6);

    // Two levels of the same time: each V goes to its own U; the second level is left out.
    records = {
        windRecord(true, 0, 0, 2, 2, 0, 0, 1, filled(4, 1)),
        windRecord(true, 0, 0, 2, 2, 0, 0, 1, filled(4, 20)),
        windRecord(false, 0, 0, 2, 2, 0, 0, 1, filled(4, 1)),
        windRecord(false, 0, 0, 2, 2, 0, 0, 1, filled(4, 20)),
    };
    ASSERT_EQ(store.loadRecords(records, ramp()), GribLoadStatus::Ok);
    ASSERT_EQ(store.frames().size(), 1u);
    EXPECT_NEAR(store.point(0, 0).speed, std::sqrt(2.0), 1e-6);
    EXPECT_EQ(store.droppedFrames(), 1);

    // Same day and forecast hour but another reference hour: not the same time.
    records = {
        windRecord(true, 0, 0, 2, 2, 0, 0, 1, filled(4, 1)),
        windRecord(true, 12, 0, 2, 2, 0, 0, 1, filled(4, 1)),
        windRecord(false, 0, 0, 2, 2, 0, 0, 1, filled(4, 0)),
        windRecord(false, 12, 0, 2, 2, 0, 0, 1, filled(4, 1)),
    };
    ASSERT_EQ(store.loadRecords(records, ramp()), GribLoadStatus::Ok);
    ASSERT_EQ(store.frames().size(), 13u);
    EXPECT_NEAR(store.point(0, 0).speed, 1.0, 1e-6);
    EXPECT_NEAR(store.point(12, 0).speed, std::sqrt(2.0), 1e-6);
}

TEST(WindStore, RepeatedAndDisorderedStepsNeverRunAway) {
    // +6, +0, +3, then +3 again: the frames come out in time order, the repeat left out.
    std::vector<GribRecord> records = {
        windRecord(true, 0, 6, 2, 2, 0, 0, 1, filled(4, 6)),
        windRecord(true, 0, 0, 2, 2, 0, 0, 1, filled(4, 0.5f)),
        windRecord(true, 0, 3, 2, 2, 0, 0, 1, filled(4, 3)),
        windRecord(true, 0, 3, 2, 2, 0, 0, 1, filled(4, 99)),
    };
    WindStore store;
    ASSERT_EQ(store.loadRecords(records, ramp()), GribLoadStatus::Ok);
    ASSERT_EQ(store.frames().size(), 7u);
    EXPECT_EQ(store.droppedFrames(), 1);
    for (int k = 0; k < 7; ++k) EXPECT_EQ(store.frames()[k].forecastHour, k);
    EXPECT_NEAR(store.point(3, 0).speed, 3.0, 1e-6);
    for (std::size_t k = 1; k < store.frameTimes().size(); ++k)
        EXPECT_GT(store.frameTimes()[k], store.frameTimes()[k - 1]);

    // A gap wider than two days is not filled with hourly frames.
    records = {windRecord(true, 0, 0, 2, 2, 0, 0, 1, filled(4, 1)),
               windRecord(true, 0, 1000, 2, 2, 0, 0, 1, filled(4, 1))};
    ASSERT_EQ(store.loadRecords(records, ramp()), GribLoadStatus::Ok);
    EXPECT_EQ(store.frames().size(), 2u);
}

TEST(WindStore, ExpansionBetweenGridsOfDifferentSizes) {
    std::vector<GribRecord> records = {
        windRecord(true, 0, 0, 2, 2, 0, 0, 1, filled(4, 1)),
        windRecord(true, 0, 2, 3, 2, 5, 5, 1, filled(6, 4)),
    };
    WindStore store;
    ASSERT_EQ(store.loadRecords(records, ramp()), GribLoadStatus::Ok);
    ASSERT_EQ(store.frames().size(), 3u);
    // The frame between is the later grid at the hour between.
    EXPECT_EQ(store.frames()[1].nx, 3);
    EXPECT_EQ(store.frames()[1].forecastHour, 1);
    EXPECT_FLOAT_EQ(store.point(1, 0).lon, 5);
    EXPECT_DOUBLE_EQ(store.frameTimes()[1], dayNumber(1, 6, 2026, 1, 0, 0));
}

TEST(WindStore, LagShiftsTheTimesAndComesBack) {
    WindStore store;
    ASSERT_EQ(store.loadGrib(windData("steps.grb"), ramp()), GribLoadStatus::Ok);
    const std::vector<double> loaded = store.frameTimes();
    store.applyLag(3);
    for (std::size_t k = 0; k < loaded.size(); ++k)
        EXPECT_NEAR(store.frameTimes()[k], loaded[k] - 3.0 / 24, 1e-9);
    EXPECT_EQ(formatDate(store.startDate(), 2), "31/05/2026 21:00");
    EXPECT_EQ(store.frameDates()[0].hour, 21);
    store.applyLag(-24);
    EXPECT_NEAR(store.frameTimes()[0], loaded[0] + 1.0, 1e-9);
    store.applyLag(0);
    EXPECT_EQ(store.frameTimes(), loaded);
}

TEST(WindStore, InformationText) {
    WindStore store;
    ASSERT_EQ(store.loadGrib(windData("steps.grb"), ramp()), GribLoadStatus::Ok);
    store.rebuildInformationText("steps.grb", Texts());
    EXPECT_EQ(store.informationText(), "steps.grb\n\nGrid: 3 x 3\n\n"
                                       "000\u00b0W 00'00\" - 002\u00b0E 00'00\"\n\n"
                                       "40\u00b0N 00'00\" - 42\u00b0N 00'00\"\n");
    EXPECT_EQ(formatLatitudeDms(-45.5), "45\u00b0S 30'00\"");
    EXPECT_EQ(formatLatitudeDms(0), "00\u00b0S 00'00\"");
    EXPECT_EQ(formatLongitudeDms(-70.2578125), "070\u00b0W 15'28\""); // 15.46875 minutes
    EXPECT_EQ(formatLongitudeDms(179.75), "179\u00b0E 45'00\"");
}

TEST(WindStore, DisplayNames) {
    EXPECT_EQ(gribDisplayName("/home/me/Gribs/wind.grb"), "wind.grb");
    EXPECT_EQ(gribDisplayName("C:\\Gribs\\gfs.20260601.grib"), "gfs.20260601.grb");
    EXPECT_EQ(gribDisplayName("wind"), "wind.grb");
    EXPECT_EQ(gribDisplayName("/home/me/Gribs/wind.grb2.bz2"), "wind.grb");
}

TEST(WindStore, OpeningACompressedFile) {
    ScratchFolder folder;
    const std::string chosen = folder.file("wind.grb.bz2");
    std::filesystem::copy_file(windData("Demo.grb.bz2"), chosen);
    WindStore store;
    RoutingParameters parameters;
    parameters.uniqueWind = true;
    std::string name, loaded;
    // A file of the decompressed name beside the archive is the user's: never written.
    std::ofstream(folder.file("wind.grb"), std::ios::binary) << "the user's own";
    ASSERT_EQ(openGribFile(chosen, store, ramp(), Texts(), parameters, name, loaded),
              GribLoadStatus::Ok);
    EXPECT_EQ(loaded, chosen); // opened again from the archive next time
    EXPECT_EQ(name, "wind.grb");
    EXPECT_TRUE(std::filesystem::exists(chosen));
    std::ifstream kept(folder.file("wind.grb"), std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}), "the user's own");
    EXPECT_FALSE(parameters.uniqueWind);
    EXPECT_EQ(store.frames().size(), 121u);
    EXPECT_EQ(store.informationText().rfind("wind.grb\n\nGrid: 49 x 33\n\n076\u00b0W", 0), 0u);

    // A damaged .bz2 is kept, and so is the store.
    const std::string damaged = folder.file("bad.grb.bz2");
    std::ofstream(damaged, std::ios::binary) << "BZh91AY&SY not really";
    EXPECT_EQ(openGribFile(damaged, store, ramp(), Texts(), parameters, name, loaded),
              GribLoadStatus::Bzip2Failed);
    EXPECT_TRUE(std::filesystem::exists(damaged));
    EXPECT_FALSE(std::filesystem::exists(folder.file("bad.grb")));
    EXPECT_EQ(store.frames().size(), 121u);
    EXPECT_EQ(name, "wind.grb");
}

TEST(WindStore, StartupLoadAndConstantWindFallback) {
    const std::string gribs = std::string(NAVOREL_SOURCE_DIR) + "/dist/Gribs/";
    WindStore store;
    RoutingParameters parameters;
    parameters.uniqueWind = true;
    ASSERT_TRUE(loadGribAtStartup(gribs, "Demo.grb", store, ramp(), Texts(), parameters));
    EXPECT_FALSE(parameters.uniqueWind);
    EXPECT_FALSE(store.empty());
    EXPECT_EQ(store.informationText().rfind("Demo.grb\n\n", 0), 0u);

    EXPECT_FALSE(loadGribAtStartup(gribs, "Missing.grb", store, ramp(), Texts(), parameters));
    EXPECT_FALSE(store.empty()); // nothing replaced until the caller gives up
    useConstantWind(store, parameters);
    EXPECT_TRUE(parameters.uniqueWind);
    EXPECT_TRUE(store.empty());
    EXPECT_TRUE(store.frameTimes().empty());
}

TEST(WindStore, ValuesThatAreNoWindAreMissingPoints) {
    // A damaged file can decode to NaN or infinite components: those points are not valid,
    // so the sampler answers not found there instead of converting a NaN direction.
    std::vector<float> u = filled(4, 3), v = filled(4, 4);
    u[3] = std::numeric_limits<float>::quiet_NaN();
    v[2] = std::numeric_limits<float>::infinity();
    WindStore store;
    ASSERT_EQ(store.loadRecords({windRecord(true, 0, 0, 2, 2, 0, 0, 1, u),
                                 windRecord(false, 0, 0, 2, 2, 0, 0, 1, v)},
                                ramp()),
              GribLoadStatus::Ok);
    EXPECT_TRUE(store.point(0, 0).valid);
    EXPECT_FALSE(store.point(0, 2).valid);
    EXPECT_FALSE(store.point(0, 3).valid);
    EXPECT_FALSE(frameSample(store, 0, 1.0f, 1.0f).found); // the nearest point is the NaN one
}

// Files of constant fields take a few bytes per message whatever the grid: a file whose
// values would not fit is refused from its headers, before a single value is expanded.
TEST(WindStore, ConstantFieldBombsAreRefusedBeforeTheyAreExpanded) {
    struct Case {
        int pairs, side;
        bool refused;
    };
    ScratchFolder scratch;
    // 4 pairs of 4096^2 at 3-hourly steps make 10 hourly frames, past the store's limit.
    for (const Case c : {Case{3, 8192, true}, Case{20, 8192, true}, Case{1, 8192, true},
                         Case{4, 4096, true}, Case{3, 100, false}}) {
        std::vector<std::uint8_t> bytes;
        for (int k = 0; k < c.pairs; ++k) {
            for (int parameter : {33, 34}) {
                const auto m = constantGribMessage(parameter, 3 * k, c.side, c.side);
                bytes.insert(bytes.end(), m.begin(), m.end());
            }
        }
        const std::string path = scratch.file("bomb.grb");
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        const std::uint64_t expandedBefore = gribDecoder().expandedValueCount();
        WindStore store;
        std::string error;
        const GribLoadStatus status = store.loadGrib(path, ramp(), &error);
        const std::uint64_t expanded = gribDecoder().expandedValueCount() - expandedBefore;
        SCOPED_TRACE(std::to_string(c.pairs) + " pairs of " + std::to_string(c.side));
        if (c.refused) {
            EXPECT_EQ(status, GribLoadStatus::TooLarge);
            EXPECT_EQ(gribLoadMessage(status, error), "the forecast is too large");
            EXPECT_EQ(expanded, 0u); // nothing allocated, so refused at once
        } else {
            EXPECT_EQ(status, GribLoadStatus::Ok);
            EXPECT_EQ(store.frames().size(), std::size_t(3 * (c.pairs - 1) + 1));
            EXPECT_EQ(expanded, std::uint64_t(2 * c.pairs * c.side * c.side));
        }
    }
}

// A forecast keeps only its decoded frames and makes the hours between on demand: every point,
// extent and sampled wind is the same, bit for bit, as with every hour stored.
TEST(WindStore, FramesMadeOnDemandEqualStoredFrames) {
    const auto same = [](const WindPoint& a, const WindPoint& b) {
        return std::memcmp(&a.lon, &b.lon, sizeof a.lon) == 0 &&
               std::memcmp(&a.lat, &b.lat, sizeof a.lat) == 0 && a.valid == b.valid &&
               (!a.valid || (std::memcmp(&a.speed, &b.speed, sizeof a.speed) == 0 &&
                             std::memcmp(&a.direction, &b.direction, sizeof a.direction) == 0));
    };
    const std::string demo = std::string(NAVOREL_SOURCE_DIR) + "/dist/Gribs/Demo.grb";
    for (const std::string& file :
         {windData("steps.grb"), windData("wrap.grb"), windData("refhours.grb"), demo}) {
        SCOPED_TRACE(file);
        WindStore stored, onDemand;
        stored.setStoredFramePoints(std::numeric_limits<std::size_t>::max());
        ASSERT_EQ(stored.loadGrib(file, ramp()), GribLoadStatus::Ok);
        ASSERT_EQ(onDemand.loadGrib(file, ramp()), GribLoadStatus::Ok);
        ASSERT_EQ(stored.frames().size(), onDemand.frames().size());
        EXPECT_EQ(stored.frameTimes(), onDemand.frameTimes());
        const bool between = std::any_of(stored.frames().begin(), stored.frames().end(),
                                         [](const WindFrame& f) { return !f.decoded; });
        EXPECT_EQ(onDemand.storedPoints() < stored.storedPoints(), between);
        for (int k = 0; k < static_cast<int>(stored.frames().size()); ++k) {
            const FrameGeometry &g = stored.geometry(k), &h = onDemand.geometry(k);
            ASSERT_TRUE(g.count == h.count && g.nx == h.nx && g.ny == h.ny &&
                        g.minLon == h.minLon && g.maxLon == h.maxLon && g.minLat == h.minLat &&
                        g.maxLat == h.maxLat && g.lonSpan == h.lonSpan && g.wrap == h.wrap)
                << k;
            WindFrame scratch;
            const WindFrame& whole = onDemand.wholeFrame(k, scratch);
            ASSERT_EQ(whole.size(), stored.frames()[std::size_t(k)].size());
            for (std::size_t i = 0; i < whole.size(); ++i)
                ASSERT_TRUE(same(stored.point(k, i), onDemand.point(k, i)) &&
                            same(stored.point(k, i), whole.point(i)))
                    << "frame " << k << " point " << i;
        }
        // Sampled at every frame time (the boundaries between two frames), beside it and
        // anywhere between, also after both stores were shifted by a lag.
        const FrameGeometry& g = stored.geometry(0);
        const RoutingParameters parameters;
        for (int lag : {0, 5, -7}) {
            SCOPED_TRACE(lag);
            stored.applyLag(lag);
            onDemand.applyLag(lag);
            ASSERT_EQ(stored.frameTimes(), onDemand.frameTimes());
            std::vector<double> times;
            const double t0 = stored.frameTimes().front(), t1 = stored.frameTimes().back();
            for (double t : stored.frameTimes())
                for (double beside : {-1e-6, 0.0, 1e-6}) times.push_back(t + beside);
            for (int n = 0; n < 499; ++n) times.push_back(t0 + (t1 - t0) * n / 498.0);
            for (std::size_t n = 0; n < 2000; ++n) {
                const float lon =
                    g.minLon + g.lonSpan * static_cast<float>((n * 37) % 101) / 100.0f;
                const float lat = g.minLat + g.latSpan * static_cast<float>((n * 53) % 97) / 96.0f;
                const double t = times[(n * 31) % times.size()];
                const WindSample a = windAt(stored, parameters, lon, lat, t);
                const WindSample b = windAt(onDemand, parameters, lon, lat, t);
                ASSERT_EQ(a.found, b.found) << n;
                ASSERT_EQ(std::memcmp(&a.speed, &b.speed, sizeof a.speed), 0) << n;
                ASSERT_EQ(std::memcmp(&a.direction, &b.direction, sizeof a.direction), 0) << n;
            }
        }
    }
}
