#include "routing/refine_route.h"

#include "routing/leg_steps.h"
#include "routing/search_fans.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace navorel {

namespace {

// The second pass keeps the first's step and prunes its fronts at a quarter of the distance.
// A finer step does not pay: each step sails the wind of its start for the whole step, so a
// coarse step's route takes longer when sailed again minute by minute (through the test
// cyclone the two-hour step's route is 3.3 nautical miles short at its arrival, the
// five-minute step's 0.1), and halving the step made no leg faster there. A denser front in the
// corridor keeps the points the first pass pruned for a neighbour that ranked better by the
// time it still needed.
constexpr double kRefineStepScale = 1.0;
constexpr double kRefinePruneScale = 0.25;

} // namespace

double corridorHalfWidth(double legMetres) {
    return std::max(0.01 * legMetres, 1200.0);
}

double Corridor::x(GeoPoint p) const {
    return normalise180(static_cast<double>(p.lon) - origin_.lon) * kDegToRad * kEarthRadius *
           cosLat_;
}

double Corridor::y(GeoPoint p) const {
    return (static_cast<double>(p.lat) - origin_.lat) * kDegToRad * kEarthRadius;
}

Corridor::Corridor(const std::vector<GeoPoint>& track, double halfWidth) {
    if (track.empty() || !(halfWidth > 0.0)) return;
    origin_ = track.front();
    cosLat_ = std::max(std::cos(origin_.lat * kDegToRad), 0.01);
    cell_ = halfWidth / 2.0;
    double minX = 0, maxX = 0, minY = 0, maxY = 0;
    for (const GeoPoint& p : track) {
        minX = std::min(minX, x(p));
        maxX = std::max(maxX, x(p));
        minY = std::min(minY, y(p));
        maxY = std::max(maxY, y(p));
    }
    const double margin = halfWidth + 2.0 * cell_;
    x0_ = minX - margin;
    y0_ = minY - margin;
    columns_ = static_cast<std::size_t>((maxX - minX + 2.0 * margin) / cell_) + 1;
    rows_ = static_cast<std::size_t>((maxY - minY + 2.0 * margin) / cell_) + 1;
    inside_.assign(columns_ * rows_, 0);
    // Marks the cells whose centre lies within halfWidth of a sample of the track; samples a
    // quarter of a cell apart put every position of the track within an eighth of a cell of
    // one.
    const int reach = static_cast<int>(std::ceil(halfWidth / cell_)) + 1;
    auto mark = [&](double px, double py) {
        const long c0 = static_cast<long>(std::floor((px - x0_) / cell_));
        const long r0 = static_cast<long>(std::floor((py - y0_) / cell_));
        for (long r = r0 - reach; r <= r0 + reach; ++r) {
            if (r < 0 || r >= static_cast<long>(rows_)) continue;
            for (long c = c0 - reach; c <= c0 + reach; ++c) {
                if (c < 0 || c >= static_cast<long>(columns_)) continue;
                const double dx = x0_ + (c + 0.5) * cell_ - px, dy = y0_ + (r + 0.5) * cell_ - py;
                if (dx * dx + dy * dy <= halfWidth * halfWidth)
                    inside_[static_cast<std::size_t>(r) * columns_ + static_cast<std::size_t>(c)] =
                        1;
            }
        }
    };
    mark(x(track.front()), y(track.front()));
    for (std::size_t k = 1; k < track.size(); ++k) {
        const double ax = x(track[k - 1]), ay = y(track[k - 1]);
        const double bx = x(track[k]), by = y(track[k]);
        const double length = std::hypot(bx - ax, by - ay);
        const int samples = std::max(1, static_cast<int>(std::ceil(length / (cell_ / 4.0))));
        for (int s = 1; s <= samples; ++s) {
            const double t = static_cast<double>(s) / samples;
            mark(ax + t * (bx - ax), ay + t * (by - ay));
        }
    }
}

bool Corridor::contains(GeoPoint p) const {
    if (inside_.empty()) return false;
    const double c = std::floor((x(p) - x0_) / cell_), r = std::floor((y(p) - y0_) / cell_);
    if (!(c >= 0.0 && r >= 0.0 && c < static_cast<double>(columns_) &&
          r < static_cast<double>(rows_)))
        return false;
    return inside_[static_cast<std::size_t>(r) * columns_ + static_cast<std::size_t>(c)] != 0;
}

void refineRoute(const RoutingInputs& in, const UserRoute& route, const DateTime& start,
                 const std::vector<std::size_t>& legEnds, RoutingOutput& out) {
    const std::size_t legs = route.waypoints.size() < 2 ? 0 : route.waypoints.size() - 1;
    if (!out.arrived || out.route.empty() || legEnds.size() != legs || runCancelled(in)) return;

    // Each leg's track: from where the leg starts, through its route points.
    std::vector<Corridor> corridors;
    corridors.reserve(legs);
    std::size_t begin = 0;
    for (std::size_t d = 0; d < legs; ++d) {
        const std::size_t end = std::min(legEnds[d], out.route.size());
        std::vector<GeoPoint> track;
        track.push_back(begin == 0 ? route.waypoints[0]
                                   : GeoPoint{out.route[begin - 1].lon, out.route[begin - 1].lat});
        for (std::size_t k = begin; k < end; ++k)
            track.push_back(GeoPoint{out.route[k].lon, out.route[k].lat});
        corridors.emplace_back(track, corridorHalfWidth(route.legLength[d]));
        begin = std::max(begin, end);
    }
    std::vector<WidePass> passes(legs);
    for (std::size_t d = 0; d < legs; ++d) {
        passes[d].stepScale = kRefineStepScale;
        passes[d].pruneScale = kRefinePruneScale;
        const Corridor* corridor = &corridors[d];
        passes[d].keep = [corridor](const TrigPoint& at) { return corridor->contains(at.at); };
    }

    RoutingOutput refined = routeLegs(in, route, start, {}, &passes, nullptr);
    const bool better = refined.arrived && !refined.route.empty() && !runCancelled(in) &&
                        refined.route.back().time.dayNumber < out.route.back().time.dayNumber;
    if (better) {
        refined.advanceCalls += out.advanceCalls;
        out = std::move(refined);
    } else {
        out.advanceCalls += refined.advanceCalls;
    }
    setRunStatus(in, out.status);
}

} // namespace navorel
