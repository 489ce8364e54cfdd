#include "weather/gust_field.h"

#include "core/datetime.h"

#include <algorithm>
#include <cmath>

namespace navorel {

namespace {

// Anything above this is the decoder's mark of an absent point.
constexpr float kMissingAbove = 9900.0f;

// The gust of one grid at a place, m/s; false outside it or next to an absent point.
bool gridGust(const GustGrid& g, float lon, float lat, double& out) {
    if (g.nx < 2 || g.ny < 2 || !(g.di > 0) || !(g.dj > 0)) return false;
    double x = std::fmod(static_cast<double>(lon) - g.lon1, 360.0);
    if (x < 0) x += 360.0;
    x /= g.di;
    const double y = (static_cast<double>(lat) - g.lat1) / g.dj;
    // A hair past the last column or row (rounding of the grid's own corner) still counts.
    constexpr double kEdge = 1e-6;
    if (!(y >= -kEdge && y <= g.ny - 1 + kEdge) || !(x <= g.nx - 1 + kEdge)) return false;
    const int i = std::clamp(static_cast<int>(x), 0, g.nx - 2);
    const int j = std::clamp(static_cast<int>(std::max(y, 0.0)), 0, g.ny - 2);
    const double fx = std::clamp(x - i, 0.0, 1.0), fy = std::clamp(y - j, 0.0, 1.0);
    const std::size_t row = static_cast<std::size_t>(j) * static_cast<std::size_t>(g.nx);
    const std::size_t a = row + static_cast<std::size_t>(i);
    const std::size_t b = a + static_cast<std::size_t>(g.nx);
    const float s00 = g.speed[a], s10 = g.speed[a + 1], s01 = g.speed[b], s11 = g.speed[b + 1];
    if (s00 < 0 || s10 < 0 || s01 < 0 || s11 < 0) return false;
    out = (1 - fy) * ((1 - fx) * s00 + fx * s10) + fy * ((1 - fx) * s01 + fx * s11);
    return true;
}

} // namespace

void GustField::build(const std::vector<GribRecord>& records) {
    grids_.clear();
    for (const GribRecord& r : records) {
        if (!isBuiltinGust(r) || r.nx < 2 || r.ny < 2) continue;
        const std::size_t n = static_cast<std::size_t>(r.nx) * static_cast<std::size_t>(r.ny);
        if (r.values.size() != n) continue;
        GustGrid g;
        g.year = r.year;
        g.month = r.month;
        g.day = r.day;
        g.hours = r.hour + r.forecast;
        g.loadedHour =
            std::llround(dayNumber(r.day, r.month, r.year, 0, 0, 0) * 24.0) + r.hour + r.forecast;
        g.nx = r.nx;
        g.ny = r.ny;
        g.lon1 = r.lon1;
        g.di = r.di > 0 ? r.di : 0;
        g.lat1 = r.lat1;
        g.dj = r.dj;
        g.speed.resize(n);
        for (std::size_t p = 0; p < n; ++p) {
            const float v = r.values[p];
            g.speed[p] = (v > kMissingAbove || !std::isfinite(v) || v < 0) ? -1.0f : v;
        }
        grids_.push_back(std::move(g));
    }
    std::stable_sort(grids_.begin(), grids_.end(), [](const GustGrid& a, const GustGrid& b) {
        return a.loadedHour < b.loadedHour;
    });
    grids_.erase(std::unique(grids_.begin(), grids_.end(),
                             [](const GustGrid& a, const GustGrid& b) {
                                 return a.loadedHour == b.loadedHour;
                             }),
                 grids_.end());
    applyLag(0);
}

void GustField::applyLag(int lagHours) {
    // The same day numbers as the wind frames of the same valid time.
    for (GustGrid& g : grids_) g.time = dayNumber(g.day, g.month, g.year, g.hours - lagHours, 0, 0);
}

bool GustField::gustAt(float lon, float lat, double time, float& metresPerSecond) const {
    if (grids_.empty() || !(time >= grids_.front().time && time <= grids_.back().time))
        return false;
    const auto after = std::lower_bound(grids_.begin(), grids_.end(), time,
                                        [](const GustGrid& g, double t) { return g.time < t; });
    double s1 = 0;
    if (!gridGust(*after, lon, lat, s1)) return false;
    if (after->time == time || after == grids_.begin()) {
        metresPerSecond = static_cast<float>(s1);
        return true;
    }
    const GustGrid& before = *(after - 1);
    double s0 = 0;
    if (!gridGust(before, lon, lat, s0)) return false;
    const double f = (time - before.time) / (after->time - before.time);
    metresPerSecond = static_cast<float>(s0 + (s1 - s0) * f);
    return true;
}

} // namespace navorel
