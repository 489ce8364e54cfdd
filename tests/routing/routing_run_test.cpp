#include "routing/best_course.h"
#include "routing/routing_run.h"

#include "core/texts.h"
#include "routing_fixtures.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <functional>
#include <mutex>
#include <thread>

using namespace navorel;
using namespace navorel::test;

namespace {

// Label texts for the results table, by number.
class NumberTexts : public TextProvider {
  public:
    std::string text(int n) const override {
        if (n == 77) return "Routing";
        if (n == 78) return "h";
        return "#" + std::to_string(n);
    }
};

struct Fixture {
    RoutingParameters params = quietParameters();
    Polar polar = parseTestPolar(kFlatPolar);
    ConstantWind wind{0, 15};
    UserRoute route;
    RunControl control;
    DateTime start = fromDayNumber(dayNumber(1, 6, 2026, 0, 0, 0));

    Fixture(std::vector<GeoPoint> waypoints) {
        route.waypoints = std::move(waypoints);
        params.uniqueWind = true;
        recompute(route, params, nullptr);
    }
    RunSetup setup() {
        RunSetup s;
        s.params = &params;
        s.polar = &polar;
        s.wind = &wind;
        s.route = &route;
        s.control = &control;
        s.start = start;
        return s;
    }
    RoutingInputs inputs() {
        RoutingInputs in;
        in.params = &params;
        in.polar = &polar;
        in.wind = &wind;
        in.control = &control;
        return in;
    }
};

} // namespace

TEST(BestCourse, ShortLegStartsFromADepartureRecordWithNoTotals) {
    // A two-waypoint route shorter than one step (15 min at 6 kt is about 2.8 km).
    Fixture f({{-70.0f, 42.0f}, {-70.0f, 41.99f}});
    f.params.timestep = 15;
    const RoutingOutput out = routeBestCourse(f.inputs(), f.route, f.start);
    ASSERT_GE(out.route.size(), 2u);
    const IsochronePoint& dep = out.route.front();
    EXPECT_EQ(dep.time.dayNumber, f.start.dayNumber);
    EXPECT_EQ(dep.lon, -70.0f);
    EXPECT_EQ(dep.lat, 42.0f);
    EXPECT_EQ(dep.totalDistance, 0.0f);
    EXPECT_EQ(dep.stepSeconds, 0.0);
    // The arrival counts the leg once: about 1.1 km.
    EXPECT_NEAR(out.route.back().totalDistance,
                greatCircleDistance(f.route.waypoints[0], f.route.waypoints[1]), 30);
    EXPECT_NEAR(out.route.back().lat, 41.99f, 1e-4);
    EXPECT_EQ(out.status, 0);
    EXPECT_TRUE(out.arrived);
}

TEST(BestCourse, StopsAtMaxIterationsAndOnBarriers) {
    Fixture f({{-70.0f, 42.0f}, {-70.0f, 40.0f}}); // 120 nm south, downwind
    f.params.maxIterations = 100;
    f.params.timestep = 5;
    RoutingOutput out = routeBestCourse(f.inputs(), f.route, f.start);
    EXPECT_EQ(out.route.size(), 100u);
    EXPECT_EQ(out.status, 1);
    EXPECT_FALSE(out.inProgress);

    SyntheticCoast coast;
    coast.barriers.push_back({{-70.5f, 41.5f}, {-69.5f, 41.5f}});
    RoutingInputs in = f.inputs();
    in.crossings = &coast;
    f.params.maxIterations = 1000;
    f.params.timestep = 15;
    f.control.status = 0;
    out = routeBestCourse(in, f.route, f.start);
    ASSERT_FALSE(out.route.empty());
    const IsochronePoint& last = out.route.back();
    EXPECT_GT(last.parentLat, 41.5f); // the step that crosses is the last point
    EXPECT_LT(last.lat, 41.5f);
    EXPECT_EQ(out.status, 1);
}

TEST(RoutingRun, EffectivenessScanRunsAndFallbacks) {
    Fixture f({{-70.0f, 42.0f}, {-70.0f, 41.8f}});
    f.params.method = 0;
    RunSetup s = f.setup();
    RoutingResult r = runRouting(s);
    ASSERT_EQ(r.summaries.size(), 5u);
    const int expected[] = {80, 85, 90, 95, 100};
    for (int k = 0; k < 5; ++k) EXPECT_EQ(r.summaries[k].power, expected[k]);
    EXPECT_EQ(r.scanRoutes.size(), 5u);
    // A slower boat takes longer.
    EXPECT_GT(routeDurationSeconds(r.summaries[0].route),
              routeDurationSeconds(r.summaries[4].route));

    f.params.stepPolar = 7;
    r = runRouting(s);
    ASSERT_EQ(r.summaries.size(), 4u);
    EXPECT_EQ(r.summaries[1].power, 87);
    EXPECT_EQ(r.summaries[2].power, 94);
    EXPECT_EQ(r.summaries[3].power, 100);

    // Both effectiveness and wind on: only the effectiveness scan runs.
    f.params.scanWind = true;
    r = runRouting(s);
    for (const RunSummary& sum : r.summaries) EXPECT_EQ(sum.variation, 100);

    // A step of 0 cannot repeat for ever.
    f.params.stepPolar = 0;
    r = runRouting(s);
    EXPECT_EQ(r.summaries.size(), 2u);
}

TEST(RoutingRun, StartScanAndSingleRun) {
    Fixture f({{-70.0f, 42.0f}, {-70.0f, 41.8f}});
    f.params.scanPolar = false;
    f.params.scanStart = true;
    RunSetup s = f.setup();
    RoutingResult r = runRouting(s);
    ASSERT_EQ(r.summaries.size(), 7u);
    const int offsets[] = {-3, -2, -1, 1, 2, 3, 0};
    for (int k = 0; k < 7; ++k) {
        EXPECT_EQ(r.summaries[k].startOffset, offsets[k]);
        EXPECT_NEAR(r.summaries[k].route.front().parentTime.dayNumber,
                    f.start.dayNumber + offsets[k] / 24.0, 1e-9);
    }
    f.params.scanStart = false;
    r = runRouting(s);
    EXPECT_EQ(r.summaries.size(), 1u);
    EXPECT_FALSE(r.scanning);
}

TEST(RoutingRun, CancellingTheThirdRunEndsTheScan) {
    Fixture f({{-70.0f, 42.0f}, {-70.0f, 41.8f}});
    f.params.method = 1;
    RunSetup s = f.setup();
    s.threads = 1;
    int runs = 0;
    s.afterFront = [&](const FrontEvent& e) {
        if (e.firstOfLeg && ++runs == 3) f.control.cancel = true;
    };
    const RoutingResult r = runRouting(s);
    EXPECT_EQ(r.summaries.size(), 3u);
    EXPECT_EQ(r.summaries.back().status, 2);
}

TEST(RoutingRun, Refusals) {
    Fixture f({{-70.0f, 42.0f}, {-70.0f, 41.8f}});
    SyntheticCoast coast;
    coast.islands.push_back({{-70.1f, 41.9f}, {-69.9f, 42.1f}});
    recompute(f.route, f.params, &coast);
    RunSetup s = f.setup();
    RoutingResult r = runRouting(s);
    EXPECT_EQ(r.refusal, RunRefusal::WaypointsOnLand);
    EXPECT_EQ(refusalMessage(r, NumberTexts()), "1 #82");

    recompute(f.route, f.params, nullptr);
    f.params.uniqueWind = false;
    s.coverage = {true, f.start.dayNumber + 1, f.start.dayNumber + 2, -71, -69, 41, 43, false};
    f.params.engine = false;
    r = runRouting(s);
    EXPECT_EQ(r.refusal, RunRefusal::StartOutsideWind);
    // On the last forecast time counts as inside.
    s.coverage.lastTime = f.start.dayNumber;
    s.coverage.firstTime = f.start.dayNumber - 1;
    r = runRouting(s);
    EXPECT_EQ(r.refusal, RunRefusal::None);

    UserRoute one;
    one.waypoints = {{-70, 42}};
    s.route = &one;
    EXPECT_EQ(runRouting(s).refusal, RunRefusal::Ignored);
}

TEST(RoutingRun, ResultsTable) {
    Fixture f({{-70.0f, 42.0f}, {-70.0f, 41.5f}}); // 30 nm due south at 6 kt: 5 hours
    f.params.scanPolar = false;
    f.params.method = 0;
    f.params.timestep = 10;
    RunSetup s = f.setup();
    const RoutingResult r = runRouting(s);
    ASSERT_EQ(r.summaries.size(), 1u);
    const ResultsTable t = resultsTable(r, f.route, NumberTexts());
    ASSERT_EQ(t.titles.size(), 2u);
    EXPECT_EQ(t.titles[1], "Routing 1");
    const int b = 8;
    EXPECT_EQ(t.rows[0][1], "100 %");
    EXPECT_EQ(t.rows[2][1], "0 h");
    EXPECT_EQ(t.rows[3][0], "#49");
    EXPECT_EQ(t.rows[5][1], "01/06/2026 00:00");
    EXPECT_EQ(t.rows[4][0], ""); // separator
    const double nm = f.route.totalLength * 0.0005399568034557236;
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.2f M", nm);
    EXPECT_EQ(t.rows[b + 1][1], buf);
    EXPECT_EQ(t.rows[b + 2][1].substr(t.rows[b + 2][1].size() - 7), "(+ 0 %)");
    // The mean speed is a speed: routed miles per hour of the run, in knots.
    EXPECT_EQ(t.rows[b + 4][0], "#56");
    const double knots = r.output.route.back().totalDistance * 0.0005399568034557236 /
                         (routeDurationSeconds(r.output.route) / 3600.0);
    std::snprintf(buf, sizeof buf, "%.2f kt", knots);
    EXPECT_EQ(t.rows[b + 4][1], buf);
    // "Engine used" says No in the language of the texts; English without a text.
    EXPECT_EQ(t.rows[b + 7][1], "#510");
    struct NoTexts : TextProvider {
        std::string text(int) const override { return {}; }
    };
    EXPECT_EQ(resultsTable(r, f.route, NoTexts()).rows[b + 7][1], "No");
    EXPECT_EQ(t.rows[b + 14][1], "0 %");
    // Dead downwind the whole way: all of the time counts as downwind, none reaching.
    EXPECT_EQ(t.rows[b + 17][1], "100 %");
    EXPECT_EQ(t.rows[b + 16][1], "0 %");
    EXPECT_EQ(t.rows[b + 25][1], "100 %");
    EXPECT_EQ(t.rows[b + 27][1], "-");
    EXPECT_EQ(t.rows[b + 29][1], std::to_string(r.output.route.size()));
    EXPECT_EQ(t.computationTime, "0 sec");
}

TEST(RoutingRun, ScanOverSeveralPolarsLeavesTheCallersPolarAlone) {
    // The window paints the boat's polar while the scan runs: it must never change.
    const std::string folder = ::testing::TempDir() + "/scan_polars";
    std::filesystem::create_directories(folder);
    for (const char* name : {"Slow", "Fast"}) {
        std::ofstream(folder + "/" + name + ".pol")
            << "TWA\\TWS\t5\t30\n40\t" << (name[0] == 'S' ? 4 : 8) << "\t6\n180\t6\t6\n";
    }
    Fixture f({{-70.0f, 42.0f}, {-70.0f, 41.8f}});
    f.params.method = 1;
    f.params.scanPolar = false;
    f.params.scanPolars = true;
    f.params.polarOn[0] = f.params.polarOn[1] = true;
    f.params.polarName[0] = "Slow";
    f.params.polarName[1] = "Fast.pol"; // a name given with its extension is found too
    f.params.powerInForce = 77;         // whatever the window last showed
    const Polar before = f.polar;
    RunSetup s = f.setup();
    s.polarsFolder = folder;
    int changedDuringRun = 0;
    s.afterFront = [&](const FrontEvent&) {
        changedDuringRun += f.polar.name != before.name || f.polar.table != before.table;
    };
    const RoutingResult r = runRouting(s);
    ASSERT_EQ(r.summaries.size(), 2u);
    EXPECT_EQ(r.summaries[0].polarName, "Slow");
    EXPECT_EQ(r.summaries[1].polarName, "Fast");
    EXPECT_GT(routeDurationSeconds(r.summaries[0].route),
              routeDurationSeconds(r.summaries[1].route));
    EXPECT_EQ(changedDuringRun, 0);
    EXPECT_EQ(f.polar.table, before.table);
    EXPECT_EQ(f.params.powerInForce, 77);
}

TEST(RoutingRun, ScanEndsAtARunThatPassedItsBound) {
    Fixture f({{-70.0f, 42.0f}, {-70.0f, 41.0f}});
    f.params.method = 1;
    RunSetup s = f.setup();
    s.limits.storedPoints = 200;
    const RoutingResult r = runRouting(s);
    ASSERT_EQ(r.summaries.size(), 1u);
    EXPECT_EQ(r.summaries[0].status, kStatusTooLarge);
    EXPECT_EQ(limitMessage(r, NumberTexts()), "#436 200 #437");
    s.limits = {};
    EXPECT_EQ(limitMessage(runRouting(s), NumberTexts()), "");
}

namespace {

// Wind everywhere until a given time, none after it.
class WindUntil : public WindField {
  public:
    explicit WindUntil(double until) : until_(until) {}
    WindSample windAt(float, float, double t) const override {
        if (t > until_) return {};
        return WindSample{true, 0, 15};
    }

  private:
    double until_;
};

} // namespace

// Every way a routing ends, told in one line by the engine for the window and the command
// line alike: where the run stopped and why.
TEST(RoutingRun, OutcomeSaysWhereAndWhyARunStopped) {
    const NumberTexts texts;
    struct Case {
        const char* what;
        std::function<void(Fixture&, RunSetup&)> prepare;
        RunEnd end;
        const char* begins; // the outcome's text starts with this
        const char* ends;   // and ends with this
    };
    SyntheticCoast land;
    land.islands.push_back({{-71.0f, 41.85f}, {-69.0f, 41.9f}}); // across the whole way
    SyntheticCoast fence;
    fence.barriers.push_back({{-71.0f, 41.9f}, {-69.0f, 41.9f}});
    WindUntil shortForecast(dayNumber(1, 6, 2026, 1, 0, 0));
    const Case cases[] = {
        {"arrived", [](Fixture&, RunSetup&) {}, RunEnd::Arrived, "#376", "#376"},
        {"cancelled",
         [](Fixture& f, RunSetup& s) {
             s.afterFront = [&f](const FrontEvent&) { f.control.cancel = true; };
         },
         RunEnd::Cancelled, "#377", "#377"},
        {"land across the way",
         [&](Fixture& f, RunSetup& s) {
             f.params.avoidCoasts = true;
             s.crossings = &land;
         },
         RunEnd::NotFinished, "#79: #430 ", " #431 2 - #434"},
        {"a barrier across the way",
         [&](Fixture& f, RunSetup& s) {
             f.params.avoidCoasts = f.params.avoidBarriers = true;
             s.crossings = &fence;
         },
         RunEnd::NotFinished, "#79: #430 ", " #431 2 - #435"},
        {"the forecast ends",
         [&](Fixture& f, RunSetup& s) {
             f.params.uniqueWind = false;
             s.wind = &shortForecast;
             s.coverage = {
                 true, f.start.dayNumber, dayNumber(1, 6, 2026, 1, 0, 0), -72, -68, 40, 44, false};
         },
         RunEnd::NotFinished, "#79: #430 ", " #431 2 - #432 01/06 01:00"},
        {"the memory bound", [](Fixture&, RunSetup& s) { s.limits.storedPoints = 200; },
         RunEnd::NotFinished, "#79: #430 ", " #431 2 - #436 200 #437"},
        {"the start is before the forecast",
         [](Fixture& f, RunSetup& s) {
             f.params.uniqueWind = false;
             f.params.engine = true;
             f.params.noRoutingOutside = true; // the engine cannot help outside the wind
             s.coverage = {true, f.start.dayNumber + 1, f.start.dayNumber + 2, -72, -68, 40, 44,
                           false};
         },
         RunEnd::Refused, "#441 01/06 00:00 (02/06 00:00 - 03/06 00:00)",
         "#441 01/06 00:00 (02/06 00:00 - 03/06 00:00)"},
        {"no polar of the scan found",
         [](Fixture& f, RunSetup& s) {
             f.params.scanPolars = true;
             f.params.polarOn[0] = true;
             f.params.polarName[0] = "Missing";
             s.polarsFolder = ::testing::TempDir();
         },
         RunEnd::NoRun, "#79: #439", "#79: #439"},
    };
    for (const Case& c : cases) {
        Fixture f({{-70.0f, 42.0f}, {-70.0f, 41.7f}});
        f.params.method = 1;
        f.params.scanPolar = false;
        RunSetup s = f.setup();
        c.prepare(f, s);
        const RunOutcome o = runOutcome(runRouting(s), texts);
        EXPECT_EQ(o.end, c.end) << c.what << ": " << o.text;
        EXPECT_EQ(o.text.rfind(c.begins, 0), 0u) << c.what << ": " << o.text;
        const std::string ends = c.ends;
        EXPECT_TRUE(o.text.size() >= ends.size() &&
                    o.text.compare(o.text.size() - ends.size(), ends.size(), ends) == 0)
            << c.what << ": " << o.text;
    }

    // With the engine free to motor outside the wind the run goes ahead.
    Fixture f({{-70.0f, 42.0f}, {-70.0f, 41.7f}});
    f.params.uniqueWind = false;
    f.params.engine = true;
    f.params.noRoutingOutside = false;
    RunSetup s = f.setup();
    s.coverage = {true, f.start.dayNumber + 1, f.start.dayNumber + 2, -72, -68, 40, 44, false};
    const RoutingResult r = runRouting(s);
    EXPECT_EQ(r.refusal, RunRefusal::None);
    EXPECT_TRUE(r.startOutsideWind);
}

TEST(RoutingRun, ExportedRouteEndsAtTheArrival) {
    Fixture f({{-70.0f, 42.0f}, {-70.0f, 41.7f}});
    f.params.scanPolar = false;
    const RoutingResult r = runRouting(f.setup());
    const std::vector<IsochronePoint>& route = r.output.route;
    ASSERT_TRUE(r.output.arrived);
    const std::vector<ExportedRoutePoint> points = exportedRoute(route);
    ASSERT_EQ(points.size(), route.size() + 1);
    // Each step's start at its time, the departure first...
    for (std::size_t i = 0; i < route.size(); ++i) {
        EXPECT_EQ(points[i].position.lon, route[i].parentLon);
        EXPECT_EQ(points[i].position.lat, route[i].parentLat);
        EXPECT_EQ(points[i].time, route[i].parentTime.dayNumber);
    }
    EXPECT_EQ(points.front().position.lat, 42.0f);
    // ...then the destination at the arrival time.
    EXPECT_NEAR(points.back().position.lat, 41.7f, 1e-4);
    EXPECT_NEAR(points.back().position.lon, -70.0f, 1e-4);
    EXPECT_EQ(points.back().time, route.back().time.dayNumber);
    EXPECT_TRUE(exportedRoute({}).empty());
}

// Everything a scan leaves, digit for digit: the summaries, the routes and the last output.
std::string scanText(const RoutingResult& r) {
    std::string out;
    for (const RunSummary& s : r.summaries) {
        char line[400];
        std::snprintf(line, sizeof line, "%d %s %.9g %d %d %.9g %.9g %.9g %.9g %lld %d %d %d\n",
                      s.power, s.polarName.c_str(), s.rating, s.variation, s.startOffset, s.minSog,
                      s.maxSog, s.minTws, s.maxTws, s.advanceCalls, s.storeSize, s.inProgress,
                      s.status);
        out += line + formatRoute(s.route);
    }
    for (const auto& route : r.scanRoutes) out += formatRoute(route);
    out += formatRoute(r.output.route) + formatRoute(r.output.pointStore);
    char tail[200];
    std::snprintf(tail, sizeof tail, "%.9g %.9g %.9g %.9g %zu\n", r.minSog, r.maxSog, r.minTws,
                  r.maxTws, r.output.allIsochrones.size());
    return out + tail;
}

TEST(RoutingRun, ScansOnSeveralThreadsGiveTheSerialResults) {
    const std::string folder = ::testing::TempDir() + "/scan_threads";
    std::filesystem::create_directories(folder);
    std::ofstream(folder + "/A.pol") << "TWA\\TWS\t5\t30\n40\t4\t6\n180\t6\t6\n";
    std::ofstream(folder + "/B.pol") << "TWA\\TWS\t5\t30\n40\t8\t6\n180\t6\t6\n";
    const std::pair<const char*, std::function<void(RoutingParameters&, RunSetup&)>> cases[] = {
        {"effectiveness", [](RoutingParameters&, RunSetup&) {}},
        {"best course", [](RoutingParameters& p, RunSetup&) { p.method = 0; }},
        {"wind",
         [](RoutingParameters& p, RunSetup&) {
             p.scanPolar = false;
             p.scanWind = true;
         }},
        {"start",
         [](RoutingParameters& p, RunSetup&) {
             p.scanPolar = false;
             p.scanStart = true;
         }},
        {"polars",
         [&](RoutingParameters& p, RunSetup& s) {
             p.scanPolar = false;
             p.scanPolars = true;
             p.polarOn[0] = p.polarOn[2] = true;
             p.polarName[0] = "A";
             p.polarName[2] = "B";
             s.polarsFolder = folder;
         }},
        // The first run stops at its bound: the runs made alongside it are dropped.
        {"bound", [](RoutingParameters&, RunSetup& s) { s.limits.storedPoints = 300; }},
    };
    for (const auto& [name, change] : cases) {
        SCOPED_TRACE(name);
        Fixture f({{-70.0f, 42.0f}, {-69.6f, 41.6f}, {-70.0f, 41.2f}});
        f.params.method = 1;
        RunSetup s = f.setup();
        change(f.params, s);
        s.threads = 1;
        const std::string serial = scanText(runRouting(s));
        const int serialStatus = f.control.status.load();
        s.threads = 3;
        std::vector<int> told;
        std::mutex toldMutex;
        s.runFinished = [&](int run, const RunSummary&) {
            std::lock_guard<std::mutex> lock(toldMutex);
            told.push_back(run);
        };
        const RoutingResult parallel = runRouting(s);
        EXPECT_EQ(scanText(parallel), serial);
        EXPECT_EQ(f.control.status.load(), serialStatus);
        EXPECT_GE(told.size(), parallel.summaries.size());
    }
}

TEST(RoutingRun, CancellingAScanOnSeveralThreadsStopsEveryRun) {
    // Long legs: a run that missed the cancel would take many fronts.
    Fixture f({{-70.0f, 42.0f}, {-70.0f, 38.0f}});
    f.params.method = 1;
    RunSetup s = f.setup();
    f.params.scanPolar = false;
    const std::size_t fullRoute = runRouting(s).output.route.size();
    f.params.scanPolar = true;
    s.threads = 5;
    s.afterFront = [&](const FrontEvent&) { f.control.cancel = true; };
    std::vector<RunSummary> told;
    s.runFinished = [&](int, const RunSummary& summary) { told.push_back(summary); };
    const RoutingResult r = runRouting(s);
    ASSERT_FALSE(told.empty());
    for (const RunSummary& t : told) {
        EXPECT_EQ(t.status, kStatusCancelled);
        EXPECT_FALSE(t.inProgress);
        EXPECT_LT(t.route.size() * 4, fullRoute);
    }
    // The first run was cancelled: it ends the scan, and there is no final run.
    ASSERT_EQ(r.summaries.size(), 1u);
    EXPECT_EQ(r.summaries[0].status, kStatusCancelled);
    EXPECT_EQ(r.summaries[0].power, 80);
}
