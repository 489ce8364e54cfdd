#pragma once
// Date and time values: a day number (days since 1 January 1980 00:00 UTC) and the calendar
// fields derived from it. All times are UTC.
#include <string>

namespace navorel {

class TextProvider;

constexpr double kSecondInDays = 0.000011574074074074073; // 1/86400

struct DateTime {
    double dayNumber = 0.0;
    int day = 1;
    int month = 1;
    int year = 1980;
    int hour = 0;
    int minute = 0;
    int second = 0;
};

// Day number of the calendar fields; valid from 1 March 1900 to 28 February 2100.
double dayNumber(int day, int month, int year, int hour, int minute, int second,
                 int zoneHours = 0);

// The calendar fields of a day number. Times within the rounding tolerance of the next whole
// hour, minute or second are shown as that value (the day number then follows the fields).
DateTime fromDayNumber(double value);

// Moves the time on by the given seconds and derives the fields again.
void advance(DateTime& dt, double seconds);

// 0 = Monday ... 6 = Sunday.
int weekday(const DateTime& dt);

// "Monday 01 - 10:30" with the weekday name of the language texts 304..310.
std::string weekdayText(const DateTime& dt, const TextProvider& texts);
std::string weekdayText(const DateTime& dt);

// Kinds 1..8 (see the table in date formats); any other kind gives an empty text.
// Kind 8 takes the month name from language texts 318..329.
std::string formatDate(const DateTime& dt, int kind, const TextProvider& texts);
std::string formatDate(const DateTime& dt, int kind);

// The current time from the system clock, in UTC.
DateTime now();

} // namespace navorel
