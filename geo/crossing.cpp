#include "geo/crossing.h"

#include <algorithm>
#include <cmath>

namespace navorel {

namespace {

// Blocks of edges whose box lies farther than this from the move's box are skipped without
// testing. The margin keeps the skip from ever deciding a case the exact test would answer
// differently: rounding in the test is many orders of magnitude smaller.
constexpr float kBlockMargin = 1e-3f;

// Longitudes beyond this are not positions; they would overflow the cell indices.
constexpr float kMaxLon = 1e5f;

bool usable(GeoPoint p) {
    return std::isfinite(p.lon) && std::isfinite(p.lat) && std::fabs(p.lon) < kMaxLon;
}

// The whole turns (degrees) that bring the file cell of lonIndex next to lonIndex itself:
// cell -1 is stored as 359 and is brought back to -1..0 by -360.
float cellShift(int lonIndex) {
    return static_cast<float>(lonIndex - wrapLonIndex(lonIndex));
}

} // namespace

bool segmentCrossesLand(const ShorelineStore& store, GeoPoint from, GeoPoint to) {
    if (!store.hasFile() || !usable(from) || !usable(to)) return false;
    // A move over the 180 degree meridian is taken the short way: its negative longitudes are
    // raised by 360 so that it runs, for example, from 179.5 to 180.5 and examines cells 179
    // and 180, and the cells' contours are brought into that same frame below.
    if (std::fabs(from.lon - to.lon) >= 180.0f) {
        if (from.lon < 0) from.lon += 360.0f;
        if (to.lon < 0) to.lon += 360.0f;
    }
    const float minLon = std::min(from.lon, to.lon), maxLon = std::max(from.lon, to.lon);
    const float minLat = std::min(from.lat, to.lat), maxLat = std::max(from.lat, to.lat);
    const int i0 = static_cast<int>(std::floor(minLon));
    int i1 = static_cast<int>(std::ceil(maxLon));
    if (i1 <= i0) i1 = i0 + 1;
    const int j0 = static_cast<int>(std::floor(std::max(minLat, -1000.0f)));
    int j1 = static_cast<int>(std::ceil(std::min(maxLat, 1000.0f)));
    if (j1 <= j0) j1 = j0 + 1;

    for (int i = i0; i < i1; ++i) {
        const float shift = cellShift(i);
        // The move's box in the file's coordinates of this cell, with the safety margin.
        const float bx0 = minLon - shift - kBlockMargin, bx1 = maxLon - shift + kBlockMargin;
        const float by0 = minLat - kBlockMargin, by1 = maxLat + kBlockMargin;
        for (int j = std::max(j0, -90); j < std::min(j1, 90); ++j) {
            const ShorelineCell& cell = store.cellAt(i, j);
            // The answer does not depend on the order of the tests: a group whose union box
            // is missed has all its blocks missed by the same comparisons.
            auto missed = [&](const auto& box) {
                return box.maxLon < bx0 || box.minLon > bx1 || box.maxLat < by0 || box.minLat > by1;
            };
            for (const ShorelineBlockGroup& group : cell.landGroups) {
                if (missed(group)) continue;
                for (std::uint32_t g = 0; g < group.blockCount; ++g) {
                    const ShorelineEdgeBlock& block = cell.landBlocks[group.firstBlock + g];
                    if (missed(block)) continue;
                    const std::vector<GeoPoint>& v = cell.land[block.contour].vertices;
                    const std::size_t n = v.size();
                    for (std::uint32_t k = 0; k < block.edgeCount; ++k) {
                        if (block.borderMask >> k & 1u) continue;
                        const std::size_t e = block.firstEdge + k;
                        GeoPoint a = v[e];
                        GeoPoint b = v[e + 1 < n ? e + 1 : 0];
                        a.lon += shift;
                        b.lon += shift;
                        if (moveCrossesEdge(from, to, a, b)) return true;
                    }
                }
            }
        }
    }
    return false;
}

bool segmentCrossesBarrier(const BarrierList& barriers, GeoPoint from, GeoPoint to) {
    for (const Barrier& barrier : barriers) {
        for (std::size_t k = 1; k < barrier.points.size(); ++k) {
            if (moveCrossesEdge(from, to, barrier.points[k - 1], barrier.points[k])) return true;
        }
    }
    return false;
}

bool pointInContours(const std::vector<ShorelineContour>& contours, int lonIndex,
                     GeoPoint position) {
    const float shift = cellShift(lonIndex);
    const float px = position.lon, py = position.lat;
    bool inside = false;
    for (const ShorelineContour& contour : contours) {
        const std::vector<GeoPoint>& v = contour.vertices;
        if (v.empty()) continue;
        std::size_t a = v.size() - 1;
        for (std::size_t k = 0; k < v.size(); a = k++) {
            const float xk = v[k].lon + shift, yk = v[k].lat;
            const float xa = v[a].lon + shift, ya = v[a].lat;
            if ((yk > py) != (ya > py) && px < (py - yk) * (xa - xk) / (ya - yk) + xk)
                inside = !inside;
        }
    }
    return inside;
}

bool pointOnLand(const ShorelineStore& store, GeoPoint position) {
    if (!store.hasFile() || !usable(position)) return false;
    const int i = static_cast<int>(std::floor(position.lon));
    const float fj = std::floor(position.lat);
    if (fj < -90.0f || fj > 89.0f) return false;
    return pointInContours(store.cellAt(i, static_cast<int>(fj)).land, i, position);
}

} // namespace navorel
