#pragma once
// One reached position with everything known about the step that reached it. The same record
// is the start of a leg, a point of an isochrone, an entry of the point store and a point of
// the final route.
#include "core/datetime.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace navorel {

struct IsochronePoint {
    DateTime parentTime;    // departure time of this step (the parent's time)
    std::uint8_t valid = 0; // 1 when the advance produced a usable point
    double stepSeconds = 0; // duration of the step, s
    float parentLon = 0;    // start of the step, degrees
    float parentLat = 0;
    float commandedHeading = 0; // heading asked for, degrees (not normalised)
    float currentDir = 0;       // stream at the parent: flows towards, degrees
    float currentSpeed = 0;     // m/s
    float currentDot = 0;       // water-track velocity . stream velocity, m^2/s^2
    float windDir = 0;          // wind from the wind source: comes from, degrees
    float windSpeed = 0;        // m/s, after the wind intensity percentage
    float twd = 0;              // true wind over the water: comes from, degrees
    float tws = 0;              // m/s
    float twa = 0;              // true wind angle 0..180
    float awa = 0;              // apparent wind angle 0..180
    float aws = 0;              // apparent wind speed, m/s
    std::int32_t awaSide = 0;   // 1 or 0: the side of the apparent wind; -1 at a departure
    std::uint8_t engine = 0;    // 1 when the step was made under engine
    float boatSpeed = 0;        // through the water, m/s
    float sog = 0;              // over ground, m/s
    float heading = 0;          // through the water, degrees
    float cog = 0;              // course over ground, degrees
    float stepDistance = 0;     // over ground, after any tack loss, m
    DateTime time;              // arrival time at this point
    float lon = 0;              // the point, degrees
    float lat = 0;
    float distToTarget = 0;   // great-circle distance to the leg's target, m
    float totalDistance = 0;  // from the departure, m
    float fuel = 0;           // burnt since the departure, litres
    float engineSeconds = 0;  // under engine since the departure, s
    std::int32_t index = -1;  // position in the point store (-1 until stored)
    std::int32_t parent = 0;  // store index of the point it was reached from (0: departure)
    std::uint8_t arrived = 0; // 1 on an arrival point until the arrival selection reads it
};

// A front: the points reachable after one more time step, ordered around the leg's start.
using Isochrone = std::vector<IsochronePoint>;

// The departure of a run: at `position` at `start`, every total 0, store entry 0. Its apparent
// wind side is unknown (-1), so the first step never counts as a tack.
IsochronePoint departureRecord(const DateTime& start, float lon, float lat);

// Every field of every point, one line per point after a header line naming the fields; reals
// with %.17g, so two runs can be compared digit for digit.
std::string formatRoute(const std::vector<IsochronePoint>& route);
void printRoute(std::FILE* out, const std::vector<IsochronePoint>& route);

} // namespace navorel
