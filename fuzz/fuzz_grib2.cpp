// GRIB edition-2 bytes through ecCodes into the wind store, read as the store reads a file:
// the headers first (sized and checked before any value is expanded), then the wind's values
// alone. Damaged messages must be refused, never crash or read outside the bytes.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "weather/color_table.h"
#include "weather/grib.h"
#include "weather/grib_crop.h"
#include "weather/wind_sampler.h"
#include "weather/wind_store.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace navorel;
    static GribDecoder* decoder = [] {
        auto* d = new GribDecoder;
        d->setNoteHandler([](const std::string&) {});
        d->setUserTablePath("");
        d->setWindValuesOnly(true);
        // A few megabytes of values at most: a bomb of claimed points is refused unexpanded.
        d->setValueLimit(std::uint64_t(1) << 20);
        return d;
    }();
    std::vector<GribRecord> records;
    std::string error;
    const auto check = [](const std::vector<GribRecord>& headers) {
        for (const GribRecord& r : headers)
            if (r.valueCount > (std::size_t(1) << 20)) return false;
        return true;
    };
    decoder->readBuffer(data, size, records, error, check);
    // Each record cut to a box of the input's choosing, across the 180 degree meridian for
    // about one input in nine: the crop reads its grid description as the message gave it.
    if (size > 0) {
        const double west = double(data[0]) * 1.4 - 180, south = double(data[size - 1] % 120) - 60;
        const GribBox box = gribBox(west, west + 40, south, south + 30);
        for (GribRecord r : records) cropGribRecord(r, box);
    }
    WindStore store;
    if (store.loadRecords(records, buildRamp(builtinWindScale(), kDefaultSeaColor)) !=
        GribLoadStatus::Ok)
        return 0;
    for (std::size_t k = 0; k < store.frames().size(); ++k) {
        const FrameGeometry& g = store.geometry(static_cast<int>(k));
        frameSample(store, static_cast<int>(k), g.minLon + g.lonSpan / 3, g.minLat + g.latSpan / 3);
    }
    return 0;
}
