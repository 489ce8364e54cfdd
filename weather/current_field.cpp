#include "weather/current_field.h"

#include "weather/tide_text.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <limits>

namespace navorel {

namespace {

constexpr double kDegToRad = 0.017453292519943295;
constexpr double kEarthRadius = 6378137.0;   // metres, for the corner distances
constexpr double kFallbackDistance = 3704.0; // 2 nautical miles
// The vertex count is bounded by the file sizes; this only stops a list line from naming
// absurd numbers of triangles per vertex.
constexpr std::size_t kMaxTrianglesPerVertex = 1000;

std::string upper(std::string text) {
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

// 13 integers, one separator character, 13 integers; values in tenths of a knot.
bool parseTableLine(const std::string& line, std::array<float, 13>& east,
                    std::array<float, 13>& north) {
    const char* p = line.c_str();
    auto readThirteen = [&p](std::array<float, 13>& values) {
        for (float& v : values) {
            char* end = nullptr;
            const long n = std::strtol(p, &end, 10);
            if (end == p || n < -100000 || n > 100000) return false;
            v = static_cast<float>(n) * 0.1f;
            p = end;
        }
        return true;
    };
    if (!readThirteen(east)) return false;
    while (*p == ' ' || *p == '\t') ++p;
    if (*p == '\0') return false;
    ++p; // the separator
    return readThirteen(north);
}

bool readPosition(const std::string& line, bool shom, float& lat, float& lon) {
    const char* p = line.c_str();
    char* end = nullptr;
    double a = std::strtod(p, &end);
    if (end == p) return false;
    p = end;
    double b = std::strtod(p, &end);
    if (end == p) return false;
    if (shom) {
        a = shomDegrees(a);
        b = shomDegrees(b);
    }
    if (!(a >= -90 && a <= 90) || !(b >= -180 && b <= 180)) return false;
    lat = static_cast<float>(a);
    lon = static_cast<float>(b);
    return true;
}

bool insideTriangle(const CurrentField& field, int t, double x, double y) {
    const auto& tri = field.triangles[static_cast<std::size_t>(t)];
    if (tri[0] < 0) return false;
    const CurrentPoint& a = field.vertices[static_cast<std::size_t>(tri[0])];
    const CurrentPoint& b = field.vertices[static_cast<std::size_t>(tri[1])];
    const CurrentPoint& d = field.vertices[static_cast<std::size_t>(tri[2])];
    auto side = [x, y](const CurrentPoint& from, const CurrentPoint& to) {
        return (double(to.lon) - from.lon) * (y - from.lat) -
                   (double(to.lat) - from.lat) * (x - from.lon) >
               0;
    };
    const bool s1 = side(a, b);
    return side(a, d) != s1 && side(b, d) == s1;
}

double cornerDistance(double lon1, double lat1, double lon2, double lat2) {
    const double p1 = lat1 * kDegToRad, p2 = lat2 * kDegToRad;
    const double c = std::sin(p1) * std::sin(p2) +
                     std::cos(p1) * std::cos(p2) * std::cos((lon1 - lon2) * kDegToRad);
    // Clamp before acos: a place on a corner gave 1.0000000000000002 and acos gave NaN.
    return std::acos(std::clamp(c, -1.0, 1.0)) * kEarthRadius;
}

// The tide state of a point's port: h hours from its reference event, and the coefficient.
bool pointTide(const TideHarmonics& tides, const CurrentPoint& p, double time, double& h,
               double& coefficient) {
    const TableState s = tides.tableState(p.port, time);
    if (!s.valid) return false;
    h = p.fromHigh ? s.hoursFromHigh : s.hoursFromLow;
    coefficient = s.coefficient;
    return std::isfinite(h) && std::isfinite(coefficient);
}

void nearestIn(const CurrentField& f, int lo, int hi, int depth, double x, double y, int& best,
               double& bestDistance) {
    if (lo >= hi) return;
    const int mid = (lo + hi) / 2;
    const int v = f.kdIndex[static_cast<std::size_t>(mid)];
    const CurrentPoint& p = f.vertices[static_cast<std::size_t>(v)];
    const double dx = x - p.lon, dy = y - p.lat;
    const double d = dx * dx + dy * dy;
    if (d < bestDistance || (d == bestDistance && v < best)) {
        bestDistance = d;
        best = v;
    }
    const double along = depth % 2 == 0 ? dx : dy;
    const int nearLo = along < 0 ? lo : mid + 1, nearHi = along < 0 ? mid : hi;
    const int farLo = along < 0 ? mid + 1 : lo, farHi = along < 0 ? hi : mid;
    nearestIn(f, nearLo, nearHi, depth + 1, x, y, best, bestDistance);
    if (along * along <= bestDistance)
        nearestIn(f, farLo, farHi, depth + 1, x, y, best, bestDistance);
}

void buildTree(CurrentField& f, int lo, int hi, int depth) {
    if (hi - lo < 2) return;
    const int mid = (lo + hi) / 2;
    auto key = [&f, depth](int v) {
        const CurrentPoint& p = f.vertices[static_cast<std::size_t>(v)];
        return depth % 2 == 0 ? p.lon : p.lat;
    };
    std::nth_element(
        f.kdIndex.begin() + lo, f.kdIndex.begin() + mid, f.kdIndex.begin() + hi,
        [&key](int a, int b) { return key(a) < key(b) || (key(a) == key(b) && a < b); });
    buildTree(f, lo, mid, depth + 1);
    buildTree(f, mid + 1, hi, depth + 1);
}

std::vector<std::string> listFiles(const std::string& folder, const std::string& must) {
    namespace fs = std::filesystem;
    std::vector<std::string> names;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        const bool temporary = name.size() > 4 && name.compare(name.size() - 4, 4, ".tmp") == 0;
        if (name.find(must) != std::string::npos && !temporary && it->is_regular_file(ec))
            names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace

double shomDegrees(double value) {
    if (!std::isfinite(value) || std::fabs(value) > 1e8) return value;
    const long whole = static_cast<long>(value); // truncated toward zero, sign kept
    return static_cast<double>(whole / 100) +
           (static_cast<double>(whole % 100) + (value - static_cast<double>(whole))) / 60.0;
}

std::string shomPortName(std::string_view line, bool& fromHigh) {
    std::string name;
    for (char c : line)
        if (c != '\t') name += c;
    name = trimBlanks(name);
    fromHigh = true;
    const std::size_t bm = name.find("BM");
    if (bm != std::string::npos) {
        const std::size_t start = bm == 0 ? 0 : bm - 1;
        name.erase(start, bm + 2 - start);
        fromHigh = false;
    }
    std::replace(name.begin(), name.end(), ' ', '_');
    return upper(name);
}

bool parseCurrentFile(std::string_view text, bool shom, CurrentFile& file) {
    const std::vector<std::string> lines = splitLines(text);
    if (lines.empty()) return false;
    file.points.clear();
    if (shom) {
        file.portName = shomPortName(lines[0], file.fromHigh);
    } else {
        // Hours of our own files count from high water, like SHOM files without "BM".
        file.portName = upper(trimBlanks(std::string_view(lines[0]).substr(0, 94)));
        file.fromHigh = true;
    }
    for (std::size_t i = 1; i + 2 < lines.size() && !lines[i].empty(); i += 3) {
        CurrentPoint p;
        if (!readPosition(lines[i], shom, p.lat, p.lon) ||
            !parseTableLine(lines[i + 1], p.springEast, p.springNorth) ||
            !parseTableLine(lines[i + 2], p.neapEast, p.neapNorth))
            break; // a malformed block ends the file; the points before it are kept
        p.portName = file.portName;
        p.fromHigh = file.fromHigh;
        p.fileName = file.fileName;
        file.points.push_back(std::move(p));
    }
    finishCurrentFile(file);
    return !file.portName.empty();
}

void finishCurrentFile(CurrentFile& file) {
    if (file.points.empty()) {
        file.minLon = file.maxLon = file.minLat = file.maxLat = file.lonSpan = file.latSpan = 0;
    } else {
        file.minLon = file.maxLon = file.points[0].lon;
        file.minLat = file.maxLat = file.points[0].lat;
        for (const CurrentPoint& p : file.points) {
            file.minLon = std::min(file.minLon, p.lon);
            file.maxLon = std::max(file.maxLon, p.lon);
            file.minLat = std::min(file.minLat, p.lat);
            file.maxLat = std::max(file.maxLat, p.lat);
        }
        file.lonSpan = file.maxLon - file.minLon;
        file.latSpan = file.maxLat - file.minLat;
    }
    // The colour comes from a generator seeded by the box and the point count, so a file
    // keeps its colour from run to run.
    const std::int64_t n = static_cast<std::int64_t>(file.points.size());
    const std::int64_t seed = static_cast<std::int64_t>(static_cast<int>(file.lonSpan * 10)) -
                              static_cast<std::int64_t>(static_cast<int>(file.latSpan * -10)) * n;
    std::uint32_t state = static_cast<std::uint32_t>(seed);
    auto next = [&state]() {
        state = state * 214013u + 2531011u;
        return static_cast<float>((state >> 16) & 0x7FFF) / 32767.0f;
    };
    file.blue = next();
    file.green = next();
    file.red = next();
    file.alpha = 1;
}

void parseMeshLists(std::string_view triangles, std::string_view vertexLists, CurrentField& field) {
    const int vertexCount = static_cast<int>(field.vertices.size());
    field.triangles.clear();
    int badTriangles = 0, badEntries = 0;
    for (const std::string& line : splitLines(triangles)) {
        std::array<int, 3> t{-1, -1, -1};
        const char* p = line.c_str();
        bool ok = true;
        for (int& v : t) {
            char* end = nullptr;
            const long n = std::strtol(p, &end, 10);
            ok = ok && end != p && n >= 0 && n < vertexCount;
            v = ok ? static_cast<int>(n) : -1;
            p = end;
        }
        // A corner whose port is unknown cannot be interpolated: the triangle is unusable.
        for (int v : t) ok = ok && field.vertices[static_cast<std::size_t>(v)].port >= 0;
        if (!ok) {
            t = {-1, -1, -1};
            ++badTriangles;
        }
        field.triangles.push_back(t);
    }
    const int triangleCount = static_cast<int>(field.triangles.size());
    field.vertexStart.assign(static_cast<std::size_t>(vertexCount) + 1, 0);
    field.vertexTriangles.clear();
    const std::vector<std::string> lines = splitLines(vertexLists);
    for (int v = 0; v < vertexCount; ++v) {
        field.vertexStart[static_cast<std::size_t>(v)] =
            static_cast<int>(field.vertexTriangles.size());
        if (static_cast<std::size_t>(v) >= lines.size()) continue;
        const char* p = lines[static_cast<std::size_t>(v)].c_str();
        std::size_t count = 0;
        for (;;) {
            char* end = nullptr;
            const long n = std::strtol(p, &end, 10);
            if (end == p) break;
            p = end;
            if (n < 0 || n >= triangleCount ||
                field.triangles[static_cast<std::size_t>(n)][0] < 0 ||
                ++count > kMaxTrianglesPerVertex) {
                ++badEntries;
                continue;
            }
            field.vertexTriangles.push_back(static_cast<int>(n));
        }
    }
    field.vertexStart[static_cast<std::size_t>(vertexCount)] =
        static_cast<int>(field.vertexTriangles.size());
    if (badTriangles > 0)
        field.log.push_back(
            std::to_string(badTriangles) +
            " triangles name a vertex that does not exist or has no port: not used");
    if (badEntries > 0)
        field.log.push_back(std::to_string(badEntries) +
                            " vertex-list entries name an unusable triangle: dropped");
}

void indexCurrentField(CurrentField& field) {
    field.vertices.clear();
    for (const CurrentFile& f : field.files)
        field.vertices.insert(field.vertices.end(), f.points.begin(), f.points.end());
    field.kdIndex.clear();
    for (int v = 0; v < static_cast<int>(field.vertices.size()); ++v)
        if (field.vertices[static_cast<std::size_t>(v)].port >= 0) field.kdIndex.push_back(v);
    buildTree(field, 0, static_cast<int>(field.kdIndex.size()), 0);
}

bool loadCurrentField(CurrentKind kind, const std::string& folder, const TideHarmonics& tides,
                      CurrentField& field) {
    field = CurrentField{};
    field.kind = kind;
    field.folder = folder;
    const bool shom = kind == CurrentKind::Shom;
    std::vector<std::string> paths;
    if (shom) {
        for (int sub = 557; sub <= 565; ++sub) {
            const std::string dir = folder + "/Shom/" + std::to_string(sub);
            for (const std::string& name : listFiles(dir, ".")) paths.push_back(dir + "/" + name);
        }
    } else {
        for (const std::string& name : listFiles(folder + "/Default", ".cur"))
            paths.push_back(folder + "/Default/" + name);
    }
    int usable = 0;
    for (const std::string& path : paths) {
        std::string text;
        CurrentFile file;
        file.fileName = std::filesystem::path(path).filename().string();
        if (!readTextFile(path, text, 64u << 20) || !parseCurrentFile(text, shom, file)) {
            field.log.push_back(file.fileName + ": cannot be read, skipped");
            continue;
        }
        file.port = tides.findStation(file.portName);
        if (file.port < 0) {
            // The points keep their vertex numbers (the lists count them) but take part in
            // no triangle and no nearest-vertex search.
            field.log.push_back(file.fileName + ": port \"" + file.portName +
                                "\" is not a tide station, skipped");
        } else {
            ++usable;
        }
        for (CurrentPoint& p : file.points) p.port = file.port;
        field.files.push_back(std::move(file));
    }
    if (usable == 0) return false;
    indexCurrentField(field);
    std::string triangles, vertexLists;
    const std::string prefix = folder + (shom ? "/s" : "/d");
    if (!readTextFile(prefix + "ListTri", triangles, 64u << 20) ||
        !readTextFile(prefix + "ListVert", vertexLists, 64u << 20)) {
        field.log.push_back("the triangle lists cannot be read");
        return false;
    }
    parseMeshLists(triangles, vertexLists, field);
    // Files of unknown ports stay out of the list the map shows.
    field.files.erase(std::remove_if(field.files.begin(), field.files.end(),
                                     [](const CurrentFile& f) { return f.port < 0; }),
                      field.files.end());
    return true;
}

int nearestVertex(const CurrentField& field, float lon, float lat) {
    int best = -1;
    double bestDistance = std::numeric_limits<double>::infinity();
    nearestIn(field, 0, static_cast<int>(field.kdIndex.size()), 0, lon, lat, best, bestDistance);
    return best;
}

int findTriangle(const CurrentField& field, float lon, float lat, int& nearest) {
    nearest = nearestVertex(field, lon, lat);
    if (nearest < 0 || field.vertexStart.size() != field.vertices.size() + 1) return -1;
    auto trianglesOf = [&field](int v) {
        return std::pair<const int*, const int*>(
            field.vertexTriangles.data() + field.vertexStart[static_cast<std::size_t>(v)],
            field.vertexTriangles.data() + field.vertexStart[static_cast<std::size_t>(v) + 1]);
    };
    const auto [first, last] = trianglesOf(nearest);
    for (const int* t = first; t != last; ++t)
        if (insideTriangle(field, *t, lon, lat)) return *t;
    // The second ring: the triangles around the corners of the first ones.
    for (const int* t = first; t != last; ++t)
        for (int corner : field.triangles[static_cast<std::size_t>(*t)]) {
            const auto [f2, l2] = trianglesOf(corner);
            for (const int* u = f2; u != l2; ++u)
                if (insideTriangle(field, *u, lon, lat)) return *u;
        }
    return -1;
}

void pointCurrent(const CurrentPoint& point, double h, double coefficient, double& east,
                  double& north) {
    h = std::clamp(h, -48.0, 48.0);
    const int i = static_cast<int>(h); // truncated toward zero
    const int k = std::clamp(i + 6, 0, 12);
    const double f = std::fabs(h - i);
    int n = h > 0 ? k + 1 : k - 1;
    if (n > 12) n = 0;
    if (n < 0) n = 12;
    auto at = [k, n, f](const std::array<float, 13>& table) {
        return (double(table[static_cast<std::size_t>(n)]) - table[static_cast<std::size_t>(k)]) *
                   f +
               table[static_cast<std::size_t>(k)];
    };
    const double se = at(point.springEast), sn = at(point.springNorth);
    const double ne = at(point.neapEast), nn = at(point.neapNorth);
    // Neap values hold at coefficient 45 and spring values at 95, extrapolated beyond.
    const double w = (coefficient - 45) / 50;
    east = (se - ne) * w + ne;
    north = (sn - nn) * w + nn;
}

CurrentSample currentAt(const CurrentField& field, const TideHarmonics& tides, float lon, float lat,
                        double time) {
    CurrentSample out;
    if (!std::isfinite(lon) || !std::isfinite(lat) || !std::isfinite(time)) return out;
    int nearest = -1;
    const int t = findTriangle(field, lon, lat, nearest);
    double east = 0, north = 0, coefficient = 0;
    if (t >= 0) {
        double e[3], n[3], d[3], c[3];
        for (int j = 0; j < 3; ++j) {
            const CurrentPoint& p = field.vertices[static_cast<std::size_t>(
                field.triangles[static_cast<std::size_t>(t)][j])];
            double h;
            if (!pointTide(tides, p, time, h, c[j])) return out;
            pointCurrent(p, h, c[j], e[j], n[j]);
            d[j] = cornerDistance(lon, lat, p.lon, p.lat);
        }
        const double denominator = d[0] * d[1] + d[1] * d[2] + d[0] * d[2];
        if (denominator > 0) {
            east = (e[0] * d[1] * d[2] + e[1] * d[0] * d[2] + e[2] * d[0] * d[1]) / denominator;
            north = (n[0] * d[1] * d[2] + n[1] * d[0] * d[2] + n[2] * d[0] * d[1]) / denominator;
        } else {
            // Two corners on the place (a degenerate triangle): take the first of them.
            const int j = d[0] == 0 ? 0 : 1;
            east = e[j];
            north = n[j];
        }
        coefficient = (c[0] + c[1] + c[2]) / 3;
    } else {
        if (nearest < 0) return out;
        const CurrentPoint& p = field.vertices[static_cast<std::size_t>(nearest)];
        if (!(cornerDistance(lon, lat, p.lon, p.lat) < kFallbackDistance)) return out;
        double h;
        if (!pointTide(tides, p, time, h, coefficient)) return out;
        pointCurrent(p, h, coefficient, east, north);
    }
    double direction = std::atan2(east, north) / kDegToRad;
    if (direction < 0) direction += 360;
    out.found = true;
    out.direction = static_cast<float>(direction);
    out.speed = static_cast<float>(std::sqrt(east * east + north * north));
    out.coefficient = static_cast<float>(coefficient);
    return out;
}

bool CurrentProvider::load(const std::string& folder, const TideHarmonics& tides) {
    tides_ = &tides;
    default_ = std::make_unique<CurrentField>();
    shom_ = std::make_unique<CurrentField>();
    if (!loadCurrentField(CurrentKind::Default, folder, tides, *default_)) default_.reset();
    if (!loadCurrentField(CurrentKind::Shom, folder, tides, *shom_)) shom_.reset();
    mode_ = default_ ? 0 : shom_ ? 1 : -1;
    return mode_ >= 0;
}

void CurrentProvider::setField(CurrentKind kind, std::unique_ptr<CurrentField> field,
                               const TideHarmonics& tides) {
    tides_ = &tides;
    (kind == CurrentKind::Default ? default_ : shom_) = std::move(field);
    if (mode_ < 0 || (mode_ != 2 && !activeField())) mode_ = default_ ? 0 : shom_ ? 1 : -1;
}

void CurrentProvider::setStreamProvider(int mode) {
    // A provider without data gives no streams; the other provider is not a stand-in.
    mode_ = (mode == 0 && default_)    ? 0
            : (mode == 1 && shom_)     ? 1
            : (mode == 2 && forecast_) ? 2
                                       : -1;
}

void CurrentProvider::setForecast(const CurrentSource* forecast) {
    forecast_ = forecast;
    if (mode_ == 2 && !forecast_) mode_ = -1;
}

const CurrentField* CurrentProvider::field(CurrentKind kind) const {
    return kind == CurrentKind::Default ? default_.get() : shom_.get();
}

const CurrentField* CurrentProvider::activeField() const {
    return mode_ == 0 ? default_.get() : mode_ == 1 ? shom_.get() : nullptr;
}

CurrentSample CurrentProvider::currentAt(float lon, float lat, double time) const {
    if (mode_ == 2) return forecast_ ? forecast_->currentAt(lon, lat, time) : CurrentSample{};
    const CurrentField* f = activeField();
    if (!f || !tides_) return {};
    return navorel::currentAt(*f, *tides_, lon, lat, time);
}

} // namespace navorel
