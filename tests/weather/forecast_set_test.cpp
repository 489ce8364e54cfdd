// Ensemble members read apart (each equal to ecCodes' own decoding of that member), the single
// forecast that refuses a mix of members, and the set of forecasts: labels, member choice,
// members left out by name, refusals that leave the set as it was, cropping.
#include "weather/forecast_set.h"
#include "weather/grib.h"
#include "weather/wind_store.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace navorel {
namespace {

const std::string kEns = NAVOREL_ENSEMBLE_DATA;

std::string file(const std::string& name) {
    return kEns + "/" + name;
}

bool anyNoteHas(const ForecastSet& set, const std::string& text) {
    for (const std::string& n : set.notes())
        if (n.find(text) != std::string::npos) return true;
    return false;
}

// ecCodes' values of one message of a member, by latitude and longitude.
std::map<std::pair<long, long>, double> ecCodesValues(const std::string& path, int member, int step,
                                                      const char* name) {
    const std::string command = "grib_get_data -w perturbationNumber=" + std::to_string(member) +
                                ",step=" + std::to_string(step) + ",shortName=" + name + " " +
                                path + " 2>/dev/null";
    std::map<std::pair<long, long>, double> values;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) return values;
    char line[256];
    while (std::fgets(line, sizeof line, pipe)) {
        double lat = 0, lon = 0, v = 0;
        if (std::sscanf(line, "%lf %lf %lf", &lat, &lon, &v) != 3) continue;
        if (lon > 180) lon -= 360;
        values[{std::lround(lat * 100), std::lround(lon * 100)}] = v;
    }
    ::pclose(pipe);
    return values;
}

TEST(forecastSetTest, membersDecodedApartEachAsEcCodesDecodesIt) {
    GribDecoder decoder;
    std::vector<GribRecord> records;
    std::string error;
    ASSERT_TRUE(decoder.readFile(file("ens21.grib2"), records, error)) << error;
    ASSERT_EQ(records.size(), 21u * 41u * 2u);
    for (const GribRecord& r : records) {
        EXPECT_GE(r.member, 0);
        EXPECT_LE(r.member, 20);
        EXPECT_EQ(r.ensembleSize, 21);
    }
    // The control and the last member, both components.
    for (const int member : {0, 20}) {
        for (const int step : {63}) {
            for (const char* name : {"10u", "10v"}) {
                const GribRecord* r = nullptr;
                for (const GribRecord& c : records)
                    if (c.member == member && c.forecast == step &&
                        (std::string(name) == "10u" ? isBuiltinUgrd(c) : isBuiltinVgrd(c)))
                        r = &c;
                ASSERT_NE(r, nullptr) << member << " " << step << " " << name;
                const auto expected = ecCodesValues(file("ens21.grib2"), member, step, name);
                ASSERT_EQ(expected.size(), r->values.size());
                for (int j = 0; j < r->ny; ++j)
                    for (int i = 0; i < r->nx; ++i) {
                        const long lat = std::lround((r->lat1 + j * double(r->dj)) * 100);
                        const long lon = std::lround((r->lon1 + i * double(r->di)) * 100);
                        const auto at = expected.find({lat, lon});
                        ASSERT_NE(at, expected.end());
                        EXPECT_NEAR(r->values[std::size_t(j * r->nx + i)], at->second, 1e-4)
                            << "member " << member << " step " << step << " " << name;
                    }
            }
        }
    }
    // Plain forecasts name no member.
    std::vector<GribRecord> plain;
    ASSERT_TRUE(decoder.readFile(file("member0.grib2"), plain, error)) << error;
    EXPECT_EQ(plain.front().member, -1);
    EXPECT_EQ(plain.front().ensembleSize, 0);
}

// Paired by time alone, the members' components would have mixed into one wind.
TEST(forecastSetTest, oneForecastRefusesSeveralMembers) {
    WindStore store;
    ASSERT_EQ(store.loadGrib(file("member0.grib2"), WindColorRamp{}), GribLoadStatus::Ok);
    const std::size_t before = store.storedPoints();
    std::string error;
    EXPECT_EQ(openForecast(file("ens21.grib2"), store, WindColorRamp{}, 0, error),
              GribLoadStatus::SeveralMembers);
    EXPECT_NE(error.find("several ensemble members"), std::string::npos) << error;
    EXPECT_EQ(store.storedPoints(), before); // the store in place stays
    // Four members without their control are still several.
    EXPECT_EQ(openForecast(file("ens_nocontrol.grib2"), store, WindColorRamp{}, 0, error),
              GribLoadStatus::SeveralMembers);
}

TEST(forecastSetTest, oneStorePerMemberInMemberOrderLabelledFromTheFile) {
    ForecastSet set;
    std::string error;
    ASSERT_TRUE(set.load({file("ens21.grib2")}, {}, WindColorRamp{}, error)) << error;
    ASSERT_EQ(set.size(), 21u);
    EXPECT_TRUE(set.notes().empty());
    for (std::size_t k = 0; k < set.size(); ++k) {
        EXPECT_EQ(set.sources()[k].member, int(k));
        EXPECT_EQ(set.sources()[k].label, "member " + std::to_string(k));
        EXPECT_EQ(set.sources()[k].model, "GFS");
        EXPECT_EQ(set.sources()[k].store->frames().size(), 121u); // hourly over 120 h
    }
    // The control's wind is the plain forecast's, point for point.
    WindStore plain;
    ASSERT_EQ(plain.loadGrib(file("member0.grib2"), WindColorRamp{}), GribLoadStatus::Ok);
    const WindStore& control = *set.sources()[0].store;
    ASSERT_EQ(control.storedPoints(), plain.storedPoints());
    for (int f : {0, 7, 120}) {
        const std::size_t n = std::size_t(control.geometry(f).count);
        ASSERT_EQ(n, std::size_t(plain.geometry(f).count));
        for (std::size_t p = 0; p < n; ++p) {
            EXPECT_EQ(control.value(f, p).speed, plain.value(f, p).speed);
            EXPECT_EQ(control.value(f, p).direction, plain.value(f, p).direction);
        }
    }
    // Member 1 is turned 2 degrees counter-clockwise and not scaled.
    const WindValue m2 = set.sources()[1].store->value(0, 500);
    const WindValue m0 = control.value(0, 500);
    EXPECT_NEAR(m2.speed, m0.speed, 1e-3);
    EXPECT_NEAR(std::remainder(m2.direction - m0.direction, 2 * M_PI), 2 * M_PI / 180, 1e-4);

    // Two models: labels name each; the choice of members keeps the plain forecast.
    MemberSelection some;
    ASSERT_TRUE(parseMemberSelection("0-1,5", some, error));
    ASSERT_TRUE(
        set.load({file("ens21.grib2"), file("ecmwf.grib2")}, {{}, some, 0}, WindColorRamp{}, error))
        << error;
    std::vector<std::string> labels;
    for (const ForecastSource& s : set.sources()) labels.push_back(s.label);
    EXPECT_EQ(labels,
              (std::vector<std::string>{"GFS member 0", "GFS member 1", "GFS member 5", "ECMWF"}));
}

TEST(forecastSetTest, badSetsAreNamedAndNothingIsLoadedHalf) {
    const struct {
        const char* file;
        bool loads;
        std::size_t sources;
        const char* said; // in a note (loads) or in the error
    } cases[] = {
        {"ens_missing.grib2", true, 4, "member 3 left out: it lacks the step of 2026-06-01 06:00"},
        {"ens_grid.grib2", true, 4, "member 2 left out: its grid differs"},
        {"ens_nocontrol.grib2", true, 4, "no control member (0)"},
        {"ens1000.grib2", false, 0, "member 0 left out: it repeats a step (and 255 more)"},
        {"no-such-file.grib2", false, 0, "no-such-file.grib2"},
    };
    for (const auto& c : cases) {
        ForecastSet set;
        std::string error;
        ASSERT_TRUE(set.load({file("member0.grib2")}, {}, WindColorRamp{}, error));
        const bool loaded = set.load({file(c.file)}, {}, WindColorRamp{}, error);
        EXPECT_EQ(loaded, c.loads) << c.file;
        if (c.loads) {
            EXPECT_EQ(set.size(), c.sources) << c.file;
            EXPECT_TRUE(anyNoteHas(set, c.said)) << c.file;
        } else {
            EXPECT_NE(error.find(c.said), std::string::npos) << c.file << ": " << error;
            ASSERT_EQ(set.size(), 1u) << c.file; // the set in place stays
            EXPECT_EQ(set.sources()[0].label, "GFS");
        }
    }
    // More forecasts than the set takes are refused whole.
    ForecastSet set;
    std::string error;
    ForecastSetOptions few;
    few.maxSources = 20;
    EXPECT_FALSE(set.load({file("ens21.grib2")}, few, WindColorRamp{}, error));
    EXPECT_NE(error.find("21 forecasts"), std::string::npos) << error;
    EXPECT_TRUE(set.empty());
}

TEST(forecastSetTest, storesHoldOnlyTheBox) {
    ForecastSet whole, cut;
    std::string error;
    ASSERT_TRUE(whole.load({file("ens_missing.grib2")}, {}, WindColorRamp{}, error)) << error;
    ForecastSetOptions options;
    options.box = gribBox(-71, -68, 41, 43);
    ASSERT_TRUE(cut.load({file("ens_missing.grib2")}, options, WindColorRamp{}, error)) << error;
    ASSERT_EQ(cut.size(), whole.size());
    // 15 x 11 of the 49 x 33 points.
    EXPECT_EQ(cut.storedPoints() * 1617, whole.storedPoints() * 165);
}

TEST(forecastSetTest, memberChoices) {
    const struct {
        const char* text;
        bool ok;
        std::vector<int> in, out;
    } cases[] = {
        {"all", true, {0, 30, 255}, {}},
        {"0-10", true, {0, 5, 10}, {11, 50}},
        {"0,3,5-7", true, {0, 3, 5, 7}, {1, 4, 8}},
        {"12", true, {12}, {11, 13}},
        {"", false, {}, {}},
        {"7-3", false, {}, {}},
        {"-1", false, {}, {}},
        {"1,,2", false, {}, {}},
        {"256", false, {}, {}},
        {"a-b", false, {}, {}},
    };
    for (const auto& c : cases) {
        MemberSelection s;
        std::string error;
        EXPECT_EQ(parseMemberSelection(c.text, s, error), c.ok) << c.text;
        for (int m : c.in) EXPECT_TRUE(s.contains(m)) << c.text << " " << m;
        for (int m : c.out) EXPECT_FALSE(s.contains(m)) << c.text << " " << m;
        if (!c.ok) {
            EXPECT_NE(error.find("--members"), std::string::npos);
        }
    }
}

} // namespace
} // namespace navorel
