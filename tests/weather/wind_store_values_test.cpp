// The values a forecast gives, pinned: every point of every frame (place, direction, speed,
// validity), every extent and the wind sampled at many places and times, folded into one
// 64-bit digest per forecast. The digests were taken from stores that kept every point with
// its place; however the frames are laid out in memory, each bit must stay as it was.
#include "weather/forecast_set.h"
#include "weather/wind_store.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "routing/routing_parameters.h"
#include "weather/grib_crop.h"
#include "weather/wind_sampler.h"
#include "wind_test_support.h"

using namespace navorel;
using namespace navorel::windtest;

namespace {

// FNV-1a over the bytes given.
struct Digest {
    std::uint64_t value = 14695981039346656037ull;
    void bytes(const void* data, std::size_t n) {
        const auto* p = static_cast<const unsigned char*>(data);
        for (std::size_t i = 0; i < n; ++i) value = (value ^ p[i]) * 1099511628211ull;
    }
    template <class T> void add(T v) { bytes(&v, sizeof v); }
    void add(const WindSample& s) {
        add(s.found);
        add(s.direction);
        add(s.speed);
    }
};

// Every point of every frame, every extent, and samples in and around the grid of frame 0
// (`places` + 5 a side) at every `every`-th frame time and between it and the next, under no
// lag and under a lag.
std::uint64_t storeDigest(WindStore& store, std::size_t every = 1, int places = 16) {
    Digest d;
    const int frames = static_cast<int>(store.frames().size());
    d.add(frames);
    for (int k = 0; k < frames; ++k) {
        const FrameGeometry& g = store.geometry(k);
        d.add(g.count);
        d.add(g.nx);
        d.add(g.ny);
        for (float f : {g.halfStepLon, g.halfStepLat, g.lonSpan, g.latSpan, g.minLon, g.maxLon,
                        g.minLat, g.maxLat})
            d.add(f);
        d.add(g.wrap);
        for (std::size_t i = 0; i < static_cast<std::size_t>(g.count); ++i) {
            const WindPoint p = store.point(k, i);
            d.add(p.lon);
            d.add(p.lat);
            d.add(p.direction);
            d.add(p.speed);
            d.add(p.valid);
        }
    }
    const FrameGeometry g = store.geometry(0);
    const RoutingParameters parameters;
    for (int lag : {0, 5}) {
        store.applyLag(lag);
        const std::vector<double> times = store.frameTimes();
        for (std::size_t k = 0; k < times.size(); k += every) {
            const double t = times[k];
            const double next = k + 1 < times.size() ? times[k + 1] : t + 0.1;
            for (int i = -2; i <= places + 2; ++i) {
                for (int j = -2; j <= places + 2; ++j) {
                    const float lon = g.minLon + g.lonSpan * static_cast<float>(i) / places;
                    const float lat = g.minLat + g.latSpan * static_cast<float>(j) / places;
                    d.add(frameSample(store, static_cast<int>(k), lon, lat));
                    d.add(windAt(store, parameters, lon, lat, t));
                    d.add(windAt(store, parameters, lon, lat, t + (next - t) * 0.37));
                    d.add(windAt(store, parameters, lon - 360, lat, t + (next - t) * 0.81));
                }
            }
        }
    }
    store.applyLag(0);
    return d.value;
}

// Records of 3 x 3 and 4 x 3 points with missing values (9999), NaN and infinite components,
// light and strong winds from every quarter, at 0, 3 and 6 hours, across 180 degrees: the
// frames change size between +3 and +6.
std::vector<GribRecord> awkwardRecords() {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    std::vector<GribRecord> records;
    const std::vector<float> u0 = {3, -4, 0, 9999, 0.25f, -12, 7, 1e-3f, -0.5f};
    const std::vector<float> v0 = {4, 3, -2, 1, 9999, -5, 7, 1e-3f, 0.5f};
    const std::vector<float> u3 = {-3, 4, 2, 6, nan, 12, -7, 20, 0.5f};
    const std::vector<float> v3 = {-4, -3, 2, 1, 3, inf, -7, -1, -0.5f};
    const std::vector<float> u6 = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, -inf};
    const std::vector<float> v6 = {-1, -2, -3, -4, 9999, -6, -7, -8, -9, -10, -11, 1};
    records.push_back(windRecord(true, 0, 0, 3, 3, 178.5f, -10, 1.25f, u0));
    records.push_back(windRecord(false, 0, 0, 3, 3, 178.5f, -10, 1.25f, v0));
    records.push_back(windRecord(true, 0, 3, 3, 3, 178.5f, -10, 1.25f, u3));
    records.push_back(windRecord(false, 0, 3, 3, 3, 178.5f, -10, 1.25f, v3));
    records.push_back(windRecord(true, 0, 6, 4, 3, 178.5f, -10, 1.25f, u6));
    records.push_back(windRecord(false, 0, 6, 4, 3, 178.5f, -10, 1.25f, v6));
    for (GribRecord& r : records) r.lon2 = r.lon2 > 180 ? r.lon2 - 360 : r.lon2;
    return records;
}

} // namespace

TEST(WindStoreValues, EveryPointAndSampleKeepsItsBits) {
    struct Case {
        std::string file; // empty: awkwardRecords
        std::uint64_t digest;
    };
    const auto grib = [](const char* name) {
        return std::string(NAVOREL_TEST_DATA) + "/grib/" + name;
    };
    const std::string demo = std::string(NAVOREL_SOURCE_DIR) + "/dist/Gribs/Demo.grb";
    const Case cases[] = {
        {windData("steps.grb"), 0x849627a1b10e674cull},
        {windData("wrap.grb"), 0x53d622b3128dddbfull},
        {windData("refhours.grb"), 0xaf145e5b399aa70eull},
        {demo, 0xb6886fdddd025343ull},
        {"", 0x93f11117478c41e1ull},
        {grib("bitmap.grb"), 0x9458b0787db55240ull},
        {grib("across_180.grb"), 0x83928b8e4aa96552ull},
        {grib("wind_junk.grb"), 0x6afcf06e86efdc1cull},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file.empty() ? "awkward records" : c.file);
        // Hours between decoded frames made on demand (the default) and stored; records read
        // from a file (spent by the store), records in memory read as they are and spent.
        for (bool storeEveryHour : {false, true}) {
            for (int source = c.file.empty() ? 1 : 0; source < (c.file.empty() ? 3 : 1); ++source) {
                SCOPED_TRACE(storeEveryHour ? "every hour stored" : "hours made on demand");
                SCOPED_TRACE(source);
                WindStore store;
                if (storeEveryHour)
                    store.setStoredFramePoints(std::numeric_limits<std::size_t>::max());
                const std::vector<GribRecord> records = awkwardRecords();
                const GribLoadStatus status = source == 0 ? store.loadGrib(c.file, ramp())
                                              : source == 1
                                                  ? store.loadRecords(records, ramp())
                                                  : store.loadRecords(awkwardRecords(), ramp());
                ASSERT_EQ(status, GribLoadStatus::Ok);
                const std::uint64_t digest = storeDigest(store);
                char text[24];
                std::snprintf(text, sizeof text, "0x%016llx",
                              static_cast<unsigned long long>(digest));
                EXPECT_EQ(digest, c.digest) << text;
                // Records read as they are keep their values.
                if (source == 1) {
                    for (const GribRecord& r : records)
                        EXPECT_EQ(r.values.size(), static_cast<std::size_t>(r.nx * r.ny));
                }
            }
        }
    }
}

// The stores of an ensemble read as a set of forecasts (one per member), whole and cut to a box
// while read.
TEST(WindStoreValues, EveryMemberOfASetKeepsItsBits) {
    const std::string ensemble = std::string(NAVOREL_ENSEMBLE_DATA) + "/ens_missing.grib2";
    ForecastSet whole, cut;
    std::string error;
    ASSERT_TRUE(whole.load({ensemble}, {}, ramp(), error)) << error;
    ForecastSetOptions options;
    options.box = gribBox(-71, -68, 41, 43);
    ASSERT_TRUE(cut.load({ensemble}, options, ramp(), error)) << error;
    Digest d;
    for (const ForecastSet* set : {&whole, &cut})
        for (const ForecastSource& s : set->sources()) d.add(storeDigest(*s.store, 10, 8));
    EXPECT_EQ(d.value, 0xe773c6531573c570ull) << std::hex << d.value;
}
