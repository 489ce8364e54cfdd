#pragma once
// Sunrise and sunset at a place, from NOAA's solar position equations (the low-precision
// series of its solar calculator, good to about a minute between latitudes 72 N and 72 S).
// Times are day numbers (days since 1 January 1980 00:00 UTC); places in degrees, east and
// north positive. The sun rises and sets when its upper limb meets the horizon, refraction
// included (zenith 90.833 degrees).
namespace navorel {

struct SunTimes {
    enum class Kind {
        RisesAndSets, // sunrise and sunset are set
        AlwaysUp,     // the sun stays above the horizon all that day (polar day)
        AlwaysDown,   // the sun stays below it (polar night)
        Invalid,      // a position or date that is not a number
    };
    Kind kind = Kind::Invalid;
    double sunrise = 0; // day number, UTC
    double sunset = 0;  // day number, UTC; may fall on the next UTC date (west of Greenwich)
};

// The sunrise and sunset of the day whose local solar noon falls nearest to the UTC date of
// `day` (its whole part) at 12:00 UTC shifted by the longitude: the day as seen at the place.
SunTimes sunTimes(double lon, double lat, double day);

// Is it night at a place and time: the sun below the horizon (upper limb, with refraction)?
// False for an invalid position or time.
bool isNight(double lon, double lat, double day);

// The sun's elevation above the horizon at a place and time, degrees, without refraction.
double solarElevation(double lon, double lat, double day);

} // namespace navorel
