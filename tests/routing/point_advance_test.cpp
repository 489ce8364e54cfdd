#include "routing/point_advance.h"

#include "routing_fixtures.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>

using namespace navorel;
using namespace navorel::test;

namespace {

const GeoPoint kFarNorth{0.0f, 50.0f};

struct Boat {
    RoutingParameters params = quietParameters();
    Polar polar = parseTestPolar(kFlatPolar);
    ConstantWind wind{270.0f, 12.0f};
    const CurrentSource* current = nullptr;
    const CrossingTests* crossings = nullptr;
    RunControl control;
    std::int64_t calls = 0;

    RoutingInputs inputs() {
        RoutingInputs in;
        in.params = &params;
        in.polar = &polar;
        in.wind = &wind;
        in.current = current;
        in.crossings = crossings;
        in.control = &control;
        in.advanceCalls = &calls;
        return in;
    }
};

IsochronePoint startAt(float lon, float lat) {
    return departureRecord(fromDayNumber(16000.0), lon, lat);
}

} // namespace

TEST(AdvancePoint, SpeedFromPolarEffectivenessAndIntensity) {
    Boat b;
    b.params.powerInForce = 80;
    const IsochronePoint p = advancePoint(b.inputs(), startAt(0, 45), kFarNorth, 0.0, 600, false);
    ASSERT_EQ(p.valid, 1);
    EXPECT_NEAR(p.boatSpeed, 0.8 * 6 * kKnotToMs, 1e-5); // 2.47 m/s
    EXPECT_NEAR(p.boatSpeed, 2.47, 0.005);
    EXPECT_NEAR(p.sog, p.boatSpeed, 1e-6);
    EXPECT_NEAR(p.stepDistance, p.sog * 600, 1e-3);
    EXPECT_NEAR(p.twa, 90, 1e-4);
    EXPECT_NEAR(foldAngle(p.cog, 0), 0, 1e-4);
    EXPECT_EQ(b.calls, 1);

    // The intensity scales the wind before the polar: 50 % of 12 kt reads the 6 kt column.
    b.params.variation = 50;
    b.params.powerInForce = 100;
    b.polar = parseTestPolar("TWA\\TWS\t6\t30\n40\t3\t9\n180\t3\t9\n");
    const IsochronePoint q = advancePoint(b.inputs(), startAt(0, 45), kFarNorth, 0.0, 600, false);
    EXPECT_NEAR(q.windSpeed, 6 * kKnotToMs, 1e-5);
    EXPECT_NEAR(q.boatSpeed, 3 * kKnotToMs, 1e-4);
}

TEST(AdvancePoint, TimeAndTotalsOfAStep) {
    Boat b;
    IsochronePoint from = startAt(0, 45);
    from.index = 7;
    from.totalDistance = 1000;
    const IsochronePoint p = advancePoint(b.inputs(), from, kFarNorth, 0.0, 900, false);
    EXPECT_DOUBLE_EQ(p.stepSeconds, 900);
    EXPECT_NEAR((p.time.dayNumber - from.time.dayNumber) * 86400, 900, 1e-3);
    EXPECT_EQ(p.parentTime.dayNumber, from.time.dayNumber);
    EXPECT_EQ(p.parent, 7);
    EXPECT_FLOAT_EQ(p.totalDistance, 1000 + p.stepDistance);
    EXPECT_GT(p.lat, 45.0f);
    EXPECT_NEAR(p.distToTarget, greatCircleDistance({p.lon, p.lat}, kFarNorth), 0.5);
    // Without a heading the boat steers for the target.
    const IsochronePoint q =
        advancePoint(b.inputs(), from, GeoPoint{1, 45}, std::nullopt, 900, false);
    EXPECT_NEAR(q.commandedHeading, greatCircleBearing({0, 45}, {1, 45}), 1e-4);
}

TEST(AdvancePoint, SeaStateSlowsUpwindAndSpeedsDownwind) {
    Boat b;
    b.params.seaState = true;
    b.params.seaStateUp = 80;
    b.params.seaStateDown = 110;
    auto speedOn = [&](double heading) {
        return advancePoint(b.inputs(), startAt(0, 45), kFarNorth, heading, 600, false).boatSpeed;
    };
    const double six = 6 * kKnotToMs;
    EXPECT_NEAR(speedOn(270), 0.8 * six, 1e-5); // wind dead ahead (best upwind angle)
    EXPECT_NEAR(speedOn(90), 1.1 * six, 1e-5);  // dead astern
    EXPECT_NEAR(speedOn(0), six, 1e-5);         // on the beam
}

TEST(AdvancePoint, EngineBelowLowSpeed) {
    Boat b;
    b.params.engine = true;
    b.params.lowSpeed = 4;
    b.polar = parseTestPolar("TWA\\TWS\t5\t30\n40\t3.9\t3.9\n180\t3.9\t3.9\n");
    const IsochronePoint p = advancePoint(b.inputs(), startAt(0, 45), kFarNorth, 0.0, 1200, false);
    EXPECT_EQ(p.engine, 1);
    EXPECT_NEAR(p.boatSpeed, 4.85 * kKnotToMs, 1e-5);
    EXPECT_NEAR(p.fuel, 1.5 * 1200 / 3600.0, 1e-6);
    EXPECT_FLOAT_EQ(p.engineSeconds, 1200);
    EXPECT_NEAR(foldAngle(p.cog, 0), 0, 1e-4);

    b.polar = parseTestPolar("TWA\\TWS\t5\t30\n40\t4.1\t4.1\n180\t4.1\t4.1\n");
    const IsochronePoint s = advancePoint(b.inputs(), startAt(0, 45), kFarNorth, 0.0, 1200, false);
    EXPECT_EQ(s.engine, 0);
    EXPECT_EQ(s.fuel, 0.0f);
    EXPECT_NEAR(s.boatSpeed, 4.1 * kKnotToMs, 1e-5);
}

TEST(AdvancePoint, OutsideTheWind) {
    Boat b;
    BoxWind box(270, 12, {10, 10}, {20, 20});
    RoutingInputs in = b.inputs();
    in.wind = &box;
    IsochronePoint from = startAt(0, 45);
    from.totalDistance = 5;
    const IsochronePoint p = advancePoint(in, from, kFarNorth, 30.0, 600, false);
    EXPECT_EQ(p.valid, 0);
    EXPECT_EQ(p.lon, 0.0f);
    EXPECT_EQ(p.lat, 45.0f);
    EXPECT_EQ(p.time.dayNumber, from.time.dayNumber);
    EXPECT_EQ(p.stepDistance, 0.0f);
    EXPECT_EQ(p.totalDistance, 5.0f);
    EXPECT_FLOAT_EQ(p.commandedHeading, 30);

    // Allowed to motor outside the grib: along the commanded heading, no sea-state factor.
    b.params.engine = true;
    b.params.noRoutingOutside = false;
    b.params.seaState = true;
    b.params.seaStateUp = 50;
    b.params.seaStateDown = 50;
    const IsochronePoint m = advancePoint(in, from, kFarNorth, 30.0, 600, false);
    EXPECT_EQ(m.valid, 1);
    EXPECT_EQ(m.engine, 1);
    EXPECT_NEAR(m.boatSpeed, 4.85 * kKnotToMs, 1e-5);
    EXPECT_NEAR(m.cog, 30, 1e-3);
    EXPECT_EQ(m.windSpeed, 0.0f);
}

TEST(AdvancePoint, BestAngleChoiceFollowsPlainHeadingDifference) {
    Boat b;
    b.wind = ConstantWind(0, 12); // from the north: twd 0
    // Commanded 350: candidates 320 and 40; plain differences 30 and 310... taken as
    // |-40 - 350| = 390 and |40 - 350| = 310, so 40 wins.
    IsochronePoint p = advancePoint(b.inputs(), startAt(0, 45), kFarNorth, 350.0, 600, false);
    EXPECT_NEAR(p.heading, 40, 1e-4);
    EXPECT_NEAR(p.twa, 40, 1e-4);
    p = advancePoint(b.inputs(), startAt(0, 45), kFarNorth, 350.0, 600, true);
    EXPECT_NEAR(p.heading, 320, 1e-4);
    // Commanded 10: 320 is 330 away, 40 only 30.
    p = advancePoint(b.inputs(), startAt(0, 45), kFarNorth, 10.0, 600, false);
    EXPECT_NEAR(p.heading, 40, 1e-4);
    p = advancePoint(b.inputs(), startAt(0, 45), kFarNorth, 10.0, 600, true);
    EXPECT_NEAR(p.heading, 320, 1e-4);
}

TEST(AdvancePoint, TieOfTheTwoTacksStillGivesTheOtherTack) {
    Boat b;
    b.wind = ConstantWind(0, 12);
    // Dead upwind: -40 and 40 are equally far from 0.
    const IsochronePoint one = advancePoint(b.inputs(), startAt(0, 45), kFarNorth, 0.0, 600, false);
    const IsochronePoint other =
        advancePoint(b.inputs(), startAt(0, 45), kFarNorth, 0.0, 600, true);
    EXPECT_NEAR(one.heading, 40, 1e-4);
    EXPECT_NEAR(other.heading, 320, 1e-4);
    EXPECT_NE(one.awaSide, other.awaSide);
}

TEST(AdvancePoint, HeadingsOfAFanBelowZeroFoldToTheirWindAngle) {
    Boat b;
    b.wind = ConstantWind(350, 12);
    // -85 is 275: 75 degrees off the wind, a reach, not a close-hauled course.
    const IsochronePoint p = advancePoint(b.inputs(), startAt(0, 45), kFarNorth, -85.0, 600, false);
    EXPECT_NEAR(p.twa, 75, 1e-4);
    EXPECT_NEAR(p.cog, 275, 1e-3);
    // Within a turn of the wind the heading is folded as given.
    const IsochronePoint q = advancePoint(b.inputs(), startAt(0, 45), kFarNorth, 370.0, 600, false);
    EXPECT_NEAR(q.twa, 40, 1e-4); // 370 is 20 off 350: raised to 40
}

// The terms a fan shares (the parent's Mercator term, the target's latitude trigonometry)
// give the plain move bit for bit, also with an environment sampled at another parent, and
// the trigonometry handed back is that of the position reached.
TEST(AdvancePoint, SharedTermsOfAFanGiveThePlainMove) {
    Boat b;
    const RoutingInputs in = b.inputs();
    const struct {
        GeoPoint from, target;
        double heading;
    } cases[] = {
        {{0.0f, 45.0f}, kFarNorth, 20.0},
        {{-4.37f, 47.21f}, {-3.0f, 48.0f}, 200.0},
        {{179.9f, -33.3f}, {-179.5f, -33.0f}, 80.0},
        {{10.0f, 89.99f}, {12.0f, 89.0f}, 0.0},
        {{5.0f, 0.0f}, {5.0f, -1.0f}, 270.0},
        {{-70.0f, -60.1f}, {-60.0f, -61.0f}, 135.0},
    };
    auto bits = [](float v) { return std::bit_cast<std::uint32_t>(v); };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.from.lon << " " << c.from.lat << " " << c.heading);
        const IsochronePoint from = startAt(c.from.lon, c.from.lat);
        const IsochronePoint plain = advancePoint(in, from, c.target, c.heading, 900, false);
        const AdvanceEnvironment own = sampleEnvironment(in, from);
        const AdvanceEnvironment other = sampleEnvironment(in, startAt(c.from.lon + 1, 10));
        // Built by hand from the parent's wind, without the start's term.
        const AdvanceEnvironment byHand = [&] {
            AdvanceEnvironment e = own;
            e.start = RhumbStart{};
            e.start.at = c.from;
            return e;
        }();
        for (const AdvanceEnvironment* env : {&own, &other, &byHand}) {
            TrigPoint reached;
            const IsochronePoint p =
                advanceFrom(in, *env, from, trigPoint(c.target), c.heading, 900, false, &reached);
            EXPECT_EQ(bits(p.lon), bits(plain.lon));
            EXPECT_EQ(bits(p.lat), bits(plain.lat));
            EXPECT_EQ(bits(p.distToTarget), bits(plain.distToTarget));
            const TrigPoint expected = trigPoint(GeoPoint{plain.lon, plain.lat});
            EXPECT_EQ(bits(reached.at.lon), bits(plain.lon));
            EXPECT_EQ(bits(reached.at.lat), bits(plain.lat));
            EXPECT_EQ(reached.sinPhi, expected.sinPhi);
            EXPECT_EQ(reached.cosPhi, expected.cosPhi);
        }
    }
}

TEST(TackLoss, HalfCosineShortfall) {
    RoutingParameters p;
    p.tackLossSpeed = 30;
    p.tackDuration = 30;
    EXPECT_NEAR(tackLoss(p, 3.0), 13.05, 1e-9);
    p.tackDuration = 0;
    EXPECT_EQ(tackLoss(p, 3.0), 0.0);
    // The cached weights give the digits of the plain sum.
    for (int d : {1, 7, 30, 45, 30}) {
        p.tackDuration = d;
        for (int pct : {0, 30, 70, 100}) {
            p.tackLossSpeed = pct;
            for (double v : {0.0, 0.3, 2.5, 3.0, 7.77})
                EXPECT_EQ(tackLoss(p, v), tackLossPlain(p, v)) << d << " " << pct << " " << v;
        }
    }
}

TEST(AdvancePoint, TackLossOnlyUnderSailAndNotFromTheDeparture) {
    Boat b;
    IsochronePoint from = startAt(0, 45);
    const IsochronePoint first = advancePoint(b.inputs(), from, kFarNorth, 0.0, 600, false);
    EXPECT_FLOAT_EQ(first.stepDistance, first.sog * 600); // departure: no side yet

    from.awaSide = first.awaSide == 1 ? 0 : 1;
    const IsochronePoint tacked = advancePoint(b.inputs(), from, kFarNorth, 0.0, 600, false);
    EXPECT_NEAR(tacked.stepDistance, tacked.sog * 600 - tackLoss(b.params, tacked.sog), 1e-3);

    b.params.engine = true;
    b.params.lowSpeed = 10;
    const IsochronePoint motored = advancePoint(b.inputs(), from, kFarNorth, 0.0, 600, false);
    EXPECT_EQ(motored.engine, 1);
    EXPECT_FLOAT_EQ(motored.stepDistance, motored.sog * 600);

    // A tack longer than the step does not move the boat backwards.
    b.params.engine = false;
    b.params.tackDuration = 3000;
    b.params.tackLossSpeed = 100;
    const IsochronePoint stalled = advancePoint(b.inputs(), from, kFarNorth, 0.0, 60, false);
    EXPECT_EQ(stalled.stepDistance, 0.0f);
    EXPECT_EQ(stalled.lat, 45.0f);
}

TEST(AdvancePoint, CurrentAndCounterCurrent) {
    Boat b;
    ConstantCurrent east(90, 2);
    b.current = &east;
    // The stream changes the wind over the water too; use a strong wind so the boat sails.
    const IsochronePoint p = advancePoint(b.inputs(), startAt(0, 45), kFarNorth, 0.0, 600, false);
    EXPECT_NEAR(p.currentSpeed, 2 * kKnotToMs, 1e-6);
    EXPECT_NEAR(p.currentDir, 90, 1e-6);
    EXPECT_GT(p.cog, 5.0f); // set to the east
    EXPECT_NEAR(p.sog, std::hypot(p.boatSpeed, 2 * kKnotToMs), 1e-3);
    EXPECT_NEAR(p.currentDot, 0, 1e-3); // across the stream

    // Countering the stream keeps the ground track on the commanded heading (the flat polar
    // gives the same speed on the corrected heading).
    b.params.counterCurrent = true;
    const IsochronePoint c = advancePoint(b.inputs(), startAt(0, 45), kFarNorth, 0.0, 600, false);
    EXPECT_NEAR(foldAngle(c.cog, 0), 0, 1e-3);
    EXPECT_GT(c.heading, 300.0f);
    EXPECT_LT(c.currentDot, 0.0f);

    b.params.engine = true;
    b.params.lowSpeed = 20;
    const IsochronePoint m = advancePoint(b.inputs(), startAt(0, 45), kFarNorth, 0.0, 600, false);
    EXPECT_EQ(m.engine, 1);
    EXPECT_NEAR(foldAngle(m.cog, 0), 0, 1e-3);

    // A boat that does not move through the water cannot counter anything.
    b.params.engine = false;
    b.polar = parseTestPolar("TWA\\TWS\t5\t30\n40\t0\t0\n180\t0\t0\n");
    const IsochronePoint still =
        advancePoint(b.inputs(), startAt(0, 45), kFarNorth, 0.0, 600, false);
    EXPECT_FALSE(std::isnan(still.heading));
    EXPECT_NEAR(still.cog, 90, 1e-3); // drifts with the stream
}

TEST(PointAcceptable, WindLimitsAndCrossings) {
    Boat b;
    SyntheticCoast coast;
    coast.islands.push_back({{-0.01f, 45.01f}, {0.01f, 45.02f}});
    b.crossings = &coast;
    RoutingInputs in = b.inputs();
    const IsochronePoint p = advancePoint(in, startAt(0, 45), kFarNorth, 0.0, 1200, false);
    ASSERT_GT(p.lat, 45.02f);
    EXPECT_FALSE(pointAcceptable(in, p));
    EXPECT_EQ(b.control.status.load(), 1);

    b.control.status = 0;
    b.params.avoidCoasts = false;
    EXPECT_TRUE(pointAcceptable(in, p));
    b.params.windMax = 11; // 12 kt is above
    EXPECT_FALSE(pointAcceptable(in, p));
    b.params.windMax = 13;
    b.params.windMin = 13; // below
    EXPECT_FALSE(pointAcceptable(in, p));
    b.params.windMin = 11;
    EXPECT_TRUE(pointAcceptable(in, p));

    b.control.status = 0;
    IsochronePoint invalid = p;
    invalid.valid = 0;
    EXPECT_FALSE(pointAcceptable(in, invalid));
    EXPECT_EQ(b.control.status.load(), 0); // dropped silently
}

TEST(FinishLeg, StraightRunStopsAtTheTargetWithItsRealStep) {
    Boat b;
    IsochronePoint from = startAt(0, 45);
    from.index = 3;
    const GeoPoint target{0, 45.01f};
    const LegFinish f = finishLeg(b.inputs(), from, target, 3600);
    ASSERT_EQ(f.count, 1);
    const IsochronePoint& a = f.points[0];
    const double d = greatCircleDistance({0, 45}, target);
    EXPECT_EQ(a.arrived, 1);
    EXPECT_NEAR(a.stepDistance, d, 1e-2);
    EXPECT_NEAR(a.stepSeconds, d / a.sog, 1e-6);
    EXPECT_NEAR((a.time.dayNumber - from.time.dayNumber) * 86400, d / a.sog, 1e-3);
    EXPECT_NEAR(a.distToTarget, 0, 0.5);
    EXPECT_NEAR(a.lat, target.lat, 1e-5);
    EXPECT_EQ(a.parent, 3);
}

TEST(FinishLeg, StraightRunAcrossNorth) {
    // The target lies 0.4 degrees east of north and a light stream to the west sets the
    // course 0.55 degrees west of north: less than a degree apart across 0/360.
    Boat b;
    ConstantCurrent west(270, 0.1f);
    b.current = &west;
    const IsochronePoint from = startAt(0, 45);
    const GeoPoint target{0.001f, 45.1f};
    const LegFinish f = finishLeg(b.inputs(), from, target, 3600);
    ASSERT_EQ(f.count, 1);
    EXPECT_GT(f.points[0].cog, 359.0f);
    EXPECT_EQ(f.points[0].arrived, 1);
    EXPECT_LT(f.points[0].distToTarget,
              0.02 * greatCircleDistance({0, 45}, target)); // within a degree
}

TEST(FinishLeg, UpwindTargetTacksOnce) {
    Boat b;
    b.wind = ConstantWind(0, 12);
    const IsochronePoint from = startAt(0, 45);
    const GeoPoint target{0, 45.02f};
    const LegFinish f = finishLeg(b.inputs(), from, target, 3600);
    ASSERT_EQ(f.count, 2);
    const IsochronePoint &a = f.points[0], &c = f.points[1];
    EXPECT_EQ(a.arrived, 0);
    EXPECT_EQ(c.arrived, 1);
    EXPECT_EQ(c.lon, target.lon);
    EXPECT_EQ(c.lat, target.lat);
    EXPECT_EQ(c.parentLon, a.lon);
    EXPECT_EQ(c.parentLat, a.lat);
    EXPECT_EQ(c.parentTime.dayNumber, a.time.dayNumber);
    EXPECT_NE(a.awaSide, c.awaSide);
    // Each part carries its own duration and distance, together less than the full step.
    EXPECT_LT(a.stepSeconds + c.stepSeconds, 3600);
    EXPECT_NEAR(a.stepSeconds + c.stepSeconds, (c.time.dayNumber - from.time.dayNumber) * 86400,
                1e-3);
    EXPECT_NEAR(a.distToTarget, greatCircleDistance({a.lon, a.lat}, target), 0.5);
    EXPECT_EQ(c.distToTarget, 0.0f);
    EXPECT_NEAR(c.totalDistance, a.stepDistance + c.stepDistance, 0.1);
    // Close-hauled at 40 degrees: the zigzag is 1/cos 40 of the direct distance.
    EXPECT_NEAR(c.totalDistance, greatCircleDistance({0, 45}, target) / std::cos(40 * kDegToRad),
                5.0);
}

TEST(FinishLeg, NoWayOverGroundAnswersNothing) {
    Boat b;
    b.wind = ConstantWind(270, 0); // calm, no engine, no stream: the boat stays
    const LegFinish f = finishLeg(b.inputs(), startAt(0, 45), GeoPoint{0, 45.01f}, 3600);
    EXPECT_EQ(f.count, 0);
    b.wind = ConstantWind(0, 0);
    const LegFinish g = finishLeg(b.inputs(), startAt(0, 45), GeoPoint{0.01f, 45.01f}, 3600);
    EXPECT_EQ(g.count, 0);
}

TEST(FinishLeg, AnswersNothingWhenAMoveCrossesLand) {
    Boat b;
    SyntheticCoast coast;
    coast.islands.push_back({{-0.01f, 45.004f}, {0.01f, 45.006f}});
    b.crossings = &coast;
    const LegFinish f = finishLeg(b.inputs(), startAt(0, 45), GeoPoint{0, 45.01f}, 3600);
    EXPECT_EQ(f.count, 0);
}
