// navorel-cli grib wind FILE LON LAT YYYY-MM-DDTHH:MM: the wind the program would use at a
// place and time, read through the same wind store and sampler.
#include <cstdio>
#include <string>

#include "cli/commands.h"
#include "core/datetime.h"
#include "routing/routing_parameters.h"
#include "weather/color_table.h"
#include "weather/wind_sampler.h"
#include "weather/wind_store.h"

namespace navorel::cli {
namespace {

int gribWind(const Args& args) {
    if (args.size() != 4) return fail("usage: grib wind FILE LON LAT YYYY-MM-DDTHH:MM");
    double lon = 0, lat = 0, time = 0;
    if (!parseNumber(args[1], lon) || lon < -180 || lon > 180)
        return fail("longitude must be a number from -180 to 180: " + args[1]);
    if (!parseNumber(args[2], lat) || lat < -90 || lat > 90)
        return fail("latitude must be a number from -90 to 90: " + args[2]);
    std::string error;
    if (!parseUtcTime(args[3], time, error)) return fail(error);

    WindStore store;
    const GribLoadStatus status =
        openForecast(args[0], store, buildRamp(builtinWindScale(), kDefaultSeaColor), 0, error);
    // "no GRIB message in FILE" names the file itself.
    if (status == GribLoadStatus::NoMessage) return fail(error);
    if (status != GribLoadStatus::Ok) return fail(args[0] + ": " + error);

    const RoutingParameters parameters;
    const WindSample w =
        windAt(store, parameters, static_cast<float>(lon), static_cast<float>(lat), time);
    if (!w.found)
        std::printf("not found\n");
    else
        std::printf("direction %.1f speed %.1f\n", w.direction, w.speed);
    return 0;
}

const CommandRegistrar reg("grib wind", "grib wind FILE LON LAT YYYY-MM-DDTHH:MM", gribWind);

} // namespace
} // namespace navorel::cli
