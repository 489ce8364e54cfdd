#include "weather/field_store.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <new>

#include "core/datetime.h"
#include "core/geodesy.h"

namespace navorel {

float longitudeInto180(float lon) {
    if (!std::isfinite(lon)) return lon;
    // Longitudes come from the decoder in [-180, 180] plus i x di: a few turns for any real
    // grid, but a damaged one may reach far; those are cut to one turn first (exactly).
    if (std::fabs(lon) > 3600.0f) lon = std::fmod(lon, 360.0f);
    while (lon < -180.0f) lon += 360.0f;
    while (lon > 180.0f) lon -= 360.0f;
    return lon;
}

long long validHour(int year, int month, int day, int hour, int forecastHour) {
    return std::llround(dayNumber(day, month, year, 0, 0, 0) * 24.0) + hour + forecastHour;
}

std::string fieldLoadMessage(FieldLoadStatus status, const std::string& name) {
    switch (status) {
    case FieldLoadStatus::Ok:
        return {};
    case FieldLoadStatus::NoField:
        return "no " + name + " grid of at least 2 x 2 points in the file";
    case FieldLoadStatus::GridDiffers:
        return "the " + name + " records do not share one grid";
    case FieldLoadStatus::TooLarge:
        return kGribTooLarge;
    case FieldLoadStatus::ReadFailed:
        return "cannot read the file";
    }
    return {};
}

namespace {

// A field's frames fit in memory: 400 million values are 1.6 GB.
constexpr std::size_t kMaxFieldValues = 400'000'000;

bool named(const GribRecord& r, const char* name) {
    return name && r.name && std::strcmp(r.name, name) == 0;
}

FieldGrid gridOf(const GribRecord& r) {
    FieldGrid g;
    g.nx = r.nx;
    g.ny = r.ny;
    g.lon0 = longitudeInto180(r.lon1);
    g.lat0 = r.lat1;
    // The increments place the points, as the wind store and the crop to a box place them
    // (a cropped grid answers as the whole one); the corners only where there are none.
    double lonSpan = std::fmod(static_cast<double>(r.lon2) - r.lon1, 360.0);
    if (lonSpan < 0) lonSpan += 360.0;
    g.di = r.di > 0 ? r.di : (r.nx > 1 ? lonSpan / (r.nx - 1) : 0);
    g.dj = r.dj > 0 ? r.dj
                    : (r.ny > 1 ? std::fabs(static_cast<double>(r.lat2) - r.lat1) / (r.ny - 1) : 0);
    g.global = g.di > 0 && std::fabs(g.nx * g.di - 360.0) < g.di * 0.5;
    return g;
}

bool sameGrid(const FieldGrid& a, const FieldGrid& b) {
    return a.nx == b.nx && a.ny == b.ny && std::fabs(a.lon0 - b.lon0) < 1e-4 &&
           std::fabs(a.lat0 - b.lat0) < 1e-4 && std::fabs(a.di - b.di) < 1e-6 &&
           std::fabs(a.dj - b.dj) < 1e-6;
}

float decodedValue(float v) {
    return v > kFieldMissingAbove || !std::isfinite(v) ? std::numeric_limits<float>::quiet_NaN()
                                                       : v;
}

enum class Form { Scalar, Vector, Direction };

FieldLoadStatus buildFrames(const std::vector<GribRecord>& records, const char* first,
                            const char* second, Form form, FieldGrid& grid,
                            std::vector<FieldFrame>& out) {
    // The records of the field with a grid and their values, in valid-time order.
    std::vector<const GribRecord*> firsts;
    for (const GribRecord& r : records) {
        if (!named(r, first)) continue;
        if (r.nx < 2 || r.ny < 2 ||
            r.values.size() != static_cast<std::size_t>(r.nx) * static_cast<std::size_t>(r.ny))
            continue;
        firsts.push_back(&r);
    }
    if (firsts.empty()) return FieldLoadStatus::NoField;
    const FieldGrid g = gridOf(*firsts.front());
    if (!(g.di > 0) || !(g.dj > 0)) return FieldLoadStatus::NoField;
    for (const GribRecord* r : firsts)
        if (!sameGrid(gridOf(*r), g)) return FieldLoadStatus::GridDiffers;
    const auto hourOf = [](const GribRecord& r) {
        return validHour(r.year, r.month, r.day, r.hour, r.forecast);
    };
    std::stable_sort(firsts.begin(), firsts.end(), [&](const GribRecord* x, const GribRecord* y) {
        return hourOf(*x) < hourOf(*y);
    });
    const std::size_t points = static_cast<std::size_t>(g.nx) * static_cast<std::size_t>(g.ny);
    const std::size_t perFrame = form == Form::Scalar ? points : 2 * points;
    std::vector<FieldFrame> frames;
    try {
        long long lastHour = 0;
        std::size_t total = 0;
        for (const GribRecord* r : firsts) {
            const long long hour = hourOf(*r);
            // A time already taken (a second level, a repeated record): the first is kept.
            if (!frames.empty() && hour == lastHour) continue;
            const GribRecord* pair = nullptr;
            if (form == Form::Vector) {
                for (const GribRecord& s : records)
                    if (named(s, second) && hourOf(s) == hour && s.values.size() == points &&
                        sameGrid(gridOf(s), g)) {
                        pair = &s;
                        break;
                    }
                // A component without its partner is no current.
                if (!pair) continue;
            }
            total += perFrame;
            if (total > kMaxFieldValues) return FieldLoadStatus::TooLarge;
            FieldFrame f;
            f.time = static_cast<double>(hour) / 24.0;
            f.a.resize(points);
            if (form != Form::Scalar) f.b.resize(points);
            for (std::size_t p = 0; p < points; ++p) {
                const float v = decodedValue(r->values[p]);
                if (form == Form::Direction) {
                    const double rad = v * kDegToRad;
                    f.a[p] = static_cast<float>(std::sin(rad));
                    f.b[p] = static_cast<float>(std::cos(rad));
                } else {
                    f.a[p] = v;
                }
            }
            if (pair)
                for (std::size_t p = 0; p < points; ++p) f.b[p] = decodedValue(pair->values[p]);
            frames.push_back(std::move(f));
            lastHour = hour;
        }
    } catch (const std::bad_alloc&) {
        return FieldLoadStatus::TooLarge;
    }
    if (frames.empty()) return FieldLoadStatus::NoField;
    grid = g;
    out = std::move(frames);
    return FieldLoadStatus::Ok;
}

} // namespace

FieldLoadStatus FieldStore::build(const std::vector<GribRecord>& records, const char* first,
                                  const char* second) {
    FieldGrid g;
    std::vector<FieldFrame> frames;
    const FieldLoadStatus s =
        buildFrames(records, first, second, second ? Form::Vector : Form::Scalar, g, frames);
    if (s != FieldLoadStatus::Ok) return s;
    vector_ = second != nullptr;
    grid_ = g;
    frames_ = std::move(frames);
    return s;
}

FieldLoadStatus FieldStore::buildDirections(const std::vector<GribRecord>& records,
                                            const char* name) {
    FieldGrid g;
    std::vector<FieldFrame> frames;
    const FieldLoadStatus s = buildFrames(records, name, nullptr, Form::Direction, g, frames);
    if (s != FieldLoadStatus::Ok) return s;
    vector_ = true;
    grid_ = g;
    frames_ = std::move(frames);
    return s;
}

std::size_t FieldStore::storedValues() const {
    std::size_t n = 0;
    for (const FieldFrame& f : frames_) n += f.a.size() + f.b.size();
    return n;
}

bool FieldStore::locate(float lon, float lat, FieldSpot& spot) const {
    const FieldGrid& g = grid_;
    if (g.nx < 2 || g.ny < 2) return false;
    // Written so that NaN places fall outside.
    const double fy = (lat - g.lat0) / g.dj;
    if (!(fy >= 0.0 && fy <= g.ny - 1)) return false;
    double x = lon - g.lon0;
    x = std::fmod(x, 360.0);
    if (x < 0) x += 360.0;
    const double fx = x / g.di;
    const int last = g.nx - 1;
    int i, i1;
    if (fx <= last) {
        i = std::min(static_cast<int>(fx), last - 1);
        i1 = i + 1;
    } else if (g.global && fx < g.nx) {
        // Between the last column and the first one again.
        i = last;
        i1 = 0;
    } else {
        return false;
    }
    const int j = std::min(static_cast<int>(fy), g.ny - 2);
    const std::size_t nx = static_cast<std::size_t>(g.nx);
    const std::size_t row0 = static_cast<std::size_t>(j) * nx, row1 = row0 + nx;
    spot.p00 = row0 + static_cast<std::size_t>(i);
    spot.p10 = row0 + static_cast<std::size_t>(i1);
    spot.p01 = row1 + static_cast<std::size_t>(i);
    spot.p11 = row1 + static_cast<std::size_t>(i1);
    spot.a = fx - i;
    spot.b = fy - j;
    return true;
}

namespace {

// Bilinear blend; NaN when a corner is missing.
inline double bilinear(const std::vector<float>& v, const FieldSpot& s) {
    const double a = s.a, b = s.b;
    return (1 - a) * (1 - b) * v[s.p00] + a * (1 - b) * v[s.p10] + (1 - a) * b * v[s.p01] +
           a * b * v[s.p11];
}

} // namespace

bool FieldStore::frameValue(std::size_t k, const FieldSpot& spot, float& a, float& b) const {
    if (k >= frames_.size()) return false;
    const FieldFrame& f = frames_[k];
    const double va = bilinear(f.a, spot);
    const double vb = f.b.empty() ? 0.0 : bilinear(f.b, spot);
    a = static_cast<float>(va);
    b = static_cast<float>(vb);
    // A missing corner, or values a damaged file decodes to that are no field at all.
    return std::isfinite(a) && std::isfinite(b);
}

bool FieldStore::sample(float lon, float lat, double t, float& a, float& b) const {
    if (frames_.empty() || !(t >= frames_.front().time && t <= frames_.back().time)) return false;
    FieldSpot spot;
    if (!locate(lon, lat, spot)) return false;
    // The first frame at or after t; t between frames k - 1 and k.
    const auto it = std::lower_bound(frames_.begin(), frames_.end(), t,
                                     [](const FieldFrame& f, double x) { return f.time < x; });
    const std::size_t k = static_cast<std::size_t>(it - frames_.begin());
    if (k == 0 || it->time == t) return frameValue(k, spot, a, b);
    float a0 = 0, b0 = 0, a1 = 0, b1 = 0;
    if (!frameValue(k - 1, spot, a0, b0) || !frameValue(k, spot, a1, b1)) return false;
    const double t0 = frames_[k - 1].time, t1 = frames_[k].time;
    const double w = (t - t0) / (t1 - t0);
    a = static_cast<float>(a0 + (a1 - a0) * w);
    b = static_cast<float>(b0 + (b1 - b0) * w);
    return std::isfinite(a) && std::isfinite(b);
}

} // namespace navorel
