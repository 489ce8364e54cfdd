// GRIB bytes through the decoder into the current and wave forecasts, then sampled across and
// around their grids and times: no crash, no read outside the frames, and every answer either
// not found or a finite current (direction 0..360, speed >= 0) or wave.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "weather/grib.h"
#include "weather/ocean_fields.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace navorel;
    static const bool quiet = [] {
        setGribErrorHandler([](const std::string&, bool) {});
        gribDecoder().setNoteHandler([](const std::string&) {});
        gribDecoder().setUserTablePath("");
        return true;
    }();
    (void)quiet;
    std::vector<GribRecord> records;
    std::string error;
    decodeGribBuffer(data, size, records, error);
    OceanCurrents currents;
    OceanWaves waves;
    const bool haveCurrents = currents.build(records) == FieldLoadStatus::Ok;
    const bool haveWaves = waves.build(records) == FieldLoadStatus::Ok;
    if (!haveCurrents && !haveWaves) return 0;
    const FieldStore& field = haveCurrents ? currents.field() : waves.height();
    const FieldGrid& g = field.grid();
    const double t0 = field.firstTime(), t1 = field.lastTime();
    for (int i = -1; i <= 5; ++i)
        for (int j = -1; j <= 5; ++j)
            for (int k = -1; k <= 5; ++k) {
                const float lon = static_cast<float>(g.lon0 + (g.nx - 1) * g.di * i / 4);
                const float lat = static_cast<float>(g.lat0 + (g.ny - 1) * g.dj * j / 4);
                const double t = t0 + (t1 - t0) * k / 4;
                if (haveCurrents) {
                    const CurrentSample c = currents.currentAt(lon, lat, t);
                    if (c.found && !(c.speed >= 0 && c.direction >= 0 && c.direction <= 360))
                        __builtin_trap();
                }
                if (haveWaves) {
                    const WaveSample w = waves.waveAt(lon, lat, t);
                    if (w.found && !(w.height >= 0 && std::isfinite(w.height))) __builtin_trap();
                }
            }
    return 0;
}
