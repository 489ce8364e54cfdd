#include "routing/isochrones.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace navorel {

namespace {

inline GeoPoint positionOf(const IsochronePoint& p) {
    return GeoPoint{p.lon, p.lat};
}

// Wraps a longitude difference into -180..180 by one turn.
inline double wrapDelta(double d) {
    if (d > 180.0) return d - 360.0;
    if (d < -180.0) return d + 360.0;
    return d;
}

} // namespace

bool planarCrossing(GeoPoint p, GeoPoint q, GeoPoint a, GeoPoint b, GeoPoint& at) {
    double t, sx, sy;
    if (!planarCrossingAt(p, q, a, b, t, sx, sy)) return false;
    at.lon = static_cast<float>(normalise180(p.lon + t * sx));
    at.lat = static_cast<float>(p.lat + t * sy);
    return true;
}

namespace {

template <typename T> void compact(std::vector<T>& v, const std::vector<char>& keep) {
    std::size_t w = 0;
    for (std::size_t i = 0; i < v.size(); ++i)
        if (keep[i]) {
            if (w != i) v[w] = std::move(v[i]);
            ++w;
        }
    v.resize(w);
}

// Below this size the plain quadratic forms are the faster ones.
constexpr std::size_t kGridFrom = 160;

} // namespace

void pruneFrontPlain(Isochrone& f, double p) {
    const std::size_t n = f.size();
    if (!(p > 0.0) || n < 2) return;
    std::vector<char> keep(n, 1);
    for (std::size_t i = 0; i + 1 < n; ++i) {
        if (!keep[i]) continue;
        const GeoPoint a = positionOf(f[i]);
        for (std::size_t j = i + 1; j < n; ++j) {
            if (!keep[j] || !(f[j].distToTarget > f[i].distToTarget)) continue;
            if (greatCircleDistance(a, positionOf(f[j])) < p) keep[j] = 0;
        }
    }
    compact(f, keep);
}

namespace {

// Pruning, with the points' latitude trigonometry when `latitudes` is given.
void pruneFrontOn(Isochrone& f, double p, const TrigPoint* latitudes) {
    const std::size_t n = f.size();
    if (!(p > 0.0) || n < 2) return;
    // Past a few hundred kilometres a grid buys nothing.
    if (n < kGridFrom || p > 500000.0) {
        pruneFrontPlain(f, p);
        return;
    }
    PruneGrid grid;
    grid.at.resize(n);
    grid.rank.resize(n);
    for (std::size_t i = 0; i < n; ++i) {
        grid.at[i] = latitudes ? spherePointFrom(latitudes[i]) : spherePoint(positionOf(f[i]));
        grid.rank[i] = f[i].distToTarget;
    }
    std::vector<char> keep;
    pruneOnGrid(grid, p, keep);
    compact(f, keep);
}

} // namespace

void pruneOnGrid(PruneGrid& g, double p, std::vector<char>& keep) {
    const std::size_t n = g.at.size();
    keep.assign(n, 1);
    if (!(p > 0.0) || n < 2) return;
    // Points as unit vectors in a grid of cubes twice as wide as the chord of p (with a
    // margin for rounding): the points closer than p to a point lie in the cubes that its
    // reach of one chord along each axis touches, two a side at most. No longitude wrap, no
    // pole.
    const double reach = 2.0 * std::sin(p / kEarthRadius / 2.0) * 1.1 + 1e-7;
    const double cell = std::max(2.0 * reach, 4.0 / (1 << 20));
    constexpr std::int64_t kOffset = 1 << 19;
    auto cellOf = [&](double v) {
        return static_cast<std::int64_t>(std::floor(v / cell)) + kOffset;
    };
    auto keyOf = [](std::int64_t x, std::int64_t y, std::int64_t z) {
        return (x << 42) | (y << 21) | z;
    };
    const std::vector<SpherePoint>& at = g.at;
    // Cells in an open-addressing table: key, then the range of their members.
    std::size_t capacity = 16;
    while (capacity < 2 * n) capacity <<= 1;
    const std::size_t mask = capacity - 1;
    g.cellKey.assign(capacity, -1);
    g.cellStart.assign(capacity + 1, 0);
    auto slotOf = [&](std::int64_t k) {
        std::uint64_t h = static_cast<std::uint64_t>(k) * 0x9E3779B97F4A7C15ull;
        std::size_t s = static_cast<std::size_t>(h ^ (h >> 31)) & mask;
        while (g.cellKey[s] != k && g.cellKey[s] != -1) s = (s + 1) & mask;
        return s;
    };
    g.slot.resize(n);
    for (std::size_t i = 0; i < n; ++i) {
        const std::int64_t key = keyOf(cellOf(at[i].x), cellOf(at[i].y), cellOf(at[i].z));
        const std::size_t s = slotOf(key);
        g.cellKey[s] = key;
        g.slot[i] = static_cast<std::uint32_t>(s);
        ++g.cellStart[s + 1];
    }
    for (std::size_t s = 1; s <= capacity; ++s) g.cellStart[s] += g.cellStart[s - 1];
    // The points of each cell side by side, in the given order, with what the test reads.
    g.members.resize(n);
    g.fill.assign(g.cellStart.begin(), g.cellStart.end() - 1);
    for (std::size_t i = 0; i < n; ++i)
        g.members[g.fill[g.slot[i]]++] = {at[i], g.rank[i], static_cast<std::int32_t>(i)};
    const DistanceBelow closer(p);
    for (std::size_t i = 0; i + 1 < n; ++i) {
        if (!keep[i]) continue;
        const SpherePoint& a = at[i];
        const float di = g.rank[i];
        const std::int64_t x0 = cellOf(a.x - reach), x1 = cellOf(a.x + reach);
        const std::int64_t y0 = cellOf(a.y - reach), y1 = cellOf(a.y + reach);
        const std::int64_t z0 = cellOf(a.z - reach), z1 = cellOf(a.z + reach);
        for (std::int64_t cx = x0; cx <= x1; ++cx)
            for (std::int64_t cy = y0; cy <= y1; ++cy)
                for (std::int64_t cz = z0; cz <= z1; ++cz) {
                    const std::size_t s = slotOf(keyOf(cx, cy, cz));
                    if (g.cellKey[s] == -1) continue;
                    // Each later point decides on its own; the order of the visits does not
                    // matter. A cell lists its points in the given order: the later ones are a
                    // tail.
                    const PruneGrid::Member* m = g.members.data() + g.cellStart[s];
                    const PruneGrid::Member* end = g.members.data() + g.cellStart[s + 1];
                    m = std::upper_bound(
                        m, end, static_cast<std::int32_t>(i),
                        [](std::int32_t k, const PruneGrid::Member& b) { return k < b.index; });
                    for (; m != end; ++m) {
                        const PruneGrid::Member& b = *m;
                        if (!(b.rank > di) || !keep[b.index]) continue;
                        if (closer(a, b.at)) keep[b.index] = 0;
                    }
                }
    }
}

void pruneFront(Isochrone& f, double p) {
    pruneFrontOn(f, p, nullptr);
}

void pruneFront(Isochrone& f, double p, const std::vector<TrigPoint>& latitudes) {
    pruneFrontOn(f, p, latitudes.size() == f.size() ? latitudes.data() : nullptr);
}

void cleanFrontPlain(Isochrone& L, GeoPoint T) {
    const std::size_t n = L.size();
    std::vector<char> keep(n, 1);
    for (std::size_t j = 0; j < n; ++j) {
        const GeoPoint q = positionOf(L[j]);
        for (std::size_t k = 1; k < n; ++k) {
            if (k == j || k - 1 == j) continue;
            if (!keep[k - 1] && !keep[k]) continue;
            if (segmentsCross(T, q, positionOf(L[k - 1]), positionOf(L[k]))) {
                keep[j] = 0;
                break;
            }
        }
    }
    compact(L, keep);
}

void cleanFront(Isochrone& L, GeoPoint T) {
    const std::size_t n = L.size();
    if (n < kGridFrom) {
        cleanFrontPlain(L, T);
        return;
    }
    // A point is dropped when any front segment in force crosses its sight line from the
    // target, so only the segments near the sight line need the exact test. Positions are
    // taken round the 180 degree meridian relative to the target; segments and sight lines
    // that lie half a turn from it are tested against everything.
    constexpr double kMargin = 1e-7; // degrees, far above the rounding of the coordinates
    const double tx = T.lon, ty = T.lat;
    std::vector<double> x(n), y(n);
    std::vector<char> near(n);
    // The positions side by side: the crossing tests read nothing else of the points.
    std::vector<GeoPoint> at(n);
    for (std::size_t i = 0; i < n; ++i) {
        at[i] = positionOf(L[i]);
        const double d = wrapDelta(static_cast<double>(L[i].lon) - tx);
        x[i] = tx + d;
        y[i] = L[i].lat;
        near[i] = std::fabs(d) < 179.0 && std::isfinite(x[i]) && std::isfinite(y[i]);
    }
    double minX = 1e300, maxX = -1e300, minY = 1e300, maxY = -1e300;
    for (std::size_t i = 0; i < n; ++i) {
        if (!near[i]) continue;
        minX = std::min(minX, x[i]);
        maxX = std::max(maxX, x[i]);
        minY = std::min(minY, y[i]);
        maxY = std::max(maxY, y[i]);
    }
    const int G = std::clamp(static_cast<int>(std::sqrt(static_cast<double>(n))), 8, 256);
    const double cw = maxX > minX ? (maxX - minX) / G : 1.0;
    const double ch = maxY > minY ? (maxY - minY) / G : 1.0;
    auto colOf = [&](double v) {
        return std::clamp(static_cast<int>(std::floor((v - minX) / cw)), 0, G - 1);
    };
    auto rowOf = [&](double v) {
        return std::clamp(static_cast<int>(std::floor((v - minY) / ch)), 0, G - 1);
    };

    // Segment k joins points k - 1 and k. Those near the target go into the cells of their
    // bounding box; the others, or those spanning too many cells, are always tested.
    std::vector<std::uint32_t> always;
    std::vector<std::uint32_t> cellCount(static_cast<std::size_t>(G) * G + 1, 0);
    struct Box {
        int c0, c1, r0, r1;
    };
    std::vector<Box> boxes(n);
    for (std::size_t k = 1; k < n; ++k) {
        if (!near[k - 1] || !near[k] || std::fabs(x[k] - x[k - 1]) >= 179.0) {
            always.push_back(static_cast<std::uint32_t>(k));
            boxes[k] = {1, 0, 1, 0};
            continue;
        }
        Box b{colOf(std::min(x[k - 1], x[k]) - kMargin), colOf(std::max(x[k - 1], x[k]) + kMargin),
              rowOf(std::min(y[k - 1], y[k]) - kMargin), rowOf(std::max(y[k - 1], y[k]) + kMargin)};
        if ((b.c1 - b.c0 + 1) * (b.r1 - b.r0 + 1) > 4 * G) {
            always.push_back(static_cast<std::uint32_t>(k));
            boxes[k] = {1, 0, 1, 0};
            continue;
        }
        boxes[k] = b;
        for (int c = b.c0; c <= b.c1; ++c)
            for (int r = b.r0; r <= b.r1; ++r) ++cellCount[static_cast<std::size_t>(c) * G + r + 1];
    }
    for (std::size_t c = 1; c < cellCount.size(); ++c) cellCount[c] += cellCount[c - 1];
    std::vector<std::uint32_t> cellSegments(cellCount.back());
    {
        std::vector<std::uint32_t> fill(cellCount.begin(), cellCount.end() - 1);
        for (std::size_t k = 1; k < n; ++k) {
            const Box& b = boxes[k];
            for (int c = b.c0; c <= b.c1; ++c)
                for (int r = b.r0; r <= b.r1; ++r)
                    cellSegments[fill[static_cast<std::size_t>(c) * G + r]++] =
                        static_cast<std::uint32_t>(k);
        }
    }

    std::vector<char> keep(n, 1);
    std::vector<std::uint32_t> seen(n, 0);
    std::uint32_t stamp = 0;
    for (std::size_t j = 0; j < n; ++j) {
        const GeoPoint q = positionOf(L[j]);
        ++stamp;
        auto crosses = [&](std::uint32_t k) {
            if (seen[k] == stamp) return false;
            seen[k] = stamp;
            if (k == j || k - 1 == j) return false;
            if (!keep[k - 1] && !keep[k]) return false;
            return segmentsCross(T, q, at[k - 1], at[k]);
        };
        bool hidden = false;
        for (std::uint32_t k : always)
            if (crosses(k)) {
                hidden = true;
                break;
            }
        if (!hidden && !near[j]) {
            for (std::size_t k = 1; k < n && !hidden; ++k)
                if (crosses(static_cast<std::uint32_t>(k))) hidden = true;
        }
        if (!hidden && near[j]) {
            // The cells along the sight line from the target to the point, column by column.
            const double x0 = tx, y0 = ty, x1 = x[j], y1 = y[j];
            const double lo = std::max(std::min(x0, x1) - kMargin, minX - kMargin);
            const double hi = std::min(std::max(x0, x1) + kMargin, maxX + kMargin);
            if (lo <= hi) {
                const double dx = x1 - x0;
                const bool steep = std::fabs(dx) < 1e-9;
                const int c0 = colOf(lo), c1 = colOf(hi);
                for (int c = c0; c <= c1 && !hidden; ++c) {
                    double ya, yb;
                    if (steep) {
                        ya = std::min(y0, y1);
                        yb = std::max(y0, y1);
                    } else {
                        const double xa = std::max(lo, minX + c * cw - kMargin);
                        const double xb = std::min(hi, minX + (c + 1) * cw + kMargin);
                        const double slope = (y1 - y0) / dx;
                        ya = y0 + (xa - x0) * slope;
                        yb = y0 + (xb - x0) * slope;
                        if (ya > yb) std::swap(ya, yb);
                        // Stay within the sight line itself.
                        ya = std::max(ya, std::min(y0, y1));
                        yb = std::min(yb, std::max(y0, y1));
                    }
                    if (yb + kMargin < minY || ya - kMargin > maxY) continue;
                    const int r0 = rowOf(ya - kMargin), r1 = rowOf(yb + kMargin);
                    for (int r = r0; r <= r1 && !hidden; ++r) {
                        const std::size_t cellIndex = static_cast<std::size_t>(c) * G + r;
                        for (std::uint32_t s = cellCount[cellIndex]; s < cellCount[cellIndex + 1];
                             ++s)
                            if (crosses(cellSegments[s])) {
                                hidden = true;
                                break;
                            }
                    }
                }
            }
        }
        if (hidden) keep[j] = 0;
    }
    compact(L, keep);
}

void orderFront(Isochrone& front, GeoPoint origin) {
    const std::size_t n = front.size();
    if (n == 0) return;
    std::vector<double> a(n);
    bool below = false, above = false;
    for (std::size_t i = 0; i < n; ++i) {
        a[i] = rhumbBearing(origin, positionOf(front[i]));
        if (a[i] < -kHalfPi) below = true;
        if (a[i] > kHalfPi) above = true;
    }
    // A front across due south would be cut in two at -pi/pi.
    if (below && above)
        for (double& v : a)
            if (v < 0.0) v += kTwoPi;
    std::vector<std::pair<float, std::uint32_t>> keys;
    keys.reserve(n);
    for (std::size_t i = 0; i < n; ++i) {
        const float k = static_cast<float>(a[i]);
        if (!std::isnan(k)) keys.push_back({k, static_cast<std::uint32_t>(i)});
    }
    // Stable on the incoming order, so that of equal bearings the last one stays.
    std::stable_sort(keys.begin(), keys.end(),
                     [](const auto& l, const auto& r) { return l.first < r.first; });
    Isochrone ordered;
    ordered.reserve(keys.size());
    for (std::size_t i = 0; i < keys.size(); ++i) {
        if (i + 1 < keys.size() && keys[i + 1].first == keys[i].first) continue;
        ordered.push_back(front[keys[i].second]);
    }
    front = std::move(ordered);
}

} // namespace navorel
