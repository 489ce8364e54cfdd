// The Forecasts scan: its plan (each forecast times each departure), the arrival statistics,
// and navorel-cli route over an ensemble as a user runs it: one run per member in member
// order, the same on one and two threads, the control identical to the same wind read as a
// plain forecast on its whole grid; with the scan off a set routes its first forecast alone.
#include "routing/forecast_series.h"

#include "../settings/test_folder.h"
#include "core/texts.h"
#include "routing_fixtures.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <string>
#include <vector>

using namespace navorel;
using navorel::testing::readFile;
using navorel::testing::TestFolder;

namespace {

const double kJune1 = dayNumber(1, 6, 2026, 0, 0, 0);
const std::string kEns = NAVOREL_ENSEMBLE_DATA;

// A run that left at `departHour` and arrived (or stopped) at `arriveHour` of 1 June.
RunSummary run(double departHour, double arriveHour, bool arrived, int source = -1) {
    RunSummary s;
    IsochronePoint a, b;
    a.parentTime = fromDayNumber(kJune1 + departHour / 24);
    a.time = fromDayNumber(kJune1 + (departHour + 1) / 24);
    b.parentTime = a.time;
    b.time = fromDayNumber(kJune1 + arriveHour / 24);
    s.route = {a, b};
    s.inProgress = arrived;
    s.source = source;
    return s;
}

TEST(forecastSeriesTest, arrivalDistribution) {
    // Arrivals at 10, 12, 14, 20 and 30 h; one run that did not arrive is not counted.
    const std::vector<RunSummary> runs = {run(0, 20, true, 0),  run(0, 10, true, 1),
                                          run(0, 40, false, 2), run(0, 14, true, 3),
                                          run(0, 30, true, 4),  run(0, 12, true, 5)};
    const ArrivalDistribution d = arrivalDistribution(runs, {0, 0}, 0);
    EXPECT_EQ(d.runs, 6);
    EXPECT_EQ(d.arrived, 5);
    const struct {
        double value, hours;
    } expected[] = {
        {d.min, 10}, {d.p10, 10.8}, {d.median, 14}, {d.p90, 26}, {d.max, 30},
    };
    for (const auto& e : expected) EXPECT_NEAR((e.value - kJune1) * 24, e.hours, 1e-6);
    EXPECT_EQ(d.nearestMedian, 3);
    EXPECT_EQ(d.control, 0);
    EXPECT_TRUE(d.controlArrived);
    EXPECT_NEAR((d.controlArrival - kJune1) * 24, 20, 1e-6);
    // Of two runs equally near the median the first is taken; no control among the sources.
    const ArrivalDistribution two =
        arrivalDistribution({run(0, 10, true, 1), run(0, 20, true, 2)}, {0, 0}, 0);
    EXPECT_NEAR((two.median - kJune1) * 24, 15, 1e-6);
    EXPECT_EQ(two.nearestMedian, 0);
    EXPECT_EQ(two.control, -1);
    // None arrives.
    const ArrivalDistribution none = arrivalDistribution({run(0, 10, false, 0)}, {0, 0}, 0);
    EXPECT_EQ(none.arrived, 0);
    EXPECT_EQ(none.nearestMedian, -1);
    EXPECT_EQ(none.control, 0);
    EXPECT_FALSE(none.controlArrived);
    EXPECT_EQ(distributionText(none), "arrivals of 1 runs (0 arrived)");
}

TEST(forecastSeriesTest, everyForecastTimesEveryDeparture) {
    RoutingParameters p;
    p.scanStart = true;
    p.minStart = -3;
    p.maxStart = 3;
    p.stepStart = 3;
    const DateTime start = fromDayNumber(kJune1 + 0.25);
    const std::vector<DateTime> starts = seriesDepartures(p, start);
    ASSERT_EQ(starts.size(), 3u);
    EXPECT_NEAR((starts[0].dayNumber - kJune1) * 24, 3, 1e-9);
    EXPECT_NEAR((starts[2].dayNumber - kJune1) * 24, 9, 1e-9);
    p.scanStart = false;
    EXPECT_EQ(seriesDepartures(p, start).size(), 1u);

    const std::vector<SeriesSource> sources = {{"member 0", nullptr, {}, 0},
                                               {"ECMWF", nullptr, {}, -1}};
    const std::vector<SeriesRun> runs = forecastSeriesRuns(sources, starts);
    ASSERT_EQ(runs.size(), 6u);
    const struct {
        int source, offset;
    } expected[] = {{0, 0}, {0, 3}, {0, 6}, {1, 0}, {1, 3}, {1, 6}};
    for (std::size_t k = 0; k < runs.size(); ++k) {
        EXPECT_EQ(runs[k].source, expected[k].source);
        EXPECT_EQ(runs[k].startOffset, expected[k].offset);
        EXPECT_EQ(runs[k].label, sources[std::size_t(expected[k].source)].label);
    }
}

class NoTexts : public TextProvider {
  public:
    std::string text(int n) const override { return "#" + std::to_string(n); }
};

// Two forecasts of a north wind, 8 and 16 knots, over a short leg south: each run sails its
// own wind, every route is kept for the chart, and the threads change nothing.
TEST(forecastSeriesTest, eachRunSailsItsOwnForecast) {
    RoutingParameters params = test::quietParameters();
    params.uniqueWind = true;
    const Polar polar = test::demoPolar();
    const test::ConstantWind light(0, 8), fresh(0, 16);
    UserRoute route;
    route.waypoints = {{-70.0f, 42.0f}, {-70.0f, 41.8f}};
    recompute(route, params, nullptr);
    const std::vector<SeriesSource> sources = {{"light", &light, {}, 0}, {"fresh", &fresh, {}, 1}};
    RunSetup setup;
    setup.params = &params;
    setup.polar = &polar;
    setup.route = &route;
    setup.start = fromDayNumber(kJune1);
    std::vector<RoutingResult> results;
    for (int threads : {1, 2}) {
        setup.threads = threads;
        results.push_back(runForecastSeries(setup, sources, {setup.start}));
    }
    for (const RoutingResult& r : results) {
        ASSERT_EQ(r.refusal, RunRefusal::None);
        ASSERT_EQ(r.summaries.size(), 2u);
        ASSERT_EQ(r.scanRoutes.size(), 2u);
        EXPECT_EQ(r.summaries[0].label, "light");
        EXPECT_EQ(r.summaries[1].source, 1);
        EXPECT_GT(routeDurationSeconds(r.summaries[0].route),
                  routeDurationSeconds(r.summaries[1].route) * 1.2);
        EXPECT_GT(r.summaries[1].maxTws, r.summaries[0].maxTws * 1.9f);
        // The results name each column by its forecast.
        const ResultsTable table = resultsTable(r, route, NoTexts{});
        EXPECT_EQ(table.titles, (std::vector<std::string>{"", "light", "fresh"}));
    }
    for (std::size_t k = 0; k < 2; ++k) {
        const auto& a = results[0].scanRoutes[k];
        const auto& b = results[1].scanRoutes[k];
        ASSERT_EQ(a.size(), b.size());
        for (std::size_t i = 0; i < a.size(); ++i) {
            EXPECT_EQ(a[i].lon, b[i].lon);
            EXPECT_EQ(a[i].lat, b[i].lat);
            EXPECT_EQ(a[i].time.dayNumber, b[i].time.dayNumber);
        }
    }
}

struct CliRun {
    int code = -1;
    std::string out, err;
};

CliRun cli(const std::string& arguments) {
    TestFolder scratch;
    const std::string errFile = scratch.file("err");
    const std::string command =
        std::string(NAVOREL_CLI) + " " + arguments + " 2>" + errFile + " </dev/null";
    CliRun r;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) return r;
    char buffer[4096];
    while (std::fgets(buffer, sizeof buffer, pipe)) r.out += buffer;
    const int status = ::pclose(pipe);
    r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.err = readFile(errFile);
    return r;
}

// The run objects of a JSON text, as written, in order.
std::vector<std::string> runsOf(const std::string& json) {
    std::vector<std::string> runs;
    std::size_t at = 0;
    while ((at = json.find("{\"summary\":", at)) != std::string::npos) {
        int depth = 0;
        std::size_t end = at;
        for (; end < json.size(); ++end) {
            if (json[end] == '{') ++depth;
            if (json[end] == '}' && --depth == 0) break;
        }
        runs.push_back(json.substr(at, end + 1 - at));
        at = end;
    }
    return runs;
}

std::string pointsOf(const std::string& run) {
    return run.substr(run.find("\"points\":"));
}

TEST(forecastSeriesTest, cliRoutesEveryMemberOfAnEnsemble) {
    TestFolder scratch;
    const std::string single = " --set Routing.ScanPolar=0 ";
    const std::string ens = " --grib " + kEns + "/ens21.grib2 --members all ";
    const CliRun one =
        cli("route --demo --threads 1" + single + ens + "--json " + scratch.file("1.json"));
    ASSERT_EQ(one.code, 0) << one.err;
    const CliRun two =
        cli("route --demo --threads 2" + single + ens + "--json " + scratch.file("2.json"));
    ASSERT_EQ(two.code, 0) << two.err;
    const std::string json = readFile(scratch.file("1.json"));
    EXPECT_EQ(readFile(scratch.file("2.json")), json);

    const std::vector<std::string> runs = runsOf(json);
    ASSERT_EQ(runs.size(), 21u);
    for (std::size_t k = 0; k < runs.size(); ++k)
        EXPECT_NE(runs[k].find("\"forecast\":\"member " + std::to_string(k) + "\""),
                  std::string::npos)
            << k;
    EXPECT_NE(json.find("\"distribution\":{\"runs\":21,\"arrived\":21,"), std::string::npos);
    EXPECT_NE(one.out.find("arrivals of 21 runs (21 arrived): min "), std::string::npos);
    EXPECT_NE(one.out.find("member 20 "), std::string::npos);

    // The control, cropped to the route's ellipses, sails exactly as the same wind read as a
    // plain forecast on its whole grid.
    const CliRun plain = cli("route --demo --threads 1" + single + "--grib " + kEns +
                             "/member0.grib2 --json " + scratch.file("plain.json"));
    ASSERT_EQ(plain.code, 0) << plain.err;
    const std::vector<std::string> alone = runsOf(readFile(scratch.file("plain.json")));
    ASSERT_EQ(alone.size(), 1u);
    EXPECT_EQ(pointsOf(runs[0]), pointsOf(alone[0]));
    EXPECT_NE(pointsOf(runs[1]), pointsOf(alone[0]));

    // Without --members, a file of several members is refused as one forecast.
    const CliRun mixed = cli("route --demo --grib " + kEns + "/ens21.grib2");
    EXPECT_EQ(mixed.code, 1);
    EXPECT_NE(mixed.err.find("several ensemble members"), std::string::npos) << mixed.err;
}

TEST(forecastSeriesTest, cliScansTheForecastsOfASetOnlyWhenAsked) {
    TestFolder scratch;
    const std::string single = "route --demo --threads 2 --set Routing.ScanPolar=0 ";
    const std::string member0 = "--grib " + kEns + "/member0.grib2 ";
    // The control read as a plain forecast, with the shipped setting: the reference run.
    const CliRun plain = cli(single + member0 + "--json " + scratch.file("plain.json"));
    ASSERT_EQ(plain.code, 0) << plain.err;
    const std::string plainJson = readFile(scratch.file("plain.json"));
    const std::vector<std::string> reference = runsOf(plainJson);
    ASSERT_EQ(reference.size(), 1u);

    struct Case {
        const char* forecasts;
        int scan;
        std::size_t runs; // 1: a plain routing on the first forecast
    };
    const std::string ensemble = "--grib " + kEns + "/ens21.grib2 --members all ";
    const std::string twoFiles = member0 + "--grib " + kEns + "/ecmwf.grib2 ";
    const std::string* sets[] = {&member0, &ensemble, &twoFiles};
    const Case cases[] = {{"member0", 0, 1},   {"member0", 1, 1},   {"ensemble", 0, 1},
                          {"ensemble", 1, 21}, {"two files", 0, 1}, {"two files", 1, 2}};
    int k = 0;
    for (const Case& c : cases) {
        const std::string& forecasts = *sets[k++ / 2];
        const std::string json = scratch.file(std::to_string(k) + ".json");
        const CliRun r = cli(single + "--set Routing.ScanForecasts=" + std::to_string(c.scan) +
                             " " + forecasts + "--json " + json);
        SCOPED_TRACE(std::string(c.forecasts) + ", scan " + std::to_string(c.scan));
        ASSERT_EQ(r.code, 0) << r.err;
        const std::string written = readFile(json);
        const std::vector<std::string> runs = runsOf(written);
        ASSERT_EQ(runs.size(), c.runs);
        EXPECT_EQ(written.find("\"distribution\"") != std::string::npos, c.runs > 1);
        if (c.runs == 1) {
            EXPECT_EQ(pointsOf(runs[0]), pointsOf(reference[0]));
            EXPECT_EQ(r.out, plain.out);
        }
    }
}

TEST(forecastSeriesTest, cliCombinesMembersModelsAndDepartures) {
    TestFolder scratch;
    const CliRun r = cli("route --demo --threads 2 --set Routing.ScanPolar=0 --set "
                         "Routing.ScanStart=1 --set Routing.MinStart=0 --set Routing.MaxStart=6 "
                         "--set Routing.StepStart=3 --grib " +
                         kEns + "/ens_missing.grib2 --grib " + kEns +
                         "/ecmwf.grib2 --members 2-3 --json " + scratch.file("r.json"));
    ASSERT_EQ(r.code, 0) << r.err;
    // Member 3 lacks a step: left out by name; member 2 and the second model, three departures.
    EXPECT_NE(r.err.find("member 3 left out: it lacks the step of 2026-06-01 06:00"),
              std::string::npos)
        << r.err;
    const std::vector<std::string> runs = runsOf(readFile(scratch.file("r.json")));
    ASSERT_EQ(runs.size(), 6u);
    const char* labels[] = {"GFS member 2", "ECMWF"};
    for (std::size_t k = 0; k < runs.size(); ++k) {
        EXPECT_NE(runs[k].find(std::string("\"forecast\":\"") + labels[k / 3] + "\""),
                  std::string::npos)
            << runs[k].substr(0, 200);
        EXPECT_NE(runs[k].find("\"startOffset\":" + std::to_string(3 * (k % 3)) + ","),
                  std::string::npos);
    }
    EXPECT_NE(cli("route --demo --members 9-3").err.find("--members"), std::string::npos);

    // The listing names each record's member and the forecasts of the file.
    const CliRun dump = cli("grib dump " + kEns + "/ens_missing.grib2");
    ASSERT_EQ(dump.code, 0) << dump.err;
    EXPECT_NE(dump.out.find(" member 3 of 5\n"), std::string::npos);
    EXPECT_NE(dump.out.find("\nforecasts: GFS members 0-4 (5)\n"), std::string::npos);
    EXPECT_EQ(cli("grib dump " + kEns + "/member0.grib2").out.find("member"), std::string::npos);
}

} // namespace
