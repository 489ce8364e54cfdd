#include "core/datetime.h"

#include "core/texts.h"

#include <chrono>
#include <cmath>
#include <cstdio>

namespace navorel {

double dayNumber(int day, int month, int year, int hour, int minute, int second, int zoneHours) {
    const double j = std::floor(1.0 / (month + 1) + 0.7);
    const double a = std::floor((12.0 * j + month + 1) * 30.6001);
    const double b = std::floor((year - j) * 365.25);
    return a + day + (hour - zoneHours) / 24.0 + minute / 1440.0 + second / 86400.0 + b - 723258.0;
}

namespace {

const int kMonthStarts[2][12] = {
    {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334},
    {0, 31, 60, 91, 121, 152, 182, 213, 244, 274, 305, 335},
};

// Fills the fields of dt from v; answers true when a field was rounded up to the next whole
// hour, minute or second, so that the day number has to be recomputed from the fields.
bool deriveFields(double v, DateTime& dt) {
    int year = static_cast<int>(std::floor(v / 365.25)) + 1980;
    if (v < dayNumber(1, 1, year, 0, 0, 0)) --year;
    else if (v >= dayNumber(1, 1, year + 1, 0, 0, 0)) ++year;
    double e = v - dayNumber(1, 1, year, 0, 0, 0);

    const int* starts = kMonthStarts[year % 4 == 0 ? 1 : 0];
    int month = 1;
    for (int m = 11; m >= 0; --m) {
        if (starts[m] <= e) {
            month = m + 1;
            e -= starts[m];
            break;
        }
    }

    const double whole = std::floor(e);
    dt.dayNumber = v;
    dt.year = year;
    dt.month = month;
    dt.day = static_cast<int>(whole) + 1;
    const double g = (e - whole) * 24.0;

    const double nextHour = std::floor(g) + 1.0;
    if (g + kSecondInDays > nextHour) {
        dt.hour = static_cast<int>(nextHour);
        dt.minute = 0;
        dt.second = 0;
        return true;
    }
    dt.hour = static_cast<int>(g);
    const double l = (g - dt.hour) * 60.0;
    const double nextMinute = std::floor(l) + 1.0;
    if (l + kSecondInDays > nextMinute) {
        dt.minute = static_cast<int>(nextMinute);
        dt.second = 0;
        return true;
    }
    dt.minute = static_cast<int>(std::floor(l));
    const double s = (l - dt.minute) * 60.0;
    // A whole second stored with rounding error just below it reads as that second.
    const double nextSecond = std::floor(s) + 1.0;
    if (s + kSecondInDays > nextSecond) {
        dt.second = static_cast<int>(nextSecond);
        return dt.second >= 60;
    }
    dt.second = s < kSecondInDays ? 0 : static_cast<int>(s);
    return false;
}

} // namespace

DateTime fromDayNumber(double value) {
    DateTime dt;
    if (!std::isfinite(value)) {
        dt.dayNumber = value;
        return dt;
    }
    if (deriveFields(value, dt)) {
        // A field reached its next whole value (possibly 24 h, 60 min or 60 s): the time is
        // that of the rounded fields.
        const double rounded = dayNumber(dt.day, dt.month, dt.year, dt.hour, dt.minute, dt.second);
        deriveFields(rounded, dt);
    }
    return dt;
}

void advance(DateTime& dt, double seconds) {
    dt = fromDayNumber(dt.dayNumber + seconds * kSecondInDays);
}

int weekday(const DateTime& dt) {
    int w = static_cast<int>(std::fmod(std::floor(dt.dayNumber) - 4199.0, 7.0));
    if (w < 0) w += 7;
    return w;
}

std::string weekdayText(const DateTime& dt, const TextProvider& texts) {
    const std::string name = texts.text(304 + weekday(dt));
    char buf[160];
    std::snprintf(buf, sizeof buf, "%s %02d - %02d:%02d", name.c_str(), dt.day, dt.hour,
                  dt.minute);
    return buf;
}

std::string weekdayText(const DateTime& dt) { return weekdayText(dt, builtinEnglishTexts()); }

std::string formatDate(const DateTime& dt, int kind, const TextProvider& texts) {
    char buf[160];
    switch (kind) {
    case 1:
        std::snprintf(buf, sizeof buf, "%02d/%02d/%04d %02d:%02d:%02d", dt.day, dt.month, dt.year,
                      dt.hour, dt.minute, dt.second);
        break;
    case 2:
        std::snprintf(buf, sizeof buf, "%02d/%02d/%04d %02d:%02d", dt.day, dt.month, dt.year,
                      dt.hour, dt.minute);
        break;
    case 3:
        std::snprintf(buf, sizeof buf, "%02d/%02d/%04d", dt.day, dt.month, dt.year);
        break;
    case 4:
        std::snprintf(buf, sizeof buf, "%02d:%02d:%02d", dt.hour, dt.minute, dt.second);
        break;
    case 5:
        std::snprintf(buf, sizeof buf, "%02d:%02d", dt.hour, dt.minute);
        break;
    case 6:
        std::snprintf(buf, sizeof buf, "%02d/%02d %02d:%02d", dt.day, dt.month, dt.hour,
                      dt.minute);
        break;
    case 7:
        std::snprintf(buf, sizeof buf, "%02d/%02d %02d:%02d:%02d", dt.day, dt.month, dt.hour,
                      dt.minute, dt.second);
        break;
    case 8: {
        const std::string name = texts.text(317 + dt.month);
        std::snprintf(buf, sizeof buf, "%02d %s %02d:%02d", dt.day, name.c_str(), dt.hour,
                      dt.minute);
        break;
    }
    default:
        return {};
    }
    return buf;
}

std::string formatDate(const DateTime& dt, int kind) {
    return formatDate(dt, kind, builtinEnglishTexts());
}

DateTime now() {
    using namespace std::chrono;
    const auto since = system_clock::now().time_since_epoch();
    const double unixSeconds = duration_cast<duration<double>>(since).count();
    // 1 January 1980 is 3652 days after 1 January 1970.
    return fromDayNumber(unixSeconds / 86400.0 - 3652.0);
}

} // namespace navorel
