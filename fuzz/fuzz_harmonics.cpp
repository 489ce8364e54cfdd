// Harmonics files: parse, then ask every station for a height and a tide state.
#include "weather/tide_harmonics.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    navorel::TideHarmonics tides;
    if (!tides.parseHarmonics(std::string_view(reinterpret_cast<const char*>(data), size)))
        return 0;
    for (int i = 0; i < tides.stationCount() && i < 4; ++i) {
        (void)tides.height(i, 17000.3);
        (void)tides.harmonicState(i, 17000.3);
        (void)tides.tableState(i, 17000.3);
    }
    return 0;
}
