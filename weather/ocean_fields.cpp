#include "weather/ocean_fields.h"

#include <cmath>

#include "core/geodesy.h"
#include "weather/wind_store.h"

namespace navorel {

FieldLoadStatus OceanCurrents::build(const std::vector<GribRecord>& records) {
    return field_.build(records, "UOGRD", "VOGRD");
}

CurrentSample OceanCurrents::currentAt(float lon, float lat, double time) const {
    float east = 0, north = 0;
    if (!field_.sample(lon, lat, time, east, north)) return {};
    CurrentSample c;
    c.found = true;
    c.speed =
        static_cast<float>(std::sqrt(double(east) * east + double(north) * north) * kMsToKnot);
    c.direction = static_cast<float>(normalise360(std::atan2(east, north) * kRadToDeg));
    if (!std::isfinite(c.speed)) return {};
    return c;
}

FieldLoadStatus OceanWaves::build(const std::vector<GribRecord>& records) {
    OceanWaves next;
    const FieldLoadStatus s = next.height_.build(records, "HTSGW");
    if (s != FieldLoadStatus::Ok) return s;
    // The primary wave direction (all the sea), else the wind waves'; a direction or period
    // on another grid than the height is left out.
    if (next.direction_.buildDirections(records, "DIRPW") != FieldLoadStatus::Ok)
        next.direction_.buildDirections(records, "WVDIR");
    next.period_.build(records, "PERPW");
    *this = std::move(next);
    return s;
}

WaveSample OceanWaves::waveAt(float lon, float lat, double time) const {
    WaveSample w;
    float h = 0, unused = 0;
    if (!height_.sample(lon, lat, time, h, unused)) return w;
    w.found = true;
    w.height = h < 0 ? 0.0f : h;
    float s = 0, c = 0;
    // Directions blended on the circle: a blend of opposite directions has none.
    if (direction_.sample(lon, lat, time, s, c) && (s != 0 || c != 0)) {
        w.hasDirection = true;
        w.direction = static_cast<float>(normalise360(std::atan2(s, c) * kRadToDeg));
    }
    float period = 0;
    if (period_.sample(lon, lat, time, period, unused)) {
        w.hasPeriod = true;
        w.period = period;
    }
    return w;
}

namespace {

template <class Store>
FieldLoadStatus openField(const std::string& path, Store& store, const char* what,
                          std::string& error, const GribBox& box) {
    std::vector<GribRecord> records;
    std::string text;
    GribDecoder& decoder = gribDecoder();
    const GribBox before = decoder.cropBox();
    decoder.setCropBox(box);
    const bool read = readForecastRecords(decoder, path, records, text);
    decoder.setCropBox(before);
    if (!read) {
        error = path + ": " + text;
        return text.rfind(kGribTooLarge, 0) == 0 ? FieldLoadStatus::TooLarge
                                                 : FieldLoadStatus::ReadFailed;
    }
    const FieldLoadStatus s = store.build(records);
    error = s == FieldLoadStatus::Ok ? std::string() : path + ": " + fieldLoadMessage(s, what);
    return s;
}

} // namespace

FieldLoadStatus openCurrentForecast(const std::string& path, OceanCurrents& currents,
                                    std::string& error, const GribBox& box) {
    return openField(path, currents, "current", error, box);
}

FieldLoadStatus openWaveForecast(const std::string& path, OceanWaves& waves, std::string& error,
                                 const GribBox& box) {
    return openField(path, waves, "wave height", error, box);
}

} // namespace navorel
