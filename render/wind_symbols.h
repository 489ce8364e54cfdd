#pragma once
// The shape of a wind barb for a speed, and the screen angle of a wind direction. Qt-free.

namespace navorel {

struct BarbShape {
    bool calm = false;    // below 2.5 knots: a small circle instead of a shaft
    bool pennant = false; // 45 knots and more
    int fullBarbs = 0;    // barbs of the full length
    bool halfBarb = false;
};

// Rounded to the nearest 5 knots: a half barb is 5 knots, a full barb 10, a pennant 50.
BarbShape barbShape(double knots);

// Screen angle (radians, 0..2 pi, y downwards) pointing from the symbol's point towards the
// direction the wind comes from (compass degrees).
double windScreenAngle(double directionDegrees);

} // namespace navorel
