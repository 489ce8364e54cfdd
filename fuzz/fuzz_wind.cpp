// GRIB bytes through the decoder into the wind store, then sampled across and around the
// frames it built: no crash, no read outside the frames, whatever the grid and the times.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "routing/routing_parameters.h"
#include "weather/color_table.h"
#include "weather/grib.h"
#include "weather/wind_sampler.h"
#include "weather/wind_store.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace navorel;
    static const bool quiet = [] {
        setGribErrorHandler([](const std::string&, bool) {});
        gribDecoder().setNoteHandler([](const std::string&) {});
        gribDecoder().setUserTablePath("");
        return true;
    }();
    (void)quiet;
    // As the program loads a forecast: sized from the headers, then decoded; the first store
    // keeps every hour between records, the second makes them on demand, as the program does,
    // and must answer exactly as the first.
    const WindColorRamp ramp = buildRamp(builtinWindScale(), kDefaultSeaColor);
    WindStore store, onDemand;
    store.setStoredFramePoints(SIZE_MAX);
    if (store.loadGribBuffer(data, size, ramp) != GribLoadStatus::Ok) return 0;
    if (onDemand.loadGribBuffer(data, size, ramp) != GribLoadStatus::Ok) __builtin_trap();
    store.applyLag(5);
    onDemand.applyLag(5);
    const RoutingParameters parameters;
    const auto& times = store.frameTimes();
    for (std::size_t k = 0; k < store.frames().size(); k += 1 + store.frames().size() / 8) {
        const FrameGeometry& g = store.geometry(static_cast<int>(k));
        for (int i = -1; i <= 5; ++i) {
            for (int j = -1; j <= 5; ++j) {
                const float lon = g.minLon + g.lonSpan * static_cast<float>(i) / 4;
                const float lat = g.minLat + g.latSpan * static_cast<float>(j) / 4;
                frameSample(store, static_cast<int>(k), lon, lat);
                frameSample(store, static_cast<int>(k), lon - 360, lat);
                const WindSample a = windAt(store, parameters, lon, lat, times[k] + 0.01 * i);
                const WindSample b = windAt(onDemand, parameters, lon, lat, times[k] + 0.01 * i);
                if (a.found != b.found ||
                    (a.found && (std::memcmp(&a.speed, &b.speed, sizeof a.speed) != 0 ||
                                 std::memcmp(&a.direction, &b.direction, sizeof a.direction) != 0)))
                    __builtin_trap();
            }
        }
    }
    return 0;
}
