#pragma once
// Town names for the chart: Data/Cities/Cities.txt read once into a one-degree grid, so that
// drawing visits only the visible cells.
//
// One town per line, six fields separated by white space (normally tabs):
//   code  kind  name  population  latitude  longitude
// code: up to 3 characters (kept, not shown); kind: 1 coastal, 2 lake, 9 capital, any other
// value ignores the line; name: up to 59 characters without spaces, every underscore shown
// as a space; population decides from which zoom the town is shown.
//
// Lines that cannot be used are skipped: fewer than six fields, a field that does not read
// as its type, a code longer than 3 or a name of 60 characters or more, a line longer than
// kMaxCityLineLength, a latitude outside [-90, 90) or a position that is not finite.
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace navorel {

constexpr int kMaxCityNameLength = 59;
constexpr std::size_t kMaxCityLineLength = 248;

struct CityRecord {
    std::string code; // up to 3 characters
    std::string name; // UTF-8, underscores already replaced by spaces
    int population = 0;
    float lat = 0, lon = 0;
};

enum class CityKind { Coastal = 1, Lake = 2, Capital = 9 };

struct CityCell {
    std::vector<CityRecord> coastal, lakes, capitals; // each in file order
};

class CityStore {
  public:
    CityStore() : cells_(360 * 180) {}
    // Null where no town fell. lonIndex 0..359, latIndex -90..89.
    const CityCell* cell(int lonIndex, int latIndex) const;
    CityCell& cellFor(int lonIndex, int latIndex);
    void clear();
    std::size_t townCount() const { return towns_; }
    void addTown(CityKind kind, CityRecord record);

  private:
    std::vector<std::unique_ptr<CityCell>> cells_;
    std::size_t towns_ = 0;
};

// Empties the store, then adds the towns of the text. Answers the number of towns added.
std::size_t parseCities(std::string_view text, CityStore& store);
// The same from a file; a file that cannot be read (or is not a regular file of at most
// kMaxTextFileBytes) leaves an empty store.
std::size_t loadCities(const std::string& path, CityStore& store);

// The population a town must exceed to be shown at zoom z (pixels per degree of longitude).
int cityPopulationThreshold(double zoom);

// Which kinds are shown.
struct CitySwitches {
    bool coastal = true, lakes = false, capitals = false;
};

// The visible area: raw view edges (the west edge may lie below -180 and the east edge above
// 180 when the view shows the date line).
struct CityView {
    double west = 0, east = 0, south = 0, north = 0;
    double zoom = 1;
};

// Calls `visit` for every town to draw, cells west to east then south to north, within a
// cell the coastal, lake and capital lists in file order; `lon` is the town's longitude
// brought into the view's range.
void forEachVisibleCity(const CityStore& store, const CityView& view, const CitySwitches& kinds,
                        const std::function<void(const CityRecord&, double lon)>& visit);

} // namespace navorel
