// Current and wave forecasts read from GRIB files made by tests/data/grib/make-ocean-fixtures.py.
#include "weather/ocean_fields.h"

#include "core/datetime.h"
#include "core/geodesy.h"
#include "weather/current_field.h"
#include "weather/grib2.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

using namespace navorel;

namespace {

const std::string kDir = std::string(NAVOREL_TEST_DATA) + "/grib/";
const double kStart = dayNumber(1, 6, 2026, 0, 0, 0); // the fixtures' reference time

// The jet of the fixtures: east-going, m/s.
double jetSpeed(double lon, double lat, double hours) {
    const double y0 = 38.0 + 0.5 * std::sin(2 * kPi * (lon + 72.0) / 6.0 + hours / 24.0);
    const double d = (lat - y0) * 111.32 / 30.0;
    return 1.5433 * std::exp(-d * d);
}

bool onLand(double lon, double lat) {
    return lon < -71.0 + 1e-9 && lat > 40.0 - 1e-9;
}

OceanCurrents openJet(const std::string& name) {
    OceanCurrents c;
    std::string error;
    EXPECT_EQ(openCurrentForecast(kDir + name, c, error), FieldLoadStatus::Ok) << error;
    return c;
}

} // namespace

// At every sea point of the grid, at both steps, the current is the jet's.
TEST(OceanCurrents, EqualTheFieldAtGridPoints) {
    for (const char* file : {"ocean_jet.grb2", "ocean_jet.grb"}) {
        const OceanCurrents c = openJet(file);
        ASSERT_FALSE(c.empty()) << file;
        EXPECT_EQ(c.field().frames().size(), 2u) << file;
        int checked = 0;
        for (double hours : {0.0, 24.0})
            for (double lat = 34.0; lat <= 42.0; lat += 0.25)
                for (double lon = -72.0; lon <= -60.0; lon += 0.25) {
                    if (onLand(lon, lat)) continue;
                    const CurrentSample s = c.currentAt(
                        static_cast<float>(lon), static_cast<float>(lat), kStart + hours / 24.0);
                    // A point next to land lies on a cell with a missing corner only when it
                    // is on the land's edge; all these lie on sea cells or edges.
                    if (!s.found) {
                        EXPECT_TRUE(onLand(lon - 0.25, lat) || onLand(lon, lat + 0.25) ||
                                    onLand(lon - 0.25, lat + 0.25))
                            << file << " " << lon << " " << lat;
                        continue;
                    }
                    const double knots = jetSpeed(lon, lat, hours) * kMsToKnot;
                    ASSERT_NEAR(s.speed, knots, 1e-3) << file << " " << lon << " " << lat;
                    if (knots > 0.01) {
                        ASSERT_NEAR(s.direction, 90.0, 1e-2);
                    }
                    ++checked;
                }
        EXPECT_GT(checked, 2 * 1500) << file;
    }
}

// Between grid points and steps the components are blended as the wind's are: bilinearly in
// space, linearly in time.
TEST(OceanCurrents, InterpolateBetweenPointsAndSteps) {
    const OceanCurrents c = openJet("ocean_jet.grb2");
    const struct {
        double lon, lat, hours;
    } places[] = {{-66.1, 38.07, 0}, {-65.9, 37.9, 24}, {-62.3, 38.3, 6}, {-70.01, 37.66, 17.5}};
    for (const auto& p : places) {
        const double x = (p.lon + 72.0) / 0.25, y = (p.lat - 34.0) / 0.25;
        const double i = std::floor(x), j = std::floor(y), a = x - i, b = y - j;
        const auto at = [&](double hours) {
            const double lon0 = -72.0 + i * 0.25, lat0 = 34.0 + j * 0.25;
            return (1 - a) * (1 - b) * jetSpeed(lon0, lat0, hours) +
                   a * (1 - b) * jetSpeed(lon0 + 0.25, lat0, hours) +
                   (1 - a) * b * jetSpeed(lon0, lat0 + 0.25, hours) +
                   a * b * jetSpeed(lon0 + 0.25, lat0 + 0.25, hours);
        };
        const double w = p.hours / 24.0;
        const double expected = ((1 - w) * at(0) + w * at(24)) * kMsToKnot;
        const CurrentSample s = c.currentAt(static_cast<float>(p.lon), static_cast<float>(p.lat),
                                            kStart + p.hours / 24.0);
        ASSERT_TRUE(s.found);
        EXPECT_NEAR(s.speed, expected, 2e-3) << p.lon << " " << p.lat << " " << p.hours;
    }
}

TEST(OceanCurrents, NotFoundOnLandOutsideTheGridAndOutsideItsTimes) {
    const OceanCurrents c = openJet("ocean_jet.grb2");
    const double noon = kStart + 0.5;
    const struct {
        double lon, lat, time;
        const char* what;
    } cases[] = {
        {-71.5, 41.0, noon, "a land point (missing in the bitmap)"},
        {-70.9, 40.1, noon, "a cell with a land corner"},
        {-72.1, 38.0, noon, "west of the grid"},
        {-66.0, 42.1, noon, "north of the grid"},
        {-66.0, 38.0, kStart - 0.01, "before the first step"},
        {-66.0, 38.0, kStart + 1.01, "after the last step"},
        {std::nan(""), 38.0, noon, "no place"},
    };
    for (const auto& k : cases)
        EXPECT_FALSE(
            c.currentAt(static_cast<float>(k.lon), static_cast<float>(k.lat), k.time).found)
            << k.what;
    EXPECT_TRUE(c.currentAt(-70.75f, 39.75f, noon).found) << "the sea beside the land";
}

TEST(OceanCurrents, StreamProviderTwo) {
    const OceanCurrents jet = openJet("ocean_jet.grb2");
    CurrentProvider provider;
    // Without a forecast provider 2 has no data: no stream anywhere, as before.
    provider.setStreamProvider(2);
    EXPECT_EQ(provider.mode(), -1);
    EXPECT_FALSE(provider.currentAt(-66.0f, 38.0f, kStart).found);
    provider.setForecast(&jet);
    provider.setStreamProvider(2);
    EXPECT_EQ(provider.mode(), 2);
    const CurrentSample s = provider.currentAt(-66.0f, 38.0f, kStart);
    const CurrentSample direct = jet.currentAt(-66.0f, 38.0f, kStart);
    ASSERT_TRUE(s.found);
    EXPECT_EQ(s.speed, direct.speed);
    EXPECT_EQ(s.direction, direct.direction);
    // The forecast taken away, provider 2 falls silent.
    provider.setForecast(nullptr);
    EXPECT_EQ(provider.mode(), -1);
    EXPECT_FALSE(provider.currentAt(-66.0f, 38.0f, kStart).found);
}

TEST(OceanCurrents, Bzip2FileAndRefusals) {
    // The same file compressed loads the same field.
    const std::string packed =
        (std::filesystem::temp_directory_path() / "navorel_ocean_jet.grb2.bz2").string();
    ASSERT_EQ(std::system(("bzip2 -c " + kDir + "ocean_jet.grb2 > " + packed).c_str()), 0);
    OceanCurrents c;
    std::string error;
    EXPECT_EQ(openCurrentForecast(packed, c, error), FieldLoadStatus::Ok) << error;
    std::remove(packed.c_str());
    EXPECT_EQ(c.currentAt(-66.0f, 38.0f, kStart).speed,
              openJet("ocean_jet.grb2").currentAt(-66.0f, 38.0f, kStart).speed);

    // A wind file has no current: refused, and the store in place stays.
    EXPECT_EQ(openCurrentForecast(kDir + "g2_gust.grb2", c, error), FieldLoadStatus::NoField);
    EXPECT_NE(error.find("no current grid"), std::string::npos) << error;
    EXPECT_TRUE(c.currentAt(-66.0f, 38.0f, kStart).found);
    EXPECT_EQ(openCurrentForecast(kDir + "no_such_file.grb2", c, error),
              FieldLoadStatus::ReadFailed);
    EXPECT_TRUE(c.currentAt(-66.0f, 38.0f, kStart).found);
}

TEST(OceanFieldNames, EditionTwoParametersNamedAsEditionOne) {
    EXPECT_STREQ(oceanFieldName(10, 1, 2), "UOGRD");
    EXPECT_STREQ(oceanFieldName(10, 1, 3), "VOGRD");
    EXPECT_STREQ(oceanFieldName(10, 0, 3), "HTSGW");
    EXPECT_STREQ(oceanFieldName(10, 0, 4), "WVDIR");
    EXPECT_STREQ(oceanFieldName(10, 0, 10), "DIRPW");
    EXPECT_STREQ(oceanFieldName(10, 0, 11), "PERPW");
    EXPECT_EQ(oceanFieldName(0, 2, 2), nullptr);
    EXPECT_EQ(oceanFieldName(10, 1, 4), nullptr);
}

TEST(OceanWaves, HeightDirectionAndPeriod) {
    OceanWaves w;
    std::string error;
    ASSERT_EQ(openWaveForecast(kDir + "ocean_waves.grb2", w, error), FieldLoadStatus::Ok) << error;
    EXPECT_TRUE(w.hasDirection());
    EXPECT_TRUE(w.hasPeriod());
    // The height is linear in place and time: its interpolation is exact everywhere.
    for (double lon : {-72.0, -68.3, -60.0})
        for (double lat : {34.0, 37.77, 42.0})
            for (double hours : {0.0, 7.0, 24.0}) {
                const WaveSample s = w.waveAt(static_cast<float>(lon), static_cast<float>(lat),
                                              kStart + hours / 24.0);
                ASSERT_TRUE(s.found);
                EXPECT_NEAR(s.height, 1.0 + 0.1 * (lat - 34) + 0.05 * (lon + 72) + hours / 24, 1e-4)
                    << lon << " " << lat << " " << hours;
                EXPECT_NEAR(s.period, 8.0, 1e-4);
            }
    // From 350 degrees to 10 the direction turns through north: 0 (or 360) at noon.
    const WaveSample noon = w.waveAt(-66.0f, 38.0f, kStart + 0.5);
    ASSERT_TRUE(noon.hasDirection);
    EXPECT_NEAR(std::fabs(std::remainder(noon.direction, 360.0)), 0.0, 1e-3);
    const WaveSample six = w.waveAt(-66.0f, 38.0f, kStart + 0.25);
    EXPECT_NEAR(six.direction, 355.0, 0.05);
    EXPECT_FALSE(w.waveAt(-66.0f, 38.0f, kStart + 1.5).found);
    // A current file has no wave height.
    EXPECT_EQ(openWaveForecast(kDir + "ocean_jet.grb2", w, error), FieldLoadStatus::NoField);
}

// Cropped to a box while reading, the forecast keeps the points around the box alone and
// answers inside it exactly as the whole file does; outside it there is no current.
TEST(OceanCurrents, CroppedToABoxAnswerAsTheWholeFileInside) {
    const OceanCurrents whole = openJet("ocean_jet.grb2");
    for (const char* file : {"ocean_jet.grb2", "ocean_jet.grb"}) {
        OceanCurrents cropped;
        std::string error;
        ASSERT_EQ(openCurrentForecast(kDir + file, cropped, error, gribBox(-67, -64, 37, 39)),
                  FieldLoadStatus::Ok)
            << error;
        EXPECT_LT(cropped.field().storedValues() * 8, whole.field().storedValues()) << file;
        for (double lon = -67.0; lon <= -64.0; lon += 0.37)
            for (double lat = 37.0; lat <= 39.0; lat += 0.29) {
                const float x = static_cast<float>(lon), y = static_cast<float>(lat);
                const CurrentSample a = whole.currentAt(x, y, kStart + 0.3);
                const CurrentSample b = cropped.currentAt(x, y, kStart + 0.3);
                ASSERT_TRUE(b.found) << file << " " << lon << " " << lat;
                EXPECT_NEAR(b.speed, a.speed, 1e-3) << file << " " << lon << " " << lat;
            }
        EXPECT_FALSE(cropped.currentAt(-70.0f, 38.0f, kStart).found) << file;
        // The crop belongs to this reading alone: the next file is read whole.
        EXPECT_FALSE(gribDecoder().cropBox().bounded);
    }
}
