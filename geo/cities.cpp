#include "geo/cities.h"

#include "core/file_check.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdlib>

namespace navorel {

namespace {

// The cell's longitude index of any finite longitude, 0..359.
int cityLonIndex(double lon) {
    double m = std::fmod(std::floor(lon), 360.0);
    if (m < 0) m += 360.0;
    return static_cast<int>(m) % 360;
}

bool readInt(std::string_view text, int& value) {
    const char* end = text.data() + text.size();
    const char* first = text.data();
    if (first != end && *first == '+') ++first;
    auto [ptr, ec] = std::from_chars(first, end, value);
    return ec == std::errc() && ptr == end;
}

bool readFloat(std::string_view text, float& value) {
    // strtof in the C locale the program sets at start-up; the whole field must be a number.
    const std::string s(text);
    char* end = nullptr;
    value = std::strtof(s.c_str(), &end);
    return end == s.c_str() + s.size() && !s.empty() && std::isfinite(value);
}

// Splits a line at white space into at most `max` fields.
int splitFields(std::string_view line, std::array<std::string_view, 6>& fields) {
    int n = 0;
    std::size_t i = 0;
    while (i < line.size() && n < 6) {
        while (i < line.size() && std::isspace(static_cast<unsigned char>(line[i]))) ++i;
        if (i == line.size()) break;
        const std::size_t start = i;
        while (i < line.size() && !std::isspace(static_cast<unsigned char>(line[i]))) ++i;
        fields[n++] = line.substr(start, i - start);
    }
    return n;
}

bool parseCityLine(std::string_view line, CityKind& kind, CityRecord& town) {
    if (line.size() > kMaxCityLineLength) return false;
    std::array<std::string_view, 6> f;
    if (splitFields(line, f) < 6) return false;
    int k = 0;
    if (f[0].size() > 3 || !readInt(f[1], k)) return false;
    if (k != 1 && k != 2 && k != 9) return false;
    if (f[2].size() > static_cast<std::size_t>(kMaxCityNameLength)) return false;
    if (!readInt(f[3], town.population)) return false;
    if (!readFloat(f[4], town.lat) || !readFloat(f[5], town.lon)) return false;
    if (town.lat < -90.0f || town.lat >= 90.0f) return false;
    town.code.assign(f[0]);
    town.name.assign(f[2]);
    for (char& c : town.name)
        if (c == '_') c = ' ';
    kind = static_cast<CityKind>(k);
    return true;
}

} // namespace

const CityCell* CityStore::cell(int lonIndex, int latIndex) const {
    if (lonIndex < 0 || lonIndex >= 360 || latIndex < -90 || latIndex >= 90) return nullptr;
    return cells_[static_cast<std::size_t>(lonIndex * 180 + latIndex + 90)].get();
}

CityCell& CityStore::cellFor(int lonIndex, int latIndex) {
    auto& slot = cells_[static_cast<std::size_t>(lonIndex * 180 + latIndex + 90)];
    if (!slot) slot = std::make_unique<CityCell>();
    return *slot;
}

void CityStore::clear() {
    for (auto& c : cells_) c.reset();
    towns_ = 0;
}

void CityStore::addTown(CityKind kind, CityRecord town) {
    CityCell& c = cellFor(cityLonIndex(town.lon),
                          static_cast<int>(std::floor(static_cast<double>(town.lat))));
    switch (kind) {
    case CityKind::Coastal:
        c.coastal.push_back(std::move(town));
        break;
    case CityKind::Lake:
        c.lakes.push_back(std::move(town));
        break;
    case CityKind::Capital:
        c.capitals.push_back(std::move(town));
        break;
    }
    ++towns_;
}

std::size_t parseCities(std::string_view text, CityStore& store) {
    store.clear();
    while (!text.empty()) {
        const std::size_t eol = text.find('\n');
        std::string_view line = text.substr(0, eol);
        text = eol == std::string_view::npos ? std::string_view() : text.substr(eol + 1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        CityKind kind;
        CityRecord town;
        if (parseCityLine(line, kind, town)) store.addTown(kind, std::move(town));
    }
    return store.townCount();
}

std::size_t loadCities(const std::string& path, CityStore& store) {
    store.clear();
    // Only a regular file of a text file's size: a FIFO would block the start-up and a device
    // such as /dev/zero fill the memory.
    std::string text, error;
    if (!readRegularFile(path, kMaxTextFileBytes, text, error)) return 0;
    return parseCities(text, store);
}

int cityPopulationThreshold(double z) {
    static constexpr struct {
        double zoom;
        int population;
    } kRows[] = {{1500, 0},    {1000, 1000}, {750, 2000},  {500, 3000}, {300, 5000},  {250, 10000},
                 {200, 15000}, {150, 20000}, {100, 35000}, {50, 50000}, {30, 100000}, {20, 500000}};
    for (const auto& row : kRows)
        if (z > row.zoom) return row.population;
    return 1000000;
}

void forEachVisibleCity(const CityStore& store, const CityView& view, const CitySwitches& kinds,
                        const std::function<void(const CityRecord&, double lon)>& visit) {
    if (!kinds.coastal && !kinds.lakes && !kinds.capitals) return;
    if (!(view.east >= view.west) || view.east - view.west > 720) return;
    const int threshold = cityPopulationThreshold(view.zoom);
    const int firstLon = static_cast<int>(std::floor(view.west));
    // Each cell once, even for a view wider than the globe.
    const int endLon = std::min(static_cast<int>(std::ceil(view.east)), firstLon + 360);
    const int firstLat = std::max(-90, static_cast<int>(std::floor(view.south)));
    const int endLat = std::min(90, static_cast<int>(std::ceil(view.north)));
    // A town is tried at its own longitude and one turn east or west of it, for views that
    // reach past the date line on either side.
    auto place = [&](double lon, double& shown) {
        for (double shift : {0.0, 360.0, -360.0})
            if (view.west <= lon + shift && lon + shift <= view.east) {
                shown = lon + shift;
                return true;
            }
        return false;
    };
    auto visitList = [&](const std::vector<CityRecord>& towns) {
        for (const CityRecord& t : towns) {
            double lon = 0;
            if (t.population > threshold && view.south <= t.lat && t.lat <= view.north &&
                place(t.lon, lon))
                visit(t, lon);
        }
    };
    for (int i = firstLon; i < endLon; ++i) {
        for (int j = firstLat; j < endLat; ++j) {
            const CityCell* c = store.cell(cityLonIndex(i), j);
            if (!c) continue;
            if (kinds.coastal) visitList(c->coastal);
            if (kinds.lakes) visitList(c->lakes);
            if (kinds.capitals) visitList(c->capitals);
        }
    }
}

} // namespace navorel
