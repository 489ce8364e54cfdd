// The departure planner: its departures, its measures and best departures, its runs against
// the ordinary runs, and navorel-cli plan as a user runs it.
#include "routing/departure_planner.h"

#include "../settings/test_folder.h"
#include "routing_fixtures.h"
#include "weather/wind_sampler.h"
#include "weather/wind_store.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <map>
#include <string>

using namespace navorel;
using namespace navorel::test;
using navorel::testing::readFile;
using navorel::testing::TestFolder;

namespace {

const double kJune1 = dayNumber(1, 6, 2026, 0, 0, 0);

struct CliRun {
    int code = -1;
    std::string out, err;
};

CliRun cli(const std::string& arguments) {
    TestFolder scratch;
    const std::string errFile = scratch.file("err");
    const std::string command =
        std::string(NAVOREL_CLI) + " " + arguments + " 2>" + errFile + " </dev/null";
    CliRun run;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) return run;
    char buffer[4096];
    while (std::fgets(buffer, sizeof buffer, pipe)) run.out += buffer;
    const int status = ::pclose(pipe);
    run.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.err = readFile(errFile);
    return run;
}

// The run objects ({"summary":...,"points":[...]}) of a JSON text, as written, by start offset.
std::map<int, std::string> runsByOffset(const std::string& json) {
    std::map<int, std::string> runs;
    std::size_t at = 0;
    while ((at = json.find("{\"summary\":", at)) != std::string::npos) {
        int depth = 0;
        std::size_t end = at;
        for (; end < json.size(); ++end) {
            if (json[end] == '{') ++depth;
            if (json[end] == '}' && --depth == 0) break;
        }
        const std::string run = json.substr(at, end + 1 - at);
        const std::size_t o = run.find("\"startOffset\":");
        runs[std::stoi(run.substr(o + 14))] = run;
        at = end;
    }
    return runs;
}

std::string pointsOf(const std::string& run) {
    return run.substr(run.find("\"points\":"));
}

int countLines(const std::string& text, const std::string& containing) {
    int n = 0;
    std::size_t at = 0;
    while ((at = text.find(containing, at)) != std::string::npos) {
        ++n;
        at += containing.size();
    }
    return n;
}

RunMeasures measures(bool arrived, double hours, double wind, double upwind, double engine) {
    RunMeasures m;
    m.arrived = arrived;
    m.durationHours = hours;
    m.maxWindKnots = wind;
    m.upwindPercent = upwind;
    m.engineHours = engine;
    return m;
}

} // namespace

TEST(DepartureTimes, TheDefaultSpanAndItsBounds) {
    WindCoverage fiveDays;
    fiveDays.loaded = true;
    fiveDays.firstTime = kJune1;
    fiveDays.lastTime = kJune1 + 5;
    WindCoverage twoDays = fiveDays;
    twoDays.lastTime = kJune1 + 2;
    struct Case {
        const char* what;
        DepartureSpan span;
        std::size_t count;
        double lastHours; // of the last departure after the first
    };
    const Case cases[] = {
        {"4 days every 3 hours", defaultDepartureSpan(fiveDays, kJune1), 33, 96},
        {"bounded by the forecast's end", defaultDepartureSpan(twoDays, kJune1), 17, 48},
        {"from a later hour", defaultDepartureSpan(twoDays, kJune1 + 1.0 / 24), 16, 45},
        {"the constant wind: 4 days", defaultDepartureSpan(WindCoverage{}, kJune1), 33, 96},
        {"every 5 hours over a day", {kJune1, kJune1 + 1, 5}, 5, 20},
        {"one departure", {kJune1, kJune1, 3}, 1, 0},
        {"no step", {kJune1, kJune1 + 1, 0}, 0, 0},
        {"an end before the start", {kJune1, kJune1 - 0.5, 3}, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::vector<DateTime> t = departureTimes(c.span);
        ASSERT_EQ(t.size(), c.count);
        if (t.empty()) continue;
        EXPECT_EQ(t.front().dayNumber, c.span.first);
        EXPECT_NEAR((t.back().dayNumber - t.front().dayNumber) * 24, c.lastHours, 1e-6);
    }
    // A step of an hour over ten years stops at the most the planner takes.
    EXPECT_EQ(departureTimes({kJune1, kJune1 + 3650, 1}).size(),
              static_cast<std::size_t>(kMaxDepartures));
}

TEST(DeparturePlan, TheBestDepartureByEachMeasureAmongThoseThatArrive) {
    DeparturePlan plan;
    const RunMeasures table[] = {
        measures(false, 10, 5, 0, 0),  // 0: quickest of all, but does not arrive
        measures(true, 24, 30, 40, 2), // 1
        measures(true, 20, 25, 60, 0), // 2: fastest
        measures(true, 22, 12, 10, 0), // 3: least wind, least upwind
        measures(true, 26, 12, 10, 0), // 4: ties 3 but longer
        measures(true, 20, 28, 70, 5), // 5: ties 2 on duration, departs later
    };
    for (const RunMeasures& m : table) {
        Departure d;
        d.runs.emplace_back();
        d.measures.push_back(m);
        plan.departures.push_back(d);
    }
    markBest(plan);
    EXPECT_EQ(plan.best[static_cast<int>(PlanMeasure::Duration)], 2);
    EXPECT_EQ(plan.best[static_cast<int>(PlanMeasure::MaxWind)], 3);
    EXPECT_EQ(plan.best[static_cast<int>(PlanMeasure::UpwindShare)], 3);
    EXPECT_EQ(plan.best[static_cast<int>(PlanMeasure::EngineHours)], 2); // shortest of the 0 h
    EXPECT_FALSE(plan.departures[0].arrives());

    // A departure arrives only when every run of it (every forecast) does.
    plan.departures[3].measures.push_back(measures(false, 0, 0, 0, 0));
    markBest(plan);
    EXPECT_EQ(plan.best[static_cast<int>(PlanMeasure::MaxWind)], 4);

    // No departure that arrives: no best.
    DeparturePlan none;
    none.departures.push_back(plan.departures[0]);
    markBest(none);
    for (int w = 0; w < kPlanMeasureCount; ++w) EXPECT_EQ(none.best[w], -1);
}

TEST(DeparturePlan, MeasuresOfARun) {
    // Three steps of an hour: upwind under sail, downwind under sail, under engine; the
    // arrival at Boston at 02:00 UTC on 21 June (10 pm EDT, after sunset).
    RunSummary run;
    run.inProgress = true;
    IsochronePoint dep = departureRecord(fromDayNumber(dayNumber(20, 6, 2026, 23, 0, 0)), 0, 0);
    auto step = [](IsochronePoint p, double tws, double twa, double awa, int engine) {
        p.parentTime = p.time;
        advance(p.time, 3600);
        p.stepSeconds = 3600;
        p.tws = static_cast<float>(tws);
        p.twa = static_cast<float>(twa);
        p.awa = static_cast<float>(awa);
        p.engine = engine;
        if (engine) p.engineSeconds += 3600;
        p.totalDistance += 1852 * 6;
        return p;
    };
    run.route.push_back(step(dep, 8, 45, 30, 0));
    run.route.push_back(step(run.route.back(), 12, 150, 140, 0));
    run.route.push_back(step(run.route.back(), 4, 45, 30, 1));
    const GeoPoint boston{-71.0589f, 42.3601f};
    const RunMeasures m = measureRun(run, boston);
    EXPECT_TRUE(m.arrived);
    EXPECT_NEAR(m.durationHours, 3, 1e-6);
    EXPECT_NEAR(m.maxWindKnots, 12 * kMsToKnot, 1e-4);
    EXPECT_NEAR(m.upwindPercent, 100.0 / 3, 1e-6); // the engine hour is not sailing upwind
    EXPECT_NEAR(m.engineHours, 1, 1e-6);
    EXPECT_NEAR(m.distanceNm, 18, 0.01);
    EXPECT_TRUE(m.nightArrival);
    // The same route arriving at noon EDT is not a night arrival; one that does not arrive
    // is never one.
    const GeoPoint athens{23.7f, 37.98f}; // 02:00 UTC is 5 am there, before sunrise too
    EXPECT_TRUE(measureRun(run, athens).nightArrival);
    const GeoPoint tokyo{139.7f, 35.7f}; // 11 am there
    EXPECT_FALSE(measureRun(run, tokyo).nightArrival);
    run.inProgress = false;
    EXPECT_FALSE(measureRun(run, boston).nightArrival);
    EXPECT_FALSE(measureRun(run, boston).arrived);
}

TEST(DeparturePlan, LateDeparturesAreKeptAsNotArrivingAndThreadsChangeNothing) {
    // A 6-hour forecast and a 3-hour passage: departures at 0 to 5 h, the late ones cannot
    // arrive before the wind ends.
    WindStore store;
    std::string error;
    ASSERT_EQ(store.loadGrib(std::string(NAVOREL_TEST_DATA) + "/grib/g2_gust.grb2", WindColorRamp{},
                             &error),
              GribLoadStatus::Ok)
        << error;
    RoutingParameters params = quietParameters();
    params.method = 1;
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
    const std::vector<DateTime> starts = departureTimes({kJune1, kJune1 + 5 / 24.0, 1});
    ASSERT_EQ(starts.size(), 6u);
    std::vector<DeparturePlan> plans;
    for (int threads : {1, 2}) {
        setup.threads = threads;
        plans.push_back(planDepartures(setup, starts));
    }
    const DeparturePlan& plan = plans[0];
    ASSERT_EQ(plan.departures.size(), 6u);
    EXPECT_FALSE(plan.cancelled);
    int arriving = 0;
    for (std::size_t k = 0; k < 6; ++k) {
        const Departure& d = plan.departures[k];
        SCOPED_TRACE(k);
        EXPECT_EQ(d.departure.dayNumber, starts[k].dayNumber);
        ASSERT_EQ(d.runs.size(), 1u);
        EXPECT_EQ(d.runs[0].startOffset, static_cast<int>(k));
        arriving += d.arrives();
        // The late ones stop inside the forecast, still there with their partial route.
        if (!d.arrives()) {
            EXPECT_FALSE(d.runs[0].route.empty());
            EXPECT_LE(d.shown()->arrival, store.frameTimes().back() + 1e-9);
        }
        const Departure& other = plans[1].departures[k];
        EXPECT_EQ(other.arrives(), d.arrives());
        EXPECT_EQ(other.shown()->arrival, d.shown()->arrival);
        EXPECT_EQ(other.runs[0].advanceCalls, d.runs[0].advanceCalls);
    }
    EXPECT_GE(arriving, 2);
    EXPECT_LE(arriving, 4);
    EXPECT_FALSE(plan.departures[5].arrives());
    EXPECT_TRUE(plan.departures[0].arrives());
    EXPECT_EQ(plan.best[0], plans[1].best[0]);
}

TEST(PlanCli, OneLinePerDepartureAndTheFastestMarked) {
    TestFolder dir;
    const CliRun r = cli("plan --demo --csv " + dir.file("plan.csv"));
    ASSERT_EQ(r.code, 0) << r.err;
    // The demo forecast runs 5 days: 33 departures, every 3 hours over 4 days.
    EXPECT_EQ(countLines(r.out, "\n2026-06-"), 33) << r.out; // after the header line
    EXPECT_EQ(countLines(r.out, "* fastest"), 1);
    EXPECT_NE(r.out.find("fastest: leave 2026-06-"), std::string::npos);
    const std::string csv = readFile(dir.file("plan.csv"));
    EXPECT_EQ(countLines(csv, "\n"), 34);
    EXPECT_EQ(csv.rfind("departure,arrival,duration_h,arrived,", 0), 0u);
}

TEST(PlanCli, EachRunIsTheRunOfTheStartTimeScanAndOfRouteAtItsStart) {
    TestFolder dir;
    const std::string plan = dir.file("plan.json"), scan = dir.file("scan.json"),
                      one = dir.file("one.json");
    const CliRun p = cli("plan --demo --threads 2 --from 2026-06-01T06:00 --to 2026-06-01T15:00 "
                         "--json " +
                         plan);
    ASSERT_EQ(p.code, 0) << p.err;
    // The scan from the same first departure: offsets 3, 6, 9 and the final run at 0.
    const CliRun s = cli("route --demo --threads 1 --start 2026-06-01T06:00 --set "
                         "Routing.ScanPolar=0 --set Routing.ScanStart=1 --set Routing.MinStart=3 "
                         "--set Routing.MaxStart=9 --set Routing.StepStart=3 --json " +
                         scan);
    ASSERT_EQ(s.code, 0) << s.err;
    const std::map<int, std::string> planned = runsByOffset(readFile(plan));
    const std::map<int, std::string> scanned = runsByOffset(readFile(scan));
    ASSERT_EQ(planned.size(), 4u);
    ASSERT_EQ(scanned.size(), 4u);
    for (const auto& [offset, run] : planned) {
        SCOPED_TRACE(offset);
        ASSERT_TRUE(scanned.count(offset));
        EXPECT_EQ(run, scanned.at(offset)); // byte for byte
    }
    // The departure at 12:00 is route --start at 12:00 (whose offset is 0, the rest equal).
    const CliRun r = cli("route --demo --set Routing.ScanPolar=0 --start 2026-06-01T12:00 "
                         "--json " +
                         one);
    ASSERT_EQ(r.code, 0) << r.err;
    const std::map<int, std::string> single = runsByOffset(readFile(one));
    ASSERT_EQ(single.size(), 1u);
    EXPECT_EQ(pointsOf(single.at(0)), pointsOf(planned.at(6)));
    const std::string json = readFile(plan);
    EXPECT_NE(json.find("{\"departure\":\"2026-06-01T12:00\""), std::string::npos);
    EXPECT_NE(json.find("\"best\":{\"duration\":"), std::string::npos);
}

TEST(PlanCli, ADepartureTooLateToArriveIsShownAsSuch) {
    // The demo forecast ends on 6 June at 00:00; the passage takes about a day.
    const CliRun r = cli("plan --demo --from 2026-06-05T12:00 --to 2026-06-05T18:00 --json");
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(countLines(r.out, "{\"departure\":"), 3);
    EXPECT_EQ(countLines(r.out, "\"arrives\":false"), 3);
    EXPECT_NE(r.out.find("\"best\":{\"duration\":-1"), std::string::npos);
    const CliRun text = cli("plan --demo --from 2026-06-05T12:00 --to 2026-06-05T18:00");
    EXPECT_EQ(countLines(text.out, "does not arrive"), 3) << text.out;
    EXPECT_NE(text.out.find("no departure arrives"), std::string::npos);
}

TEST(PlanCli, TheComfortLimitsAreSettingsOfTheirOwn) {
    // Within their range they are taken; the demo forecast has no gust, which is said.
    const std::string span = "plan --demo --from 2026-06-01T00:00 --to 2026-06-01T00:00 ";
    const CliRun gust = cli(span + "--set Routing.GustMax=25 --set Routing.WindMaxUpwind=30");
    EXPECT_EQ(gust.code, 0) << gust.err;
    EXPECT_NE(gust.err.find("the forecast carries no gust"), std::string::npos) << gust.err;
    const CliRun none = cli(span);
    EXPECT_EQ(none.err.find("gust"), std::string::npos) << none.err;
    for (const char* bad :
         {"Routing.WindMaxUpwind=201", "Routing.WindMaxDownwind=-1", "Routing.GustMax=2.5"}) {
        const CliRun r = cli(span + "--set " + bad);
        EXPECT_EQ(r.code, 1) << bad;
    }
}

TEST(PlanCli, BadOptionsAreRefused) {
    const char* cases[] = {"plan --demo --step 0",
                           "plan --demo --step 2.5",
                           "plan --demo --from 2026-13-01",
                           "plan --demo --threads 0",
                           "plan --demo --to 2026-05-01T00:00",
                           "plan --demo --bogus"};
    for (const char* c : cases) {
        SCOPED_TRACE(c);
        const CliRun r = cli(c);
        EXPECT_EQ(r.code, 1);
        EXPECT_EQ(r.err.rfind("navorel-cli: ", 0), 0u) << r.err;
    }
}
