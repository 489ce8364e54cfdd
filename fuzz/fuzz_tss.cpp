// Feeds arbitrary bytes to the traffic-zone readers: as a zone file, whose outlines then go
// through the routing's zone crossing test, and as a selection file, whose names must write
// out and read back unchanged.
#include "geo/gpx.h"
#include "geo/tss.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

using namespace navorel;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    ZoneOutlines outlines;
    std::string error;
    if (parseRoutePolylines(text, outlines, error)) {
        segmentCrossesZones(outlines, {-10, -10}, {10, 10});
        segmentCrossesZones(outlines, {0, 0}, {0, 0});
    }
    bool ok = false;
    const std::vector<std::string> names = parseTssSelection(text, ok);
    if (ok) {
        std::vector<std::string> kept;
        // Attribute values cannot hold a NUL; pugixml stops the value there.
        for (const std::string& n : names)
            if (n.find('\0') == std::string::npos) kept.push_back(n);
        bool back = false;
        if (parseTssSelection(tssSelectionXml(kept), back) != kept || !back) std::abort();
    }
    return 0;
}
