#include "geo/tss_index.h"

#include "geo/crossing.h"
#include "geo/tss.h"

#include <algorithm>
#include <cmath>

namespace navorel {

namespace {

// Cells are visited and edges filed with this margin around their lines: the place where
// the edge test finds a crossing lies within rounding (far smaller) of both lines, so its
// cell is among the cells of both.
constexpr double kMargin = 1e-3;
// Edges with a coordinate beyond this are not filed but tested with every move, and moves
// beyond it (or not finite) scan every edge: cell numbers stay small, and such inputs are
// not positions.
constexpr float kFiledLimit = 1000.0f;
// Cell sides between these; the side starts near twice the mean edge length and is doubled
// while the edges would be filed in more than about four cells each.
constexpr double kMinCell = 4e-3;
constexpr double kMaxCell = 1024.0;
constexpr std::uint32_t kEdgesPerRun = 32;

bool filable(GeoPoint p) {
    return std::isfinite(p.lon) && std::isfinite(p.lat) && std::fabs(p.lon) <= kFiledLimit &&
           std::fabs(p.lat) <= kFiledLimit;
}

std::uint64_t cellKey(long long column, long long row) {
    return static_cast<std::uint64_t>(static_cast<std::uint32_t>(column + (1LL << 30))) << 32 |
           static_cast<std::uint32_t>(row + (1LL << 30));
}

// The cells the line a -> b passes within kMargin of, column by column, limited to the
// columns and rows given; `visit` answers true to stop. Answers what the last visit did.
template <typename Visit>
bool forEachCell(GeoPoint a, GeoPoint b, double cell, long long colMin, long long colMax,
                 long long rowMin, long long rowMax, Visit visit) {
    const double ax = a.lon, ay = a.lat, bx = b.lon, by = b.lat;
    const double x0 = std::min(ax, bx), x1 = std::max(ax, bx);
    const long long c0 =
        std::max(colMin, static_cast<long long>(std::floor((x0 - kMargin) / cell)));
    const long long c1 =
        std::min(colMax, static_cast<long long>(std::floor((x1 + kMargin) / cell)));
    for (long long c = c0; c <= c1; ++c) {
        double ylo = std::min(ay, by), yhi = std::max(ay, by);
        if (ax != bx) {
            const double lo = std::clamp(static_cast<double>(c) * cell - kMargin, x0, x1);
            const double hi = std::clamp(static_cast<double>(c + 1) * cell + kMargin, x0, x1);
            const double slope = (by - ay) / (bx - ax);
            const double ylo1 = ay + (lo - ax) * slope, yhi1 = ay + (hi - ax) * slope;
            ylo = std::max(ylo, std::min(ylo1, yhi1));
            yhi = std::min(yhi, std::max(ylo1, yhi1));
        }
        const long long r0 =
            std::max(rowMin, static_cast<long long>(std::floor((ylo - kMargin) / cell)));
        const long long r1 =
            std::min(rowMax, static_cast<long long>(std::floor((yhi + kMargin) / cell)));
        for (long long r = r0; r <= r1; ++r)
            if (visit(c, r)) return true;
    }
    return false;
}

struct Filed {
    std::uint64_t key;
    std::uint32_t outline;
    std::uint32_t edge;
    bool operator<(const Filed& o) const {
        return key != o.key           ? key < o.key
               : outline != o.outline ? outline < o.outline
                                      : edge < o.edge;
    }
};

} // namespace

void ZoneCrossingIndex::clear() {
    outlines_.clear();
    edges_ = 0;
    keys_.clear();
    cellStart_.clear();
    runs_.clear();
    loose_.clear();
}

void ZoneCrossingIndex::build(const std::vector<std::vector<GeoPoint>>& outlines,
                              const std::vector<bool>& use) {
    clear();
    for (std::size_t i = 0; i < outlines.size(); ++i)
        if ((i >= use.size() || use[i]) && outlines[i].size() >= 2)
            outlines_.push_back(outlines[i]);

    // The filed edges' box and mean length; loose runs for the others.
    double lengthSum = 0;
    std::size_t filed = 0;
    bool first = true;
    auto edgeAt = [this](std::uint32_t o, std::uint32_t k, GeoPoint& a, GeoPoint& b) {
        const std::vector<GeoPoint>& v = outlines_[o];
        a = v[k];
        b = v[k + 1 < v.size() ? k + 1 : 0];
    };
    for (std::uint32_t o = 0; o < outlines_.size(); ++o) {
        const std::uint32_t n = static_cast<std::uint32_t>(outlines_[o].size());
        edges_ += n;
        for (std::uint32_t k = 0; k < n; ++k) {
            GeoPoint a, b;
            edgeAt(o, k, a, b);
            if (!filable(a) || !filable(b)) {
                loose_.push_back({std::min(a.lon, b.lon), std::min(a.lat, b.lat),
                                  std::max(a.lon, b.lon), std::max(a.lat, b.lat), o, k, 1});
                continue;
            }
            if (first) {
                minLon_ = maxLon_ = a.lon;
                minLat_ = maxLat_ = a.lat;
                first = false;
            }
            minLon_ = std::min({minLon_, a.lon, b.lon});
            maxLon_ = std::max({maxLon_, a.lon, b.lon});
            minLat_ = std::min({minLat_, a.lat, b.lat});
            maxLat_ = std::max({maxLat_, a.lat, b.lat});
            lengthSum +=
                std::max(std::fabs(double(b.lon) - a.lon), std::fabs(double(b.lat) - a.lat));
            ++filed;
        }
    }
    if (filed == 0) return;

    auto everyFiledEdge = [&](auto fileEdge) {
        for (std::uint32_t o = 0; o < outlines_.size(); ++o)
            for (std::uint32_t k = 0; k < outlines_[o].size(); ++k) {
                GeoPoint a, b;
                edgeAt(o, k, a, b);
                if (filable(a) && filable(b) && fileEdge(o, k, a, b)) return;
            }
    };
    const long long big = 1LL << 40;
    cell_ = std::clamp(2.0 * lengthSum / static_cast<double>(filed), kMinCell, kMaxCell);
    const std::size_t budget = 4 * filed + 4096;
    for (;;) {
        std::size_t count = 0;
        everyFiledEdge([&](std::uint32_t, std::uint32_t, GeoPoint a, GeoPoint b) {
            forEachCell(a, b, cell_, -big, big, -big, big,
                        [&](long long, long long) { return ++count > budget; });
            return count > budget;
        });
        if (count <= budget || cell_ >= kMaxCell) break;
        cell_ *= 2.0;
    }

    std::vector<Filed> entries;
    everyFiledEdge([&](std::uint32_t o, std::uint32_t k, GeoPoint a, GeoPoint b) {
        forEachCell(a, b, cell_, -big, big, -big, big, [&](long long c, long long r) {
            entries.push_back({cellKey(c, r), o, k});
            return false;
        });
        return false;
    });
    std::sort(entries.begin(), entries.end());

    // Consecutive edges of one outline in one cell make a run, up to kEdgesPerRun long.
    for (std::size_t i = 0; i < entries.size();) {
        const Filed& e = entries[i];
        if (keys_.empty() || keys_.back() != e.key) {
            keys_.push_back(e.key);
            cellStart_.push_back(static_cast<std::uint32_t>(runs_.size()));
        }
        Run run{0, 0, 0, 0, e.outline, e.edge, 0};
        std::size_t j = i;
        while (j < entries.size() && entries[j].key == e.key && entries[j].outline == e.outline &&
               entries[j].edge == e.edge + run.count && run.count < kEdgesPerRun) {
            GeoPoint a, b;
            edgeAt(e.outline, entries[j].edge, a, b);
            if (run.count == 0) {
                run.minLon = run.maxLon = a.lon;
                run.minLat = run.maxLat = a.lat;
            }
            run.minLon = std::min({run.minLon, a.lon, b.lon});
            run.maxLon = std::max({run.maxLon, a.lon, b.lon});
            run.minLat = std::min({run.minLat, a.lat, b.lat});
            run.maxLat = std::max({run.maxLat, a.lat, b.lat});
            ++run.count;
            ++j;
        }
        runs_.push_back(run);
        i = j;
    }
    cellStart_.push_back(static_cast<std::uint32_t>(runs_.size()));
}

bool ZoneCrossingIndex::testRuns(const Run* first, const Run* last, GeoPoint from,
                                 GeoPoint to) const {
    const float minLon = std::min(from.lon, to.lon), maxLon = std::max(from.lon, to.lon);
    const float minLat = std::min(from.lat, to.lat), maxLat = std::max(from.lat, to.lat);
    const float m = static_cast<float>(kMargin);
    for (const Run* run = first; run != last; ++run) {
        if (run->maxLon < minLon - m || run->minLon > maxLon + m || run->maxLat < minLat - m ||
            run->minLat > maxLat + m)
            continue;
        const std::vector<GeoPoint>& v = outlines_[run->outline];
        const std::size_t n = v.size();
        for (std::uint32_t k = 0; k < run->count; ++k) {
            const std::size_t e = run->first + k;
            const GeoPoint a = v[e], b = v[e + 1 < n ? e + 1 : 0];
            // The plain scan's own box test, so that both answer alike.
            if (std::max(a.lon, b.lon) < minLon || std::min(a.lon, b.lon) > maxLon ||
                std::max(a.lat, b.lat) < minLat || std::min(a.lat, b.lat) > maxLat)
                continue;
            if (moveCrossesEdge(from, to, a, b)) return true;
        }
    }
    return false;
}

bool ZoneCrossingIndex::crosses(GeoPoint from, GeoPoint to) const {
    if (outlines_.empty()) return false;
    if (!filable(from) || !filable(to)) return segmentCrossesZones(outlines_, from, to);
    if (!loose_.empty() && testRuns(loose_.data(), loose_.data() + loose_.size(), from, to))
        return true;
    if (keys_.empty()) return false;
    const float m = static_cast<float>(kMargin);
    if (std::max(from.lon, to.lon) < minLon_ - m || std::min(from.lon, to.lon) > maxLon_ + m ||
        std::max(from.lat, to.lat) < minLat_ - m || std::min(from.lat, to.lat) > maxLat_ + m)
        return false;
    // Only the cells of the filed edges' box can hold a run.
    const auto lowCell = [&](float v) {
        return static_cast<long long>(std::floor((double(v) - kMargin) / cell_));
    };
    const auto highCell = [&](float v) {
        return static_cast<long long>(std::floor((double(v) + kMargin) / cell_));
    };
    return forEachCell(from, to, cell_, lowCell(minLon_), highCell(maxLon_), lowCell(minLat_),
                       highCell(maxLat_), [&](long long c, long long r) {
                           const std::uint64_t key = cellKey(c, r);
                           const auto it = std::lower_bound(keys_.begin(), keys_.end(), key);
                           if (it == keys_.end() || *it != key) return false;
                           const std::size_t k = static_cast<std::size_t>(it - keys_.begin());
                           return testRuns(runs_.data() + cellStart_[k],
                                           runs_.data() + cellStart_[k + 1], from, to);
                       });
}

} // namespace navorel
