#include "weather/wind_sampler.h"

#include <algorithm>
#include <cmath>

#include "core/geodesy.h"
#include "routing/routing_parameters.h"

namespace navorel {
namespace {

// Brings a compass direction into 0..360 (360 stays 360).
double into360(double d) {
    while (d > 360.0) d -= 360.0;
    while (d < 0.0) d += 360.0;
    return d;
}

// Weighted mean of two angles in radians across east: when they lie more than half a turn
// apart, the smaller is taken one turn on. Result in 0..2pi.
double blendRadians(double x, double y, double w) {
    double r;
    if (std::fabs(y - x) > kPi) {
        if (x < y)
            r = (1.0 - w) * (x + kTwoPi) + w * y;
        else
            r = (1.0 - w) * x + w * (y + kTwoPi);
    } else {
        r = (1.0 - w) * x + w * y;
    }
    if (r < 0)
        r += kTwoPi;
    else if (r > kTwoPi)
        r -= kTwoPi;
    return r;
}

// The place moved into the frame's longitude range, or false when it lies outside.
bool insideFrame(const FrameGeometry& g, double lon, double lat, double& frameLon) {
    // Written so that NaN places fall outside.
    if (!(lat >= g.minLat && lat <= g.maxLat)) return false;
    if (!g.wrap) {
        frameLon = lon;
        return lon >= g.minLon && lon <= g.maxLon;
    }
    frameLon = lon < 0 ? lon + 360.0 : lon;
    return frameLon >= g.minLon && frameLon <= g.maxLon + 360.0;
}

WindSample notFound() {
    return WindSample{};
}

} // namespace

int frameForTime(const WindStore& store, double t) {
    const auto& times = store.frameTimes();
    if (times.empty() || !(t >= times.front() && t <= times.back())) return -1;
    const std::size_t n = times.size();
    if (n == 1) return 0;
    // Wanted: the first i >= 1 with T[i] >= t. Frame times strictly increase and are nearly
    // always evenly spaced (hourly), so the spacing guesses i and a short walk confirms it;
    // uneven stores fall back to a binary search. Same index as a scan from the start.
    const double spacing = (times.back() - times.front()) / static_cast<double>(n - 1);
    const double guess = std::ceil((t - times.front()) / spacing);
    std::size_t i = guess < 1                            ? 1
                    : guess > static_cast<double>(n - 1) ? n - 1
                                                         : static_cast<std::size_t>(guess);
    for (int walk = 0; walk < 4; ++walk) {
        if (times[i] < t)
            ++i;
        else if (i > 1 && times[i - 1] >= t)
            --i;
        else
            return static_cast<int>(i) - 1;
    }
    const auto it = std::lower_bound(times.begin() + 1, times.end(), t);
    return static_cast<int>(it - times.begin()) - 1;
}

namespace {

// Where a place falls in frame k: the four corners of its cell and the weights within it, or
// (on the last column or row) the nearest point alone.
struct FrameSpot {
    bool found = false;
    bool inCell = false;
    WindValue q00; // the nearest point when not in a cell
    WindValue q10, q01, q11;
    double a = 0, b = 0;
};

FrameSpot locate(const WindStore& store, int k, float lon, float lat) {
    FrameSpot s;
    if (k < 0 || static_cast<std::size_t>(k) >= store.frames().size()) return s;
    const FrameGeometry& g = store.geometry(k);
    if (g.nx < 2 || g.ny < 2) return s;
    double x = 0;
    if (!insideFrame(g, lon, lat, x)) return s;
    const int nx = g.nx, ny = g.ny;
    // A grid without increments has a span of 0; its one column (row) answers everywhere
    // instead of a division by zero.
    // From the first point, the south-west corner of the grid.
    const double fx = g.lonSpan > 0 ? (x - g.minLon) * (nx - 1) / g.lonSpan : 0.0;
    const double fy = g.latSpan > 0 ? (lat - g.minLat) * (ny - 1) / g.latSpan : 0.0;

    if (fx >= 0 && fx < nx - 1 && fy >= 0 && fy < ny - 1) {
        const int i = static_cast<int>(fx), j = static_cast<int>(fy);
        s.a = fx - i;
        s.b = fy - j;
        const std::size_t p00 = static_cast<std::size_t>(j) * nx + i;
        s.q00 = store.value(k, p00);
        s.q10 = store.value(k, p00 + 1);
        s.q01 = store.value(k, p00 + nx);
        s.q11 = store.value(k, p00 + nx + 1);
        s.inCell = true;
        s.found = s.q00.valid && s.q10.valid && s.q01.valid && s.q11.valid;
        return s;
    }
    // The last column or row: the nearest point.
    const int i = static_cast<int>(std::clamp(fx + 0.5, 0.0, static_cast<double>(nx - 1)));
    const int j = static_cast<int>(std::clamp(fy + 0.5, 0.0, static_cast<double>(ny - 1)));
    s.q00 = store.value(k, static_cast<std::size_t>(j) * nx + i);
    s.found = s.q00.valid;
    return s;
}

double spotKnots(const FrameSpot& s) {
    if (!s.inCell) return s.q00.speed * kMsToKnot;
    const double a = s.a, b = s.b;
    return ((1 - a) * (1 - b) * s.q00.speed + a * (1 - b) * s.q10.speed + a * b * s.q11.speed +
            (1 - a) * b * s.q01.speed) *
           kMsToKnot;
}

} // namespace

WindSample frameSample(const WindStore& store, int k, float lon, float lat) {
    const FrameSpot s = locate(store, k, lon, lat);
    if (!s.found) return notFound();
    const float speed = static_cast<float>(spotKnots(s));
    if (s.inCell) {
        const double south = blendRadians(s.q00.direction, s.q10.direction, s.a);
        const double north = blendRadians(s.q01.direction, s.q11.direction, s.a);
        const double motion = blendRadians(south, north, s.b);
        // The air's motion (counter-clockwise from east) becomes where the wind comes from.
        const double from = into360(270.0 - motion * kRadToDeg);
        return WindSample{true, static_cast<float>(from), speed};
    }
    // The nearest point gives a whole-degree direction.
    int n = 270 - static_cast<int>(s.q00.direction * kRadToDeg);
    if (n > 360)
        n = (n - 361) % 360 + 1;
    else if (n < 0)
        n = 359 - ((-n - 1) % 360);
    return WindSample{true, static_cast<float>(n), speed};
}

bool frameSpeed(const WindStore& store, int k, float lon, float lat, float& knots) {
    const FrameSpot s = locate(store, k, lon, lat);
    if (!s.found) return false;
    knots = static_cast<float>(spotKnots(s));
    return true;
}

WindSample windAt(const WindStore& store, const RoutingParameters& parameters, float lon, float lat,
                  double t) {
    if (parameters.uniqueWind) {
        return WindSample{true, static_cast<float>(parameters.windDirection),
                          static_cast<float>(parameters.windForce)};
    }
    const int k = frameForTime(store, t);
    if (k < 0) return notFound();
    double x = 0;
    if (!insideFrame(store.geometry(k), lon, lat, x)) return notFound();
    const auto& times = store.frameTimes();
    if (static_cast<std::size_t>(k) + 1 >= times.size()) return frameSample(store, k, lon, lat);

    const WindSample w0 = frameSample(store, k, lon, lat);
    if (!w0.found) return notFound();
    const WindSample w1 = frameSample(store, k + 1, lon, lat);
    if (!w1.found) return notFound();
    const double g = (t - times[static_cast<std::size_t>(k)]) /
                     (times[static_cast<std::size_t>(k) + 1] - times[static_cast<std::size_t>(k)]);
    const double speed = w0.speed + (w1.speed - w0.speed) * g;
    const double d0 = w0.direction, d1 = w1.direction;
    double d;
    if (std::fabs(d1 - d0) > 180.0) {
        d = d0 < d1 ? (1 - g) * (d0 + 360.0) + g * d1 : (1 - g) * d0 + g * (d1 + 360.0);
    } else {
        d = (1 - g) * d0 + g * d1;
    }
    return WindSample{true, static_cast<float>(into360(d)), static_cast<float>(speed)};
}

WindSample StoreWindField::windAt(float lon, float lat, double time) const {
    return navorel::windAt(store_, parameters_, lon, lat, time);
}

bool StoreWindField::hasGusts() const {
    return !parameters_.uniqueWind && !store_.gusts().empty();
}

bool StoreWindField::gustAt(float lon, float lat, double time, float& knots) const {
    if (parameters_.uniqueWind) return false;
    float ms = 0;
    if (!store_.gusts().gustAt(lon, lat, time, ms)) return false;
    knots = static_cast<float>(ms * kMsToKnot);
    return true;
}

} // namespace navorel
