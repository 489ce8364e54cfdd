#include "core/sun.h"

#include <cmath>

namespace navorel {

namespace {

constexpr double kRad = 0.017453292519943295;
constexpr double kJulianDayOfEpoch = 2444239.5; // 1 January 1980 00:00 UTC
constexpr double kZenith = 90.833;              // upper limb on the horizon, with refraction

// The sun's declination (degrees) and the equation of time (minutes) at a day number.
struct SolarPosition {
    double declination = 0;
    double equationOfTime = 0;
};

SolarPosition solarPosition(double day) {
    // Julian centuries since J2000.0.
    const double t = (day + kJulianDayOfEpoch - 2451545.0) / 36525.0;
    const double meanLong = std::fmod(280.46646 + t * (36000.76983 + t * 0.0003032), 360.0);
    const double meanAnomaly = 357.52911 + t * (35999.05029 - 0.0001537 * t);
    const double eccentricity = 0.016708634 - t * (0.000042037 + 0.0000001267 * t);
    const double m = meanAnomaly * kRad;
    const double centre = std::sin(m) * (1.914602 - t * (0.004817 + 0.000014 * t)) +
                          std::sin(2 * m) * (0.019993 - 0.000101 * t) + std::sin(3 * m) * 0.000289;
    const double trueLong = meanLong + centre;
    const double omega = (125.04 - 1934.136 * t) * kRad;
    const double apparentLong = trueLong - 0.00569 - 0.00478 * std::sin(omega);
    const double meanObliquity =
        23.0 + (26.0 + (21.448 - t * (46.815 + t * (0.00059 - t * 0.001813))) / 60.0) / 60.0;
    const double obliquity = meanObliquity + 0.00256 * std::cos(omega);
    SolarPosition p;
    p.declination = std::asin(std::sin(obliquity * kRad) * std::sin(apparentLong * kRad)) / kRad;
    const double y = std::pow(std::tan(obliquity * kRad / 2), 2);
    const double l0 = meanLong * kRad;
    p.equationOfTime =
        4.0 / kRad *
        (y * std::sin(2 * l0) - 2 * eccentricity * std::sin(m) +
         4 * eccentricity * y * std::sin(m) * std::cos(2 * l0) - 0.5 * y * y * std::sin(4 * l0) -
         1.25 * eccentricity * eccentricity * std::sin(2 * m));
    return p;
}

// Hour angle of the sun at the zenith distance of sunrise, degrees; NaN when it never reaches
// it (+inf: always up, -inf: always down).
double sunriseHourAngle(double lat, double declination) {
    const double c =
        std::cos(kZenith * kRad) / (std::cos(lat * kRad) * std::cos(declination * kRad)) -
        std::tan(lat * kRad) * std::tan(declination * kRad);
    if (c < -1) return INFINITY;
    if (c > 1) return -INFINITY;
    return std::acos(c) / kRad;
}

// The time (day number) of sunrise (sign -1) or sunset (+1) near `guess`, on the UTC date
// `date`: the sun's position is taken at the guess and the event recomputed twice, which
// brings it within a few seconds of the position's own accuracy.
double sunEvent(double lon, double lat, double date, double guess, int sign, bool& never,
                bool& always) {
    double at = guess;
    for (int pass = 0; pass < 3; ++pass) {
        const SolarPosition p = solarPosition(at);
        const double h = sunriseHourAngle(lat, p.declination);
        if (std::isinf(h)) {
            always = h > 0;
            never = h < 0;
            return at;
        }
        const double noonMinutes = 720.0 - 4.0 * lon - p.equationOfTime;
        at = date + (noonMinutes + sign * 4.0 * h) / 1440.0;
    }
    return at;
}

} // namespace

SunTimes sunTimes(double lon, double lat, double day) {
    SunTimes s;
    if (!std::isfinite(lon) || !std::isfinite(lat) || !std::isfinite(day) || lat < -90 || lat > 90)
        return s;
    const double date = std::floor(day);
    const double noon = date + (720.0 - 4.0 * lon) / 1440.0;
    bool never = false, always = false;
    const double rise = sunEvent(lon, lat, date, noon, -1, never, always);
    const double set = sunEvent(lon, lat, date, noon, +1, never, always);
    if (always) {
        s.kind = SunTimes::Kind::AlwaysUp;
        return s;
    }
    if (never) {
        s.kind = SunTimes::Kind::AlwaysDown;
        return s;
    }
    s.kind = SunTimes::Kind::RisesAndSets;
    s.sunrise = rise;
    s.sunset = set;
    return s;
}

double solarElevation(double lon, double lat, double day) {
    const SolarPosition p = solarPosition(day);
    const double minutes = (day - std::floor(day)) * 1440.0;
    // True solar time, minutes; the hour angle is 0 at local solar noon.
    const double solarTime = minutes + p.equationOfTime + 4.0 * lon;
    const double hourAngle = solarTime / 4.0 - 180.0;
    const double cosZenith =
        std::sin(lat * kRad) * std::sin(p.declination * kRad) +
        std::cos(lat * kRad) * std::cos(p.declination * kRad) * std::cos(hourAngle * kRad);
    return 90.0 - std::acos(std::fmax(-1.0, std::fmin(1.0, cosZenith))) / kRad;
}

bool isNight(double lon, double lat, double day) {
    if (!std::isfinite(lon) || !std::isfinite(lat) || !std::isfinite(day) || lat < -90 || lat > 90)
        return false;
    return solarElevation(lon, lat, day) < 90.0 - kZenith;
}

} // namespace navorel
