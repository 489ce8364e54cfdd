#pragma once
// Ocean current and wave forecasts from GRIB files (edition 1 or 2, plain or ".bz2"):
//   - currents: the components UOGRD and VOGRD (edition 2: discipline 10, category 1,
//     parameters 2 and 3; edition 1: parameters 49 and 50), m/s;
//   - waves: the significant height HTSGW, and when the file has them the primary wave
//     direction DIRPW (else the wind-wave direction WVDIR) and period PERPW.
// Land is the bitmap's missing points: no current and no wave there.
#include "weather/current_sample.h"
#include "weather/field_store.h"
#include "weather/grib_crop.h"
#include "weather/wave_sample.h"

#include <string>

namespace navorel {

// The current forecast as a stream source (the third stream provider).
class OceanCurrents : public CurrentSource {
  public:
    FieldLoadStatus build(const std::vector<GribRecord>& records);
    bool empty() const { return field_.empty(); }
    const FieldStore& field() const { return field_; }
    // The current where the forecast has one: direction it flows towards (degrees 0..360)
    // and speed (knots). Not found on land, outside the grid or outside the forecast's times.
    CurrentSample currentAt(float lon, float lat, double time) const override;

  private:
    FieldStore field_;
};

class OceanWaves : public WaveSource {
  public:
    FieldLoadStatus build(const std::vector<GribRecord>& records);
    bool empty() const { return height_.empty(); }
    const FieldStore& height() const { return height_; }
    bool hasDirection() const { return !direction_.empty(); }
    bool hasPeriod() const { return !period_.empty(); }
    WaveSample waveAt(float lon, float lat, double time) const override;

  private:
    FieldStore height_, direction_, period_;
};

// Reads a current (or wave) forecast file: the file's records decoded through the program's
// decoder (".bz2" decompressed into a temporary file first), each cropped to `box` as its
// message is read (a 1/12 degree current window takes about 40 MB a step whole: the store
// keeps only the box), then the store built. On failure the store is left as it was and
// `error` holds one line ("PATH: reason").
FieldLoadStatus openCurrentForecast(const std::string& path, OceanCurrents& currents,
                                    std::string& error, const GribBox& box = {});
FieldLoadStatus openWaveForecast(const std::string& path, OceanWaves& waves, std::string& error,
                                 const GribBox& box = {});

// Degrees kept around a route's waypoints when an ocean forecast is cropped to the route: room
// for the detours of an ocean passage.
inline constexpr double kOceanRouteMargin = 8.0;

} // namespace navorel
