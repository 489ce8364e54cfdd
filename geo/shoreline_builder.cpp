#include "geo/shoreline_builder.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <unordered_map>

namespace navorel {

namespace {

// ---- reading the dump ------------------------------------------------------------------

const char* skipBlanks(const char* p, const char* end) {
    while (p < end && (*p == ' ' || *p == '\t' || *p == ',')) ++p;
    return p;
}

bool parseTwoNumbers(const char* p, const char* end, ShorePoint& out) {
    p = skipBlanks(p, end);
    auto r = std::from_chars(p, end, out.x);
    if (r.ec != std::errc()) return false;
    p = skipBlanks(r.ptr, end);
    r = std::from_chars(p, end, out.y);
    if (r.ec != std::errc() || !std::isfinite(out.x) || !std::isfinite(out.y)) return false;
    // gmt prints the 0 meridian of the bins' edges sometimes as 2.84217094304e-14: the piece
    // ending there would not meet the one starting at 360.
    if (std::fabs(out.x) < 1e-9) out.x = 0.0;
    if (std::fabs(out.x - 360.0) < 1e-9) out.x = 360.0;
    return true;
}

int headerLevel(const char* line) {
    const char* at = std::strstr(line, "Level");
    return at ? std::atoi(at + 5) : 0;
}

// ---- chaining --------------------------------------------------------------------------

// A point as a chaining key: the longitude taken into 0..360 (360 and 0 are the same point).
struct PointKey {
    double x, y;
    bool operator==(const PointKey&) const = default;
};

PointKey keyOf(ShorePoint p) {
    double x = p.x;
    if (x >= 360.0) x -= 360.0;
    if (x < 0.0) x += 360.0;
    if (x == 0.0) x = 0.0; // no negative zero
    return {x, p.y == 0.0 ? 0.0 : p.y};
}

struct PointKeyHash {
    std::size_t operator()(const PointKey& k) const {
        std::uint64_t a, b;
        std::memcpy(&a, &k.x, 8);
        std::memcpy(&b, &k.y, 8);
        return std::hash<std::uint64_t>()(a * 0x9E3779B97F4A7C15ull ^ b);
    }
};

void dropRepeats(ShoreRing& ring) {
    ShoreRing out;
    out.reserve(ring.size());
    for (const ShorePoint& p : ring)
        if (out.empty() || p.x != out.back().x || p.y != out.back().y) out.push_back(p);
    while (out.size() > 1 && out.front().x == out.back().x && out.front().y == out.back().y)
        out.pop_back();
    ring.swap(out);
}

// The ring that goes once round the globe: start it at a vertex on longitude 0 (any whole
// turn) so that its closing edges fall on the 0/360 meridian, where they are cell borders,
// then close it along the pole. drift is +360 or -360: where the chain ended relative to its
// start.
ShoreRing closeAroundPole(const ShoreRing& ring, double drift) {
    std::size_t start = 0;
    for (std::size_t i = 0; i < ring.size(); ++i) {
        if (std::fmod(ring[i].x, 360.0) == 0.0) {
            start = i;
            break;
        }
    }
    ShoreRing out;
    out.reserve(ring.size() + 4);
    for (std::size_t i = start; i < ring.size(); ++i) out.push_back(ring[i]);
    for (std::size_t i = 0; i < start; ++i) out.push_back({ring[i].x + drift, ring[i].y});
    double meanLat = 0;
    for (const ShorePoint& p : out) meanLat += p.y;
    meanLat /= static_cast<double>(out.size());
    // Bring the start to longitude 0 and the whole ring into 0..360.
    const double move = -out.front().x + (drift < 0 ? 360.0 : 0.0);
    for (ShorePoint& p : out) p.x += move;
    const double pole = meanLat < 0 ? -90.0 : 90.0;
    const ShorePoint first = out.front();
    out.push_back({first.x + drift, first.y});
    out.push_back({first.x + drift, pole});
    out.push_back({first.x, pole});
    return out;
}

// ---- clipping --------------------------------------------------------------------------

double coord(const ShorePoint& p, int axis) {
    return axis == 0 ? p.x : p.y;
}

// Sutherland-Hodgman against one axis-parallel line: keeps the side coord <= m (low) or
// coord >= m. Cut points get exactly m. Separate parts of the kept side stay joined by edges
// along the line; they enclose no area and are border edges once the cell is reached.
ShoreRing clipHalf(const ShoreRing& in, int axis, double m, bool low) {
    ShoreRing out;
    out.reserve(in.size() / 2 + 8);
    auto inside = [&](const ShorePoint& p) {
        return low ? coord(p, axis) <= m : coord(p, axis) >= m;
    };
    auto cut = [&](const ShorePoint& p, const ShorePoint& q) {
        const double t = (m - coord(p, axis)) / (coord(q, axis) - coord(p, axis));
        if (axis == 0) return ShorePoint{m, p.y + t * (q.y - p.y)};
        return ShorePoint{p.x + t * (q.x - p.x), m};
    };
    for (std::size_t i = 0, n = in.size(); i < n; ++i) {
        const ShorePoint& prev = in[i == 0 ? n - 1 : i - 1];
        const ShorePoint& cur = in[i];
        const bool ci = inside(cur), pi = inside(prev);
        if (ci) {
            if (!pi) out.push_back(cut(prev, cur));
            out.push_back(cur);
        } else if (pi) {
            out.push_back(cut(prev, cur));
        }
    }
    return out;
}

double ringArea(const ShoreRing& r) {
    double a = 0;
    for (std::size_t i = 0, n = r.size(); i < n; ++i) {
        const ShorePoint& p = r[i];
        const ShorePoint& q = r[(i + 1) % n];
        a += (p.x - r[0].x) * (q.y - r[0].y) - (q.x - r[0].x) * (p.y - r[0].y);
    }
    return 0.5 * a;
}

bool onOneBorder(const ShorePoint& a, const ShorePoint& b, const ShorePoint& c, double west,
                 double south) {
    if (a.x == b.x && b.x == c.x && (b.x == west || b.x == west + 1.0)) return true;
    return a.y == b.y && b.y == c.y && (b.y == south || b.y == south + 1.0);
}

// Drops the middle vertices of runs along one border line: the runs enclose nothing, and
// collapsing them keeps the even-odd and winding interiors.
void simplifyBorderRuns(ShoreRing& r, double west, double south) {
    bool changed = true;
    while (changed && r.size() >= 3) {
        changed = false;
        ShoreRing out;
        out.reserve(r.size());
        for (const ShorePoint& p : r) {
            if (!out.empty() && out.back().x == p.x && out.back().y == p.y) continue;
            while (out.size() >= 2 &&
                   onOneBorder(out[out.size() - 2], out.back(), p, west, south)) {
                out.pop_back();
                changed = true;
            }
            out.push_back(p);
        }
        // The seam between the last vertex and the first.
        while (out.size() >= 3 &&
               onOneBorder(out[out.size() - 2], out.back(), out[0], west, south)) {
            out.pop_back();
            changed = true;
        }
        while (out.size() >= 3 && onOneBorder(out.back(), out[0], out[1], west, south)) {
            out.erase(out.begin());
            changed = true;
        }
        while (out.size() > 1 && out.front().x == out.back().x && out.front().y == out.back().y) {
            out.pop_back();
            changed = true;
        }
        r.swap(out);
    }
}

void emitCell(ShoreRing&& ring, int ix, int iy, bool lake, ShorelineCellSet& cells) {
    const int x = ((ix % 360) + 360) % 360;
    const double shift = static_cast<double>(x - ix);
    if (shift != 0.0)
        for (ShorePoint& p : ring) p.x += shift;
    dropRepeats(ring);
    simplifyBorderRuns(ring, x, iy);
    if (ring.size() < 3 || std::fabs(ringArea(ring)) < 1e-14) return;
    auto& cell = cells.at(x, iy);
    (lake ? cell.lakes : cell.land).push_back(std::move(ring));
}

void clipRecursive(ShoreRing&& ring, bool lake, ShorelineCellSet& cells) {
    if (ring.size() < 3) return;
    double x0 = ring[0].x, x1 = x0, y0 = ring[0].y, y1 = y0;
    for (const ShorePoint& p : ring) {
        x0 = std::min(x0, p.x);
        x1 = std::max(x1, p.x);
        y0 = std::min(y0, p.y);
        y1 = std::max(y1, p.y);
    }
    const int ix0 = static_cast<int>(std::floor(x0)), ix1 = static_cast<int>(std::ceil(x1));
    const int iy0 = static_cast<int>(std::floor(y0)), iy1 = static_cast<int>(std::ceil(y1));
    if (ix1 <= ix0 || iy1 <= iy0) return; // no width or no height: no area
    if (ix1 - ix0 == 1 && iy1 - iy0 == 1) {
        if (iy0 >= -90 && iy0 < 90) emitCell(std::move(ring), ix0, iy0, lake, cells);
        return;
    }
    const int axis = ix1 - ix0 >= iy1 - iy0 ? 0 : 1;
    const int m = axis == 0 ? ix0 + (ix1 - ix0) / 2 : iy0 + (iy1 - iy0) / 2;
    ShoreRing high = clipHalf(ring, axis, m, false);
    ShoreRing low = clipHalf(ring, axis, m, true);
    ShoreRing().swap(ring);
    clipRecursive(std::move(low), lake, cells);
    clipRecursive(std::move(high), lake, cells);
}

// ---- writing ---------------------------------------------------------------------------

void putInt32(std::vector<unsigned char>& out, std::int32_t v) {
    const std::uint32_t u = static_cast<std::uint32_t>(v);
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<unsigned char>(u >> (8 * i)));
}

void putDouble(std::vector<unsigned char>& out, double v) {
    std::uint64_t u;
    std::memcpy(&u, &v, 8);
    for (int i = 0; i < 8; ++i) out.push_back(static_cast<unsigned char>(u >> (8 * i)));
}

long long blockSize(const std::vector<ShoreRing>& rings) {
    long long size = 4;
    for (const ShoreRing& r : rings) size += 8 + 16 * static_cast<long long>(r.size());
    return size;
}

void putBlock(std::vector<unsigned char>& out, const std::vector<ShoreRing>& rings, int level,
              ShorelineBuildStats& stats) {
    putInt32(out, static_cast<std::int32_t>(rings.size()));
    for (const ShoreRing& r : rings) {
        putInt32(out, level);
        putInt32(out, static_cast<std::int32_t>(r.size()));
        for (const ShorePoint& p : r) {
            // Millionths of a degree, whole: vertices cut on a cell border stay exact.
            putDouble(out, std::round(p.x * 1e6));
            putDouble(out, std::round(p.y * 1e6));
        }
        ++stats.contours;
        stats.vertices += static_cast<long long>(r.size());
    }
}

} // namespace

bool readCoastDump(std::FILE* in, std::vector<CoastPiece>& pieces, std::string& error) {
    char* line = nullptr;
    std::size_t capacity = 0;
    long long lineNumber = 0;
    bool keep = false;
    bool ok = true;
    ssize_t length;
    while ((length = getline(&line, &capacity, in)) >= 0) {
        ++lineNumber;
        const char* end = line + length;
        while (end > line && (end[-1] == '\n' || end[-1] == '\r')) --end;
        const char* p = skipBlanks(line, end);
        if (p == end || *p == '#') continue;
        if (*p == '>') {
            const int level = headerLevel(line);
            keep = level == 1 || level == 2;
            if (keep) pieces.push_back(CoastPiece{level, {}});
            continue;
        }
        if (!keep) continue;
        ShorePoint point;
        if (!parseTwoNumbers(p, end, point)) {
            error = "line " + std::to_string(lineNumber) + ": not a longitude and a latitude";
            ok = false;
            break;
        }
        pieces.back().points.push_back(point);
    }
    std::free(line);
    std::erase_if(pieces, [](const CoastPiece& c) { return c.points.size() < 2; });
    return ok;
}

std::vector<ShoreRing> chainCoastPieces(const std::vector<CoastPiece>& pieces, int level,
                                        ShorelineBuildStats& stats) {
    std::vector<ShoreRing> rings;
    std::unordered_multimap<PointKey, std::size_t, PointKeyHash> starts;
    std::vector<char> used(pieces.size(), 0);
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        if (pieces[i].level != level) continue;
        const std::vector<ShorePoint>& pts = pieces[i].points;
        const bool closed = pts.front().x == pts.back().x && pts.front().y == pts.back().y;
        if (closed) {
            ShoreRing ring(pts.begin(), pts.end());
            dropRepeats(ring);
            if (ring.size() >= 3) rings.push_back(std::move(ring));
            used[i] = 1;
        } else {
            starts.emplace(keyOf(pts.front()), i);
        }
    }
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        if (used[i] || pieces[i].level != level) continue;
        used[i] = 1;
        const PointKey startKey = keyOf(pieces[i].points.front());
        ShoreRing ring(pieces[i].points.begin(), pieces[i].points.end());
        std::size_t current = i;
        double shift = 0; // whole turns added to the current piece's longitudes
        double drift = 0;
        for (;;) {
            const ShorePoint end = pieces[current].points.back();
            if (keyOf(end) == startKey) {
                drift = end.x + shift - pieces[i].points.front().x;
                break;
            }
            std::size_t next = pieces.size();
            auto [lo, hi] = starts.equal_range(keyOf(end));
            for (auto it = lo; it != hi; ++it) {
                if (!used[it->second]) {
                    next = it->second;
                    break;
                }
            }
            if (next == pieces.size()) {
                ++stats.brokenChains;
                break;
            }
            used[next] = 1;
            // Both are values as read (0 and 360 for the same meridian): the difference is
            // exact, so the rings' longitudes never collect rounding from the unwrapping.
            shift += end.x - pieces[next].points.front().x;
            const std::vector<ShorePoint>& pts = pieces[next].points;
            for (std::size_t k = 1; k < pts.size(); ++k)
                ring.push_back({pts[k].x + shift, pts[k].y});
            current = next;
        }
        if (std::fabs(drift) > 180.0) {
            ring.pop_back(); // the start again, one turn away
            dropRepeats(ring);
            ring = closeAroundPole(ring, drift > 0 ? 360.0 : -360.0);
            ++stats.polarRings;
        }
        dropRepeats(ring);
        if (ring.size() >= 3) rings.push_back(std::move(ring));
    }
    stats.rings[level == 1 ? 0 : 1] += static_cast<long long>(rings.size());
    return rings;
}

void clipRingIntoCells(const ShoreRing& ring, bool lake, ShorelineCellSet& cells) {
    clipRecursive(ShoreRing(ring), lake, cells);
}

bool writeShorelineFile(const std::string& path, const ShorelineCellSet& cells,
                        ShorelineBuildStats& stats, std::string& error) {
    constexpr long long kIndexEnd = 48 + 4LL * ShorelineCellSet::kCells;
    constexpr long long kEmptyRecord = kIndexEnd; // one shared record: no land, no lakes
    std::vector<std::int32_t> offsets(ShorelineCellSet::kCells);
    long long at = kEmptyRecord + 8;
    for (int c = 0; c < ShorelineCellSet::kCells; ++c) {
        const auto& cell = cells.cells[static_cast<std::size_t>(c)];
        if (cell.land.empty() && cell.lakes.empty()) {
            offsets[static_cast<std::size_t>(c)] = static_cast<std::int32_t>(kEmptyRecord);
            continue;
        }
        if (at > 0x7fffffffLL) {
            error = "the polygon file would pass 2 GB";
            return false;
        }
        offsets[static_cast<std::size_t>(c)] = static_cast<std::int32_t>(at);
        at += blockSize(cell.land) + blockSize(cell.lakes);
    }

    const std::string temp = path + ".tmp";
    std::FILE* f = std::fopen(temp.c_str(), "wb");
    if (!f) {
        error = "cannot write " + temp + ": " + std::strerror(errno);
        return false;
    }
    std::vector<unsigned char> out;
    out.reserve(1 << 20);
    const std::int32_t header[12] = {0, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    for (std::int32_t w : header) putInt32(out, w);
    for (std::int32_t o : offsets) putInt32(out, o);
    putInt32(out, 0);
    putInt32(out, 0);
    bool ok = true;
    stats.contours = stats.vertices = 0;
    for (const auto& cell : cells.cells) {
        if (cell.land.empty() && cell.lakes.empty()) continue;
        putBlock(out, cell.land, 1, stats);
        putBlock(out, cell.lakes, 2, stats);
        if (out.size() >= (1u << 20)) {
            ok = ok && std::fwrite(out.data(), 1, out.size(), f) == out.size();
            out.clear();
        }
    }
    ok = ok && std::fwrite(out.data(), 1, out.size(), f) == out.size();
    ok = std::fclose(f) == 0 && ok;
    if (!ok || std::rename(temp.c_str(), path.c_str()) != 0) {
        error = "cannot write " + path + ": " + std::strerror(errno);
        std::remove(temp.c_str());
        return false;
    }
    stats.fileBytes = at;
    return true;
}

bool buildShorelineFile(std::FILE* dump, const std::string& path, ShorelineBuildStats& stats,
                        std::string& error) {
    std::vector<CoastPiece> pieces;
    if (!readCoastDump(dump, pieces, error)) return false;
    if (pieces.empty()) {
        error = "no shoreline in the input";
        return false;
    }
    stats.pieces = static_cast<long long>(pieces.size());
    for (const CoastPiece& p : pieces) stats.points += static_cast<long long>(p.points.size());
    ShorelineCellSet cells;
    for (int level = 1; level <= 2; ++level) {
        const std::vector<ShoreRing> rings = chainCoastPieces(pieces, level, stats);
        for (const ShoreRing& ring : rings) clipRingIntoCells(ring, level == 2, cells);
    }
    std::vector<CoastPiece>().swap(pieces);
    return writeShorelineFile(path, cells, stats, error);
}

} // namespace navorel
