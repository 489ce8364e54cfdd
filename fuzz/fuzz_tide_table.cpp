// Tide-table files: parse into one station and read the state at times around the tables.
#include "weather/tide_harmonics.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const navorel::TideHarmonics base = [] {
        navorel::TideHarmonics t;
        t.parseHarmonics("PORT\n41.5 -70\n0\n100\n0 100 80 20 1000 200 300 10 20 10\n"
                         "0 10 20 30 40 50 60 70 80 90\n");
        return t;
    }();
    navorel::TideHarmonics tides = base;
    if (!tides.parseTable(0, std::string_view(reinterpret_cast<const char*>(data), size))) return 0;
    const navorel::TideStation& s = tides.stations()[0];
    const double first = s.firstDay;
    for (double t : {first - 1.5, first, first + 0.5, first + 1.99, first + s.days.size() - 0.01,
                     first + s.days.size() + 0.5})
        (void)tides.tableState(0, t);
    return 0;
}
