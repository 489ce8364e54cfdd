#pragma once
// Opening the ocean forecasts into the program's data, the one way the toolbar's current group
// and the screenshot's options do it.
#include "weather/grib_crop.h"

#include <string>

namespace navorel {
class MapView;
}

namespace navorel::app {

struct AppData;

// The box an ocean forecast keeps when the window opens it: the view and the route's legs, with
// kOceanRouteMargin degrees round them.
GribBox oceanForecastBox(const AppData& data, const MapView& view);

// A current forecast (GRIB, plain or ".bz2"), cropped to `box` as it is read, becomes the
// stream provider 2 and the active one, its arrows shown. On failure the data stay as they were
// and `error` says why.
bool openCurrentForecastFile(AppData& data, const std::string& path, std::string& error,
                             const GribBox& box = {});
// A wave forecast, with the boat's table of speed in waves from the polar folder (Waves.csv);
// the wave layer shown. On failure the data stay as they were.
bool openWaveForecastFile(AppData& data, const std::string& path, std::string& error,
                          const GribBox& box = {});

} // namespace navorel::app
