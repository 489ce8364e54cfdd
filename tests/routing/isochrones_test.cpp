#include "routing/isochrones.h"

#include "geo/tss.h"
#include "routing/obstacles.h"
#include "routing_fixtures.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <memory>
#include <random>

using namespace navorel;
using namespace navorel::test;

namespace {

// The point `metres` north of `from` along its meridian.
GeoPoint northOf(GeoPoint from, double metres) {
    return GeoPoint{from.lon, static_cast<float>(from.lat + metres / kEarthRadius * kRadToDeg)};
}
GeoPoint eastOnEquator(double metres) {
    return GeoPoint{static_cast<float>(metres / kEarthRadius * kRadToDeg), 0.0f};
}

struct Trip {
    RoutingParameters params = quietParameters();
    Polar polar = parseTestPolar(kFlatPolar);
    std::unique_ptr<WindField> wind = std::make_unique<ConstantWind>(270.0f, 12.0f);
    SyntheticCoast coast;
    RunControl control;
    UserRoute route;
    DateTime start = fromDayNumber(16000.0);

    RoutingInputs inputs() {
        RoutingInputs in;
        in.params = &params;
        in.polar = &polar;
        in.wind = wind.get();
        in.crossings = &coast;
        in.control = &control;
        return in;
    }
    RoutingOutput go(std::vector<GeoPoint> waypoints, const FrontCallback& cb = {}) {
        route.waypoints = std::move(waypoints);
        recompute(route, params, nullptr);
        return routeIsochrones(inputs(), route, start, cb);
    }
};

double durationSeconds(const RoutingOutput& o) {
    return (o.route.back().time.dayNumber - o.route.front().parentTime.dayNumber) * 86400.0;
}

// Every step of the route starts where the one before it ended.
void expectContinuous(const RoutingOutput& o, GeoPoint departure) {
    GeoPoint at = departure;
    for (const IsochronePoint& p : o.route) {
        EXPECT_EQ(p.parentLon, at.lon);
        EXPECT_EQ(p.parentLat, at.lat);
        at = GeoPoint{p.lon, p.lat};
    }
}

IsochronePoint frontPoint(float lon, float lat, float distToTarget) {
    IsochronePoint p;
    p.lon = lon;
    p.lat = lat;
    p.distToTarget = distToTarget;
    return p;
}

bool sameFront(const Isochrone& a, const Isochrone& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (a[i].lon != b[i].lon || a[i].lat != b[i].lat || a[i].distToTarget != b[i].distToTarget)
            return false;
    return true;
}

// A front as the routing makes them: a wavy arc around a centre, with clusters of near
// points, listed in arc order with some disorder.
Isochrone syntheticFront(std::mt19937& rng, std::size_t n, GeoPoint centre, double radiusDeg,
                         GeoPoint target) {
    std::uniform_real_distribution<double> u(0.0, 1.0);
    Isochrone f;
    for (std::size_t i = 0; i < n; ++i) {
        const double a = -2.0 + 4.0 * (static_cast<double>(i) + u(rng) * 3.0) / n;
        const double r = radiusDeg * (1.0 + 0.15 * std::sin(7 * a) + 0.05 * u(rng));
        double lon = centre.lon + r * std::sin(a) / std::cos(centre.lat * kDegToRad);
        if (lon > 180) lon -= 360;
        if (lon < -180) lon += 360;
        const GeoPoint p{static_cast<float>(lon), static_cast<float>(centre.lat + r * std::cos(a))};
        f.push_back(frontPoint(p.lon, p.lat, static_cast<float>(greatCircleDistance(p, target))));
        if (u(rng) < 0.2) { // a close neighbour, sometimes with the same distance
            const GeoPoint q{static_cast<float>(p.lon + 1e-4 * u(rng)), p.lat};
            f.push_back(frontPoint(q.lon, q.lat,
                                   u(rng) < 0.3
                                       ? f.back().distToTarget
                                       : static_cast<float>(greatCircleDistance(q, target))));
        }
    }
    return f;
}

// The candidates of one step as the routing makes them: a fan of 17 headings 5 degrees apart
// from each point of a front, a step's run away, in fan order. Dense: most fall within the
// prune distance of another.
Isochrone fanCandidates(std::mt19937& rng, std::size_t parents, GeoPoint centre, double radius,
                        double stepMetres, GeoPoint target) {
    std::uniform_real_distribution<double> u(0.0, 1.0);
    Isochrone f;
    for (std::size_t i = 0; i < parents; ++i) {
        const double a = -1.2 + 2.4 * static_cast<double>(i) / parents;
        const GeoPoint parent = rhumbDestination(centre, a * kRadToDeg, radius);
        for (int k = -8; k <= 8; ++k) {
            const GeoPoint p =
                rhumbDestination(parent, a * kRadToDeg + 5 * k, stepMetres * (0.9 + 0.2 * u(rng)));
            f.push_back(
                frontPoint(p.lon, p.lat, static_cast<float>(greatCircleDistance(p, target))));
        }
    }
    return f;
}

} // namespace

TEST(LegSettings, AutomaticStep) {
    const Polar polar = parseTestPolar("TWA\\TWS\t10\t20\n40\t5\t6\n90\t5\t6\n180\t5\t6\n");
    RoutingParameters params;
    params.timestepAuto = true;
    UserRoute route;
    route.waypoints = {GeoPoint{0, 0}, eastOnEquator(100000)};
    recompute(route, params, nullptr);
    LegSettings s = legSettings(params, polar, route, 0);
    EXPECT_NEAR(s.referenceSeconds, 5000 / (6 * kKnotToMs), 0.01); // 1619 s
    EXPECT_EQ(s.legFactor, 1.0);
    EXPECT_EQ(s.stepSeconds, 1350); // 1800 s at Quality 3
    EXPECT_FLOAT_EQ(s.pruneDistance, 225);
    EXPECT_EQ(s.initialCount, 35);
    EXPECT_EQ(s.furtherStep, 7);
    params.quality = 0;
    EXPECT_EQ(legSettings(params, polar, route, 0).stepSeconds, 3600);
    params.quality = 4;
    EXPECT_EQ(legSettings(params, polar, route, 0).stepSeconds, 900);

    // Whole hours between one and three hours.
    params.quality = 2;
    route.waypoints = {GeoPoint{0, 0}, eastOnEquator(600000)};
    recompute(route, params, nullptr);
    EXPECT_EQ(legSettings(params, polar, route, 0).stepSeconds, 7200); // H = 9717 s

    // Legs of 100, 50 and 20 km: b = 1, 2 and 4 (5 is above the limit).
    params.quality = 3;
    route.waypoints = {GeoPoint{0, 0}, eastOnEquator(100000), eastOnEquator(150000),
                       eastOnEquator(170000)};
    recompute(route, params, nullptr);
    EXPECT_NEAR(legSettings(params, polar, route, 0).legFactor, 1.0, 1e-9);
    EXPECT_NEAR(legSettings(params, polar, route, 1).legFactor, 2.0, 1e-4);
    s = legSettings(params, polar, route, 2);
    EXPECT_EQ(s.legFactor, 4.0);
    EXPECT_NEAR(s.referenceSeconds, 4 * 0.05 * route.legLength[2] / (6 * kKnotToMs), 1e-6);

    params.timestepAuto = false;
    s = legSettings(params, polar, route, 2);
    EXPECT_EQ(s.stepSeconds, 900);
    EXPECT_FLOAT_EQ(s.pruneDistance, 500);
    EXPECT_EQ(s.initialCount, 5);
    EXPECT_EQ(s.initialStep, 10);
}

TEST(Isochrones, FirstFanHeadingCount) {
    for (auto [count, expected] : {std::pair{4, 5}, {5, 5}, {3, 3}, {1, 1}}) {
        Trip run;
        run.params.nbInitialAngles = count;
        int fronts = 0;
        const RoutingOutput o =
            run.go({GeoPoint{0, 45}, GeoPoint{0, 46}}, [&](const FrontEvent& e) {
                ++fronts;
                EXPECT_TRUE(e.firstOfLeg);
                run.control.cancel = true;
            });
        EXPECT_EQ(fronts, 1);
        EXPECT_EQ(o.advanceCalls, expected) << count;
        EXPECT_EQ(o.status, 2);
        EXPECT_FALSE(o.inProgress);
    }
}

TEST(Isochrones, CancelKeepsTheRouteToTheClosestPoint) {
    Trip run;
    int fronts = 0;
    const GeoPoint target{0, 46};
    const RoutingOutput o = run.go({GeoPoint{0, 45}, target}, [&](const FrontEvent& e) {
        EXPECT_EQ(e.firstOfLeg, fronts == 0);
        EXPECT_EQ(e.displayTime.dayNumber, e.front->front().parentTime.dayNumber);
        if (++fronts == 3) run.control.cancel = true;
    });
    EXPECT_EQ(fronts, 3);
    EXPECT_EQ(o.status, 2);
    EXPECT_FALSE(o.arrived);
    ASSERT_EQ(o.route.size(), 3u);
    ASSERT_EQ(o.legIsochrones.size(), 3u);
    double best = 1e300;
    for (const Isochrone& iso : o.legIsochrones)
        for (const IsochronePoint& p : iso)
            best = std::min(best, greatCircleDistance({p.lon, p.lat}, target));
    EXPECT_EQ(greatCircleDistance({o.route.back().lon, o.route.back().lat}, target), best);
    expectContinuous(o, GeoPoint{0, 45});
    EXPECT_TRUE(o.allIsochrones.empty()); // the leg did not finish
}

TEST(Isochrones, NothingToRouteAndCoincidentWaypoints) {
    Trip run;
    RoutingOutput o = run.go({GeoPoint{0, 45}});
    EXPECT_TRUE(o.route.empty());
    EXPECT_EQ(o.advanceCalls, 0);

    const GeoPoint a{0, 45}, b{0, 45.2f};
    Trip plain;
    const RoutingOutput direct = plain.go({a, b});
    ASSERT_TRUE(direct.arrived);
    o = run.go({a, a, b, b});
    EXPECT_TRUE(o.arrived);
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(formatRoute(o.route), formatRoute(direct.route));
}

TEST(Isochrones, EmptyFirstFrontStopsWithStatusOne) {
    Trip run;
    run.wind = std::make_unique<BoxWind>(270.0f, 12.0f, GeoPoint{10, 10}, GeoPoint{20, 20});
    const RoutingOutput o = run.go({GeoPoint{0, 45}, GeoPoint{0, 46}, GeoPoint{1, 46}});
    EXPECT_EQ(o.status, 1);
    EXPECT_FALSE(o.arrived);
    EXPECT_FALSE(o.inProgress);
    EXPECT_TRUE(o.route.empty());
    EXPECT_EQ(o.pointStore.size(), 1u); // the departure

    // A time step of nothing never gets anywhere: stop at once instead of running forever.
    Trip still;
    still.params.timestep = 0;
    const RoutingOutput s = still.go({GeoPoint{0, 45}, GeoPoint{0, 46}});
    EXPECT_FALSE(s.arrived);
    EXPECT_EQ(s.status, 1);
    EXPECT_EQ(s.advanceCalls, 0);
}

TEST(Isochrones, ReachingLegTakesDistanceOverPolarSpeed) {
    Trip run;
    run.polar = demoPolar();
    const GeoPoint a{-4, 46}, b = northOf(a, 20 * 1852);
    const RoutingOutput o = run.go({a, b});
    ASSERT_TRUE(o.arrived);
    EXPECT_EQ(o.status, 0);
    EXPECT_TRUE(o.inProgress);
    const double expected = greatCircleDistance(a, b) / (polarSpeed(run.polar, 90, 12) * kKnotToMs);
    EXPECT_NEAR(durationSeconds(o) / expected, 1.0, 0.005);
    EXPECT_EQ(o.route.back().lon, b.lon);
    EXPECT_NEAR(o.route.back().lat, b.lat, 1e-4);
    expectContinuous(o, a);
    EXPECT_GT(o.advanceCalls, 0);
    EXPECT_FALSE(o.allIsochrones.empty());
    EXPECT_NEAR(o.maxTws, 12 * kKnotToMs, 1e-5);
    // The step records add up to the whole route.
    double seconds = 0, metres = 0;
    for (const IsochronePoint& p : o.route) {
        seconds += p.stepSeconds;
        metres += p.stepDistance;
        EXPECT_LE(p.stepSeconds, 900);
    }
    EXPECT_NEAR(seconds, durationSeconds(o), 1e-3);
    EXPECT_NEAR(metres, o.route.back().totalDistance, 1.0);
}

TEST(Isochrones, DeadUpwindLegTakesDistanceOverBestVmg) {
    Trip run;
    run.polar = demoPolar();
    run.params.timestepAuto = true;
    run.wind = std::make_unique<ConstantWind>(0.0f, 12.0f);
    const GeoPoint a{-20, 40}, b = northOf(a, 50 * 1852);
    const RoutingOutput o = run.go({a, b});
    ASSERT_TRUE(o.arrived);
    const BestAngle best = bestUpwind(run.polar, 12);
    const double vmg = std::cos(best.angle * kDegToRad) * best.speed * kKnotToMs;
    double lost = 0;
    int tacks = 0;
    for (std::size_t i = 1; i < o.route.size(); ++i)
        if (o.route[i].awaSide != o.route[i - 1].awaSide && !o.route[i].engine) {
            ++tacks;
            lost += tackLoss(run.params, o.route[i].sog);
        }
    EXPECT_GE(tacks, 1);
    const double expected = (greatCircleDistance(a, b) + lost) / vmg;
    EXPECT_NEAR(durationSeconds(o) / expected, 1.0, 0.03);
    expectContinuous(o, a);
}

TEST(Isochrones, IslandAcrossTheDirectLineIsRounded) {
    Trip run;
    run.coast.islands.push_back({{-0.05f, 45.2f}, {0.05f, 45.25f}});
    const GeoPoint a{0, 45}, b{0, 45.5f};
    const RoutingOutput o = run.go({a, b});
    ASSERT_TRUE(o.arrived);
    float farthest = 0;
    for (const IsochronePoint& p : o.route) {
        EXPECT_FALSE(run.coast.segmentCrossesLand({p.parentLon, p.parentLat}, {p.lon, p.lat}));
        farthest = std::max(farthest, std::fabs(p.lon));
    }
    EXPECT_GT(farthest, 0.05f);
    for (const Isochrone& iso : o.allIsochrones)
        for (const IsochronePoint& p : iso) EXPECT_FALSE(run.coast.pointOnLand({p.lon, p.lat}));
    expectContinuous(o, a);
}

TEST(Isochrones, BarrierIsNeverCrossed) {
    Trip run;
    // The automatic fans (17 headings 7 degrees apart) can turn along a long barrier; the
    // manual ones (5 headings 3 degrees apart) stay pressed against it.
    run.params.timestepAuto = true;
    run.coast.barriers.push_back({GeoPoint{-0.1f, 45.25f}, GeoPoint{0.1f, 45.25f}});
    const GeoPoint a{0, 45}, b{0, 45.5f};
    const RoutingOutput o = run.go({a, b});
    ASSERT_TRUE(o.arrived);
    for (const IsochronePoint& p : o.route)
        EXPECT_FALSE(run.coast.segmentCrossesBarrier({p.parentLon, p.parentLat}, {p.lon, p.lat}));
    expectContinuous(o, a);
}

TEST(Isochrones, TrafficZoneIsRoundedOnlyWhenAvoidedAndASeparationZone) {
    const ZoneOutlines zone{{{-0.05f, 45.2f}, {0.05f, 45.2f}, {0.05f, 45.25f}, {-0.05f, 45.25f}}};
    struct Case {
        bool avoid;
        const char* kind;
        bool entered;
    };
    const Case cases[] = {{false, "", true},
                          {true, "", false},
                          {true, "separation zone", false},
                          {true, "traffic lane", true},
                          {true, "precautionary area", true}};
    for (const Case& c : cases) {
        TssStore store;
        store.outlines = zone;
        store.kinds = {c.kind};
        store.avoided.build(store.outlines, {zoneKindAvoided(c.kind)});
        const StoreCrossings zoneTests(nullptr, nullptr, &store.avoided);
        Trip run;
        run.params.avoidTss = c.avoid;
        run.route.waypoints = {GeoPoint{0, 45}, GeoPoint{0, 45.5f}};
        recompute(run.route, run.params, nullptr);
        RoutingInputs in = run.inputs();
        in.crossings = &zoneTests;
        const RoutingOutput o = routeIsochrones(in, run.route, run.start, {});
        ASSERT_TRUE(o.arrived);
        bool entered = false;
        for (const IsochronePoint& p : o.route)
            entered =
                entered || segmentCrossesZones(zone, {p.parentLon, p.parentLat}, {p.lon, p.lat});
        EXPECT_EQ(entered, c.entered) << "AvoidTss " << c.avoid << " kind '" << c.kind << "'";
    }
}

TEST(Isochrones, LegShorterThanOneStepArrivesDirectly) {
    for (bool ellipse : {true, false}) {
        Trip run;
        run.params.ellipse = ellipse;
        const GeoPoint a{0, 45}, b = northOf(a, 1000), c = northOf(b, 1500);
        const RoutingOutput o = run.go({a, b, c});
        ASSERT_TRUE(o.arrived) << ellipse;
        EXPECT_EQ(o.status, 0);
        // Straight to each waypoint at 6 kt: no run past it and back.
        ASSERT_EQ(o.route.size(), 2u);
        EXPECT_NEAR(durationSeconds(o), 2500 / (6 * kKnotToMs), 1.0);
        EXPECT_EQ(o.route[0].parentLat, a.lat);
        EXPECT_NEAR(o.route[0].lat, b.lat, 1e-5);
        EXPECT_NEAR(o.route[1].lat, c.lat, 1e-5);
        EXPECT_NEAR(o.route.back().totalDistance, 2500, 1.0);
        EXPECT_LT(o.route[0].stepSeconds, 900);
    }
}

TEST(Isochrones, LegShorterThanOneStepNeverJumpsAnObstacle) {
    // A wall of land or a barrier between two waypoints 1 km apart: the first step (2.8 km at
    // 6 kt in 15 min) passes the target on every heading of the fan, always through the wall.
    const GeoPoint a{0, 45}, b = northOf(a, 1000);
    const float wallLat = (a.lat + b.lat) / 2;
    for (bool land : {true, false})
        for (bool ellipse : {true, false}) {
            Trip run;
            run.params.ellipse = ellipse;
            if (land)
                run.coast.islands.push_back({{-0.5f, wallLat}, {0.5f, wallLat + 1e-4f}});
            else
                run.coast.barriers.push_back({GeoPoint{-0.5f, wallLat}, GeoPoint{0.5f, wallLat}});
            const RoutingOutput o = run.go({a, b});
            EXPECT_FALSE(o.arrived) << land << ellipse;
            EXPECT_EQ(o.status, 1) << land << ellipse;
            for (const IsochronePoint& p : o.route) {
                const GeoPoint from{p.parentLon, p.parentLat}, to{p.lon, p.lat};
                EXPECT_FALSE(run.coast.segmentCrossesLand(from, to) ||
                             run.coast.segmentCrossesBarrier(from, to))
                    << land << ellipse;
            }
        }
}

TEST(Isochrones, NoAcceptedArrivalMeansNotArrived) {
    // A closed barrier round the second waypoint: fronts reach it and steps jump past the
    // waypoint, but no arrival run can get through.
    Trip run;
    const GeoPoint a{0, 45}, b{0, 45.1f}, c{0.5f, 45.1f};
    const float dLat = 0.01f, dLon = 0.014f;
    run.coast.barriers.push_back(
        {GeoPoint{b.lon - dLon, b.lat - dLat}, GeoPoint{b.lon + dLon, b.lat - dLat},
         GeoPoint{b.lon + dLon, b.lat + dLat}, GeoPoint{b.lon - dLon, b.lat + dLat},
         GeoPoint{b.lon - dLon, b.lat - dLat}});
    const RoutingOutput o = run.go({a, b, c});
    EXPECT_FALSE(o.arrived);
    EXPECT_EQ(o.status, 1);
    EXPECT_FALSE(o.inProgress);
    ASSERT_FALSE(o.route.empty());
    // The route ends outside the barrier, on the first leg: the second was not started.
    for (const IsochronePoint& p : o.route) {
        EXPECT_FALSE(run.coast.segmentCrossesBarrier({p.parentLon, p.parentLat}, {p.lon, p.lat}));
        EXPECT_LT(p.lon, 0.1f);
    }
    const IsochronePoint& last = o.route.back();
    EXPECT_FALSE(std::fabs(last.lon - b.lon) < dLon && std::fabs(last.lat - b.lat) < dLat);
    expectContinuous(o, a);
}

TEST(Isochrones, RunStopsAtItsBounds) {
    // 120 nm at 6 kt in 15-minute steps: some 80 fronts and thousands of points.
    const GeoPoint a{0, 45}, b{0, 47};
    const struct {
        RunLimits limits;
        RunLimit expected;
    } cases[] = {{{300, 100000}, RunLimit::StoredPoints},
                 {{1000000, 5}, RunLimit::FrontsPerLeg},
                 {{1000000, 100000}, RunLimit::None}};
    for (const auto& c : cases) {
        Trip run;
        RoutingInputs in = run.inputs();
        in.limits = c.limits;
        run.route.waypoints = {a, b};
        recompute(run.route, run.params, nullptr);
        const RoutingOutput o = routeIsochrones(in, run.route, run.start);
        const int bound = static_cast<int>(c.expected);
        EXPECT_EQ(o.limit, c.expected) << bound;
        EXPECT_EQ(o.arrived, c.expected == RunLimit::None) << bound;
        if (c.expected == RunLimit::None) continue;
        EXPECT_EQ(o.status, kStatusTooLarge) << bound;
        EXPECT_FALSE(o.inProgress) << bound;
        EXPECT_LE(o.pointStore.size(), c.limits.storedPoints) << bound;
        EXPECT_LE(o.legIsochrones.size(), static_cast<std::size_t>(c.limits.frontsPerLeg));
        // The route goes to the point closest to the target so far.
        ASSERT_FALSE(o.route.empty()) << bound;
        expectContinuous(o, a);
    }
}

TEST(Isochrones, SeveralLegsChainThroughTheStore) {
    Trip run;
    const GeoPoint a{0, 45}, b{0, 45.3f}, c{0.3f, 45.3f};
    int firsts = 0;
    const RoutingOutput o = run.go({a, b, c}, [&](const FrontEvent& e) { firsts += e.firstOfLeg; });
    ASSERT_TRUE(o.arrived);
    EXPECT_EQ(firsts, 2);
    expectContinuous(o, a);
    bool passedB = false;
    for (const IsochronePoint& p : o.route) passedB |= greatCircleDistance({p.lon, p.lat}, b) < 1.0;
    EXPECT_TRUE(passedB);
    EXPECT_LT(greatCircleDistance({o.route.back().lon, o.route.back().lat}, c), 1.0);
    for (std::size_t i = 0; i < o.route.size(); ++i) {
        const IsochronePoint& p = o.route[i];
        EXPECT_EQ(o.pointStore[p.index].time.dayNumber, p.time.dayNumber);
        if (i > 0) {
            EXPECT_EQ(p.parent, o.route[i - 1].index);
        }
    }
    // Without "Render after each isochrone" the fronts are still told, for the progress of
    // the run, but none is to be drawn.
    int drawn = 0, told = 0;
    run.go({a, b, c}, [&](const FrontEvent& e) { drawn += e.render; });
    run.params.renderAfter = false;
    run.go({a, b, c}, [&](const FrontEvent& e) {
        ++told;
        EXPECT_FALSE(e.render);
    });
    EXPECT_GT(drawn, 2);
    EXPECT_EQ(told, drawn);
}

// A land test that raises the run's cancel flag at its `at`-th call, and counts the calls.
class CancellingCoast : public CrossingTests {
  public:
    RunControl* control = nullptr;
    long long at = -1;
    mutable long long calls = 0;
    bool segmentCrossesLand(GeoPoint, GeoPoint) const override {
        if (++calls == at) control->cancel = true;
        return false;
    }
    bool segmentCrossesBarrier(GeoPoint, GeoPoint) const override { return false; }
    bool pointOnLand(GeoPoint) const override { return false; }
};

TEST(Isochrones, CancelIsSeenWithinALargeFront) {
    // A first fan of 179 headings a degree apart and fans of 31 from each of its points: the
    // second front takes thousands of moves. Escape raised a hundred moves into it stops the
    // run within a few dozen points of the front, which is dropped.
    Trip run;
    run.params.timestepAuto = false;
    run.params.timestep = 10;
    run.params.nbInitialAngles = 179;
    run.params.initialAngles = 1;
    run.params.nbFurtherAngles = 31;
    run.params.furtherAngles = 1;
    run.params.pruneDistance = 0;
    run.params.ellipse = false;
    CancellingCoast coast;
    coast.control = &run.control;
    RoutingInputs in = run.inputs();
    in.crossings = &coast;
    run.route.waypoints = {GeoPoint{0, 45}, GeoPoint{0, 47}};
    recompute(run.route, run.params, nullptr);
    std::size_t firstFront = 0;
    long long fanCalls = 0;
    const RoutingOutput o = routeIsochrones(in, run.route, run.start, [&](const FrontEvent& e) {
        if (!e.firstOfLeg) return;
        firstFront = e.front->size();
        fanCalls = coast.calls;
        coast.at = fanCalls + 100;
    });
    ASSERT_GT(firstFront, 100u);
    EXPECT_EQ(o.status, kStatusCancelled);
    EXPECT_FALSE(o.inProgress);
    ASSERT_EQ(o.legIsochrones.size(), 1u); // the front in the making is not kept
    EXPECT_FALSE(o.route.empty());
    // Moves after the cancel: those of the points up to the next look at the flag.
    EXPECT_LT(coast.calls - coast.at, 32 * 31);
    EXPECT_LT(coast.calls - fanCalls, static_cast<long long>(firstFront) * 31 / 2);
}

TEST(FrontPruning, LaterPointDroppedOnlyWhenFarther) {
    Isochrone f{frontPoint(0, 0, 100), frontPoint(0.001f, 0, 200)}; // 111 m apart
    pruneFront(f, 500);
    ASSERT_EQ(f.size(), 1u);
    EXPECT_EQ(f[0].distToTarget, 100);

    f = {frontPoint(0, 0, 200), frontPoint(0.001f, 0, 100)};
    pruneFront(f, 500);
    EXPECT_EQ(f.size(), 2u);
    f = {frontPoint(0, 0, 200), frontPoint(0.001f, 0, 200)};
    pruneFront(f, 500);
    EXPECT_EQ(f.size(), 2u);
    f = {frontPoint(0, 0, 100), frontPoint(0.001f, 0, 200)};
    pruneFront(f, 100); // farther apart than the distance
    EXPECT_EQ(f.size(), 2u);
    pruneFront(f, 0);
    EXPECT_EQ(f.size(), 2u);
    // A dropped point prunes nothing more: 1 would drop 2, but 0 dropped 1 first and 2 lies
    // beyond the reach of 0.
    f = {frontPoint(0, 0, 100), frontPoint(0.003f, 0, 300), frontPoint(0.006f, 0, 400)};
    pruneFront(f, 400); // 0-1 333 m, 1-2 333 m, 0-2 667 m
    ASSERT_EQ(f.size(), 2u);
    EXPECT_EQ(f[1].distToTarget, 400);
}

TEST(FrontPruning, GridGivesThePlainResult) {
    std::mt19937 rng(7);
    const struct {
        GeoPoint centre;
        double radius;
        double prune;
    } cases[] = {
        {{-5, 45}, 0.5, 500}, {{179.8f, -30}, 0.6, 300}, {{20, 84}, 0.4, 225},
        {{0, 0}, 0.05, 100},  {{-60, 10}, 3.0, 3600},    {{100, -89}, 0.3, 50},
    };
    for (const auto& c : cases)
        for (std::size_t n : {200u, 1500u, 4000u}) {
            const GeoPoint target{
                c.centre.lon,
                static_cast<float>(c.centre.lat > 0 ? c.centre.lat - 3 : c.centre.lat + 3)};
            Isochrone a = syntheticFront(rng, n, c.centre, c.radius, target);
            Isochrone b = a;
            // The same with the latitudes' trigonometry handed in.
            Isochrone t = a;
            std::vector<TrigPoint> latitudes;
            for (const IsochronePoint& q : t) latitudes.push_back(trigPoint({q.lon, q.lat}));
            pruneFront(a, c.prune);
            pruneFrontPlain(b, c.prune);
            pruneFront(t, c.prune, latitudes);
            EXPECT_TRUE(sameFront(a, b)) << c.centre.lon << " " << c.centre.lat << " n " << n;
            EXPECT_TRUE(sameFront(t, b)) << c.centre.lon << " " << c.centre.lat << " n " << n;
            EXPECT_LT(a.size(), n + n / 4);
        }
    // Dense fans of candidates, most of them pruned, across the 180 degree meridian and near
    // a pole too.
    const struct {
        GeoPoint centre;
        double radius, step, prune;
    } fans[] = {
        {{-60, 38}, 900000, 44000, 1800},
        {{179.5f, 10}, 300000, 60000, 2700},
        {{-30, 80}, 200000, 20000, 900},
        {{5, 50}, 40000, 3000, 225},
    };
    for (const auto& c : fans)
        for (std::size_t parents : {20u, 300u}) {
            const GeoPoint target = rhumbDestination(c.centre, 0, c.radius * 3);
            Isochrone a = fanCandidates(rng, parents, c.centre, c.radius, c.step, target);
            Isochrone b = a;
            pruneFront(a, c.prune);
            pruneFrontPlain(b, c.prune);
            EXPECT_TRUE(sameFront(a, b))
                << c.centre.lon << " " << c.centre.lat << " parents " << parents;
            EXPECT_LT(a.size(), b.size() + 1);
        }
}

TEST(FrontCleaning, HiddenPointsAreDropped) {
    // Seen from the target in the north, point 2 lies behind the segment 0-1.
    const GeoPoint target{0, 10};
    Isochrone f{frontPoint(-1, 5, 0), frontPoint(1, 5, 0), frontPoint(0, 4, 0),
                frontPoint(2, 5, 0)};
    cleanFrontPlain(f, target);
    ASSERT_EQ(f.size(), 3u);
    EXPECT_EQ(f[2].lon, 2.0f);
}

TEST(FrontCleaning, GridGivesThePlainResult) {
    std::mt19937 rng(11);
    const struct {
        GeoPoint centre;
        GeoPoint target;
        double radius;
    } cases[] = {
        {{-5, 45}, {-5, 48}, 0.5}, {{179.8f, -30}, {-178, -28}, 0.6}, {{20, 70}, {25, 71}, 1.5},
        {{0, 0}, {0, 0.2f}, 0.05}, {{-60, 10}, {-60, 10.5f}, 3.0},    {{170, 5}, {-10, 5}, 1.0},
    };
    for (const auto& c : cases)
        for (std::size_t n : {200u, 1200u, 3000u}) {
            Isochrone a = syntheticFront(rng, n, c.centre, c.radius, c.target);
            // Some disorder: swap a few neighbours so that the front folds.
            std::uniform_int_distribution<std::size_t> pick(1, a.size() - 1);
            for (int k = 0; k < 30; ++k) {
                const std::size_t i = pick(rng);
                std::swap(a[i], a[i - 1]);
            }
            Isochrone b = a;
            cleanFront(a, c.target);
            cleanFrontPlain(b, c.target);
            EXPECT_TRUE(sameFront(a, b)) << c.centre.lon << " " << c.centre.lat << " n " << n;
            EXPECT_LT(a.size(), b.size() + 1);
        }
}

TEST(FrontOrdering, StraddlingDueSouthStaysContinuous) {
    const GeoPoint origin{0, 0};
    Isochrone f{frontPoint(-0.08f, -1, 3), frontPoint(0.17f, -1, 1), frontPoint(-0.17f, -1, 4),
                frontPoint(0.08f, -1, 2)};
    orderFront(f, origin);
    ASSERT_EQ(f.size(), 4u);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(f[i].distToTarget, i + 1); // 170, 175, 185, 190 deg

    // Not straddling: plain bearings, west of north first.
    f = {frontPoint(1, 1, 2), frontPoint(-1, 1, 1), frontPoint(1, -1, 3)};
    orderFront(f, origin);
    EXPECT_EQ(f[0].distToTarget, 1);
    EXPECT_EQ(f[2].distToTarget, 3);
}

TEST(FrontOrdering, EqualBearingsCollapseIntoTheLaterPoint) {
    Isochrone f{frontPoint(0, 1, 1), frontPoint(1, 1, 2), frontPoint(0, 2, 3)};
    orderFront(f, GeoPoint{0, 0});
    ASSERT_EQ(f.size(), 2u);
    EXPECT_EQ(f[0].distToTarget, 3); // due north: the later of the two
    EXPECT_EQ(f[1].distToTarget, 2);
}

TEST(PlanarCrossing, AgreesWithTheSegmentTest) {
    std::mt19937 rng(3);
    std::uniform_real_distribution<float> lon(-181, 181), lat(-10, 10), near(-1, 1);
    int crossings = 0;
    for (int k = 0; k < 20000; ++k) {
        const GeoPoint p{lon(rng), lat(rng)};
        auto around = [&](GeoPoint c) {
            return GeoPoint{static_cast<float>(normalise180(c.lon + near(rng))), c.lat + near(rng)};
        };
        const GeoPoint q = around(p), a = around(p), b = around(p);
        GeoPoint at;
        const bool crossed = planarCrossing(p, q, a, b, at);
        ASSERT_EQ(crossed, segmentsCross(p, q, a, b));
        if (crossed) {
            ++crossings;
            EXPECT_GE(at.lon, -180.0f);
            EXPECT_LE(at.lon, 180.0f);
            EXPECT_LT(greatCircleDistance(at, p), greatCircleDistance(p, q) * 1.5 + 1.0);
        }
    }
    EXPECT_GT(crossings, 1000);
    GeoPoint at;
    ASSERT_TRUE(planarCrossing({179.5f, 0}, {-179.5f, 0}, {180, -1}, {180, 1}, at));
    EXPECT_NEAR(std::fabs(at.lon), 180.0f, 1e-4);
}

TEST(RouteText, EveryFieldRoundTrips) {
    Trip run;
    const RoutingOutput o = run.go({GeoPoint{0, 45}, GeoPoint{0, 45.1f}});
    const std::string text = formatRoute(o.route);
    std::size_t lines = 0;
    for (char ch : text) lines += ch == '\n';
    EXPECT_EQ(lines, o.route.size() + 1);
    const std::size_t second = text.find('\n') + 1;
    char* end = nullptr;
    EXPECT_EQ(std::strtod(text.c_str() + second, &end), o.route[0].parentTime.dayNumber);
    // 33 fields per point.
    std::size_t fields = 1;
    for (std::size_t i = second; text[i] != '\n'; ++i) fields += text[i] == ' ';
    EXPECT_EQ(fields, 33u);
}
