#pragma once
// The demo forecast as the benchmarks load it, once per program.
#include <string>

#include "weather/color_table.h"
#include "weather/wind_store.h"

namespace navorel {

inline const WindStore& demoWindStore() {
    static const WindStore store = [] {
        WindStore s;
        s.loadGrib(std::string(NAVOREL_SOURCE_DIR) + "/dist/Gribs/Demo.grb",
                   buildRamp(builtinWindScale(), kDefaultSeaColor));
        return s;
    }();
    return store;
}

} // namespace navorel
