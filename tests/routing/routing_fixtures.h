#pragma once
// Winds, coasts and boats for the routing tests.
#include "core/geodesy.h"
#include "routing/polar.h"
#include "routing/routing_inputs.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace navorel::test {

// The same wind everywhere and always.
class ConstantWind : public WindField {
  public:
    ConstantWind(float direction, float knots) : direction_(direction), knots_(knots) {}
    WindSample windAt(float, float, double) const override {
        return WindSample{true, direction_, knots_};
    }

  private:
    float direction_, knots_;
};

// Wind inside a longitude/latitude box only.
class BoxWind : public WindField {
  public:
    BoxWind(float direction, float knots, GeoPoint sw, GeoPoint ne)
        : direction_(direction), knots_(knots), sw_(sw), ne_(ne) {}
    WindSample windAt(float lon, float lat, double) const override {
        if (lon < sw_.lon || lon > ne_.lon || lat < sw_.lat || lat > ne_.lat) return {};
        return WindSample{true, direction_, knots_};
    }

  private:
    float direction_, knots_;
    GeoPoint sw_, ne_;
};

class ConstantCurrent : public CurrentSource {
  public:
    ConstantCurrent(float towards, float knots) : towards_(towards), knots_(knots) {}
    CurrentSample currentAt(float, float, double) const override {
        return CurrentSample{true, towards_, knots_, 0};
    }

  private:
    float towards_, knots_;
};

// Rectangular islands and straight barriers, tested in plain longitude/latitude.
class SyntheticCoast : public CrossingTests {
  public:
    struct Box {
        GeoPoint sw, ne;
    };
    std::vector<Box> islands;
    std::vector<std::vector<GeoPoint>> barriers;

    bool segmentCrossesLand(GeoPoint a, GeoPoint b) const override {
        for (const Box& box : islands) {
            if (inside(box, a) || inside(box, b)) return true;
            const GeoPoint c[4] = {
                box.sw, {box.ne.lon, box.sw.lat}, box.ne, {box.sw.lon, box.ne.lat}};
            for (int k = 0; k < 4; ++k)
                if (segmentsCross(a, b, c[k], c[(k + 1) % 4])) return true;
        }
        return false;
    }
    bool segmentCrossesBarrier(GeoPoint a, GeoPoint b) const override {
        for (const auto& line : barriers)
            for (std::size_t k = 1; k < line.size(); ++k)
                if (segmentsCross(a, b, line[k - 1], line[k])) return true;
        return false;
    }
    bool pointOnLand(GeoPoint p) const override {
        for (const Box& box : islands)
            if (inside(box, p)) return true;
        return false;
    }

  private:
    static bool inside(const Box& box, GeoPoint p) {
        return p.lon >= box.sw.lon && p.lon <= box.ne.lon && p.lat >= box.sw.lat &&
               p.lat <= box.ne.lat;
    }
};

inline Polar parseTestPolar(const std::string& text) {
    Polar p;
    std::string error;
    EXPECT_TRUE(parsePolar(text, "test", p, error)) << error;
    return p;
}

inline Polar demoPolar() {
    Polar p;
    std::string error;
    EXPECT_TRUE(loadPolar(std::string(NAVOREL_SOURCE_DIR) + "/dist/Polars/Navorel40.pol", p, error))
        << error;
    return p;
}

// 6 knots at every angle from 40 to 180 in every wind: best upwind at 40, best downwind at 180.
inline const char* kFlatPolar = "TWA\\TWS\t5\t30\n"
                                "40\t6\t6\n"
                                "90\t6\t6\n"
                                "180\t6\t6\n";

// Settings for unit tests: no engine, no sea state, no wind limits in the way.
inline RoutingParameters quietParameters() {
    RoutingParameters p;
    p.engine = false;
    p.seaState = false;
    p.powerInForce = p.power = 100;
    p.variation = 100;
    return p;
}

// The shipped isochrone settings with the engine, the streams and the coasts off, by the
// search and refinement chosen.
inline RoutingParameters openWaterParameters(int search, bool refine = false) {
    RoutingParameters p = quietParameters();
    p.method = 1;
    p.timestepAuto = true;
    p.quality = 3;
    p.ellipse = true;
    p.currents = false;
    p.avoidCoasts = false;
    p.renderAfter = false;
    p.search = search;
    p.refine = refine;
    return p;
}

} // namespace navorel::test
