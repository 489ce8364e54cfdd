#include "core/sun.h"

#include "core/datetime.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace navorel;

namespace {

// Boston, Massachusetts (42 21 36 N, 71 03 32 W).
constexpr double kBostonLon = -71.0589, kBostonLat = 42.3601;

double utc(int year, int month, int day, int hour, int minute) {
    return dayNumber(day, month, year, hour, minute, 0);
}

} // namespace

TEST(SunTimes, BostonAtTheEquinoxesAndSolsticesOf2026) {
    // Sunrise and sunset in UTC to the minute, as the US Naval Observatory's one-day tables
    // give them (upper limb on the horizon, 34' of refraction); checked against an independent
    // ephemeris (PyEphem). Local times: 6:47 and 6:57 pm EDT; 5:08 am and 8:25 pm EDT; 6:32
    // am and 6:41 pm EDT; 7:10 am and 4:15 pm EST. Within two minutes.
    struct Case {
        int month, day;
        double rise, set; // UTC day numbers
    };
    const Case cases[] = {
        {3, 20, utc(2026, 3, 20, 10, 47), utc(2026, 3, 20, 22, 57)},
        {6, 21, utc(2026, 6, 21, 9, 8), utc(2026, 6, 22, 0, 25)}, // sunset after 0h UTC
        {9, 22, utc(2026, 9, 22, 10, 32), utc(2026, 9, 22, 22, 41)},
        {12, 21, utc(2026, 12, 21, 12, 10), utc(2026, 12, 21, 21, 15)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "2026-" << c.month << "-" << c.day);
        const SunTimes s = sunTimes(kBostonLon, kBostonLat, utc(2026, c.month, c.day, 0, 0));
        ASSERT_EQ(s.kind, SunTimes::Kind::RisesAndSets);
        EXPECT_NEAR((s.sunrise - c.rise) * 1440.0, 0.0, 2.0);
        EXPECT_NEAR((s.sunset - c.set) * 1440.0, 0.0, 2.0);
        // Night just before sunrise and just after sunset, day just inside them.
        EXPECT_TRUE(isNight(kBostonLon, kBostonLat, c.rise - 5.0 / 1440));
        EXPECT_FALSE(isNight(kBostonLon, kBostonLat, c.rise + 5.0 / 1440));
        EXPECT_FALSE(isNight(kBostonLon, kBostonLat, c.set - 5.0 / 1440));
        EXPECT_TRUE(isNight(kBostonLon, kBostonLat, c.set + 5.0 / 1440));
    }
}

TEST(SunTimes, PolarDayAndNightAndBadInput) {
    // Longyearbyen (78 N): midnight sun in June, polar night in December.
    EXPECT_EQ(sunTimes(15.6, 78.2, utc(2026, 6, 21, 0, 0)).kind, SunTimes::Kind::AlwaysUp);
    EXPECT_EQ(sunTimes(15.6, 78.2, utc(2026, 12, 21, 0, 0)).kind, SunTimes::Kind::AlwaysDown);
    EXPECT_FALSE(isNight(15.6, 78.2, utc(2026, 6, 21, 23, 0)));
    EXPECT_TRUE(isNight(15.6, 78.2, utc(2026, 12, 21, 12, 0)));
    EXPECT_EQ(sunTimes(NAN, 0, 16000).kind, SunTimes::Kind::Invalid);
    EXPECT_EQ(sunTimes(0, 91, 16000).kind, SunTimes::Kind::Invalid);
    EXPECT_EQ(sunTimes(0, 0, INFINITY).kind, SunTimes::Kind::Invalid);
    EXPECT_FALSE(isNight(0, NAN, 16000));
}

TEST(SunTimes, TheEquatorHasTwelveHoursAndAFewMinutesOfDay) {
    // Refraction and the sun's radius lengthen the day by about 7 minutes at the equinox.
    const SunTimes s = sunTimes(0, 0, utc(2026, 3, 20, 0, 0));
    ASSERT_EQ(s.kind, SunTimes::Kind::RisesAndSets);
    EXPECT_NEAR((s.sunset - s.sunrise) * 24.0, 12.12, 0.03);
}
