// Feeds arbitrary bytes to the traffic-zone readers: as a zone file, whose outlines then go
// through the routing's zone crossing test (the indexed test must answer as the plain scan),
// and as a selection file, whose names must write out and read back unchanged.
#include "geo/gpx.h"
#include "geo/tss.h"
#include "geo/tss_index.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

using namespace navorel;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    ZoneOutlines outlines;
    std::vector<std::string> kinds;
    std::string error;
    if (parseZoneOutlines(text, outlines, kinds, error)) {
        if (kinds.size() != outlines.size()) std::abort();
        ZoneCrossingIndex index;
        index.build(outlines, {});
        // Moves across the file's own points, and a few fixed ones.
        std::vector<GeoPoint> ends = {{-10, -10}, {10, 10}, {0, 0}, {-70.65f, 42.3f}};
        for (const auto& o : outlines)
            for (std::size_t k = 0; k < o.size() && ends.size() < 64; ++k) ends.push_back(o[k]);
        for (std::size_t i = 0; i < ends.size(); ++i)
            for (std::size_t j = i; j < ends.size(); j += 3)
                if (index.crosses(ends[i], ends[j]) !=
                    segmentCrossesZones(outlines, ends[i], ends[j]))
                    std::abort();
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
