// Feeds arbitrary bytes to the NMEA reader, whole and cut in pieces at the positions the first
// bytes choose, and every line to the RMC parser on its own.
#include "core/nmea.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    navorel::GpsBoat boat;
    const auto onFix = [&](const navorel::GpsFix& fix) { boat.apply(fix); };

    navorel::NmeaReader whole;
    whole.feed(bytes, onFix);

    navorel::NmeaReader pieces;
    std::size_t at = 0;
    for (std::size_t i = 0; at < size; ++i) {
        const std::size_t length = 1 + (i < size ? data[i] % 97 : 0);
        pieces.feed(bytes.substr(at, length), onFix);
        at += length;
    }

    navorel::GpsFix fix;
    for (std::size_t start = 0; start < size;) {
        std::size_t end = bytes.find('\n', start);
        if (end == std::string_view::npos) end = size;
        navorel::parseRmc(bytes.substr(start, end - start), fix);
        start = end + 1;
    }
    return 0;
}
