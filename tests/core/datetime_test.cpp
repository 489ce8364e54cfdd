#include "core/datetime.h"
#include "core/texts.h"

#include <gtest/gtest.h>

#include <random>

using namespace navorel;

TEST(DateTime, DayNumberOfKnownDates) {
    EXPECT_EQ(dayNumber(1, 1, 1980, 0, 0, 0), 0.0);
    EXPECT_EQ(dayNumber(1, 7, 1991, 0, 0, 0), 4199.0);
    EXPECT_EQ(dayNumber(29, 2, 1984, 12, 0, 0), 1520.5);
}

TEST(DateTime, FieldsOfKnownDayNumbers) {
    EXPECT_EQ(formatDate(fromDayNumber(366), 1), "01/01/1981 00:00:00");
    EXPECT_EQ(formatDate(fromDayNumber(365.9), 1), "31/12/1980 21:36:00");
    // The last evening of a year must not become day 0 of January.
    EXPECT_EQ(formatDate(fromDayNumber(12783.8), 1), "31/12/2014 19:12:00");
    EXPECT_EQ(formatDate(fromDayNumber(1520.5), 1), "29/02/1984 12:00:00");
}

TEST(DateTime, RoundingToTheNextWholeValue) {
    // 0.01 s before 11:00 shows as 11:00:00, and the day number follows the fields.
    const double justBefore = dayNumber(5, 3, 2020, 11, 0, 0) - 0.01 / 86400.0;
    const DateTime dt = fromDayNumber(justBefore);
    EXPECT_EQ(formatDate(dt, 1), "05/03/2020 11:00:00");
    EXPECT_DOUBLE_EQ(dt.dayNumber, dayNumber(5, 3, 2020, 11, 0, 0));
    // Whole seconds stored with rounding error just below them keep their value.
    EXPECT_EQ(formatDate(fromDayNumber(dayNumber(2, 4, 2021, 7, 8, 9)), 4), "07:08:09");
    // Rounding up at the end of a day moves to the next day.
    EXPECT_EQ(formatDate(fromDayNumber(dayNumber(1, 1, 2021, 0, 0, 0) - 1e-9), 1),
              "01/01/2021 00:00:00");
}

TEST(DateTime, RoundTripOverTwoCenturies) {
    std::mt19937 rng(1234);
    std::uniform_int_distribution<int> year(1901, 2099), month(1, 12), day(1, 28), hour(0, 23),
        minute(0, 59), second(0, 59);
    for (int k = 0; k < 20000; ++k) {
        const int y = year(rng), mo = month(rng), d = day(rng), h = hour(rng), mi = minute(rng),
                  s = second(rng);
        const DateTime dt = fromDayNumber(dayNumber(d, mo, y, h, mi, s));
        ASSERT_EQ(dt.year, y);
        ASSERT_EQ(dt.month, mo);
        ASSERT_EQ(dt.day, d);
        ASSERT_EQ(dt.hour, h);
        ASSERT_EQ(dt.minute, mi);
        ASSERT_EQ(dt.second, s) << d << "/" << mo << "/" << y << " " << h << ":" << mi;
    }
}

TEST(DateTime, AdvanceAddsSeconds) {
    DateTime dt = fromDayNumber(dayNumber(31, 12, 2019, 23, 30, 0));
    advance(dt, 1800);
    EXPECT_EQ(formatDate(dt, 1), "01/01/2020 00:00:00");
    advance(dt, 3600.0 * 24 * 60); // 60 days in a leap year
    EXPECT_EQ(formatDate(dt, 3), "01/03/2020");
}

TEST(DateTime, WeekdayAndTexts) {
    const DateTime monday = fromDayNumber(dayNumber(1, 7, 1991, 10, 30, 0));
    EXPECT_EQ(weekday(monday), 0);
    EXPECT_EQ(weekdayText(monday), "Monday 01 - 10:30");
    EXPECT_EQ(weekday(fromDayNumber(dayNumber(31, 12, 1979, 0, 0, 0))), 0); // before 1980
    EXPECT_EQ(weekday(fromDayNumber(dayNumber(6, 12, 2026, 0, 0, 0))), 6);

    const DateTime dt = fromDayNumber(dayNumber(7, 3, 2024, 5, 6, 7));
    EXPECT_EQ(formatDate(dt, 2), "07/03/2024 05:06");
    EXPECT_EQ(formatDate(dt, 3), "07/03/2024");
    EXPECT_EQ(formatDate(dt, 4), "05:06:07");
    EXPECT_EQ(formatDate(dt, 5), "05:06");
    EXPECT_EQ(formatDate(dt, 6), "07/03 05:06");
    EXPECT_EQ(formatDate(dt, 7), "07/03 05:06:07");
    EXPECT_EQ(formatDate(dt, 8), "07 March 05:06");
    EXPECT_EQ(formatDate(dt, 9), "");
    EXPECT_EQ(formatDate(dt, 0), "");
}

TEST(DateTime, NowIsAfter2020) { EXPECT_GT(now().year, 2020); }
