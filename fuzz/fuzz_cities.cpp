// Feeds arbitrary bytes to the town list reader. Every town it keeps must be findable by a
// view over the whole world at the largest zoom, with a usable name and latitude.
#include "geo/cities.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

using namespace navorel;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static CityStore store;
    const std::size_t towns =
        parseCities(std::string_view(reinterpret_cast<const char*>(data), size), store);
    std::size_t seen = 0;
    forEachVisibleCity(store, {-180, 180, -90, 90, 1e6}, {true, true, true},
                       [&](const CityRecord& t, double lon) {
                           if (t.name.size() > kMaxCityNameLength || t.code.size() > 3 ||
                               !(t.lat >= -90 && t.lat < 90) || !(lon >= -180 && lon <= 180))
                               std::abort();
                           ++seen;
                       });
    if (seen > towns) std::abort();
    return 0;
}
