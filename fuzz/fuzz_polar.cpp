// Feeds arbitrary bytes to the polar reader and asks the table for speeds and best angles.
#include "routing/polar.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    navorel::Polar polar;
    std::string error;
    if (!navorel::parsePolar(std::string_view(reinterpret_cast<const char*>(data), size), "fuzz",
                             polar, error))
        return 0;
    for (float tws = -1.0f; tws < 45.0f; tws += 3.7f) {
        for (float twa = -5.0f; twa <= 185.0f; twa += 11.0f) {
            float a = twa;
            bool adjusted;
            navorel::sailingSpeed(polar, tws, a, adjusted);
            navorel::polarSpeed(polar, twa, tws);
        }
    }
    return 0;
}
