#include "routing/polar.h"

#include "core/file_check.h"
#include "core/geodesy.h"

#include <atomic>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace navorel {

namespace {

// A polar is a small text table; anything larger is not one.
constexpr std::uint64_t kMaxPolarFileBytes = 8u << 20;

std::atomic<std::uint64_t> nextSerial{1};

// A cell as a number: commas become points; what does not read as a number counts as 0.
// "nan", "inf" and numbers beyond the float range read as NaN, for the check to refuse.
float readCell(std::string_view cell) {
    while (!cell.empty() && (cell.front() == ' ' || cell.front() == '\r')) cell.remove_prefix(1);
    while (!cell.empty() && (cell.back() == ' ' || cell.back() == '\r')) cell.remove_suffix(1);
    if (cell.empty()) return 0.0f;
    char buf[64];
    const std::size_t n = cell.size() < sizeof buf ? cell.size() : sizeof buf - 1;
    for (std::size_t k = 0; k < n; ++k) buf[k] = cell[k] == ',' ? '.' : cell[k];
    const char* begin = buf;
    if (*begin == '+') ++begin;
    float value = 0.0f;
    const auto result = std::from_chars(begin, buf + n, value);
    if (result.ec == std::errc::result_out_of_range) return std::nanf("");
    if (result.ec != std::errc() || result.ptr == begin) return 0.0f;
    return std::isfinite(value) ? value : std::nanf("");
}

// The row of the table for twa: the first row from 1 with an angle >= twa (0 if none), and
// the weight of that row against the one before it.
inline void findRow(const Polar& p, float twa, int& i, float& w) {
    const auto& t = p.table;
    i = 0;
    for (int r = 1; r <= p.lastRow; ++r) {
        if (t[r][0] >= twa) {
            i = r;
            break;
        }
    }
    if (i == 0) { // only for a NaN angle: nothing to interpolate
        i = 1;
        w = 0.0f;
        return;
    }
    const float den = t[i][0] - t[i - 1][0];
    // The header cell may equal the first angle (a table starting at 0 with a 0 corner).
    w = den != 0.0f ? (twa - t[i - 1][0]) / den : 1.0f;
}

// How a wind speed falls between the columns: the same for every angle at one tws.
struct Column {
    enum Kind { Strongest, Lighter, Between } kind;
    int j;
    float r;
};

inline Column findColumn(const Polar& p, float tws) {
    const auto& h = p.table[0];
    if (tws >= p.maxTws) return {Column::Strongest, p.lastColumn, 0.0f};
    int j = p.lastColumn;
    for (int c = 1; c <= p.lastColumn; ++c) {
        if (h[c] > tws) {
            j = c;
            break;
        }
    }
    // Below a first column of 0 kt (a negative wind) there is no speed to scale.
    if (j == 1) return {Column::Lighter, 1, h[1] > 0.0f ? tws / h[1] : 0.0f};
    return {Column::Between, j, (tws - h[j - 1]) / (h[j] - h[j - 1])};
}

inline float interpolate(const Polar& p, int i, float w, const Column& c) {
    const auto& lo = p.table[i - 1];
    const auto& hi = p.table[i];
    float lower, upper;
    switch (c.kind) {
    case Column::Strongest:
        return lo[p.lastColumn] + w * (hi[p.lastColumn] - lo[p.lastColumn]);
    case Column::Lighter:
        lower = c.r * lo[1];
        upper = c.r * hi[1];
        break;
    default:
        lower = lo[c.j - 1] + c.r * (lo[c.j] - lo[c.j - 1]);
        upper = hi[c.j - 1] + c.r * (hi[c.j] - hi[c.j - 1]);
        break;
    }
    return lower + w * (upper - lower);
}

bool validate(const Polar& p, std::string& error) {
    if (p.rowCount < 3 || p.lastColumn < 2) {
        error = "the table needs at least two wind speeds and two wind angles";
        return false;
    }
    const auto& h = p.table[0];
    // A first column at 0 kt is a common layout: the boat does not move without wind.
    if (!(h[1] >= 0.0f)) {
        error = "the first wind speed must not be below 0";
        return false;
    }
    for (int c = 2; c <= p.lastColumn; ++c) {
        if (!(h[c] > h[c - 1]) || !std::isfinite(h[c])) {
            error =
                "wind speeds of the header row do not ascend (column " + std::to_string(c) + ")";
            return false;
        }
    }
    for (int r = 1; r <= p.lastRow; ++r) {
        const float a = p.table[r][0];
        if (!(a >= 0.0f && a <= 180.0f)) {
            error = "wind angle outside 0..180 (row " + std::to_string(r) + ")";
            return false;
        }
        if (r > 1 && !(a > p.table[r - 1][0])) {
            error = "wind angles do not ascend (row " + std::to_string(r) + ")";
            return false;
        }
    }
    // A speed below 0 would sail backwards and one that is not a number poisons every
    // interpolation around it: neither can be sailed.
    for (int r = 1; r <= p.lastRow; ++r) {
        for (int c = 1; c <= p.lastColumn; ++c) {
            const float v = p.table[r][c];
            if (v >= 0.0f && std::isfinite(v)) continue;
            char where[96];
            std::snprintf(where, sizeof where, " at TWA %g, TWS %g (row %d, column %d)",
                          static_cast<double>(p.table[r][0]), static_cast<double>(h[c]), r, c);
            error = (std::isfinite(v) ? "negative boat speed" : "boat speed is not a number") +
                    std::string(where);
            return false;
        }
    }
    return true;
}

void prepare(Polar& p) {
    p.minTwa = p.table[1][0];
    p.maxTwa = p.table[p.lastRow][0];
    p.minTws = p.table[0][1];
    p.maxTws = p.table[0][p.lastColumn];
    p.maxAcross = 0;
    p.minAlong = 1000;
    p.maxAlong = -100;
    for (int c = 1; c <= p.lastColumn; ++c) {
        for (int r = 1; r <= p.lastRow; ++r) {
            const double a = normalise360(p.table[r][0] + 270.0) * kDegToRad;
            const double s = p.table[r][c];
            const double across = std::cos(a) * s, along = std::sin(a) * s;
            if (across > p.maxAcross) p.maxAcross = across;
            if (along < p.minAlong) p.minAlong = along;
            if (along > p.maxAlong) p.maxAlong = along;
        }
    }
    p.upwindAngles.clear();
    for (float a = p.minTwa; a < 60.0f; a += 1.0f) {
        if (a > p.maxTwa) break; // speed 0 beyond the table: never a better VMG
        Polar::SearchAngle s{a, 0, 0.0f, std::cos(a * kDegToRad)};
        findRow(p, a, s.row, s.weight);
        p.upwindAngles.push_back(s);
    }
    p.downwindAngles.clear();
    for (float a = p.maxTwa; a > 120.0f; a -= 1.0f) {
        if (a < p.minTwa) break;
        Polar::SearchAngle s{a, 0, 0.0f, std::cos(a * kDegToRad)};
        findRow(p, a, s.row, s.weight);
        p.downwindAngles.push_back(s);
    }
    p.serial = nextSerial.fetch_add(1);
}

// One cached answer per thread and direction: the fans of one isochrone point ask the same
// wind speed many times in a row.
struct SearchCache {
    std::uint64_t serial = 0;
    float tws = 0;
    BestAngle best;
};

inline bool sameTws(float a, float b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

} // namespace

std::string polarNameOf(std::string_view path) {
    const auto slash = path.find_last_of("\\/");
    if (slash != std::string_view::npos) path.remove_prefix(slash + 1);
    const auto dot = path.rfind('.');
    if (dot != std::string_view::npos) path = path.substr(0, dot);
    return std::string(path);
}

bool parsePolar(std::string_view text, std::string_view name, Polar& polar, std::string& error) {
    Polar p;
    p.name = std::string(name);
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(pos, end - pos);
        pos = end + 1;
        if (line.find_first_not_of(" \t\r") == std::string_view::npos) continue;
        std::vector<float> row;
        std::size_t c = 0;
        while (true) {
            std::size_t tab = line.find('\t', c);
            row.push_back(readCell(
                line.substr(c, tab == std::string_view::npos ? line.size() - c : tab - c)));
            if (tab == std::string_view::npos) break;
            c = tab + 1;
        }
        p.table.push_back(std::move(row));
    }
    p.rowCount = static_cast<int>(p.table.size());
    p.lastRow = p.rowCount - 1;
    p.lastColumn = p.rowCount > 0 ? static_cast<int>(p.table[0].size()) - 1 : -1;
    // Rows of another length than the header: missing cells count as 0, extra ones are unused.
    for (auto& row : p.table) row.resize(p.table[0].size(), 0.0f);
    if (p.rowCount > 0 && !p.table[0].empty()) p.table[0][0] = 0.0f; // the corner: any text
    if (!validate(p, error)) return false;
    prepare(p);
    polar = std::move(p);
    return true;
}

bool loadPolar(const std::string& path, Polar& polar, std::string& error) {
    std::string text;
    if (!readRegularFile(path, kMaxPolarFileBytes, text, error)) return false;
    if (!parsePolar(text, polarNameOf(path), polar, error)) {
        error = path + ": " + error;
        return false;
    }
    return true;
}

float polarSpeed(const Polar& p, float twa, float tws) {
    if (twa < p.minTwa || twa > p.maxTwa) return 0.0f;
    int i;
    float w;
    findRow(p, twa, i, w);
    return interpolate(p, i, w, findColumn(p, tws));
}

BestAngle bestUpwindPlain(const Polar& p, float tws) {
    BestAngle best;
    double bestV = 0.0;
    for (float a = p.minTwa; a < 60.0f; a += 1.0f) {
        const float s = polarSpeed(p, a, tws);
        const double v = std::cos(a * kDegToRad) * s;
        if (v > bestV) {
            bestV = v;
            best = {a, s};
        }
    }
    return best;
}

BestAngle bestDownwindPlain(const Polar& p, float tws) {
    BestAngle best{p.maxTwa, 0.0f};
    double bestV = 0.0;
    for (float a = p.maxTwa; a > 120.0f; a -= 1.0f) {
        const float s = polarSpeed(p, a, tws);
        const double v = -std::cos(a * kDegToRad) * s;
        if (v > bestV) {
            bestV = v;
            best = {a, s};
        }
    }
    return best;
}

namespace {

// The column interpolation is chosen once per wind speed, outside the loop over angles; each
// step computes exactly what polarSpeed would for that angle.
template <Column::Kind kind>
BestAngle searchColumn(const Polar& p, const Column& col,
                       const std::vector<Polar::SearchAngle>& angles, double sign, BestAngle best) {
    double bestV = 0.0;
    const Column c{kind, col.j, col.r};
    for (const auto& a : angles) {
        const float s = interpolate(p, a.row, a.weight, c);
        const double v = sign * a.cosine * s;
        if (v > bestV) {
            bestV = v;
            best = {a.angle, s};
        }
    }
    return best;
}

BestAngle search(const Polar& p, float tws, const std::vector<Polar::SearchAngle>& angles,
                 double sign, BestAngle best) {
    const Column col = findColumn(p, tws);
    switch (col.kind) {
    case Column::Strongest:
        return searchColumn<Column::Strongest>(p, col, angles, sign, best);
    case Column::Lighter:
        return searchColumn<Column::Lighter>(p, col, angles, sign, best);
    default:
        return searchColumn<Column::Between>(p, col, angles, sign, best);
    }
}

} // namespace

BestAngle bestUpwind(const Polar& p, float tws) {
    thread_local SearchCache cache;
    if (cache.serial == p.serial && sameTws(cache.tws, tws)) return cache.best;
    const BestAngle best = search(p, tws, p.upwindAngles, 1.0, BestAngle{});
    cache = {p.serial, tws, best};
    return best;
}

BestAngle bestDownwind(const Polar& p, float tws) {
    thread_local SearchCache cache;
    if (cache.serial == p.serial && sameTws(cache.tws, tws)) return cache.best;
    const BestAngle best = search(p, tws, p.downwindAngles, -1.0, BestAngle{p.maxTwa, 0.0f});
    cache = {p.serial, tws, best};
    return best;
}

float sailingSpeed(const Polar& p, float tws, float& twa, bool& adjusted) {
    adjusted = false;
    if (tws < 0.0f) {
        twa = 0.0f;
        return 0.0f;
    }
    if (twa < 60.0f) {
        const BestAngle b = bestUpwind(p, tws);
        if (b.angle > twa) {
            twa = b.angle;
            adjusted = true;
            return b.speed;
        }
    } else if (twa > 120.0f) {
        const BestAngle b = bestDownwind(p, tws);
        if (b.angle < twa) {
            twa = b.angle;
            adjusted = true;
            return b.speed;
        }
    }
    return polarSpeed(p, twa, tws);
}

} // namespace navorel
