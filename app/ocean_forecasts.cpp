#include "app/ocean_forecasts.h"

#include "app/startup.h"
#include "render/map_view.h"
#include "settings/config_store.h"

namespace navorel::app {

GribBox oceanForecastBox(const AppData& data, const MapView& view) {
    std::vector<GeoPoint> points = data.route.waypoints;
    points.push_back(GeoPoint{static_cast<float>(view.westLon), static_cast<float>(view.southLat)});
    points.push_back(GeoPoint{static_cast<float>(view.eastLon), static_cast<float>(view.northLat)});
    return gribBoxAround(points, kOceanRouteMargin);
}

bool openCurrentForecastFile(AppData& data, const std::string& path, std::string& error,
                             const GribBox& box) {
    OceanCurrents loaded;
    if (openCurrentForecast(path, loaded, error, box) != FieldLoadStatus::Ok) return false;
    Settings& s = data.config.settings;
    data.oceanCurrents = std::move(loaded);
    // The forecast becomes the stream provider, as a wind forecast replaces the constant wind.
    data.currents.setForecast(&data.oceanCurrents);
    data.currents.setStreamProvider(2);
    s.routing.streamProvider = 2;
    s.currents.showArrows = true;
    data.haveCurrents = true;
    return true;
}

bool openWaveForecastFile(AppData& data, const std::string& path, std::string& error,
                          const GribBox& box) {
    OceanWaves loaded;
    WaveTable table;
    if (openWaveForecast(path, loaded, error, box) != FieldLoadStatus::Ok) return false;
    const Settings& s = data.config.settings;
    if (!loadWaveTable(folderPath(data.config.paths.programFolder, s.folders.polars) +
                           kWaveTableFile,
                       table, error))
        return false;
    data.oceanWaves = std::move(loaded);
    data.waveTable = std::move(table);
    data.showWaves = true;
    return true;
}

} // namespace navorel::app
