#pragma once
// An analytic tropical cyclone for the routing tests and benchmarks: a vortex turning
// anticlockwise (northern hemisphere) with an inflow of 20 degrees, 45 knots at 50 nautical
// miles from its eye, falling off as the square root of the distance beyond and linearly
// inside, over a 12-knot north-easterly trade wind; the eye drifts west-north-west at 8 knots.
// The route of 400 nautical miles in two legs passes it to the south.
#include "core/geodesy.h"
#include "weather/wind_sample.h"

#include <cmath>
#include <vector>

namespace navorel::test {

class CycloneWind : public WindField {
  public:
    static constexpr double kStartDay = 16802.0; // 2026-01-01 00:00 UTC
    WindSample windAt(float lon, float lat, double day) const override {
        const double hours = (day - kStartDay) * 24.0;
        // The eye at the start, then its drift (8 kt towards 290 degrees).
        const double driftNm = 8.0 * hours;
        const double eyeLat = 31.0 + driftNm * std::cos(290.0 * kDegToRad) / 60.0;
        const double eyeLon =
            -35.0 + driftNm * std::sin(290.0 * kDegToRad) / (60.0 * std::cos(31.0 * kDegToRad));
        // Local plane, nautical miles east and north of the eye.
        const double x = (lon - eyeLon) * 60.0 * std::cos(lat * kDegToRad);
        const double y = (lat - eyeLat) * 60.0;
        const double r = std::sqrt(x * x + y * y);
        constexpr double kMax = 45.0, kRadius = 50.0;
        const double v = r < kRadius ? kMax * r / kRadius : kMax * std::sqrt(kRadius / r);
        // Anticlockwise flow, turned 20 degrees in towards the eye; r = 0 has no vortex wind.
        double e = 0, n = 0;
        if (r > 1e-9) {
            const double ux = -y / r, uy = x / r; // anticlockwise tangent
            const double c = std::cos(20.0 * kDegToRad), s = std::sin(20.0 * kDegToRad);
            e = v * (ux * c - x / r * s);
            n = v * (uy * c - y / r * s);
        }
        // The trade wind blows from 045 at 12 kt: towards 225.
        e += 12.0 * std::sin(225.0 * kDegToRad);
        n += 12.0 * std::cos(225.0 * kDegToRad);
        const double speed = std::sqrt(e * e + n * n);
        double from = std::atan2(-e, -n) * kRadToDeg;
        if (from < 0) from += 360.0;
        return WindSample{true, static_cast<float>(from), static_cast<float>(speed)};
    }
    // Two legs of 200 nautical miles along 30 N, east to west, past the eye's track.
    static std::vector<GeoPoint> waypoints() {
        const float dLon = static_cast<float>(200.0 / (60.0 * std::cos(30.0 * kDegToRad)));
        return {GeoPoint{-33.0f, 30.0f}, GeoPoint{-33.0f - dLon, 30.0f},
                GeoPoint{-33.0f - 2 * dLon, 30.0f}};
    }
};

} // namespace navorel::test
