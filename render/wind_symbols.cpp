#include "render/wind_symbols.h"

#include <cmath>
#include <numbers>

namespace navorel {

BarbShape barbShape(double knots) {
    BarbShape s;
    if (!(knots >= 2.5)) { // NaN counts as calm
        s.calm = true;
        return s;
    }
    if (knots >= 45) {
        s.pennant = true;
        return s;
    }
    if (knots >= 37.5) {
        s.fullBarbs = 4;
        return s;
    }
    // Each 5-knot band from 2.5 adds half a barb.
    const int halves = static_cast<int>((knots - 2.5) / 5.0) + 1; // 1..7
    s.fullBarbs = halves / 2;
    s.halfBarb = halves % 2 == 1;
    return s;
}

double windScreenAngle(double directionDegrees) {
    const double twoPi = 2 * std::numbers::pi;
    double a = twoPi - (450 - directionDegrees) * std::numbers::pi / 180;
    a = std::fmod(a, twoPi);
    if (a < 0) a += twoPi;
    return a;
}

} // namespace navorel
